// The point and line rasterizers: which pixels a line covers in each direction, where it starts,
// its flat and interpolated colours, its depth test, and points. Every expected pixel was
// worked out by hand from the midpoint rule (a = 2m - n, diagonal step while a > 0).
#include <gtest/gtest.h>

#include <cstdlib>

#include "renderer/zline.h"
#include "tests/renderer/fill_support.h"

namespace {

constexpr Pixel565 kRed = 0xF800;
constexpr Pixel565 kBlue = 0x001F;
constexpr Pixel565 kInk = 0x8410;  // rgbToPixel(0x8000, 0x8000, 0x8000)
constexpr int kNear = 100 << 14;   // stored depth 100

ScreenPoint ink(int x, int y, int z = kNear) { return coloured(x, y, z, 0x8000, 0x8000, 0x8000); }

// Draws p1-p2 with zbLine on a fresh canvas and compares the whole picture with `map`.
::testing::AssertionResult lineDraws(ScreenPoint p1, ScreenPoint p2,
                                     std::initializer_list<const char*> map) {
  const Grid want = gridFromMap(map, kBackground, {{'#', kInk}});
  FillCanvas canvas(want.width, int(want.values.size()) / want.width);
  zbLine(canvas.zb(), &p1, &p2);
  return picture(canvas, want);
}

TEST(LineRasterTest, HorizontalLineIsDrawnFromItsLeftEnd) {
  // (10, 5) to (3, 5): x = 3 .. 10, 8 pixels, on row 5 only.
  EXPECT_TRUE(lineDraws(ink(10, 5), ink(3, 5),
                        {"............", "............", "............", "............",
                         "............", "...########.", "............"}));
}

TEST(LineRasterTest, VerticalLineOfFourRowsDrawsFivePixels) {
  EXPECT_TRUE(
      lineDraws(ink(2, 5), ink(2, 1), {"....", "..#.", "..#.", "..#.", "..#.", "..#.", "...."}));
}

TEST(LineRasterTest, FortyFiveDegreeLinesStepDiagonallyEveryPixel) {
  // dx = dy = 3: four pixels, each one row down and one column across from the last.
  EXPECT_TRUE(lineDraws(ink(1, 1), ink(4, 4),
                        {"......", ".#....", "..#...", "...#..", "....#.", "......"}));
  EXPECT_TRUE(lineDraws(ink(1, 4), ink(4, 1),
                        {"......", "....#.", "...#..", "..#...", ".#....", "......"}));
}

TEST(LineRasterTest, EachOctantStepsAlongItsMajorAxis) {
  // Wide, rightward: n = 6, m = 2; a runs -2, 2, -6, -2, 2, -6.
  EXPECT_TRUE(lineDraws(ink(0, 0), ink(6, 2), {"##.....", "..###..", ".....##"}));
  // Wide, leftward: the mirror image.
  EXPECT_TRUE(lineDraws(ink(6, 0), ink(0, 2), {".....##", "..###..", "##....."}));
  // Tall, leftward (given bottom end first): n = 5, m = 2; a runs -1, 3, -3, 1, -5.
  EXPECT_TRUE(lineDraws(ink(2, 5), ink(4, 0),
                        {"....#.", "....#.", "...#..", "...#..", "..#...", "..#..."}));
  // Tall, rightward.
  EXPECT_TRUE(lineDraws(ink(0, 0), ink(2, 5), {"#..", "#..", ".#.", ".#.", "..#", "..#"}));
}

TEST(LineRasterTest, LinesStartAtTheUpperEndWhichDecidesTies) {
  // n = 4, m = 2 starts with a = 0: the first step is axial. Walked from (0, 0) the line keeps
  // row 0 for two pixels; walked from (4, 2) it would keep row 2 for two.
  EXPECT_TRUE(lineDraws(ink(4, 2), ink(0, 0), {"##...", "..##.", "....#"}));
  EXPECT_TRUE(lineDraws(ink(0, 2), ink(4, 0), {"...##", ".##..", "#...."}));
}

TEST(LineRasterTest, CoincidentEndsDrawOnePixel) {
  EXPECT_TRUE(lineDraws(ink(1, 1), ink(1, 1), {"...", ".#.", "..."}));
  FillCanvas canvas(3, 3);
  canvas.setDepth(1, 1, 101);
  ScreenPoint p = ink(1, 1);
  zbLineDepth(canvas.zb(), &p, &p);  // stored 101 is nearer than 100
  EXPECT_TRUE(picture(canvas, Grid(3, 3, kBackground)));
  canvas.setDepth(1, 1, 99);
  zbLineDepth(canvas.zb(), &p, &p);
  EXPECT_TRUE(picture(canvas, Grid(3, 3, kBackground).set(1, 1, kInk)));
  EXPECT_TRUE(depths(canvas, Grid(3, 3, 0).set(1, 1, 100)));
}

TEST(LineRasterTest, EndsEqualIn565AreDrawnInThatColour) {
  // The channels differ only below the 5-6-5 precision: every pixel is 0x8410.
  ScreenPoint p1 = coloured(0, 0, kNear, 0x8000, 0x8000, 0x8000);
  ScreenPoint p2 = coloured(5, 2, kNear, 0x87FF, 0x801F, 0x87FF);
  FillCanvas canvas(6, 3);
  zbLine(canvas.zb(), &p1, &p2);
  EXPECT_TRUE(
      picture(canvas, gridFromMap({"##....", "..##..", "....##"}, kBackground, {{'#', kInk}})));
}

TEST(LineRasterTest, RedToBlueIsInterpolatedFromTheStartPoint) {
  // Given right end first; drawn from x = 2. n = 6: red 63488 << 8 falls and blue rises by
  // (63488 << 8) / 6 = 2708821 a step, so the start is exactly red and the end one blue step
  // short of blue (6 x 2708821 >> 8 = 63487, blue5 30). Walked from the right the ends would
  // be 0x001F and 0xF000.
  ScreenPoint blue = coloured(8, 1, kNear, 0, 0, 63488);
  ScreenPoint red = coloured(2, 1, kNear, 63488, 0, 0);
  FillCanvas canvas(10, 3);
  zbLine(canvas.zb(), &blue, &red);
  EXPECT_TRUE(
      picture(canvas, Grid(10, 3, kBackground)
                          .row(1, 2, {0xF800, 0xC805, 0xA00A, 0x780F, 0x5014, 0x2819, 0x001E})));
}

TEST(LineRasterTest, InterpolatedGreenTruncatesEveryStep) {
  // Black at the top to full green four rows down: green steps by (65535 << 8) / 4 = 4194240,
  // giving 0, 16383, 32767, 49151, 65535 and the top six bits 0, 15, 31, 47, 63.
  ScreenPoint green = coloured(1, 4, kNear, 0, 65535, 0);
  ScreenPoint black = coloured(1, 0, kNear, 0, 0, 0);
  FillCanvas canvas(3, 5);
  zbLine(canvas.zb(), &green, &black);
  EXPECT_TRUE(picture(canvas, Grid(3, 5, kBackground)
                                  .set(1, 0, 0x0000)
                                  .set(1, 1, 0x01E0)
                                  .set(1, 2, 0x03E0)
                                  .set(1, 3, 0x05E0)
                                  .set(1, 4, 0x07E0)));
}

TEST(LineRasterTest, DepthIsInterpolatedTestedAndWritten) {
  // Row 0 runs near to far from the left (300 down to 100 by 50); row 1 far to near. Stored
  // values: 201 blocks the 200 of row 0; 250 equals the 250 of row 1, which passes.
  FillCanvas canvas(5, 2);
  canvas.setDepth(2, 0, 201);
  canvas.setDepth(3, 1, 250);
  ScreenPoint a = ink(4, 0, 100 << 14), b = ink(0, 0, 300 << 14);
  ScreenPoint c = ink(0, 1, 100 << 14), d = ink(4, 1, 300 << 14);
  zbLineDepth(canvas.zb(), &a, &b);
  zbLineDepth(canvas.zb(), &c, &d);
  EXPECT_TRUE(picture(canvas, gridFromMap({"##.##", "#####"}, kBackground, {{'#', kInk}})));
  EXPECT_TRUE(depths(
      canvas,
      Grid(5, 2, 0).row(0, 0, {300, 250, 201, 150, 100}).row(1, 0, {100, 150, 200, 250, 300})));
}

TEST(LineRasterTest, LinesWithoutDepthOverwriteAndLeaveDepthAlone) {
  FillCanvas canvas(4, 3, 65535);  // everything stored is nearer than the line
  ScreenPoint a = ink(0, 2), b = ink(3, 0);
  zbLine(canvas.zb(), &a, &b);
  EXPECT_TRUE(picture(canvas, gridFromMap({"...#", ".##.", "#..."}, kBackground, {{'#', kInk}})));
  EXPECT_TRUE(depths(canvas, Grid(4, 3, 65535)));
}

TEST(LineRasterTest, PointsAreAlwaysDepthTested) {
  FillCanvas canvas(3, 2);
  canvas.setDepth(0, 0, 500);
  canvas.setDepth(1, 0, 500);
  canvas.setDepth(2, 0, 65535);
  ScreenPoint farther = coloured(0, 0, 499 << 14, 0xFFFF, 0, 0);
  ScreenPoint equal = coloured(1, 0, (500 << 14) + 16383, 0xFFFF, 0, 0);
  // Past 16 bits (z >= 2^30): passes any stored value and keeps the low 16 bits, as the fills do.
  ScreenPoint beyond = coloured(2, 0, (65536 + 7) << 14, 0, 0, 0xFFFF);
  ScreenPoint plain = coloured(1, 1, 1 << 14, 0, 0xFFFF, 0);
  for (const ScreenPoint* p : {&farther, &equal, &beyond, &plain}) zbPlot(canvas.zb(), p);
  EXPECT_TRUE(picture(canvas, Grid(3, 2, kBackground).row(0, 1, {kRed, kBlue}).set(1, 1, 0x07E0)));
  EXPECT_TRUE(depths(canvas, Grid(3, 2, 0).row(0, 0, {500, 500, 7}).set(1, 1, 1)));
}

TEST(LineRasterTest, PointsAndLineEndsOutsideTheBufferDrawNothing) {
  FillCanvas canvas(4, 3);
  const ScreenPoint outside[] = {ink(-1, 0), ink(4, 0), ink(0, -1), ink(0, 3), ink(1 << 30, 1)};
  ScreenPoint inside = ink(1, 1);
  for (const ScreenPoint& p : outside) {
    zbPlot(canvas.zb(), &p);
    zbLine(canvas.zb(), &inside, &p);
    zbLineDepth(canvas.zb(), &p, &inside);
  }
  EXPECT_TRUE(picture(canvas, Grid(4, 3, kBackground)));
  EXPECT_TRUE(depths(canvas, Grid(4, 3, 0)));
}

TEST(LineRasterTest, EveryLineCoversOnePixelPerMajorStepFromEndToEnd) {
  // All ordered pairs of points of a 7 x 5 buffer whose width leaves row padding: n + 1 pixels,
  // both ends among them, one per column (wide) or row (tall), each touching the one before.
  constexpr int kW = 7, kH = 5;
  for (int i = 0; i < kW * kH * kW * kH; ++i) {
    ScreenPoint p1 = ink(i % kW, i / kW % kH), p2 = ink(i / (kW * kH) % kW, i / (kW * kW * kH));
    FillCanvas canvas(kW, kH);
    zbLine(canvas.zb(), &p1, &p2);
    const int adx = std::abs(p2.x - p1.x), ady = std::abs(p2.y - p1.y);
    const bool wide = adx >= ady;
    int count = 0, last_minor = -1;
    for (int major = 0; major < (wide ? kW : kH); ++major) {
      int hits = 0;
      for (int minor = 0; minor < (wide ? kH : kW); ++minor) {
        if (canvas.pixel(wide ? major : minor, wide ? minor : major) != kInk) continue;
        ++hits;
        if (last_minor >= 0) {
          EXPECT_LE(std::abs(minor - last_minor), 1);
        }
        last_minor = minor;
      }
      ASSERT_LE(hits, 1) << p1.x << "," << p1.y << " to " << p2.x << "," << p2.y;
      count += hits;
    }
    ASSERT_EQ(count, (wide ? adx : ady) + 1)
        << p1.x << "," << p1.y << " to " << p2.x << "," << p2.y;
    ASSERT_EQ(canvas.pixel(p1.x, p1.y), kInk);
    ASSERT_EQ(canvas.pixel(p2.x, p2.y), kInk);
  }
}

}  // namespace
