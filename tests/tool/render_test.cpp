// `kestrune render` end to end: its raw frames against the frames the headless player presents,
// a pixel worked out by hand, PNG files read back through stb_image, frame selection and naming,
// and its answers to bad usage and missing recordings.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/recording_files.h"
#include "tests/tool/tool_run.h"
#include "tools/bmp_writer.h"
#include "tools/tool_frame_files.h"
#include "tools/tool_playback.h"

// The PNG decoder, for this test binary only; the tool itself only writes PNG files.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>

namespace {

constexpr uint64_t kStripesId = 0x5354524950455331;  // slot 1
constexpr int kMovingFrames = 6;
constexpr const char* kDesktop = "64x48";  // a 32 x 24 window over a 64 x 48 render buffer
constexpr int kWindowWidth = 32;
constexpr int kWindowHeight = 24;

// 16 x 16, 4 bits: stripes of red, blue and black (the key colour that blending leaves out).
BmpPicture stripes() {
  BmpPicture picture;
  picture.width = 16;
  picture.height = 16;
  picture.bits = 4;
  picture.palette = {{0, 0, 0}, {250, 30, 30}, {20, 40, 240}};
  for (int k = 0; k < 256; ++k) picture.indices.push_back(static_cast<uint8_t>((k / 3) % 3));
  return picture;
}

TriangleRecord texturedTriangle(int frame, uint8_t blend_mode) {
  TriangleRecord triangle = plainTriangle(static_cast<uint8_t>(150 - 10 * frame), 200, 250, 240,
                                          200, static_cast<uint8_t>(120 + 5 * frame), 0xF000);
  triangle.texture_slot = 1;
  triangle.blend_mode = blend_mode;
  triangle.vertices[1].u = 255;
  triangle.vertices[2].v = 255;
  return triangle;
}

// Frame k: a triangle over part of the picture that moves and changes colour, a textured one
// (with its black texels left out on odd frames), and a mark at 10 (k + 1) s. The player takes
// each of these as a long pause (one 230 ms sleep), so a frame would come late and be dropped
// only if drawing it took about ten seconds. The rest of the picture is never drawn after frame
// 0, so it shows what the earlier filter passes left there.
Bytes movingFrame(int frame) {
  const uint16_t colour = static_cast<uint16_t>(0xF000 | (6 + frame) << 8 | (3 * frame) << 4 | 9);
  const uint8_t left = static_cast<uint8_t>(20 * frame);
  return joinBytes(
      {triangleRecordBytes(plainTriangle(left, 0, static_cast<uint8_t>(left + 90), 30,
                                         static_cast<uint8_t>(left + 30), 180, colour)),
       triangleRecordBytes(texturedTriangle(frame, frame % 2 == 1 ? 1 : 0)),
       frameMarkBytes(10.0f * static_cast<float>(frame + 1))});
}

uint16_t pixelAt(const std::string& raw, int x, int y) {
  const size_t at = 2 * (static_cast<size_t>(y) * kWindowWidth + static_cast<size_t>(x));
  return static_cast<uint16_t>(static_cast<uint8_t>(raw[at]) | static_cast<uint8_t>(raw[at + 1])
                                                                   << 8);
}

// A PNG read back through stb_image: its size, its channels and depth as stored, and its pixels
// as stored (8-bit RGB rows when the channels are 3 and the depth 8).
struct DecodedPng {
  int width = 0;
  int height = 0;
  int channels = 0;
  bool sixteen_bit = false;
  std::vector<uint8_t> rgb;
};

bool decodePng(const std::string& path, DecodedPng* decoded) {
  stbi_uc* pixels =
      stbi_load(path.c_str(), &decoded->width, &decoded->height, &decoded->channels, 0);
  if (pixels == nullptr) return false;
  decoded->sixteen_bit = stbi_is_16_bit(path.c_str()) != 0;
  const size_t bytes = static_cast<size_t>(decoded->width) * static_cast<size_t>(decoded->height) *
                       static_cast<size_t>(decoded->channels);
  decoded->rgb.assign(pixels, pixels + bytes);
  stbi_image_free(pixels);
  return true;
}

class Render : public ::testing::Test {
 protected:
  // The moving recording in two parts under <folder>/Video/Stream, its dump in
  // <folder>/Video/TexDump, and a copy of the player in <folder>/bin that finds the dump there.
  std::string writeMovingRecording() {
    std::array<uint64_t, 32> ids = {};
    ids[0] = kStripesId;
    EXPECT_TRUE(writeBmpFile(folder.file("Video/TexDump/5354524950455331.bmp"), stripes()));
    Bytes stream = headerBytes(ids);
    for (int frame = 0; frame < kMovingFrames; frame += 2) {
      appendBytes(stream, compressedChunk(joinBytes({movingFrame(frame), movingFrame(frame + 1)})));
    }
    const std::string path_template = folder.file("Video/Stream/moving.%i.rec");
    EXPECT_TRUE(writeParts(splitIntoParts(stream, stream.size() * 3 / 5), path_template));
    return path_template;
  }

