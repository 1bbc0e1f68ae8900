// `kestrune bench` end to end: the JSON report's fields, the counts it gives for a recording
// whose frames and triangles are known, the text report, bad usage, and the seek engine's figures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "tests/support/recording_files.h"
#include "tests/tool/tool_run.h"

namespace {

// The number after "key": in a one-line JSON object; NaN when the key is missing.
double jsonNumber(const std::string& json, const std::string& key) {
  const std::string quoted = "\"" + key + "\": ";
  const size_t at = json.find(quoted);
  if (at == std::string::npos) return std::nan("");
  return std::strtod(json.c_str() + at + quoted.size(), nullptr);
}

class Bench : public ::testing::Test {
 protected:
  // 3 chunks of 4 frames, each frame 5 triangles and a mark: 12 frames, 60 triangles.
  std::string writeRecording() {
    const Bytes triangle = triangleRecordBytes(plainTriangle(0, 0, 255, 10, 40, 255, 0xFA53));
    Bytes stream = headerBytes();
    for (int chunk = 0; chunk < 3; ++chunk) {
      Bytes records;
      for (int frame = 0; frame < 4; ++frame) {
        appendBytes(records, joinBytes({repeatBytes(triangle, 5),
                                        frameMarkBytes(static_cast<float>(chunk * 4 + frame))}));
      }
      appendBytes(stream, compressedChunk(records));
    }
    const std::string path = folder.file("twelve.rec");
    EXPECT_TRUE(writeFileBytes(path, stream));
    return path;
  }

  TempFolder folder;
};

}  // namespace

TEST_F(Bench, JsonHasEveryFieldAndPositiveFigures) {
  const ProcessResult result = runTool({"bench", writeRecording(), "--json", "--desktop", "320x200",
                                        "--repeat", "3", "--threads", "2"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const std::string& json = result.out;
  ASSERT_FALSE(json.empty());
  EXPECT_EQ(json.front(), '{');
  EXPECT_EQ(json.substr(json.size() - 2), "}\n");
  EXPECT_EQ(json.find('\n'), json.size() - 1) << "one line, one object";
  EXPECT_EQ(jsonNumber(json, "frames"), 12);
  EXPECT_EQ(jsonNumber(json, "triangles"), 60);
  EXPECT_EQ(jsonNumber(json, "runs"), 3);
  EXPECT_EQ(jsonNumber(json, "desktop_width"), 320);
  EXPECT_EQ(jsonNumber(json, "window_height"), 100);
  EXPECT_EQ(jsonNumber(json, "threads"), 2);
  for (const char* key :
       {"seconds", "frames_per_second", "frames_per_second_without_read", "triangles_per_second",
        "ms_per_frame", "read_ms_per_frame", "decompress_ms_per_frame", "decode_draw_ms_per_frame",
        "filter_ms_per_frame"}) {
    EXPECT_GT(jsonNumber(json, key), 0) << key << " in " << json;
  }
  // The whole is the sum of its steps, and the rates follow from the totals.
  const double ms =
      jsonNumber(json, "read_ms_per_frame") + jsonNumber(json, "decompress_ms_per_frame") +
      jsonNumber(json, "decode_draw_ms_per_frame") + jsonNumber(json, "filter_ms_per_frame");
  EXPECT_NEAR(ms, jsonNumber(json, "ms_per_frame"), 1e-5);
  EXPECT_NEAR(jsonNumber(json, "frames_per_second") * jsonNumber(json, "seconds"), 12, 0.01);
  const double unread_seconds = 12 / jsonNumber(json, "frames_per_second_without_read");
  EXPECT_NEAR(unread_seconds + 12 * jsonNumber(json, "read_ms_per_frame") / 1000,
              jsonNumber(json, "seconds"), 1e-4);
}

TEST_F(Bench, TextReportNamesEachStep) {
  const ProcessResult result = runTool({"bench", writeRecording(), "--desktop", "64x48"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.out.find("frames        12\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("triangles     60\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("desktop       64x48 (window 32x24)\n"), std::string::npos);
  for (const char* step :
       {"read ", "decompress ", "decode+draw ", "filter ", "frames/s ", "triangles/s "}) {
    EXPECT_NE(result.out.find(step), std::string::npos) << step;
  }
}

TEST_F(Bench, BadUsageAndMissingRecordings) {
  const std::string recording = writeRecording();
  const ProcessResult zero = runTool({"bench", recording, "--repeat", "0"});
  EXPECT_EQ(zero.exit_code, 2);
  EXPECT_EQ(zero.err.rfind("kestrune bench: bad repeat count \"0\" (want 1 to 1000)\n", 0), 0u);
  const ProcessResult threads = runTool({"bench", recording, "--threads", "x"});
  EXPECT_EQ(threads.exit_code, 2);
  EXPECT_EQ(threads.err.rfind("kestrune bench: bad thread count \"x\" (want 1 to 64)\n", 0), 0u);
  const ProcessResult unknown = runTool({"bench", recording, "--out", "x"});
  EXPECT_EQ(unknown.exit_code, 2);
  EXPECT_EQ(unknown.err.rfind("kestrune bench: unknown option --out\n", 0), 0u);
  const ProcessResult none = runTool({"bench"});
  EXPECT_EQ(none.exit_code, 2);
  EXPECT_EQ(none.err.rfind("kestrune bench: no recording given\n", 0), 0u);
  const ProcessResult missing = runTool({"bench", folder.file("gone.rec"), "--json"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_EQ(missing.err, "kestrune bench: cannot open " + folder.file("gone.rec") + "\n");
  EXPECT_EQ(missing.out, "");
}

// The seek figures of the twelve frames (stamps 0 to 11): every frame indexed, one snapshot at
// the first spacing of 8 frames, within its budget; the seek options need --seek.
TEST_F(Bench, SeekReportsTheEnginesFigures) {
  const std::string recording = writeRecording();
  const ProcessResult result = runTool({"bench", recording, "--seek", "--json", "--desktop",
                                        "64x48", "--budget", "64", "--seeks", "10"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(jsonNumber(result.out, "frames"), 12);
  EXPECT_EQ(jsonNumber(result.out, "playing_seconds"), 11);
  EXPECT_EQ(jsonNumber(result.out, "snapshots"), 1);
  EXPECT_EQ(jsonNumber(result.out, "snapshot_spacing"), 8);
  EXPECT_EQ(jsonNumber(result.out, "budget_bytes"), 64 << 20);
  EXPECT_LE(jsonNumber(result.out, "snapshot_bytes"),
            jsonNumber(result.out, "snapshot_budget_bytes"));
  EXPECT_GT(jsonNumber(result.out, "peak_memory_bytes"), 0);
  const ProcessResult alone = runTool({"bench", recording, "--budget", "64"});
  EXPECT_EQ(alone.exit_code, 2);
  EXPECT_EQ(alone.err.rfind("kestrune bench: --budget and --seeks go with --seek\n", 0), 0u);
}
