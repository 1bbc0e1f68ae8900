// Fuzz target: triangle records drawn through the renderer into a small render target, with
// every vertex, texture slot and blend mode value, and the 2:1 filter at frame ends.
// Receives 26-byte records (byte 0 of each says whether a frame ends after it) behind one byte
// that chooses the target's size; hands on nothing but a crash or a sanitizer report.
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "player/render_target.h"
#include "player/stream_records.h"
#include "player/triangle_drawing.h"
#include "renderer/gl.h"

namespace {

// Window sizes (the render buffer is twice as wide and high), odd and even, down to one pixel.
struct WindowSize {
  int32_t width;
  int32_t height;
};
constexpr WindowSize kSizes[] = {{1, 1}, {2, 3}, {7, 5}, {33, 17}};
constexpr int kSizeCount = sizeof(kSizes) / sizeof(kSizes[0]);

// Slots 1 to 3 hold images of different sizes, slot 4 a name without an image; the other slots
// stay 0 as empty header slots leave them.
constexpr int kLoadedSlots = 3;
constexpr int kImagelessSlot = 4;

struct Stage {
  RenderTarget target;
  int size_choice = -1;
  TextureTable textures;
  std::vector<Pixel565> window;
};

Stage& stage() {
  static Stage current;
  return current;
}

// An image of width x height texels with a pattern that includes black (the blend key).
void uploadPattern(int width, int height) {
  std::vector<uint8_t> rgb(3 * static_cast<size_t>(width) * height);
  for (size_t k = 0; k < rgb.size(); ++k) rgb[k] = static_cast<uint8_t>((k * 37) % 5 * 63);
  glTexImage2D(GL_TEXTURE_2D, 0, 3, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
}

void makeTextures(TextureTable& table) {
  table = TextureTable{};
  const WindowSize images[kLoadedSlots] = {{1, 1}, {5, 3}, {256, 256}};
  for (int slot = 1; slot <= kImagelessSlot; ++slot) {
    glGenTextures(1, &table.names[slot]);
    glBindTexture(GL_TEXTURE_2D, static_cast<int>(table.names[slot]));
    if (slot <= kLoadedSlots) uploadPattern(images[slot - 1].width, images[slot - 1].height);
  }
}

// A fresh surface of the chosen size, its textures loaded; kept while the choice stays.
void useSize(int choice) {
  Stage& s = stage();
  if (choice == s.size_choice) return;
  closeRenderSurface(s.target);
  const WindowSize size = kSizes[choice];
  FUZZ_CHECK(openRenderSurface(s.target, size.width, size.height));
  makeTextures(s.textures);
  s.window.assign(static_cast<size_t>(size.width) * size.height, 0);
  s.size_choice = choice;
}

// Every input starts from the state the player has after start-up: cleared buffers, blending
// on, texturing off, the last loaded texture bound.
void resetState() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, static_cast<int>(stage().textures.names[kImagelessSlot]));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  silenceStandardOutput();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteReader input(data, size);
  useSize(input.choose(kSizeCount));
  resetState();
  Stage& s = stage();
  TriangleDrawing drawing;
  drawing.calls = &rendererDrawingCalls();
  drawing.textures = &s.textures;
  while (input.remaining() >= static_cast<size_t>(kTriangleRecordSize)) {
    const uint8_t* record = input.rest();
    for (int k = 0; k < kTriangleRecordSize; ++k) input.u8();
    drawTriangle(drawing, readTriangleRecord(record));
    if ((record[0] & 1) != 0) filterFrame(s.target, s.window.data());
  }
  return 0;
}