  // One frame of one colour over the whole picture.
  std::string writeFlatRecording(uint16_t colour) {
    const std::string path = folder.file("flat.rec");
    EXPECT_TRUE(writeFileBytes(
        path, joinBytes({headerBytes(), compressedChunk(joinBytes({screenCoveringTriangles(colour),
                                                                   frameMarkBytes(0.1f)}))})));
    return path;
  }

  // Renders and checks that the tool succeeded.
  void render(const std::vector<std::string>& args) {
    const ProcessResult result = runTool(args);
    ASSERT_EQ(result.exit_code, 0) << result.err;
  }

  TempFolder folder;
};

}  // namespace

TEST_F(Render, RawFramesEqualTheHeadlessPlayersFrames) {
  const std::string recording = writeMovingRecording();
  const std::string player = folder.file("bin/kestrune-player");
  ASSERT_TRUE(copyExecutable(KESTRUNE_PLAYER_PATH, player));
  const std::string dumped = folder.file("player/x");
  ProcessOptions options;
  options.arguments = {recording};
  options.environment = {"KESTRUNE_PRESENTER=headless", std::string("KESTRUNE_DESKTOP=") + kDesktop,
                         "KESTRUNE_FRAME_DUMP=" + folder.file("player")};
  const ProcessResult played = runProcess(player, options);
  ASSERT_EQ(played.exit_code, 0) << played.err;
  EXPECT_EQ(played.out, "Texture #1 (5354524950455331.bmp)\nDone.");

  render({"render", recording, "--out", folder.file("tool"), "--format", "raw", "--desktop",
          kDesktop});
  const std::vector<std::string> names = filesIn(folder.file("tool"));
  ASSERT_EQ(names.size(), size_t{kMovingFrames});
  ASSERT_EQ(filesIn(folder.file("player")), names) << "the player dropped or merged a frame";
  EXPECT_EQ(names.front(), "frame_000000.raw");
  EXPECT_EQ(names.back(), "frame_000005.raw");
  for (const std::string& name : names) {
    const std::string frame = readWholeFile(folder.file("tool/" + name));
    ASSERT_EQ(frame.size(), size_t{2 * kWindowWidth * kWindowHeight}) << name;
    EXPECT_TRUE(frame == readWholeFile(folder.file("player/" + name))) << name;
  }
  // The frames really differ: the first triangle moved between them.
  EXPECT_NE(readWholeFile(folder.file("tool/frame_000000.raw")),
            readWholeFile(folder.file("tool/frame_000001.raw")));
}

