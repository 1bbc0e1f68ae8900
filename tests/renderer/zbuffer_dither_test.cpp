// Tests of the 8-bit dithered mode: the colour cube handed to the caller, the dither table built
// from the caller's palette choice, palette indexes of a small picture worked out by hand from
// the kernel, and the process ending on too few colours or a misaligned destination.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "renderer/zbuffer.h"
#include "tests/renderer/zbuffer_support.h"

namespace {

// Palette index = cube index, so outputs read directly as 45 R + 5 G + B.
std::vector<uint8_t> identityCube() {
  std::vector<uint8_t> cube(kZbCubeColors);  // exactly the cube: reading past it is a fault
  for (int i = 0; i < kZbCubeColors; ++i) cube[i] = uint8_t(i);
  return cube;
}

TEST(ZBufferDither, OpenHandsOutTheColourCube) {
  std::vector<uint8_t> cube = identityCube();
  std::vector<int> palette(256, -1);
  ZBuffer* zb = zbOpen(4, 4, kZbModeDither8, 256, cube.data(), palette.data(), nullptr);
  ASSERT_NE(zb, nullptr);
  EXPECT_EQ(zb->color_count, 256);
  // cube index b + 5 g + 45 r; levels 0, 63, 127, 191, 255 (red, blue), 0, 31, 63, ... (green)
  const int index[] = {0, 1, 5, 45, 109, 224};
  const int colour[] = {0x000000, 0x00003F, 0x001F00, 0x3F0000, 0x7F5FFF, 0xFFFFFF};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(palette[index[i]], colour[i]) << "cube index " << index[i];
    EXPECT_EQ(zb->cube_colors[index[i]], colour[i]) << "cube index " << index[i];
  }
  for (int i = kZbCubeColors; i < 256; ++i) EXPECT_EQ(palette[i], 0) << i;
  zbClose(zb);
}

// Table index: red level in bits 12-14, green sum in bits 6-11, blue sum in bits 0-5. The
// caller's map is reversed so that a table holding cube indexes would show.
TEST(ZBufferDither, TableMapsDitherIndexesThroughTheCallersPalette) {
  std::vector<uint8_t> reversed(kZbCubeColors);
  for (int i = 0; i < kZbCubeColors; ++i) reversed[i] = uint8_t(255 - i);
  std::vector<int> palette(225);
  ZBuffer* zb = zbOpen(4, 4, kZbModeDither8, 225, reversed.data(), palette.data(), nullptr);
  ASSERT_NE(zb, nullptr);
  EXPECT_EQ(zb->dither_table[0], 255);
  EXPECT_EQ(zb->dither_table[(4 << 12) | (32 << 6) | 32], 255 - 224);  // levels 4, 8, 4
  EXPECT_EQ(zb->dither_table[(2 << 12) | (21 << 6) | 5], 255 - 115);   // levels 2, 5, 0
  EXPECT_EQ(zb->dither_table[(3 << 12) | (24 << 6) | 11], 255 - 166);  // levels 3, 6, 1
  // Indexes no pixel produces fall to the top levels rather than reading past the cube.
  EXPECT_EQ(zb->dither_table[0x7FFF], 255 - 224);
  zbClose(zb);
}

// Width 9: padded source rows, eight pixels in one step and one alone; five rows, so the kernel
// repeats at row 4; destination rows of 10 bytes. Most pixels are 0xA545: red 20, green 42, blue
// 5. With kernel value c: red level (20 + c/512) / 8, green level (21 + c/1024) / 4, blue level
// (5 + c/512) / 8; column x takes kernel column (x mod 4) XOR 1. Row 0 so takes c = 2048, 0,
// 2560, 512, ...: 161 (levels 3, 5, 1), 115 (2, 5, 0), 161, 115. White gives 224 (4, 8, 4) or,
// where c is 0, 173 (3, 7, 3); black gives 0 everywhere.
TEST(ZBufferDither, CopyOutDithersEachPixelByItsPosition) {
  std::vector<uint8_t> cube = identityCube();
  std::vector<int> palette(225);
  ZBuffer* zb = zbOpen(9, 5, kZbModeDither8, 225, cube.data(), palette.data(), nullptr);
  ASSERT_NE(zb, nullptr);
  const Pixel565 g = 0xA545;
  const Pixel565 w = 0xFFFF;
  setRow(zb, 0, {w, w, g, g, g, w, g, g, g});
  setRow(zb, 1, {g, g, g, g, g, g, w, g, g});
  setRow(zb, 2, {g, g, g, g, g, g, g, g, 0});
  setRow(zb, 3, {g, g, w, g, g, g, g, w, g});
  setRow(zb, 4, {g, g, g, g, 0, g, g, g, g});
  alignas(4) uint8_t out[5 * 10];
  std::memset(out, 0xEE, sizeof out);
  zbCopyOut(zb, out, 20);  // 20 / 2 = 10 bytes per destination row
  const uint8_t expected[5][10] = {
      // c = 2048, 0, 2560, 512, repeated
      {224, 173, 161, 115, 161, 173, 161, 115, 161, 0xEE},
      // c = 1024, 3072, 1536, 3584: grey 115, 166, 116, 166
      {115, 166, 116, 166, 115, 166, 224, 166, 115, 0xEE},
      // c = 2816, 768, 2304, 256: as row 0
      {161, 115, 161, 115, 161, 115, 161, 115, 0, 0xEE},
      // c = 1792, 3840, 1280, 3328: grey 116, 166, 115, 166
      {116, 166, 224, 166, 116, 166, 115, 224, 116, 0xEE},
      // row 0's kernel again
      {161, 115, 161, 115, 0, 115, 161, 115, 161, 0xEE},
  };
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 10; ++x) EXPECT_EQ(out[y * 10 + x], expected[y][x]) << x << "," << y;
  }
  zbClose(zb);
}

TEST(ZBufferDeathTest, TooFewColoursEndTheProcess) {
  std::vector<uint8_t> cube = identityCube();
  std::vector<int> palette(224);
  EXPECT_EXIT(zbOpen(4, 4, kZbModeDither8, 224, cube.data(), palette.data(), nullptr),
              testing::ExitedWithCode(1), "^zdither: not enough colors\n$");
}

TEST(ZBufferDeathTest, DitherNeedsAnEvenDestinationAndLineSize) {
  std::vector<uint8_t> cube = identityCube();
  std::vector<int> palette(225);
  ZBuffer* zb = zbOpen(4, 2, kZbModeDither8, 225, cube.data(), palette.data(), nullptr);
  ASSERT_NE(zb, nullptr);
  zbClear(zb, 1, 0, 1, 0, 0, 0);
  alignas(4) uint8_t out[32];
  std::memset(out, 0xEE, sizeof out);
  const std::string pattern =
      assertionPattern("((long)buf & 1) == 0 && (linesize & 1) == 0", "zdither");
  EXPECT_DEATH(zbCopyOut(zb, out + 1, 8), pattern);  // odd address
  EXPECT_DEATH(zbCopyOut(zb, out, 10), pattern);     // line size 10 / 2 = 5
  zbCopyOut(zb, out, 12);                            // line size 6: accepted
  EXPECT_EQ(out[6], 0);
  zbClose(zb);
}

}  // namespace
