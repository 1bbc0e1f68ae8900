// `kestrune demo` end to end: the files it writes (the same bytes make-demo wrote before the
// generator moved into the tool), and that the player and the tool both read them.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "tests/support/recording_files.h"
#include "tests/tool/tool_run.h"

namespace {

constexpr const char* kDemoTemplate = "Video/Stream/Recording_12_01_2013_13_41_13.%i.rec";
constexpr const char* kUsage =
    "usage: kestrune demo OUTDIR [--frames N --triangles N [--fps N] [--seed N] "
    "[--part-size BYTES]]\n";

uint32_t crcOf(const std::string& bytes) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

}  // namespace

// Sizes and CRC-32s of the files the former make-demo program wrote: the generator moved, the
// recording must not change.
TEST(Demo, WritesTheSameFilesAsBefore) {
  TempFolder folder;
  const ProcessResult result = runTool({"demo", folder.path()});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "");
  struct Expected {
    const char* name;
    size_t size;
    uint32_t crc;
  };
  for (const Expected& file : {
           Expected{"Video/Stream/Recording_12_01_2013_13_41_13.0.rec", 15556, 0x795ff616},
           Expected{"Video/Stream/Recording_12_01_2013_13_41_13.1.rec", 15556, 0x8f41003f},
           Expected{"Video/Stream/Recording_12_01_2013_13_41_13.2.rec", 7779, 0xcf8c41ee},
           Expected{"Video/TexDump/4B45535452554E31.bmp", 5174, 0x6b5b9dbd},
           Expected{"Video/TexDump/4B45535452554E32.bmp", 630, 0xdb0fbe6a},
       }) {
    const std::string bytes = readWholeFile(folder.file(file.name));
    EXPECT_EQ(bytes.size(), file.size) << file.name;
    EXPECT_EQ(crcOf(bytes), file.crc) << file.name;
  }
}

// 300 frames of 16 triangles: 4 background, 8 spokes, two for each of the two squares.
TEST(Demo, ThePlayerAndTheToolReadIt) {
  TempFolder folder;
  ASSERT_EQ(runTool({"demo", folder.path()}).exit_code, 0);
  const std::string recording = folder.file(kDemoTemplate);
  const ProcessResult bench = runTool({"bench", recording, "--json", "--desktop", "64x48"});
  ASSERT_EQ(bench.exit_code, 0) << bench.err;
  EXPECT_NE(bench.out.find("\"frames\": 300,"), std::string::npos) << bench.out;
  EXPECT_NE(bench.out.find("\"triangles\": 4800,"), std::string::npos) << bench.out;
  // The textures load from Video/TexDump beside the recording: no "Failed to open".
  EXPECT_EQ(bench.err, "Texture #1 (4B45535452554E31.bmp)\nTexture #2 (4B45535452554E32.bmp)\n");

  // The player beside the demo (in <folder>/bin) plays it by default; Escape stops it at once.
  const std::string player = folder.file("bin/kestrune-player");
  ASSERT_TRUE(copyExecutable(KESTRUNE_PLAYER_PATH, player));
  ProcessOptions options;
  options.environment = {"KESTRUNE_PRESENTER=headless", "KESTRUNE_DESKTOP=64x48"};
  options.timeout_ms = 60000;  // should Escape come too late, the demo plays its ten seconds
  const ProcessResult played = runProcess(player, options, "\x1b");
  EXPECT_EQ(played.exit_code, 0);
  EXPECT_EQ(played.out,
            "Texture #1 (4B45535452554E31.bmp)\nTexture #2 (4B45535452554E32.bmp)\nDone.");
}

TEST(Demo, BadUsageGivesExitCode2) {
  const ProcessResult none = runTool({"demo"});
  EXPECT_EQ(none.exit_code, 2);
  EXPECT_EQ(none.err, std::string("kestrune demo: no output folder given\n") + kUsage);
  const ProcessResult two = runTool({"demo", "a", "b"});
  EXPECT_EQ(two.exit_code, 2);
  EXPECT_EQ(two.err, std::string("kestrune demo: more than one output folder given\n") + kUsage);
}
