// The drawing surface's life and bulk work: opens, resizes and closes the frame and depth buffers,
// clears them, and copies the 5-6-5 picture out in modes 1, 3 and 4 (mode 2 is in zdither.cpp).
// Receives sizes, clear values and destination rows; hands on filled buffers and converted rows.
#include "renderer/zbuffer.h"

#include <bit>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "renderer/error.h"
#include "renderer/zdither.h"

static_assert(std::endian::native == std::endian::little,
              "copy-out writes 32-bit words and packs 24-bit pixels for little-endian memory");

namespace {

// Eight 16-bit values: the unit of the wide fills. GCC and Clang lower it to one 16-byte vector
// store where the target has vector registers and to plain stores elsewhere.
typedef uint16_t ValueBlock __attribute__((vector_size(16)));

constexpr int kMaxWidth = 0x3FFFFFFC;  // keeps width x 2 + 3 inside an int

// Sizes that give at least one pixel and buffers that fit the address space.
bool sizeFits(int width, int height) {
  if (width < 1 || height < 1 || width > kMaxWidth) return false;
  return (uint64_t(width) * 2 + 4) * uint64_t(height) <= uint64_t(PTRDIFF_MAX);
}

bool knownMode(int mode) { return mode >= kZbMode565 && mode <= kZbModeRgb24; }

// Writes `count` copies of value from dest on: eight at a time, then the remainder. A value of
// two equal bytes (0, the usual depth and black, or white) goes to memset, which is faster still.
void fillValues(uint16_t* dest, size_t count, uint16_t value) {
  if ((value >> 8) == (value & 0xFF)) {
    std::memset(dest, value & 0xFF, count * 2);
    return;
  }
  ValueBlock block = ValueBlock{} + value;
  size_t i = 0;
  for (; i + 16 <= count; i += 16) {  // two blocks per step halves the loop overhead
    std::memcpy(dest + i, &block, sizeof block);
    std::memcpy(dest + i + 8, &block, sizeof block);
  }
  if (i + 8 <= count) {
    std::memcpy(dest + i, &block, sizeof block);
    i += 8;
  }
  for (; i < count; ++i) dest[i] = value;
}

uint8_t* rowBytes(const ZBuffer* zb, int y) {
  return reinterpret_cast<uint8_t*>(zb->pixels) + ptrdiff_t(y) * zb->line_bytes;
}

// Each row gets `width` pixels from its start; the padding after them keeps its bytes.
void fillPixels(ZBuffer* zb, Pixel565 pixel) {
  if (zb->line_bytes == zb->width * 2) {  // rows back to back: one run over the whole buffer
    fillValues(zb->pixels, size_t(zb->width) * size_t(zb->height), pixel);
    return;
  }
  for (int y = 0; y < zb->height; ++y) {
    fillValues(reinterpret_cast<Pixel565*>(rowBytes(zb, y)), size_t(zb->width), pixel);
  }
}

// 0x00RRGGBB with each channel's bits at the top of its byte and zeros below.
inline uint32_t rgb32(Pixel565 p) {
  return ((p & 0xF800u) << 8) | ((p & 0x07E0u) << 5) | ((p & 0x001Fu) << 3);
}

// Eight pixels at a time: the same conversion on vector lanes, which GCC and Clang map to vector
// registers where the target has them.
typedef uint16_t Pixels8 __attribute__((vector_size(16)));
typedef uint32_t Words8 __attribute__((vector_size(32)));
typedef uint64_t Pairs4 __attribute__((vector_size(32)));

// Through a pointer: returning a 32-byte vector by value would depend on the AVX calling rules.
inline void rgb32x8(const uint8_t* src, Words8* words) {
  Pixels8 p;
  std::memcpy(&p, src, sizeof p);
  Words8 w = __builtin_convertvector(p, Words8);
  *words = ((w & 0xF800u) << 8) | ((w & 0x07E0u) << 5) | ((w & 0x001Fu) << 3);
}

void copyRows565(const ZBuffer* zb, uint8_t* dest, ptrdiff_t pitch) {
  size_t row_size = size_t(zb->width) * 2;
  if (pitch == zb->line_bytes && size_t(pitch) == row_size) {  // same layout: one block
    std::memcpy(dest, zb->pixels, row_size * size_t(zb->height));
    return;
  }
  for (int y = 0; y < zb->height; ++y) std::memcpy(dest + y * pitch, rowBytes(zb, y), row_size);
}

// Byte offsets are taken in size_t: 4 x width and 3 x width leave the int range on rows of more
// than 2^29 (or about 7 x 10^8) pixels, which zbOpen accepts.
void convertRowRgb32(const uint8_t* src, uint8_t* dest, int width) {
  size_t x = 0;
  for (; x + 8 <= size_t(width); x += 8) {
    Words8 words;
    rgb32x8(src + 2 * x, &words);
    std::memcpy(dest + 4 * x, &words, sizeof words);
  }
  for (; x < size_t(width); ++x) {
    Pixel565 p;
    std::memcpy(&p, src + 2 * x, 2);
    uint32_t word = rgb32(p);
    std::memcpy(dest + 4 * x, &word, 4);
  }
}

// Pixels as bytes blue, green, red (the low three bytes of their little-endian words). Eight at
// a time: each 64-bit lane holds two words and is squeezed to their six bytes, then the lanes are
// stored 6 bytes apart, each store's two spare bytes overwritten by the next one. The steps stop
// while a pixel is left, so that the last spare bytes land inside the row.
void convertRowRgb24(const uint8_t* src, uint8_t* dest, int width) {
  size_t x = 0;
  for (; x + 9 <= size_t(width); x += 8) {
    Words8 words;
    rgb32x8(src + 2 * x, &words);
    Pairs4 pairs = reinterpret_cast<Pairs4>(words);
    pairs = (pairs & 0xFFFFFFu) | ((pairs >> 8) & 0xFFFFFF000000u);
    for (int i = 0; i < 4; ++i) {
      uint64_t six_bytes = pairs[i];
      std::memcpy(dest + 3 * x + 6 * i, &six_bytes, 8);
    }
  }
  for (; x < size_t(width); ++x) {
    Pixel565 p;
    std::memcpy(&p, src + 2 * x, 2);
    uint32_t word = rgb32(p);
    std::memcpy(dest + 3 * x, &word, 3);
  }
}

using RowConverter = void (*)(const uint8_t* src, uint8_t* dest, int width);

void convertRows(const ZBuffer* zb, uint8_t* dest, ptrdiff_t pitch, RowConverter convert) {
  for (int y = 0; y < zb->height; ++y) convert(rowBytes(zb, y), dest + y * pitch, zb->width);
}

}  // namespace

