// Triangles whose three points share one depth take a path of their own in every fill (one
// depth for every block, no per-pixel depth stepping). These tests give such triangles a stored
// depth that varies pixel by pixel around theirs, in whole blocks, in the block that ends a span
// and in a slid block, so that each lane's depth step is seen.
#include <gtest/gtest.h>

#include <vector>

#include "renderer/ztriangle.h"
#include "tests/renderer/fill_support.h"

namespace {

// Depth 100 in every pixel of the triangle.
constexpr int kZ = 100 << 14;
constexpr Pixel565 kGreen = 0x07E0;  // rgbToPixel(0, 65535, 0), and the packed green 2047

// (0,0) (17,0) (0,1): area 17 > 0. Part A has no rows; in part B the left edge (0,0)-(0,1) stays
// at x = 0 and the right edge runs from (17,0) to (0,1) with slope -17: row 0 spans 0..17
// (blocks at 0 and 8, then the block ending at 17), row 1 spans 0..0 (one pixel, drawn as a
// block slid to the row's start, lanes 1-7 off). Stored depths on row 0: x mod 3 = 0 holds 101
// (nearer: blocks), 1 holds 100 (equal: passes), 2 holds 99 (passes); columns 18 and 19, outside
// the triangle, follow the same pattern. Row 1: column 0 holds 101 (blocks), columns 1 and 2
// hold 0 and lie outside the triangle.
class UniformDepth : public ::testing::Test {
 protected:
  UniformDepth() : canvas_(20, 2) {
    for (int x = 0; x < 20; ++x) canvas_.setDepth(x, 0, uint16_t(101 - x % 3));
    canvas_.setDepth(0, 1, 101);
  }

  // Passing pixels of row 0 take `colour` and depth 100; nothing else changes.
  void expectPattern(Pixel565 colour) {
    Grid want(20, 2, kBackground);
    Grid want_depth(20, 2, 0);
    for (int x = 0; x < 20; ++x) want_depth.set(x, 0, uint16_t(101 - x % 3));
    want_depth.set(0, 1, 101);
    for (int x = 0; x <= 17; ++x) {
      if (x % 3 == 0) continue;
      want.set(x, 0, colour);
      want_depth.set(x, 0, 100);
    }
    EXPECT_TRUE(picture(canvas_, want));
    EXPECT_TRUE(depths(canvas_, want_depth));
  }

  FillCanvas canvas_;
  ScreenPoint p0_ = coloured(0, 0, kZ, 0, 65535, 0);
  ScreenPoint p1_ = coloured(17, 0, kZ, 0, 65535, 0);
  ScreenPoint p2_ = coloured(0, 1, kZ, 0, 65535, 0);
};

TEST_F(UniformDepth, FlatFillTestsEachLaneAgainstTheStoredDepth) {
  zbFillFlat(canvas_.zb(), &p0_, &p1_, &p2_);
  expectPattern(kGreen);
}

TEST_F(UniformDepth, SmoothFillTestsEachLaneAgainstTheStoredDepth) {
  zbFillSmooth(canvas_.zb(), &p0_, &p1_, &p2_);
  expectPattern(kGreen);  // one colour at every point: every pixel 0x07E0
}

TEST_F(UniformDepth, TexturedFillTestsEachLaneAgainstTheStoredDepth) {
  const std::vector<Pixel565> texels(256 * 256, 0x4321);
  zbSetTexture(canvas_.zb(), texels.data());
  zbFillTexturedKeyed(canvas_.zb(), &p0_, &p1_, &p2_, 0, 0);
  expectPattern(0x4321);
}

// Key texels under blend leave both buffers alone even where the depth step passes.
TEST_F(UniformDepth, KeyTexelsWriteNothing) {
  const std::vector<Pixel565> texels(256 * 256, 0x0000);
  zbSetTexture(canvas_.zb(), texels.data());
  zbFillTexturedKeyed(canvas_.zb(), &p0_, &p1_, &p2_, 1, 0);
  Grid want_depth(20, 2, 0);
  for (int x = 0; x < 20; ++x) want_depth.set(x, 0, uint16_t(101 - x % 3));
  want_depth.set(0, 1, 101);
  EXPECT_TRUE(picture(canvas_, Grid(20, 2, kBackground)));
  EXPECT_TRUE(depths(canvas_, want_depth));
}

// Points whose z differ by 1 do not share a depth, so the stepped path runs: d1 = 1, d2 = 0 give
// dzdx = fdy2 x 1 = 1/17, truncated to 0, and dzdy = 0; the left edge starts at p0 in both parts
// (area > 0), so every pixel again has depth 100 and the same pattern results.
TEST_F(UniformDepth, NearlyEqualDepthsTakeTheSteppedPathWithTheSameResult) {
  p1_.z = kZ + 1;
  zbFillFlat(canvas_.zb(), &p0_, &p1_, &p2_);
  expectPattern(kGreen);
}

}  // namespace
