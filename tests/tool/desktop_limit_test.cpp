// The desktop-size limit that the tool's --desktop and the player's KESTRUNE_DESKTOP share, end
// to end: the tool refuses sides past 32768 (or below 2) with its usage message and draws every
// pixel of a desktop at the limit; the player names a bad KESTRUNE_DESKTOP once on standard error
// and plays at the real desktop's size (the headless presenter's 1920 x 1080). Receives the tool
// and the player as processes; hands on nothing.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/recording_files.h"
#include "tests/tool/tool_run.h"

namespace {

// 0xF9A5 over the whole picture becomes the window pixel 0x954A (worked out by hand in
// render_test.cpp: the smooth fill's 0x9D4A, each channel's lowest bit dropped by the 2:1 filter).
constexpr uint16_t kFlatPacked = 0xF9A5;
constexpr uint16_t kFlatWindowPixel = 0x954A;

// Which pixels of a raw frame differ from `want`: the first few and the count, "" when none.
std::string pixelsOtherThan(const std::string& raw, uint16_t want) {
  std::string found;
  size_t count = 0;
  for (size_t i = 0; i + 1 < raw.size(); i += 2) {
    const unsigned p = static_cast<uint8_t>(raw[i]) | static_cast<uint8_t>(raw[i + 1]) << 8;
    if (p == want) continue;
    if (++count <= 4) found += "pixel " + std::to_string(i / 2) + " = " + std::to_string(p) + "\n";
  }
  if (count > 4) found += std::to_string(count) + " in all\n";
  return found;
}

class DesktopLimit : public ::testing::Test {
 protected:
  // One frame: two triangles whose long edges cross the whole picture from corner to corner,
  // which the 32-bit edge walk overflowed on at the limit, then the four that cover the screen
  // in one colour over them.
  std::string writeFlatRecording() {
    const std::string path = folder.file("flat.rec");
    const Bytes frame =
        joinBytes({triangleRecordBytes(plainTriangle(0, 0, 0, 255, 255, 255, 0xF00F)),
                   triangleRecordBytes(plainTriangle(255, 0, 255, 255, 0, 255, 0xF0F0)),
                   screenCoveringTriangles(kFlatPacked), frameMarkBytes(0.1f)});
    EXPECT_TRUE(writeFileBytes(path, joinBytes({headerBytes(), compressedChunk(frame)})));
    return path;
  }

  // A new, empty folder for the player's frame dump.
  std::string dumpFolder(const std::string& name) {
    folder.file(name + "/x");  // makes the folder
    return folder.file(name);
  }

  TempFolder folder;
};

TEST_F(DesktopLimit, TheToolRefusesSidesPastTheLimitWithItsUsageMessage) {
  const std::string recording = writeFlatRecording();
  const std::vector<std::vector<std::string>> commands = {
      {"render", recording, "--out", folder.file("out"), "--desktop"},
      {"bench", recording, "--desktop"}};
  for (const std::vector<std::string>& start : commands) {
    const std::string command = start[0];
    for (const char* size : {"32769x100", "100x32769", "1x100"}) {
      std::vector<std::string> args = start;
      args.push_back(size);
      const ProcessResult result = runTool(args);
      const std::string message = "kestrune " + command + ": bad desktop size \"" + size +
                                  "\" (want WxH, each from 2 to 32768)\n";
      EXPECT_EQ(result.exit_code, 2) << command << " " << size;
      EXPECT_EQ(result.err.substr(0, message.size()), message);
      EXPECT_NE(result.err.find("usage: kestrune " + command + " REC"), std::string::npos)
          << result.err;
    }
  }
}

// The render buffer is the desktop: 32768 x 2 gives rows of 32768 pixels, 2 x 32768 a column of
// 32768 rows. Every window pixel is the flat colour, so no fill left a gap or stopped short.
TEST_F(DesktopLimit, TheToolDrawsEveryPixelOfADesktopAtTheLimit) {
  const std::string recording = writeFlatRecording();
  struct Case {
    const char* desktop;
    size_t window_pixels;
  };
  for (const Case& c : {Case{"32768x2", 16384}, Case{"2x32768", 16384}, Case{"32768x6", 49152}}) {
    const std::string out = folder.file(std::string("out_") + c.desktop);
    const ProcessResult result =
        runTool({"render", recording, "--out", out, "--format", "raw", "--desktop", c.desktop});
    ASSERT_EQ(result.exit_code, 0) << c.desktop << "\n" << result.err;
    const std::string frame = readWholeFile(out + "/frame_000000.raw");
    ASSERT_EQ(frame.size(), 2 * c.window_pixels) << c.desktop;
    EXPECT_EQ(pixelsOtherThan(frame, kFlatWindowPixel), "") << c.desktop;
  }
}

TEST_F(DesktopLimit, ThePlayerNamesABadDesktopVariableOnceAndUsesTheRealDesktop) {
  const std::string recording = writeFlatRecording();
  const std::vector<std::string> bad = {"32769x100", "0x480", "640"};
  for (size_t k = 0; k < bad.size(); ++k) {
    const std::string& value = bad[k];
    const std::string dump = dumpFolder("dump_" + std::to_string(k));
    const ProcessResult result =
        runHeadlessPlayer(recording, {"KESTRUNE_DESKTOP=" + value, "KESTRUNE_FRAME_DUMP=" + dump});
    EXPECT_EQ(result.exit_code, 0) << value;
    EXPECT_EQ(result.err, "KESTRUNE_DESKTOP=\"" + value +
                              "\" is not a desktop size (want WxH, each from 1 to 32768); using "
                              "the real desktop size instead\n");
    EXPECT_EQ(readWholeFile(dump + "/frame_000000.raw").size(), size_t{2 * 960 * 540}) << value;
  }
  // At the limit the variable is taken: a 16384 x 50 window, and nothing on standard error.
  const std::string dump = dumpFolder("dump_limit");
  const ProcessResult result =
      runHeadlessPlayer(recording, {"KESTRUNE_DESKTOP=32768x100", "KESTRUNE_FRAME_DUMP=" + dump});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.err, "");
  const std::string frame = readWholeFile(dump + "/frame_000000.raw");
  EXPECT_EQ(frame.size(), size_t{2 * 16384 * 50});
  EXPECT_EQ(pixelsOtherThan(frame, kFlatWindowPixel), "");
}

}  // namespace
