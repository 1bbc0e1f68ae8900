// `kestrune export` end to end: videos of generated recordings and of the demo decoded again with
// FFmpeg's libraries. Receives the files the tool writes; checks their frames against `kestrune
// render`'s at the times a viewer sees them, their timing and size, and the failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "seek/frame_times.h"
#include "stb_image_write.h"
#include "tests/export/video_reader.h"
#include "tests/support/recording_files.h"
#include "tests/tool/tool_run.h"

namespace {

// 60 frames stamped k/20 s: frame 0 is on screen for 0 s, frame k from (k-1)/20 s for 50 ms.
class ExportTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempFolder;
    recording_ = folder_->file("Video/Stream/synthetic.%i.rec");
    ASSERT_EQ(runTool({"demo", folder_->path(), "--frames", "60", "--triangles", "200", "--fps",
                       "20", "--seed", "5"})
                  .exit_code,
              0);
    ASSERT_EQ(runTool({"render", recording_, "--out", folder_->file("render"), "--desktop",
                       "320x240", "--format", "raw"})
                  .exit_code,
              0);
  }
  static void TearDownTestSuite() { delete folder_; }

  static std::vector<uint8_t> rendered(int64_t frame) {
    char name[32];
    std::snprintf(name, sizeof name, "render/frame_%06lld.raw", static_cast<long long>(frame));
    return widenedRgb(readWholeFile(folder_->file(name)));
  }

  static DecodedVideo exported(const std::string& name, std::vector<std::string> options) {
    options.insert(options.begin(),
                   {"export", recording_, folder_->file(name), "--desktop", "320x240", "--quiet"});
    const ProcessResult result = runTool(options);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    return decodeVideo(folder_->file(name));
  }

  static TempFolder* folder_;
  static std::string recording_;
};

TempFolder* ExportTest::folder_ = nullptr;
std::string ExportTest::recording_;

// 30 frames/s from 0.46 s: video frame k at 0.46 + k/30 s shows recorded frame
// 1 + floor(20 (0.46 + k/30)) = 1 + floor(9.2 + 2k/3); 0.53 s of clip gives ceil(15.9) = 16 frames.
TEST_F(ExportTest, LosslessIsExactlyTheRenderedFrameOnScreenAtEachSampledTime) {
  const DecodedVideo video =
      exported("clip.mkv", {"--lossless", "--fps", "30", "--from", "0.46", "--to", "0.99"});
  ASSERT_TRUE(video.ok);
  EXPECT_EQ(video.codec, "ffv1");
  const int64_t shown[] = {10, 10, 11, 12, 12, 13, 14, 14, 15, 16, 16, 17, 18, 18, 19, 20};
  ASSERT_EQ(video.pictures.size(), std::size(shown));
  for (size_t k = 0; k < std::size(shown); ++k) {
    EXPECT_TRUE(video.pictures[k] == rendered(shown[k])) << "video frame " << k;
    EXPECT_NEAR(video.times[k], double(k) / 30, 1e-3) << "video frame " << k;
  }
}

// One video frame per recorded frame, at its own time from the clip's start (50 ms apart).
TEST_F(ExportTest, VfrClipHoldsEachRecordedFrameOnceAtItsTime) {
  const DecodedVideo video = exported("frames.mkv", {"--lossless", "--vfr", "--frames", "10-20"});
  ASSERT_TRUE(video.ok);
  ASSERT_EQ(video.pictures.size(), 11u);
  for (int64_t frame = 10; frame <= 20; ++frame) {
    EXPECT_TRUE(video.pictures[size_t(frame - 10)] == rendered(frame)) << "frame " << frame;
    EXPECT_NEAR(video.times[size_t(frame - 10)], 0.05 * double(frame - 10), 1e-3);
  }
}

