// Seeks against a straight render: a textured recording in three parts, with chunks that hold
// several frames and a frame that runs over two chunks, reached forward, back, at 0, at and past
// the last frame, with a budget that holds only a few snapshots, at 1, 2 and 3 raster threads;
// a cancelled seek; a recording that breaks off; one without a frame mark.
#include "seek/seek_engine.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/recording_files.h"
#include "tools/bmp_writer.h"
#include "tools/tool_playback.h"

namespace {

using Frame = std::vector<Pixel565>;

constexpr int kFrames = 40;
constexpr int kDesktopWidth = 64;  // 32 x 24 windows
constexpr int kDesktopHeight = 48;

BmpPicture stripes() {
  BmpPicture picture;
  picture.width = 16;
  picture.height = 16;
  for (int k = 0; k < 5; ++k) {
    picture.palette.push_back({static_cast<uint8_t>(50 * k), 90, static_cast<uint8_t>(200 - k)});
  }
  for (int i = 0; i < 256; ++i) picture.indices.push_back(static_cast<uint8_t>((i / 3) % 5));
  return picture;
}

// Forty triangles a frame from a fixed sequence, every blend mode, a third untextured.
Bytes frameRecords(uint32_t& seed, int frame) {
  Bytes records;
  const auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<uint8_t>(seed >> 24);
  };
  for (int k = 0; k < 40; ++k) {
    TriangleRecord triangle = plainTriangle(next(), next(), next(), next(), next(), next(),
                                            static_cast<uint16_t>(next() << 8 | next()));
    for (TriangleVertex& vertex : triangle.vertices) vertex.u = next();
    triangle.texture_slot = k % 3 == 0 ? 0 : 2;
    triangle.blend_mode = static_cast<uint8_t>((k + frame) % 8);
    appendBytes(records, triangleRecordBytes(triangle));
  }
  appendBytes(records, frameMarkBytes(0.04f * static_cast<float>(frame + 1)));
  return records;
}

// Chunks of three frames, but frame 10 is cut after its fifth triangle into two chunks.
Bytes recordingStream() {
  std::array<uint64_t, 32> ids = {};
  ids[1] = 0xABC;
  Bytes stream = headerBytes(ids);
  uint32_t seed = 7;
  Bytes chunk;
  for (int frame = 0; frame < kFrames; ++frame) {
    Bytes records = frameRecords(seed, frame);
    if (frame == 10) {
      appendBytes(chunk, Bytes(records.begin(), records.begin() + 5 * 26));
      appendBytes(stream, compressedChunk(chunk));
      chunk = Bytes(records.begin() + 5 * 26, records.end());
    } else {
      appendBytes(chunk, records);
    }
    if (frame % 3 == 2) {
      appendBytes(stream, compressedChunk(chunk));
      chunk.clear();
    }
  }
  if (!chunk.empty()) appendBytes(stream, compressedChunk(chunk));
  return stream;
}

bool keepFrame(void* context, int64_t, const FramePicture& window) {
  const size_t pixels = static_cast<size_t>(window.width) * static_cast<size_t>(window.height);
  static_cast<std::vector<Frame>*>(context)->emplace_back(window.pixels, window.pixels + pixels);
  return true;
}

// Every frame as `kestrune render` draws it.
std::vector<Frame> straightRender(const std::string& path) {
  std::vector<Frame> frames;
  ToolPlayback playback;
  if (!openToolPlayback("test", path, {kDesktopWidth, kDesktopHeight}, &playback)) return frames;
  playback.sink = {keepFrame, &frames};
  playToolRecording(playback);
  closeToolPlayback(playback);
  return frames;
}

Frame picture(const SeekEngine& engine) {
  const RenderTarget& target = engine.foreground.target;
  const Pixel565* pixels = seekPicture(engine);
  return Frame(pixels, pixels + size_t(target.width) * size_t(target.height));
}

SeekOptions smallOptions(int threads, int64_t snapshot_bytes) {
  SeekOptions options;
  options.desktop_width = kDesktopWidth;
  options.desktop_height = kDesktopHeight;
  options.threads = threads;
  options.budget = seekFixedBytes(options, kFrames) + snapshot_bytes;
  return options;
}

class SeekEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(writeBmpFile(textureDumpPath(folder_.file("Video/TexDump/"), 0xABC), stripes()));
    const Bytes stream = recordingStream();
    path_ = folder_.file("Video/Stream/seek.%i.rec");
    ASSERT_TRUE(writeParts(splitAt(stream, {stream.size() / 3, 2 * stream.size() / 3}), path_));
    reference_ = straightRender(path_);
    ASSERT_EQ(reference_.size(), size_t{kFrames});
  }

  TempFolder folder_;
  std::string path_;
  std::vector<Frame> reference_;
};

TEST_F(SeekEngineTest, EverySeekGivesTheFrameAStraightRenderGives) {
  const std::vector<int64_t> seeks = {5, 17, 3, 0, 39, 1000, 38, 20, 19, 11, 10, 9, 30, 29};
  for (int threads = 1; threads <= 3; ++threads) {
    SeekEngine engine;
    std::string error;
    ASSERT_TRUE(openSeekEngine(path_, smallOptions(threads, 10 << 10), &engine, &error)) << error;
    EXPECT_EQ(frameCount(engine), kFrames);
    for (int64_t frame : seeks) {
      ASSERT_EQ(seekFrame(engine, frame), SeekResult::kDone) << frame;
      const int64_t landed = std::min<int64_t>(frame, kFrames - 1);
      EXPECT_EQ(engine.foreground.picture_frame, landed);
      EXPECT_TRUE(picture(engine) == reference_[size_t(landed)])
          << "frame " << frame << " at " << threads << " threads";
    }
    const StoreFigures store = storeFigures(engine.store);
    EXPECT_LE(store.used, engine.store.budget);
    EXPECT_GT(store.spacing, 8);  // the small budget made the snapshots spread out
    EXPECT_GT(store.count, 0);
    closeSeekEngine(engine);
  }
}

TEST_F(SeekEngineTest, ACancelledSeekLeavesTheEngineReadyForTheNext) {
  SeekOptions options = smallOptions(1, 1 << 20);
  options.draw_ahead = false;
  SeekEngine engine;
  std::string error;
  ASSERT_TRUE(openSeekEngine(path_, options, &engine, &error)) << error;
  std::atomic<bool> cancel{true};
  EXPECT_EQ(seekFrame(engine, 30, {nullptr, &cancel, nullptr}), SeekResult::kCancelled);
  EXPECT_EQ(engine.foreground.frame, 0);  // stopped at the first frame mark
  ASSERT_EQ(seekFrame(engine, 30), SeekResult::kDone);
  EXPECT_TRUE(picture(engine) == reference_[30]);
  closeSeekEngine(engine);
}

TEST_F(SeekEngineTest, ABrokenRecordingSeeksAsFarAsItsStreamGoes) {
  const Bytes stream = recordingStream();
  const std::string broken = folder_.file("Video/Stream/broken.%i.rec");
  std::vector<Bytes> parts = splitAt(stream, {stream.size() / 3, 2 * stream.size() / 3});
  parts.pop_back();
  parts.push_back(Bytes(parts[0].size(), 0));  // part 2 is there to keep part 1 from being last
  ASSERT_TRUE(writeParts(parts, broken));
  std::remove(partPath(broken, 2).c_str());  // then goes: the chunk across it breaks off
  const std::vector<Frame> expected = straightRender(broken);
  ASSERT_FALSE(expected.empty());
  SeekEngine engine;
  std::string error;
  ASSERT_TRUE(openSeekEngine(broken, smallOptions(2, 1 << 20), &engine, &error)) << error;
  EXPECT_EQ(frameCount(engine), int64_t(expected.size()));
  EXPECT_TRUE(engine.index.ended_by_anomaly);
  ASSERT_EQ(seekFrame(engine, kFrames), SeekResult::kDone);
  EXPECT_TRUE(picture(engine) == expected.back());
  closeSeekEngine(engine);

  const std::string empty = folder_.file("Video/Stream/empty.rec");
  ASSERT_TRUE(writeFileBytes(empty, joinBytes({headerBytes({}), compressedChunk(Bytes(26, 2))})));
  EXPECT_FALSE(openSeekEngine(empty, smallOptions(1, 1 << 20), &engine, &error));
  EXPECT_EQ(error, empty + " has no frames to seek to (no frame mark)");
}

}  // namespace