// The frames are the same whether one thread draws or several, chosen by --threads or by
// KESTRUNE_THREADS.
TEST_F(Render, EveryThreadCountGivesTheSameFrames) {
  const std::string recording = writeMovingRecording();
  const std::vector<std::string> raw = {"--format", "raw", "--desktop", kDesktop};
  auto renderInto = [&](const std::string& out, const std::vector<std::string>& more,
                        const std::vector<std::string>& environment) {
    std::vector<std::string> args = {"render", recording, "--out", folder.file(out)};
    args.insert(args.end(), raw.begin(), raw.end());
    args.insert(args.end(), more.begin(), more.end());
    const ProcessResult result = runTool(args, "", environment);
    ASSERT_EQ(result.exit_code, 0) << result.err;
  };
  renderInto("one", {"--threads", "1"}, {});
  renderInto("three", {"--threads", "3"}, {});
  renderInto("env", {}, {"KESTRUNE_THREADS=2"});
  const std::vector<std::string> names = filesIn(folder.file("one"));
  ASSERT_EQ(names.size(), size_t{kMovingFrames});
  for (const char* other : {"three", "env"}) {
    ASSERT_EQ(filesIn(folder.file(other)), names) << other;
    for (const std::string& name : names) {
      EXPECT_TRUE(readWholeFile(folder.file("one/" + name)) ==
                  readWholeFile(folder.file(std::string(other) + "/" + name)))
          << other << " " << name;
    }
  }
}

// Packed 0xF9A5 is red 9, green 10, blue 5 of 15, drawn as is. The renderer's integer colour is
// red 0.6f x 63488 + 1024 = 39116, green (10/15)f x 64512 + 512 = 43520, blue (1/3)f x 63488 +
// 1024 = 22186; the smooth fill packs (39116 << 16) & 0xFFC00000 | (43520 >> 5) & 0x7FF |
// (22186 << 5) & 0x1FF000 = 0x98CAD550, whose pixel is 0x0540 | 0x980A = 0x9D4A (red 19,
// green 42, blue 10). The filter halves each channel twice over equal pixels:
// ((0x9D4A >> 1) & 0x7BEF) x 2 = 0x954A, which stays 0x954A (red 18, green 42, blue 10).
TEST_F(Render, AFlatFrameHasTheColourWorkedOutByHand) {
  const std::string recording = writeFlatRecording(0xF9A5);
  render(
      {"render", recording, "--out", folder.file("out"), "--format", "raw", "--desktop", kDesktop});
  const std::string frame = readWholeFile(folder.file("out/frame_000000.raw"));
  ASSERT_EQ(frame.size(), size_t{2 * kWindowWidth * kWindowHeight});
  for (const auto& [x, y] : {std::pair{16, 12}, {1, 1}, {30, 22}, {5, 20}, {25, 3}}) {
    EXPECT_EQ(pixelAt(frame, x, y), 0x954A) << x << "," << y;
  }
}

// 0x954A widens to red 18 << 3 | 18 >> 2 = 148, green 42 << 2 | 42 >> 4 = 170, blue
// 10 << 3 | 10 >> 2 = 82; every PNG pixel is its raw pixel widened the same way.
TEST_F(Render, PngFramesDecodeToTheRawPixelsWidened) {
  const std::string recording = writeMovingRecording();
  render(
      {"render", recording, "--out", folder.file("raw"), "--format", "raw", "--desktop", kDesktop});
  render({"render", recording, "--out", folder.file("png"), "--desktop", kDesktop});
  ASSERT_EQ(filesIn(folder.file("png")).size(), size_t{kMovingFrames});
  for (int frame = 0; frame < kMovingFrames; ++frame) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06d", frame);
    const std::string raw = readWholeFile(folder.file("raw/") + name + ".raw");
    DecodedPng png;
    ASSERT_TRUE(decodePng(folder.file("png/") + name + ".png", &png)) << name;
    ASSERT_EQ(png.width, kWindowWidth);
    ASSERT_EQ(png.height, kWindowHeight);
    ASSERT_EQ(png.channels, 3);  // RGB, no alpha
    ASSERT_FALSE(png.sixteen_bit);
    for (int y = 0; y < kWindowHeight; ++y) {
      for (int x = 0; x < kWindowWidth; ++x) {
        const unsigned p = pixelAt(raw, x, y);
        const unsigned r = p >> 11, g = (p >> 5) & 63, b = p & 31;
        const uint8_t* rgb = png.rgb.data() + 3 * (y * kWindowWidth + x);
        ASSERT_EQ(rgb[0], (r << 3 | r >> 2)) << name << " " << x << "," << y;
        ASSERT_EQ(rgb[1], (g << 2 | g >> 4)) << name << " " << x << "," << y;
        ASSERT_EQ(rgb[2], (b << 3 | b >> 2)) << name << " " << x << "," << y;
      }
    }
  }
  render(
      {"render", writeFlatRecording(0xF9A5), "--out", folder.file("flat"), "--desktop", kDesktop});
  DecodedPng flat;
  ASSERT_TRUE(decodePng(folder.file("flat/frame_000000.png"), &flat));
  const uint8_t* centre = flat.rgb.data() + 3 * (12 * kWindowWidth + 16);
  EXPECT_EQ((std::array<int, 3>{centre[0], centre[1], centre[2]}),
            (std::array<int, 3>{148, 170, 82}));
}

