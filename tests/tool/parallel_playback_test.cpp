// Two recordings played at once on two threads, each through its own renderer context, against
// the same recordings played alone. Receives generated textured recordings; checks every
// filtered frame's pixels.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <latch>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "renderer/gl.h"
#include "tests/support/recording_files.h"
#include "tools/bmp_writer.h"
#include "tools/tool_playback.h"

namespace {

using Frame = std::vector<Pixel565>;

constexpr DesktopSize kDesktop = {160, 120};  // 80 x 60 windows
constexpr int kTrianglesPerFrame = 120;

// A size x size 8-bit dump whose indices run along diagonals through a palette of `colours`.
BmpPicture diagonals(int32_t size, int colours, uint8_t tint) {
  BmpPicture picture;
  picture.width = size;
  picture.height = size;
  for (int k = 0; k < colours; ++k) {
    picture.palette.push_back({static_cast<uint8_t>(37 * k), tint, static_cast<uint8_t>(255 - k)});
  }
  for (int32_t r = 0; r < size; ++r) {
    for (int32_t c = 0; c < size; ++c) picture.indices.push_back((r + 2 * c) % colours);
  }
  return picture;
}

// Triangles from a fixed pseudo-random sequence: positions, texture coordinates and colours
// vary, a third are untextured, and all eight blend modes occur.
Bytes frameRecords(uint32_t& seed, int frame, uint8_t texture_slot) {
  Bytes records;
  const auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<uint8_t>(seed >> 24);
  };
  for (int k = 0; k < kTrianglesPerFrame; ++k) {
    TriangleRecord triangle = plainTriangle(next(), next(), next(), next(), next(), next(),
                                            static_cast<uint16_t>(next() << 8 | next()));
    for (TriangleVertex& vertex : triangle.vertices) {
      vertex.u = next();
      vertex.v = next();
    }
    triangle.texture_slot = k % 3 == 0 ? 0 : texture_slot;
    triangle.blend_mode = static_cast<uint8_t>(k % 8);
    appendBytes(records, triangleRecordBytes(triangle));
  }
  appendBytes(records, frameMarkBytes(0.05f * static_cast<float>(frame + 1)));
  return records;
}

// A single-part recording of `frames` frames under <folder>/Video/Stream with its one dump, in
// texture slot `slot`, under <folder>/Video/TexDump.
std::string writeRecording(const TempFolder& folder, const std::string& name, int frames,
                           uint8_t slot, uint64_t id, const BmpPicture& dump, uint32_t seed) {
  std::array<uint64_t, 32> ids = {};
  ids[slot - 1] = id;
  EXPECT_TRUE(writeBmpFile(textureDumpPath(folder.file("Video/TexDump/"), id), dump));
  Bytes stream = headerBytes(ids);
  for (int frame = 0; frame < frames; ++frame) {
    appendBytes(stream, compressedChunk(frameRecords(seed, frame, slot)));
  }
  const std::string path = folder.file("Video/Stream/" + name + ".rec");
  EXPECT_TRUE(writeFileBytes(path, stream));
  return path;
}

bool keepFrame(void* context, int64_t, const FramePicture& window) {
  const size_t pixels = static_cast<size_t>(window.width) * static_cast<size_t>(window.height);
  static_cast<std::vector<Frame>*>(context)->emplace_back(window.pixels, window.pixels + pixels);
  return true;
}

// One recording's playback with its frames kept in order.
struct Playing {
  std::string path;
  int threads = 1;
  ToolPlayback playback;
  std::vector<Frame> frames;
  bool opened = false;
  bool own_context_current = false;  // after opening, the thread's context is the playback's
  StreamStep end = StreamStep::kEnd;
};

void open(Playing& playing) {
  playing.playback.threads = playing.threads;
  playing.playback.sink = {keepFrame, &playing.frames};
  playing.opened = openToolPlayback("test", playing.path, kDesktop, &playing.playback);
  playing.own_context_current = playing.opened && glCurrentContext() == playing.playback.target.context;
}

void playAndClose(Playing& playing) {
  if (!playing.opened) return;
  playing.end = playToolRecording(playing.playback).end;
  closeToolPlayback(playing.playback);
}

// The recording drawn alone, on the calling thread.
std::vector<Frame> playAlone(const std::string& path, int threads) {
  Playing playing;
  playing.path = path;
  playing.threads = threads;
  open(playing);
  EXPECT_TRUE(playing.opened) << path;
  playAndClose(playing);
  return playing.frames;
}

}  // namespace

TEST(ParallelPlayback, TwoThreadsDrawTheFramesEachRecordingGivesAlone) {
  TempFolder folder;
  const std::string first =
      writeRecording(folder, "first", 12, 1, 0x1111, diagonals(32, 200, 90), 7);
  const std::string second =
      writeRecording(folder, "second", 9, 4, 0x2222, diagonals(16, 16, 10), 12345);
  const std::vector<Frame> first_alone = playAlone(first, 1);
  const std::vector<Frame> second_alone = playAlone(second, 3);
  ASSERT_EQ(first_alone.size(), 12u);
  ASSERT_EQ(second_alone.size(), 9u);
  ASSERT_NE(first_alone.back(), second_alone.back());

  // Both threads open (one at a time: opening picks file numbers) before either draws, so that
  // the drawing overlaps; the second one also draws with three raster threads of its own.
  Playing playings[2];
  playings[0].path = first;
  playings[1].path = second;
  playings[1].threads = 3;
  std::mutex opening;
  std::latch opened(2);
  const auto run = [&](Playing& playing) {
    {
      std::lock_guard<std::mutex> lock(opening);
      open(playing);
    }
    opened.arrive_and_wait();
    playAndClose(playing);
  };
  std::thread one(run, std::ref(playings[0]));
  std::thread two(run, std::ref(playings[1]));
  one.join();
  two.join();

  for (const Playing& playing : playings) {
    EXPECT_TRUE(playing.own_context_current) << playing.path;
    EXPECT_EQ(playing.end, StreamStep::kEnd) << playing.path;
  }
  ASSERT_EQ(playings[0].frames.size(), first_alone.size());
  ASSERT_EQ(playings[1].frames.size(), second_alone.size());
  for (size_t k = 0; k < first_alone.size(); ++k) {
    EXPECT_TRUE(playings[0].frames[k] == first_alone[k]) << "first recording, frame " << k;
  }
  for (size_t k = 0; k < second_alone.size(); ++k) {
    EXPECT_TRUE(playings[1].frames[k] == second_alone[k]) << "second recording, frame " << k;
  }
}
