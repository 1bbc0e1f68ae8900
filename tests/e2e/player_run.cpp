// Runs the player for the end-to-end tests and builds the chunks their recordings are made of.
// Receives arguments and recordings; hands on the player's standard output.
#include "tests/e2e/player_run.h"

Bytes quietChunk() {
  const Bytes triangle = triangleRecordBytes(plainTriangle(10, 10, 200, 20, 30, 220, 0xF9A5));
  return compressedChunk(joinBytes({triangle, triangle, frameMarkBytes(0.25f)}));
}

Bytes pointsChunk() {
  const Bytes triangle = triangleRecordBytes(plainTriangle(0, 0, 255, 0, 0, 255, 0x0FFF));
  return compressedChunk(joinBytes({triangle, frameMarkBytes(0.5f), Bytes{3, 1, 2, 3}, {9, 9}}));
}

Bytes badKindChunk(uint8_t kind, uint8_t next) {
  const Bytes triangle = triangleRecordBytes(plainTriangle(5, 6, 7, 8, 9, 10, 0xF600));
  return compressedChunk(joinBytes({triangle, frameMarkBytes(1.0f), Bytes{kind, next}}));
}

ProcessOptions PlayerRun::headless(const std::vector<std::string>& arguments) {
  ProcessOptions options;
  options.arguments = arguments;
  options.environment = {"KESTRUNE_PRESENTER=headless"};
  options.timeout_ms = 20000;
  return options;
}

std::string PlayerRun::play(const std::vector<std::string>& arguments, const std::string& input,
                            const ProcessOptions& extra, const std::string& program) {
  ProcessOptions options = headless(arguments);
  options.environment.insert(options.environment.end(), extra.environment.begin(),
                             extra.environment.end());
  options.working_folder = extra.working_folder.empty() ? folder.path() : extra.working_folder;
  const ProcessResult result = runProcess(program, options, input);
  EXPECT_FALSE(result.timed_out) << "the player did not end; it printed: " << result.out;
  last_exit_code = result.exit_code;
  return result.out;
}

std::string PlayerRun::writeRecording(const std::string& name, const Bytes& bytes) {
  const std::string path = folder.file(name);
  EXPECT_TRUE(writeFileBytes(path, bytes)) << path;
  return path;
}

std::string PlayerRun::writePartFiles(const std::string& name_template,
                                      const std::vector<Bytes>& parts) {
  const std::string path_template = folder.file(name_template);
  EXPECT_TRUE(writeParts(parts, path_template)) << path_template;
  return path_template;
}
