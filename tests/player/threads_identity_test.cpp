// Frames drawn by several raster threads against frames drawn by one: the first frames of four
// workloads like the benchmark's (many small triangles, a few covering the screen, large ones,
// a scene of strips) played through the player's drawing path, every render-buffer pixel and
// depth value compared after each frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "player/record_walk.h"
#include "player/render_target.h"
#include "player/stream_records.h"
#include "player/triangle_drawing.h"
#include "renderer/context.h"
#include "renderer/gl.h"
#include "tools/recording_writer.h"

namespace {

// A 640 x 480 render buffer: with 2 threads its bands are 60 rows high, with 3 threads 40.
constexpr int32_t kWindowWidth = 320;
constexpr int32_t kWindowHeight = 240;
constexpr int kTextures = 4;

struct Snapshot {
  std::vector<Pixel565> pixels;
  std::vector<uint16_t> depth;
};

struct Run {
  RenderTarget* target = nullptr;
  std::vector<Pixel565> window;
  std::vector<Snapshot> frames;
};

// Each frame as the window would get it: the drawn buffers are kept, then filtered as the player
// filters (which changes the render buffer the next frame is drawn over).
PlaybackStep keepFrame(void* context, float) {
  Run& run = *static_cast<Run*>(context);
  glFinish();
  const ZBuffer* zb = run.target->zbuffer;
  const size_t count = size_t(zb->width) * size_t(zb->height);
  run.frames.push_back({std::vector<Pixel565>(zb->pixels, zb->pixels + count),
                        std::vector<uint16_t>(zb->depth, zb->depth + count)});
  filterFrame(*run.target, run.window.data());
  return PlaybackStep::kGoOn;
}

// Textures of stripes and black key texels, uploaded as the loader would.
void uploadTextures(TextureTable* table) {
  std::vector<uint8_t> rgb(64 * 64 * 3);
  for (int slot = 1; slot <= kTextures; ++slot) {
    for (size_t i = 0; i < rgb.size(); i += 3) {
      const size_t texel = i / 3;
      const bool key = (texel / 7 + texel % 5 + size_t(slot)) % 4 == 0;
      rgb[i] = key ? 0 : uint8_t(40 * slot + texel % 64);
      rgb[i + 1] = key ? 0 : uint8_t(texel / 64 * 4);
      rgb[i + 2] = key ? 0 : uint8_t(255 - 30 * slot);
    }
    glGenTextures(1, &table->names[slot]);
    glBindTexture(GL_TEXTURE_2D, int(table->names[slot]));
    glTexImage2D(GL_TEXTURE_2D, 0, 3, 64, 64, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  }
}

// Plays the records with `threads` raster threads and gives every frame.
std::vector<Snapshot> play(const Bytes& records, int threads) {
  RenderTarget target;
  EXPECT_TRUE(openRenderSurface(target, kWindowWidth, kWindowHeight));
  rkSetRasterThreads(threads);
  EXPECT_EQ(rkRasterThreads(), threads);
  TextureTable textures;
  uploadTextures(&textures);
  Run run;
  run.target = &target;
  run.window.assign(size_t(kWindowWidth) * kWindowHeight, 0);
  TriangleDrawing drawing;
  drawing.calls = &rendererDrawingCalls();
  drawing.textures = &textures;
  PlaybackState state = startUnpacedPlayback({keepFrame, &run}, drawing);
  walkRecords(state, records.data(), int64_t(records.size()));
  closeRenderSurface(target);
  return run.frames;
}

TriangleRecord triangle(std::mt19937& random, int size, double textured, double blended) {
  std::uniform_int_distribution<int> coordinate(0, 255);
  std::uniform_int_distribution<int> offset(-size, size);
  std::uniform_real_distribution<double> chance(0, 1);
  TriangleRecord t;
  const int cx = coordinate(random), cy = coordinate(random);
  for (TriangleVertex& v : t.vertices) {
    // Points beyond the screen's edges are clipped; the rest land anywhere, across bands.
    v.x = uint8_t(std::clamp(cx + offset(random), 0, 255));
    v.y = uint8_t(std::clamp(cy + offset(random), 0, 255));
    v.u = uint8_t(coordinate(random));
    v.v = uint8_t(coordinate(random));
    v.colour = uint16_t(random());
  }
  if (chance(random) < textured) t.texture_slot = uint8_t(1 + random() % kTextures);
  t.blend_mode = chance(random) < blended ? 1 : uint8_t(random() % 3 == 0 ? 2 : 0);
  return t;
}

// `frames` frames of `per_frame` triangles of about `size` units (of 255 across the screen).
Bytes randomFrames(unsigned seed, int frames, int per_frame, int size) {
  std::mt19937 random(seed);
  Bytes records;
  for (int f = 0; f < frames; ++f) {
    for (int k = 0; k < per_frame; ++k) {
      appendBytes(records, triangleRecordBytes(triangle(random, size, 0.7, 0.2)));
    }
    appendBytes(records, frameMarkBytes(float(f) / 30));
  }
  return records;
}

// The cases that meet band boundaries in particular ways: rows one high, flat tops and bottoms,
// points on a boundary row, spans one pixel wide, and triangles covering the screen.
Bytes edgeCaseFrame() {
  Bytes records;
  // 480 rows over 255 units: y = 32 is row 60, the first boundary of two threads' bands.
  for (uint8_t y : {31, 32, 33, 63, 64, 127, 128}) {
    appendBytes(records, triangleRecordBytes(plainTriangle(10, y, 200, y, 100, y + 1, 0xF800)));
    appendBytes(records, triangleRecordBytes(plainTriangle(5, y, 6, y + 40, 5, y + 80, 0x07E0)));
    appendBytes(records, triangleRecordBytes(plainTriangle(220, y, 250, y, 240, y, 0x001F)));
  }
  appendBytes(records, screenCoveringTriangles(0x1234, 2, 1));
  appendBytes(records, triangleRecordBytes(plainTriangle(0, 0, 255, 30, 20, 255, 0xABCD)));
  appendBytes(records, frameMarkBytes(0));
  appendBytes(records, screenCoveringTriangles(0x8421));
  appendBytes(records, triangleRecordBytes(plainTriangle(128, 0, 255, 255, 0, 200, 0x5A5A)));
  appendBytes(records, frameMarkBytes(0.04f));
  return records;
}

// A road-like scene: strips of textured triangles running from the bottom of the screen to a
// point near its middle, narrowing with distance.
Bytes sceneFrames(int frames) {
  Bytes records;
  for (int f = 0; f < frames; ++f) {
    for (int row = 0; row < 12; ++row) {
      const int y_near = 255 - row * 10, y_far = 245 - row * 10;
      for (int column = 0; column < 8; ++column) {
        TriangleRecord t;
        t.texture_slot = uint8_t(1 + (row + column + f) % kTextures);
        t.blend_mode = uint8_t(column % 3);
        const int half_near = 128 - row * 8, half_far = 120 - row * 8;
        const int x0 = 128 - half_near + column * half_near / 4;
        const int x1 = 128 - half_far + column * half_far / 4;
        const TriangleVertex a{0, 0, uint8_t(x0), uint8_t(y_near), 65535, 0x0FFF};
        const TriangleVertex b{255, 0, uint8_t(x0 + half_near / 4), uint8_t(y_near), 65535, 0};
        const TriangleVertex c{0, 255, uint8_t(x1), uint8_t(y_far), 65535, 0xF0F0};
        t.vertices[0] = a;
        t.vertices[1] = b;
        t.vertices[2] = c;
        appendBytes(records, triangleRecordBytes(t));
      }
    }
    appendBytes(records, frameMarkBytes(float(f) / 30));
  }
  return records;
}

// Every frame of every thread count equals the one-thread frame, pixel for pixel.
void expectSameFrames(const Bytes& records, size_t frame_count) {
  const std::vector<Snapshot> one = play(records, 1);
  ASSERT_EQ(one.size(), frame_count);
  // A frame that draws nothing would make the comparison empty.
  size_t drawn = 0;
  for (const Pixel565 p : one.back().pixels) drawn += p != 0;
  EXPECT_GT(drawn, one.back().pixels.size() / 10);
  for (int threads : {2, 3}) {
    const std::vector<Snapshot> many = play(records, threads);
    ASSERT_EQ(many.size(), frame_count);
    for (size_t f = 0; f < frame_count; ++f) {
      EXPECT_TRUE(many[f].pixels == one[f].pixels) << threads << " threads, frame " << f;
      EXPECT_TRUE(many[f].depth == one[f].depth) << threads << " threads, frame " << f;
    }
  }
}

TEST(ThreadsIdentityTest, ManySmallTriangles) { expectSameFrames(randomFrames(1, 3, 1500, 6), 3); }

// More triangles than the waiting list holds: it is drawn and emptied within the frame.
TEST(ThreadsIdentityTest, HeavyFrame) { expectSameFrames(randomFrames(2, 1, 20000, 4), 1); }

TEST(ThreadsIdentityTest, LargeTriangles) { expectSameFrames(randomFrames(3, 3, 100, 90), 3); }

TEST(ThreadsIdentityTest, Scene) { expectSameFrames(sceneFrames(3), 3); }

TEST(ThreadsIdentityTest, BandBoundariesAndScreenCovering) { expectSameFrames(edgeCaseFrame(), 2); }

void setThreadsVariable(const char* value) {
#if defined(_WIN32)
  _putenv_s("KESTRUNE_THREADS", value == nullptr ? "" : value);
#else
  if (value == nullptr) {
    unsetenv("KESTRUNE_THREADS");
  } else {
    setenv("KESTRUNE_THREADS", value, 1);
  }
#endif
}

// KESTRUNE_THREADS counts when it is a whole number from 1 to 64; otherwise every processor, and
// the first value that is not a thread count is named on standard error.
TEST(ThreadsIdentityTest, DefaultThreadCountComesFromTheEnvironment) {
  const unsigned processors = std::thread::hardware_concurrency();
  const int every = processors == 0 ? 1 : std::min(int(processors), 64);
  const std::vector<std::pair<const char*, int>> cases = {
      {"3", 3},      {"1", 1},      {"64", 64},  {"65", every},    {"0", every},
      {"-2", every}, {"2x", every}, {"", every}, {nullptr, every},
  };
  testing::internal::CaptureStderr();
  for (const auto& [value, threads] : cases) {
    setThreadsVariable(value);
    EXPECT_EQ(defaultRasterThreads(), threads) << (value == nullptr ? "unset" : value);
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "KESTRUNE_THREADS=\"65\" is not a thread count (want 1 to 64); using one thread per "
            "processor instead\n");
  setThreadsVariable(nullptr);
}

}  // namespace