// Frames before the range are drawn and filtered all the same, so a selected frame equals the
// same frame of a whole render byte for byte.
TEST_F(Render, FramesSelectsAndNamesByFrameNumber) {
  const std::string recording = writeMovingRecording();
  const std::vector<std::string> raw = {"--format", "raw", "--desktop", kDesktop};
  auto renderRange = [&](const std::string& range, const std::string& out) {
    std::vector<std::string> args = {"render",         recording,  "--out",
                                     folder.file(out), "--frames", range};
    args.insert(args.end(), raw.begin(), raw.end());
    const ProcessResult result = runTool(args);
    EXPECT_EQ(result.exit_code, 0) << result.err;
    return result;
  };
  std::vector<std::string> all = {"render", recording, "--out", folder.file("all")};
  all.insert(all.end(), raw.begin(), raw.end());
  render(all);
  const ProcessResult middle = renderRange("3-4", "middle");
  EXPECT_EQ(middle.out, "2 frames of 32x24 written to " + folder.file("middle") + "\n");
  EXPECT_EQ(filesIn(folder.file("middle")),
            (std::vector<std::string>{"frame_000003.raw", "frame_000004.raw"}));
  for (const char* name : {"frame_000003.raw", "frame_000004.raw"}) {
    EXPECT_TRUE(readWholeFile(folder.file("middle/") + name) ==
                readWholeFile(folder.file("all/") + name))
        << name;
  }
  renderRange("5", "one");
  EXPECT_EQ(filesIn(folder.file("one")), std::vector<std::string>{"frame_000005.raw"});
  renderRange("4-", "tail");
  EXPECT_EQ(filesIn(folder.file("tail")),
            (std::vector<std::string>{"frame_000004.raw", "frame_000005.raw"}));

  std::vector<std::string> beyond = {"render",   recording, "--out", folder.file("none"),
                                     "--frames", "6-9"};
  beyond.insert(beyond.end(), raw.begin(), raw.end());
  const ProcessResult none = runTool(beyond);
  EXPECT_EQ(none.exit_code, 1);
  EXPECT_NE(none.err.find("no frame in that range; the recording has 6"), std::string::npos)
      << none.err;
}

TEST_F(Render, BadUsageGivesExitCode2AndSaysWhatIsWrong) {
  const std::string recording = writeFlatRecording(0xF9A5);
  const std::string out = folder.file("out");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"render", recording}, "kestrune render: --out DIR is required\n"},
      {{"render", "--out", out}, "kestrune render: no recording given\n"},
      {{"render", recording, recording, "--out", out},
       "kestrune render: more than one recording given\n"},
      {{"render", recording, "--out", out, "--frames", "5-2"},
       "kestrune render: bad frame range \"5-2\" (want A-B, A- or A)\n"},
      {{"render", recording, "--out", out, "--frames", "x"},
       "kestrune render: bad frame range \"x\" (want A-B, A- or A)\n"},
      {{"render", recording, "--out", out, "--desktop", "640"},
       "kestrune render: bad desktop size \"640\" (want WxH, each from 2 to 32768)\n"},
      {{"render", recording, "--out", out, "--desktop", "1x480"},
       "kestrune render: bad desktop size \"1x480\" (want WxH, each from 2 to 32768)\n"},
      {{"render", recording, "--out", out, "--format", "gif"},
       "kestrune render: bad format \"gif\" (want png or raw)\n"},
      {{"render", recording, "--out", out, "--threads", "0"},
       "kestrune render: bad thread count \"0\" (want 1 to 64)\n"},
      {{"render", recording, "--out", out, "--threads", "65"},
       "kestrune render: bad thread count \"65\" (want 1 to 64)\n"},
      {{"render", recording, "--out", out, "--bogus"}, "kestrune render: unknown option --bogus\n"},
      {{"render", recording, "--out"}, "kestrune render: --out needs a value\n"},
  };
  for (const auto& [args, message] : cases) {
    const ProcessResult result = runTool(args);
    EXPECT_EQ(result.exit_code, 2) << message;
    EXPECT_EQ(result.err.substr(0, message.size()), message);
    EXPECT_NE(result.err.find("usage: kestrune render REC --out DIR"), std::string::npos);
    EXPECT_EQ(result.out, "");
  }
  EXPECT_FALSE(std::filesystem::exists(out)) << "nothing is made on bad usage";
}

