// Shared pieces of the player's end-to-end tests: runs the real player headless on recordings
// written into a fresh folder, and the chunks those recordings are made of.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/process_runner.h"
#include "tests/support/recording_files.h"
#include "tools/recording_writer.h"

constexpr const char* kPoints = "Points Not implemented!\n";

// A chunk that prints nothing: two triangles and a frame mark.
Bytes quietChunk();
// A chunk whose walk prints "Points Not implemented!": triangle, mark, a point record, then a bad
// kind that is never reached.
Bytes pointsChunk();
// A chunk whose walk ends with a bad kind: triangle, mark, then the bytes `kind`, `next`.
Bytes badKindChunk(uint8_t kind, uint8_t next = 0);

class PlayerRun : public ::testing::Test {
 protected:
  // Runs the player with these arguments, standard input `input` (then closed) and the headless
  // presenter; checks that it ended by itself and gives its standard output. Its exit code is
  // left in last_exit_code.
  std::string play(const std::vector<std::string>& arguments, const std::string& input = "",
                   const ProcessOptions& extra = {},
                   const std::string& program = KESTRUNE_PLAYER_PATH);
  // Options for running the player headless with a time limit.
  static ProcessOptions headless(const std::vector<std::string>& arguments);

  // Writes a single-file recording into the folder and gives its path.
  std::string writeRecording(const std::string& name, const Bytes& bytes);
  // Writes parts under a template ("%i" for the index) in the folder and gives the template.
  std::string writePartFiles(const std::string& name_template, const std::vector<Bytes>& parts);

  TempFolder folder;
  int last_exit_code = -1;
};
