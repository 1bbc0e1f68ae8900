// Tests of the Gouraud fill: the packed colour word (red 10 bits in 22-31, blue 9 bits in 12-20,
// green 11 bits in 0-10), its per-pixel step with the carry bits cleared, and colours carried
// down the left edge. Expected pixels are worked out by hand in the comments.
#include <gtest/gtest.h>

#include <vector>

#include "renderer/ztriangle.h"
#include "tests/renderer/fill_support.h"

namespace {

constexpr int kZ = 77 << 14;

// The triangles here have a vertical left edge from (0,0) down, a top row along y = 0 and a
// power-of-two area, so every gradient is exact and each row starts with dQdy added.

TEST(FillSmooth, RedFallsFromFullToNoneAcrossASpanLeavingGreenAndBlue) {
  // (0,0) (8,0) (0,2): area 16, dQdx = 0.125 x (Q1 - Q0), dQdy = 0.5 x (Q2 - Q0). Right edge
  // (8,0)-(0,2), slope -4: row 0 is 0..8 (a block and the block ending at 8), row 1 is 0..4
  // (one by one), row 2 is 0..0.
  // Red 65535 -> 0 along row 0, green 0x8000 and blue 0x5555 everywhere.
  //   drdx = 0.125 x -65535 = -8191.875 -> -8191; / 64 -> -127, a red step of 897 (10 bits).
  //   Start: red field 65535 >> 6 = 1023; green field 0x8000 >> 5 = 1024; blue field
  //   0x5555 >> 7 = 170. Pixel: red5 = red field >> 5, green6 = green field >> 5 = 32
  //   (0x0400), blue5 = blue field >> 4 = 10 (0x000A).
  //   Red field 1023 - 127 k: 1023 896 769 642 515 388 261 134 7
  //   -> red5 31 28 24 20 16 12 8 4 0.
  ScreenPoint p0 = coloured(0, 0, kZ, 65535, 0x8000, 0x5555);
  ScreenPoint p1 = coloured(8, 0, kZ, 0, 0x8000, 0x5555);
  ScreenPoint p2 = coloured(0, 2, kZ, 65535, 0x8000, 0x5555);
  FillCanvas canvas(10, 3);
  zbFillSmooth(canvas.zb(), &p0, &p1, &p2);
  Grid want(10, 3, kBackground);
  want.row(0, 0, {0xFC0A, 0xE40A, 0xC40A, 0xA40A, 0x840A, 0x640A, 0x440A, 0x240A, 0x040A})
      .row(1, 0, {0xFC0A, 0xE40A, 0xC40A, 0xA40A, 0x840A})
      .row(2, 0, {0xFC0A});
  EXPECT_TRUE(picture(canvas, want));
}

TEST(FillSmooth, EachChannelStepsInItsOwnFieldAcrossBlocks) {
  // (0,0) (16,0) (0,2), area 32: dQdx = 0.0625 x (Q1 - Q0), dQdy = 0.5 x (Q2 - Q0). Right edge
  // (16,0)-(0,2), slope -8: row 0 is 0..16 (blocks at 0 and 8, then the block ending at 16),
  // row 1 is 0..8, row 2 is 0..0. Red 0 -> 64000 along x and 32000 down; green 65535 -> 0 and
  // blue 40000 -> 0 along x.
  //   drdx = 4000 -> / 64 = 62;  drdy = 16000 (row 1 starts at red field 16000 >> 6 = 250).
  //   dgdx = -4095.9375 -> -4095 -> / 32 = -127, a green step of 2048 - 127 = 1921.
  //   dbdx = -2500 -> / 128 = -19, a blue step of 512 - 19 = 493.
  //   Start of a row: green 65535 >> 5 = 2047, blue 40000 >> 7 = 312.
  // Pixel k of a row: red field r0 + 62k, green 2047 - 127k, blue 312 - 19k; the pixel is
  // (red >> 5) << 11 | (green >> 5) << 5 | blue >> 4. For example k = 1: 62, 1920, 293 ->
  // 1, 60, 18 -> 0x0F92; k = 9: 558, 904, 141 -> 17, 28, 8 -> 0x8B88; k = 16: 992, 15, 8 ->
  // 31, 0, 0 -> 0xF800. The negative steps carry out of their fields on every pixel.
  ScreenPoint p0 = coloured(0, 0, kZ, 0, 65535, 40000);
  ScreenPoint p1 = coloured(16, 0, kZ, 64000, 0, 0);
  ScreenPoint p2 = coloured(0, 2, kZ, 32000, 65535, 40000);
  FillCanvas canvas(18, 3);
  zbFillSmooth(canvas.zb(), &p0, &p1, &p2);
  Grid want(18, 3, kBackground);
  want.row(0, 0,
           {0x07F3, 0x0F92, 0x1F11, 0x2E8F, 0x3E0E, 0x4D8D, 0x5D0C, 0x6C8B, 0x7C0A, 0x8B88, 0x9B07,
            0xAA86, 0xBA05, 0xC984, 0xD902, 0xE881, 0xF800})
      .row(1, 0, {0x3FF3, 0x4F92, 0x5F11, 0x6E8F, 0x7E0E, 0x8D8D, 0x9D0C, 0xAC8B, 0xBC0A})
      .row(2, 0, {0x7FF3});
  EXPECT_TRUE(picture(canvas, want));
  Grid want_depth(18, 3, 0);
  for (int x = 0; x <= 16; ++x) want_depth.set(x, 0, 77);
  for (int x = 0; x <= 8; ++x) want_depth.set(x, 1, 77);
  want_depth.set(0, 2, 77);
  EXPECT_TRUE(depths(canvas, want_depth));
}

TEST(FillSmooth, CarriesNeverCrossIntoTheNextField) {
  // Red held at field 31 (r = 1984, red5 0), so a carry reaching it would show as red5 1;
  // green 65535 -> 0 and blue 65535 -> 0 along row 0, whose every step carries out of both.
  // Four pixels wide, (0,0) (4,0) (0,1), area 4: row 0 is 0..4, one pixel at a time.
  //   dgdx = 0.25 x -65535 -> -16383 -> / 32 = -511; dbdx -> -16383 -> / 128 = -127.
  //   green 2047 1536 1025 514 3 -> 63 48 32 16 0; blue 511 384 257 130 3 -> 31 24 16 8 0.
  // Eight wide, (0,0) (8,0) (0,1), area 8: row 0 is 0..8, by blocks.
  //   dgdx -> -8191 -> / 32 = -255; dbdx -> -8191 -> / 128 = -63.
  //   green 2047 - 255k -> 63 56 48 40 32 24 16 8 0; blue 511 - 63k -> 31 28 24 ... 4 0.
  // Row 1 is (0,1) alone, coloured as (0,0).
  struct Case {
    int width;
    std::vector<uint16_t> row0;
  };
  const Case cases[] = {
      {4, {0x07FF, 0x0618, 0x0410, 0x0208, 0x0000}},
      {8, {0x07FF, 0x071C, 0x0618, 0x0514, 0x0410, 0x030C, 0x0208, 0x0104, 0x0000}},
  };
  for (const Case& c : cases) {
    ScreenPoint p0 = coloured(0, 0, kZ, 1984, 65535, 65535);
    ScreenPoint p1 = coloured(c.width, 0, kZ, 1984, 0, 0);
    ScreenPoint p2 = coloured(0, 1, kZ, 1984, 65535, 65535);
    FillCanvas canvas(10, 2);
    zbFillSmooth(canvas.zb(), &p0, &p1, &p2);
    Grid want(10, 2, kBackground);
    for (size_t x = 0; x < c.row0.size(); ++x) want.set(int(x), 0, c.row0[x]);
    want.set(0, 1, 0x07FF);
    EXPECT_TRUE(picture(canvas, want)) << c.width;
  }
}

TEST(FillSmooth, ColourStepsOnForPixelsThatFailTheDepthStep) {
  // The red ramp of the first test with (1,0), (2,0), (6,0) and (2,1) held by nearer depth
  // values: the pixels after them keep their places in the ramp.
  ScreenPoint p0 = coloured(0, 0, kZ, 65535, 0x8000, 0x5555);
  ScreenPoint p1 = coloured(8, 0, kZ, 0, 0x8000, 0x5555);
  ScreenPoint p2 = coloured(0, 2, kZ, 65535, 0x8000, 0x5555);
  FillCanvas canvas(10, 3);
  const int held[][2] = {{1, 0}, {2, 0}, {6, 0}, {2, 1}};
  for (const auto& xy : held) canvas.setDepth(xy[0], xy[1], 78);
  zbFillSmooth(canvas.zb(), &p0, &p1, &p2);
  Grid want(10, 3, kBackground);
  want.row(0, 0,
           {0xFC0A, kBackground, kBackground, 0xA40A, 0x840A, 0x640A, kBackground, 0x240A, 0x040A})
      .row(1, 0, {0xFC0A, 0xE40A, kBackground, 0xA40A, 0x840A})
      .row(2, 0, {0xFC0A});
  EXPECT_TRUE(picture(canvas, want));
}

}  // namespace