ZBuffer* zbOpen(int width, int height, int mode, int color_count, const uint8_t* cube_to_palette,
                int* palette_out, Pixel565* caller_pixels) {
  if (!knownMode(mode) || !sizeFits(width, height)) return nullptr;
  if (mode == kZbModeDither8) zditherCheckColors(color_count);
  ZBuffer* zb = static_cast<ZBuffer*>(std::malloc(sizeof(ZBuffer)));
  if (zb == nullptr) return nullptr;
  int line_bytes = (width * 2 + 3) & ~3;
  *zb = ZBuffer{width, height, line_bytes, mode, nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr};
  bool ok = mode != kZbModeDither8 || zditherOpen(zb, color_count, cube_to_palette, palette_out);
  if (ok) {
    zb->depth = static_cast<uint16_t*>(std::malloc(size_t(width) * size_t(height) * 2));
    ok = zb->depth != nullptr;
  }
  if (ok && caller_pixels != nullptr) {
    zb->pixels = caller_pixels;
  } else if (ok) {
    zb->pixels = static_cast<Pixel565*>(std::malloc(size_t(line_bytes) * size_t(height)));
    zb->owns_pixels = 1;
    ok = zb->pixels != nullptr;
  }
  if (!ok) {  // zbClose frees exactly what was allocated so far
    zbClose(zb);
    return nullptr;
  }
  return zb;
}

void zbClose(ZBuffer* zb) {
  std::free(zb->cube_colors);
  std::free(zb->dither_table);
  if (zb->owns_pixels) std::free(zb->pixels);
  std::free(zb->depth);
  std::free(zb);
}

void zbResize(ZBuffer* zb, Pixel565* caller_pixels, int width, int height) {
  width &= ~3;
  zb->width = width;
  zb->height = height;
  zb->line_bytes = width * 2;
  std::free(zb->depth);
  zb->depth = static_cast<uint16_t*>(std::malloc(size_t(width) * size_t(height) * 2));
  if (zb->owns_pixels) std::free(zb->pixels);
  if (caller_pixels != nullptr) {
    zb->pixels = caller_pixels;
    zb->owns_pixels = 0;
  } else {
    zb->pixels = static_cast<Pixel565*>(std::malloc(size_t(zb->line_bytes) * size_t(height)));
    zb->owns_pixels = 1;
  }
}

void zbClear(ZBuffer* zb, int clear_depth, int depth_value, int clear_color, int r, int g, int b) {
  if (clear_depth) {
    fillValues(zb->depth, size_t(zb->width) * size_t(zb->height), uint16_t(depth_value));
  }
  if (clear_color) fillPixels(zb, rgbToPixel(r, g, b));
}

void zbCopyOut(const ZBuffer* zb, void* dest, int dest_line) {
  uint8_t* out = static_cast<uint8_t*>(dest);
  switch (zb->mode) {
    case kZbMode565:
      copyRows565(zb, out, dest_line);
      return;
    case kZbModeDither8:
      zditherCopyOut(zb, out, dest_line / 2);
      return;
    case kZbModeRgb32:
      convertRows(zb, out, dest_line, convertRowRgb32);
      return;
    case kZbModeRgb24:  // dest_line counts in units of three bytes here
      convertRows(zb, out, 3 * ptrdiff_t(dest_line), convertRowRgb24);
      return;
  }
  RK_ASSERT(0, "zbuffer");  // no copy-out format for this mode
}

void zbSetTexture(ZBuffer* zb, const Pixel565* texels) { zb->texture = texels; }
