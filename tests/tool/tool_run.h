// Runs the kestrune tool and the headless player as child processes for the tool's end-to-end
// tests. Receives arguments and a working folder; hands on what each printed and its exit code.
#pragma once
#include <string>
#include <vector>

#include "tests/support/process_runner.h"

// Runs `kestrune` with these arguments (standard input empty and closed) in `working_folder`
// ("" = ours), with the extra "NAME=value" environment entries; gives its output and exit code.
ProcessResult runTool(const std::vector<std::string>& args, const std::string& working_folder = "",
                      const std::vector<std::string>& environment = {});

// Runs the player headless (KESTRUNE_PRESENTER=headless) on a recording path, with the extra
// environment entries; standard input is empty, so the wait after "Done." ends at once.
ProcessResult runHeadlessPlayer(const std::string& recording,
                                const std::vector<std::string>& environment = {});

// The whole content of a file, empty when it cannot be read.
std::string readWholeFile(const std::string& path);

// The names of the regular files in a folder, sorted.
std::vector<std::string> filesIn(const std::string& folder);