// The demo as H.264 at 30 frames/s: every frame within 35 dB of the rendered frame on screen at
// its time (both in the video's YUV 4:2:0, as video tools measure it: the demo's saturated
// edges alone cost 4:2:0 about 29 dB in RGB, whatever the encoder), as many frames as the
// viewing time holds, and that duration to within a frame.
TEST_F(ExportTest, H264OfTheDemoHasItsDurationFramesAndQuality) {
  const std::string demo = KESTRUNE_DEMO_RECORDING;
  ASSERT_EQ(runTool({"render", demo, "--out", folder_->file("demo"), "--desktop", "640x480",
                     "--format", "raw"})
                .exit_code,
            0);
  ASSERT_EQ(runTool({"export", demo, folder_->file("demo.mp4"), "--desktop", "640x480"}).exit_code,
            0);
  const DecodedVideo video = decodeVideo(folder_->file("demo.mp4"));
  ASSERT_TRUE(video.ok);
  const FrameTimes times = frameTimesOf(buildFrameIndex(demo));
  EXPECT_EQ(video.codec, "h264");
  EXPECT_EQ(video.width, 320);
  EXPECT_EQ(video.height, 240);
  ASSERT_EQ(int64_t(video.pictures.size()), int64_t(std::ceil(times.length * 30)));
  EXPECT_NEAR(video.duration, times.length, 1.0 / 30);
  double worst = 1000;
  for (size_t k = 0; k < video.pictures.size(); ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "demo/frame_%06lld.raw",
                  static_cast<long long>(frameAt(times, double(k) / 30)));
    const std::vector<uint8_t> rgb = widenedRgb(readWholeFile(folder_->file(name)));
    worst = std::min(worst, psnr(video.pictures[k], yuv420FromRgb(rgb, 320, 240)));
  }
  EXPECT_GE(worst, 35.0);
  // The default desktop, 1920x1080, gives a 960x540 video.
  ASSERT_EQ(runTool({"export", demo, folder_->file("size.webm"), "--frames", "0-3"}).exit_code, 0);
  const DecodedVideo sized = decodeVideo(folder_->file("size.webm"));
  EXPECT_EQ(sized.codec, "vp9");
  EXPECT_EQ(sized.width, 960);
  EXPECT_EQ(sized.height, 540);
}

