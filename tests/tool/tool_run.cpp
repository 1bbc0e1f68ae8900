// Runs the kestrune tool and the headless player for the tool's end-to-end tests.
// Receives arguments and environment entries; hands on the processes' output and exit codes.
#include "tests/tool/tool_run.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

ProcessResult runTool(const std::vector<std::string>& args, const std::string& working_folder,
                      const std::vector<std::string>& environment) {
  ProcessOptions options;
  options.arguments = args;
  options.environment = environment;
  options.working_folder = working_folder;
  options.timeout_ms = 60000;
  return runProcess(KESTRUNE_TOOL_PATH, options);
}

ProcessResult runHeadlessPlayer(const std::string& recording,
                                const std::vector<std::string>& environment) {
  ProcessOptions options;
  options.arguments = {recording};
  options.environment = {"KESTRUNE_PRESENTER=headless"};
  options.environment.insert(options.environment.end(), environment.begin(), environment.end());
  options.timeout_ms = 60000;
  return runProcess(KESTRUNE_PLAYER_PATH, options);
}

std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}