TEST_F(Render, HelpDescribesTheFormatsOnStandardOutput) {
  const ProcessResult result = runTool({"render", "--help"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out.rfind("usage: kestrune render REC --out DIR", 0), size_t{0});
  EXPECT_NE(result.out.find("r8 = r5<<3 | r5>>2, g8 = g6<<2 | g6>>4"), std::string::npos);
  EXPECT_NE(result.out.find("little-endian 16-bit 5-6-5"), std::string::npos);
}

TEST_F(Render, AMissingOrForeignRecordingFailsWithExitCode1) {
  const ProcessResult missing =
      runTool({"render", folder.file("absent.%i.rec"), "--out", folder.file("out")});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_EQ(missing.err, "kestrune render: cannot open " + folder.file("absent.0.rec") + "\n");
  EXPECT_EQ(missing.out, "");
  EXPECT_FALSE(std::filesystem::exists(folder.file("out"))) << "no folder for a failed render";

  const std::string foreign = folder.file("foreign.rec");
  ASSERT_TRUE(writeFileBytes(foreign, headerBytes({}, "RIFF")));
  const ProcessResult not_recording = runTool({"render", foreign, "--out", folder.file("out")});
  EXPECT_EQ(not_recording.exit_code, 1);
  EXPECT_EQ(not_recording.err,
            "kestrune render: " + foreign + " is not a Kestrune recording (no \"KREC\" magic)\n");
}

TEST_F(Render, PathsAreTakenFromTheCallersFolder) {
  writeFlatRecording(0xF9A5);
  const ProcessResult result =
      runTool({"render", "flat.rec", "--out", "frames", "--format", "raw", "--desktop", kDesktop},
              folder.path());
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(filesIn(folder.file("frames")), std::vector<std::string>{"frame_000000.raw"});
}

TEST(RenderPieces, FileNamesTextureFolderAndWidening) {
  EXPECT_EQ(frameFileName(5, "raw"), "frame_000005.raw");
  EXPECT_EQ(frameFileName(1234567, "png"), "frame_1234567.png");
  EXPECT_EQ(textureFolderOf("a/Video/Stream/r.%i.rec"), "a/Video/Stream/../TexDump/");
  EXPECT_EQ(textureFolderOf("r.rec"), "./../TexDump/");
  const auto channels = [](Pixel565 pixel) {
    const Rgb8 rgb = widenPixel(pixel);
    return std::array<int, 3>{rgb.red, rgb.green, rgb.blue};
  };
  EXPECT_EQ(channels(0x0000), (std::array<int, 3>{0, 0, 0}));
  EXPECT_EQ(channels(0xFFFF), (std::array<int, 3>{255, 255, 255}));
  EXPECT_EQ(channels(0x0821), (std::array<int, 3>{8, 4, 8}));        // 1 of each: 1<<3, 1<<2, 1<<3
  EXPECT_EQ(channels(0x8410), (std::array<int, 3>{132, 130, 132}));  // 16, 32, 16: top bit
}