// x264 writes the settings it encoded with into the stream: ultrafast's (no sub-pixel
// refinement) unless --preset names another, and --crf's quality.
TEST_F(ExportTest, PresetAndCrfReachTheEncoder) {
  struct Case {
    std::vector<std::string> options;
    std::vector<std::string> settings;
  };
  const Case cases[] = {
      {{}, {" subme=0 ", " crf=23.0 "}},
      {{"--preset", "veryfast"}, {" subme=2 ", " crf=23.0 "}},
      {{"--preset", "medium", "--crf", "30"}, {" subme=7 ", " crf=30.0 "}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> options = c.options;
    options.insert(options.end(), {"--frames", "0-2"});
    exported("settings.mp4", options);
    const std::string bytes = readWholeFile(folder_->file("settings.mp4"));
    for (const std::string& setting : c.settings) {
      EXPECT_NE(bytes.find(setting), std::string::npos)
          << setting << " missing with " << ::testing::PrintToString(c.options);
    }
  }
}

// Outputs that cannot be written fail with a message and leave no file, whole or partial.
TEST_F(ExportTest, FailuresSayWhyAndLeaveNothing) {
  TempFolder out;
  struct Case {
    std::string setup;  // shell commands before the tool
    std::string path;
    std::vector<std::string> options;
    int exit_code;
    std::string error;  // a line of standard error begins so
  };
  const Case cases[] = {
      {"true", out.file("clip.avi"), {}, 2, "kestrune export: unknown extension in \""},
      {"true",
       out.file("clip.mp4"),
       {"--lossless"},
       2,
       "kestrune export: --lossless writes .mkv files only"},
      {"true",
       out.file("clip.mp4"),
       {"--preset", "fastest"},
       2,
       "kestrune export: bad preset \"fastest\" (want ultrafast, superfast, veryfast, faster, "
       "fast, medium, slow, slower, veryslow or placebo)"},
      {"true",
       out.file("clip.mp4"),
       {"--crf", "52"},
       2,
       "kestrune export: bad crf \"52\" (want 0 to 51)"},
      {"true", out.path() + "/missing/clip.mp4", {}, 1, "kestrune export: "},
      {"true", "/dev/full", {"--format", "mp4"}, 1, "kestrune export: "},
      // A disk that fills up half-way: writes beyond 40 KiB fail.
      {"ulimit -f 80; trap '' XFSZ",
       out.file("big.mkv"),
       {"--lossless"},
       1,
       "kestrune export: cannot write the video"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    ProcessOptions options;
    options.arguments = {"export", recording_, c.path, "--desktop", "320x240", "--quiet"};
    options.arguments.insert(options.arguments.end(), c.options.begin(), c.options.end());
    options.timeout_ms = 60000;
    ProcessResult result = runThroughShell(c.setup, KESTRUNE_TOOL_PATH, options);
    result.err.insert(0, "\n");
    EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
    EXPECT_NE(result.err.find("\n" + c.error), std::string::npos) << result.err;
    EXPECT_EQ(filesIn(out.path()), std::vector<std::string>{});
  }
}

}  // namespace

namespace {

// Not a check: makes the README's strip of an exported clip. Run it with KESTRUNE_STRIP set to
// the PNG to write (docs/export_strip.png) and --gtest_also_run_disabled_tests
// --gtest_filter='*ThumbnailStrip*'.
TEST(ExportReadme, DISABLED_ThumbnailStrip) {
  const char* out = std::getenv("KESTRUNE_STRIP");
  ASSERT_NE(out, nullptr) << "set KESTRUNE_STRIP to the PNG to write";
  TempFolder folder;
  const std::string clip = folder.file("clip.mp4");
  ASSERT_EQ(runTool({"export", KESTRUNE_DEMO_RECORDING, clip, "--from", "2", "--to", "8",
                     "--desktop", "960x540", "--quiet"})
                .exit_code,
            0);
  const DecodedVideo video = decodeVideo(clip, /*rgb=*/true);
  ASSERT_EQ(video.pictures.size(), 180u);
  constexpr int kThumbs = 6, kWidth = 480, kHeight = 270, kGap = 4;
  const int strip_width = kThumbs * kWidth + (kThumbs - 1) * kGap;
  std::vector<uint8_t> strip(size_t(strip_width) * kHeight * 3, 255);
  for (int t = 0; t < kThumbs; ++t) {
    const std::vector<uint8_t>& picture = video.pictures[size_t(t * 35)];
    for (int y = 0; y < kHeight; ++y) {
      std::copy_n(picture.begin() + ptrdiff_t(y) * kWidth * 3, kWidth * 3,
                  strip.begin() + (ptrdiff_t(y) * strip_width + t * (kWidth + kGap)) * 3);
    }
  }
  ASSERT_NE(stbi_write_png(out, strip_width, kHeight, 3, strip.data(), strip_width * 3), 0);
}

}  // namespace

namespace {

// Not a check: prints the README's table of file sizes and quality by preset. Run it with
// --gtest_also_run_disabled_tests --gtest_filter='*PresetSizesAndQuality*' (several minutes).
TEST(ExportReadme, DISABLED_PresetSizesAndQuality) {
  TempFolder folder;
  ASSERT_EQ(
      runTool({"demo", folder.path(), "--frames", "600", "--triangles", "1500", "--fps", "30"})
          .exit_code,
      0);
  struct Recording {
    std::string name, path, frames;
  };
  const Recording recordings[] = {
      {"demo", KESTRUNE_DEMO_RECORDING, folder.file("demo-frames")},
      {"20 s of 1500 triangles", folder.file("Video/Stream/synthetic.%i.rec"),
       folder.file("generated-frames")}};
  const std::pair<const char*, const char*> settings[] = {
      {"ultrafast", "23"}, {"ultrafast", "26"}, {"ultrafast", "30"}, {"veryfast", "23"}};
  for (const auto& [name, recording, frames] : recordings) {
    ASSERT_EQ(runTool({"render", recording, "--out", frames, "--format", "raw"}).exit_code, 0);
    const FrameTimes times = frameTimesOf(buildFrameIndex(recording));
    for (const auto& [preset, crf] : settings) {
      const std::string clip = folder.file("clip.mp4");
      ASSERT_EQ(runTool({"export", recording, clip, "--preset", preset, "--crf", crf, "--quiet"})
                    .exit_code,
                0);
      const DecodedVideo video = decodeVideo(clip);
      double worst = 1000, sum = 0;
      for (size_t k = 0; k < video.pictures.size(); ++k) {
        char file[32];
        std::snprintf(file, sizeof file, "/frame_%06lld.raw",
                      static_cast<long long>(frameAt(times, double(k) / 30)));
        const std::vector<uint8_t> rgb = widenedRgb(readWholeFile(frames + file));
        const double db = psnr(video.pictures[k], yuv420FromRgb(rgb, video.width, video.height));
        worst = std::min(worst, db);
        sum += db;
      }
      std::printf("| %s | %s, %s | %.1f MB | %.1f | %.1f |\n", name.c_str(), preset, crf,
                  double(readWholeFile(clip).size()) / 1e6, sum / double(video.pictures.size()),
                  worst);
    }
  }
}

}  // namespace
