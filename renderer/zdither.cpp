// The 8-bit dithered pixel mode: receives the caller's palette choice for a 5 x 9 x 5 colour cube
// and the 5-6-5 picture; hands on the cube's colours, the dither table and rows of palette
// indexes chosen under a 4 x 4 ordered-dither kernel.
#include "renderer/zdither.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "renderer/error.h"

namespace {

constexpr int kRedLevels = 5;
constexpr int kGreenLevels = 9;
constexpr int kBlueLevels = 5;
constexpr int kDitherTableSize = 32768;

// Thresholds added below the channels' kept bits, rows by y mod 4.
constexpr int kKernel[4][4] = {{0, 2048, 512, 2560},
                               {3072, 1024, 3584, 1536},
                               {768, 2816, 256, 2304},
                               {3840, 1792, 3328, 1280}};

int cubeIndex(int r, int g, int b) { return b + kBlueLevels * g + kBlueLevels * kGreenLevels * r; }

// Levels spread evenly over 0..255, integer divisions.
int cubeColor(int r, int g, int b) {
  int red = r * 255 / (kRedLevels - 1);
  int green = g * 255 / (kGreenLevels - 1);
  int blue = b * 255 / (kBlueLevels - 1);
  return (red << 16) | (green << 8) | blue;
}

int atMost(int value, int limit) { return value < limit ? value : limit; }

// A dither index holds the red level in bits 12-14, the green sum (level x 4 + rest) in bits 6-11
// and the blue sum (level x 8 + rest) in bits 0-5. Indexes that dithering cannot produce map to
// the nearest cube level, so only the cube's entries of cube_to_palette are read.
uint8_t paletteIndexFor(int index, const uint8_t* cube_to_palette) {
  int r = atMost((index >> 12) & 7, kRedLevels - 1);
  int g = atMost((index >> 8) & 15, kGreenLevels - 1);
  int b = atMost((index >> 3) & 7, kBlueLevels - 1);
  return cube_to_palette[cubeIndex(r, g, b)];
}

// The 15-bit dither index of a pixel lifted by kernel value c: red and blue (5 bits, 8 per cube
// level) rise by c / 512, green (halved to 5 bits, 4 per level) by c / 1024, up to just under one
// level, so that truncating to a level rounds by position. Red keeps only its level (bits 12-14),
// green its sum (bits 6-11), blue its sum (bits 0-5).
int ditherIndex(Pixel565 p, int c) {
  int red = (p >> 11) + (c >> 9);
  int green = ((p >> 6) & 31) + (c >> 10);
  int blue = (p & 31) + (c >> 9);
  return ((red >> 3) << 12) | (green << 6) | blue;
}

// The same index for eight pixels at once, one 16-bit lane each (the index fits 15 bits).
typedef uint16_t Lanes8 __attribute__((vector_size(16)));

void ditherIndexes(const uint8_t* src, const Lanes8& red_blue_lift, const Lanes8& green_lift,
                   Lanes8* index) {
  Lanes8 p;
  std::memcpy(&p, src, sizeof p);
  Lanes8 red = (p >> 11) + red_blue_lift;
  Lanes8 green = ((p >> 6) & 31) + green_lift;
  Lanes8 blue = (p & 31) + red_blue_lift;
  *index = ((red >> 3) << 12) | (green << 6) | blue;
}

// Pixels pair up from even columns, and within a pair the kernel's two columns are exchanged:
// column x takes kernel column (x mod 4) XOR 1.
void ditherRow(const uint8_t* src, uint8_t* dest, int width, const int kernel_row[4],
               const uint8_t* table) {
  int c[8];
  Lanes8 red_blue_lift;
  Lanes8 green_lift;
  for (int i = 0; i < 8; ++i) {
    c[i] = kernel_row[(i & 3) ^ 1];
    red_blue_lift[i] = uint16_t(c[i] >> 9);
    green_lift[i] = uint16_t(c[i] >> 10);
  }
  int x = 0;
  for (; x + 8 <= width; x += 8) {  // two kernel periods per step
    Lanes8 index;
    ditherIndexes(src + 2 * x, red_blue_lift, green_lift, &index);
    for (int i = 0; i < 8; ++i) dest[x + i] = table[index[i]];
  }
  for (; x < width; ++x) {
    Pixel565 p;
    std::memcpy(&p, src + 2 * x, 2);
    dest[x] = table[ditherIndex(p, c[x & 7])];
  }
}

}  // namespace

void zditherCheckColors(int color_count) {
  if (color_count >= kZbCubeColors) return;
  std::fputs("zdither: not enough colors\n", stderr);
  std::exit(1);
}

bool zditherOpen(ZBuffer* zb, int color_count, const uint8_t* cube_to_palette, int* palette_out) {
  std::memset(palette_out, 0, sizeof(int) * size_t(color_count));
  zb->color_count = color_count;
  zb->cube_colors = static_cast<int*>(std::calloc(size_t(color_count), sizeof(int)));
  zb->dither_table = static_cast<uint8_t*>(std::malloc(kDitherTableSize));
  if (zb->cube_colors == nullptr || zb->dither_table == nullptr) return false;
  for (int r = 0; r < kRedLevels; ++r) {
    for (int g = 0; g < kGreenLevels; ++g) {
      for (int b = 0; b < kBlueLevels; ++b) {
        zb->cube_colors[cubeIndex(r, g, b)] = cubeColor(r, g, b);
        palette_out[cubeIndex(r, g, b)] = cubeColor(r, g, b);
      }
    }
  }
  for (int i = 0; i < kDitherTableSize; ++i) {
    zb->dither_table[i] = paletteIndexFor(i, cube_to_palette);
  }
  return true;
}

void zditherCopyOut(const ZBuffer* zb, uint8_t* dest, int line) {
  RK_ASSERT_TEXT((reinterpret_cast<uintptr_t>(dest) & 1) == 0 && (line & 1) == 0,
                 "((long)buf & 1) == 0 && (linesize & 1) == 0", "zdither");
  const uint8_t* src = reinterpret_cast<const uint8_t*>(zb->pixels);
  // Rows are read line_bytes apart, like every other reader of the frame buffer.
  for (int y = 0; y < zb->height; ++y) {
    ditherRow(src + ptrdiff_t(y) * zb->line_bytes, dest + ptrdiff_t(y) * line, zb->width,
              kKernel[y & 3], zb->dither_table);
  }
}
