// Tests of the textured fill: where texture coordinates land in the 256 x 256 texel array, the
// division by depth once per run of eight pixels with linear steps in between, the runs and the
// last pixels of a span, and the colour key under the blend switch. Depths that are powers of
// two keep every float step exact, so the expected texels are worked out by hand.
#include <gtest/gtest.h>

#include <vector>

#include "renderer/gl.h"
#include "renderer/ztriangle.h"
#include "tests/renderer/fill_support.h"

namespace {

constexpr int kZ = 1 << 24;  // stored depth 1024; s x z and t x z stay exact in floats

// How clipping stores texture coordinates.
int sFromCoordinate(float c) { return int(c * 4177920.0f + 8192.0f); }
int tFromCoordinate(float c) { return int(c * 1069547520.0f + 2097152.0f); }

ScreenPoint texturedPoint(int x, int y, int z, int s, int t) {
  ScreenPoint p = point(x, y, z);
  p.s = s;
  p.t = t;
  return p;
}

// Texel (column, row) holds row x 256 + column, so a pixel names the texel it came from.
std::vector<Pixel565> namedTexels() {
  std::vector<Pixel565> texels(256 * 256);
  for (int i = 0; i < 256 * 256; ++i) texels[i] = Pixel565(i);
  return texels;
}

TEST(FillTextured, CoordinatesSelectTexelsModulo256) {
  // s: 0 -> 8192 (column 0.5 -> 0); 1 -> 4186112 (255.5 -> 255); 1.25 -> 5230592 (319.25 ->
  // 319 AND 255 = 63); -0.1 -> -409600 (-25, AND 255 = 231). t likewise in bits 22-29:
  // 0 -> 2097152 (row 0), 1 -> 1071644672 (255), 1.25 -> 1339031552 (319 -> 63), -0.1 ->
  // -104857600 (-25 -> 231).
  EXPECT_EQ(sFromCoordinate(0.0f), 8192);
  EXPECT_EQ(sFromCoordinate(1.0f), 4186112);
  EXPECT_EQ(sFromCoordinate(1.25f), 5230592);
  EXPECT_EQ(sFromCoordinate(-0.1f), -409600);
  EXPECT_EQ(tFromCoordinate(1.25f), 1339031552);
  EXPECT_EQ(tFromCoordinate(-0.1f), -104857600);
  // The same coordinates on all three points of (0,0) (2,0) (0,1): z = 2^24 makes s x z / z
  // exact and every step zero, so the four pixels (row 0: 0..2, row 1: 0) show one texel.
  struct Case {
    float s, t;
    Pixel565 texel;  // row x 256 + column
  };
  const Case cases[] = {{0.0f, 0.0f, 0x0000},
                        {1.0f, 1.0f, 0xFFFF},
                        {1.25f, -0.1f, 231 * 256 + 63},
                        {-0.1f, 1.25f, 63 * 256 + 231}};
  std::vector<Pixel565> texels = namedTexels();
  for (const Case& c : cases) {
    int s = sFromCoordinate(c.s), t = tFromCoordinate(c.t);
    ScreenPoint p0 = texturedPoint(0, 0, kZ, s, t);
    ScreenPoint p1 = texturedPoint(2, 0, kZ, s, t);
    ScreenPoint p2 = texturedPoint(0, 1, kZ, s, t);
    FillCanvas canvas(4, 2);
    zbSetTexture(canvas.zb(), texels.data());
    zbFillTexturedKeyed(canvas.zb(), &p0, &p1, &p2, 0, 0);
    EXPECT_TRUE(picture(canvas, gridFromMap({"XXX.", "X..."}, kBackground, {{'X', c.texel}})))
        << c.s << ", " << c.t;
  }
}

// (0,0) (16,0) (0,4) at z = 2^24 with s = 8192 + 16384 (x + 3y) and t = 2097152 + 4194304 y:
// pixel (x, y) shows column x + 3y of row y. Area 64: fdx1 = 0.25, fdy2 = 0.0625, fdy1 = fdx2 =
// 0. s x z differences: d1 = 262144 x 2^24 = 2^42, d2 = 196608 x 2^24 = 3 x 2^40, so dszdx =
// 2^38 and dszdy = 3 x 2^38; dtzdx = 0, dtzdy = 0.25 x 2^48 = 2^46. With 1 / z = 2^-24 every run
// starts at s = (s x z) / z exactly, with dsdx = 2^38 x 2^-24 = 16384, one column per pixel.
// Right edge (16,0)-(0,4), slope -4: spans 0..16 (two runs, then 1 pixel), 0..12 (a run, then
// 5), 0..8 (a run, then 1), 0..4 (5 one by one) and 0..0.
struct Affine {
  ScreenPoint p0 = texturedPoint(0, 0, kZ, 8192, 2097152);
  ScreenPoint p1 = texturedPoint(16, 0, kZ, 8192 + 16 * 16384, 2097152);
  ScreenPoint p2 = texturedPoint(0, 4, kZ, 8192 + 12 * 16384, 2097152 + 4 * 4194304);
  static int spanEnd(int y) { return 16 - 4 * y; }
};

TEST(FillTextured, RunsOfEightAndTheLastPixelsOfEachSpan) {
  Affine tri;
  std::vector<Pixel565> texels = namedTexels();
  FillCanvas canvas(18, 5);
  zbSetTexture(canvas.zb(), texels.data());
  zbFillTexturedKeyed(canvas.zb(), &tri.p0, &tri.p1, &tri.p2, 0, 0);
  Grid want(18, 5, kBackground);
  Grid want_depth(18, 5, 0);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x <= Affine::spanEnd(y); ++x) {
      want.set(x, y, uint16_t(y * 256 + x + 3 * y));
      want_depth.set(x, y, 1024);
    }
  }
  EXPECT_TRUE(picture(canvas, want));
  EXPECT_TRUE(depths(canvas, want_depth));
  // The scratch fields hold s x z and t x z.
  EXPECT_EQ(tri.p1.sz, 270336.0f * 16777216.0f);
  EXPECT_EQ(tri.p2.tz, 18874368.0f * 16777216.0f);
}

TEST(FillTextured, DividesByDepthOncePerEightPixels) {
  // (0,0) z 2^24 s 8192, (8,0) z 2^26 s 1056768, (0,1) as (0,0); t = 2097152 (row 0).
  // Area 8: fdx1 = 1, fdy2 = 0.125. dzdx = 0.125 x 3 x 2^24 = 3 x 2^21 (depth 1024 + 384 x).
  // s x z: 8192 x 2^24 at x = 0 and 1056768 x 2^26 = 4227072 x 2^24 at x = 8, so dszdx =
  // 0.125 x 4218880 x 2^24 = 527360 x 2^24.
  // Run at x = 0: 1 / f = 2^-24, s = 8192, dsdx = (527360 x 2^24 - 8192 x 3 x 2^21) x 2^-24 =
  //   527360 - 3072 = 524288: 32 columns a pixel, columns 0 32 64 ... 224. (Dividing at every
  //   pixel would give column 62 at x = 7: the run steps linearly between divisions.)
  // f += 8 x 3 x 2^21 = 2^26. Last pixel x = 8: s = 4227072 x 2^24 x 2^-26 = 1056768, column 64.
  // Row 1 is (0,1) alone: column 0.
  std::vector<Pixel565> texels = namedTexels();
  ScreenPoint p0 = texturedPoint(0, 0, 1 << 24, 8192, 2097152);
  ScreenPoint p1 = texturedPoint(8, 0, 1 << 26, 1056768, 2097152);
  ScreenPoint p2 = texturedPoint(0, 1, 1 << 24, 8192, 2097152);
  FillCanvas canvas(10, 2);
  zbSetTexture(canvas.zb(), texels.data());
  zbFillTexturedKeyed(canvas.zb(), &p0, &p1, &p2, 0, 0);
  Grid want(10, 2, kBackground);
  want.row(0, 0, {0, 32, 64, 96, 128, 160, 192, 224, 64}).row(1, 0, {0});
  EXPECT_TRUE(picture(canvas, want));
  Grid want_depth(10, 2, 0);
  want_depth.row(0, 0, {1024, 1408, 1792, 2176, 2560, 2944, 3328, 3712, 4096}).row(1, 0, {1024});
  EXPECT_TRUE(depths(canvas, want_depth));
}

// The Affine triangle over a texture whose columns 0, 3, 6, ... hold 0x0000 and the others
// 0x4000 + column; pixel (x, y) shows column x + 3y, a key texel exactly when x is a multiple
// of 3. Every pixel starts at depth 7.
struct KeyedCase {
  std::vector<Pixel565> texels = std::vector<Pixel565>(256 * 256);
  KeyedCase() {
    for (int i = 0; i < 256 * 256; ++i) {
      int column = i % 256;
      texels[i] = column % 3 == 0 ? 0 : Pixel565(0x4000 + column);
    }
  }
  static Pixel565 texel(int x, int y) { return x % 3 == 0 ? 0 : Pixel565(0x4000 + x + 3 * y); }
};

TEST(FillTextured, KeyTexelsUnderBlendLeaveColourAndDepthAlone) {
  KeyedCase keyed;
  Affine tri;
  FillCanvas blended(18, 5, 7);
  zbSetTexture(blended.zb(), keyed.texels.data());
  zbFillTexturedKeyed(blended.zb(), &tri.p0, &tri.p1, &tri.p2, 1, 0);
  FillCanvas opaque(18, 5, 7);
  zbSetTexture(opaque.zb(), keyed.texels.data());
  zbFillTexturedKeyed(opaque.zb(), &tri.p0, &tri.p1, &tri.p2, 0, 0);

  Grid want_blended(18, 5, kBackground), want_blended_depth(18, 5, 7);
  Grid want_opaque(18, 5, kBackground), want_opaque_depth(18, 5, 7);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x <= Affine::spanEnd(y); ++x) {
      want_opaque.set(x, y, KeyedCase::texel(x, y));  // key texels drawn as black
      want_opaque_depth.set(x, y, 1024);
      if (x % 3 == 0) continue;
      want_blended.set(x, y, KeyedCase::texel(x, y));
      want_blended_depth.set(x, y, 1024);
    }
  }
  EXPECT_TRUE(picture(blended, want_blended));
  EXPECT_TRUE(depths(blended, want_blended_depth));
  EXPECT_TRUE(picture(opaque, want_opaque));
  EXPECT_TRUE(depths(opaque, want_opaque_depth));

  // The key is the value given: with 0x4001 (column 1, pixel (1,0) only) under blend, that
  // pixel is skipped and the key-0 texels are drawn.
  FillCanvas other_key(18, 5, 7);
  zbSetTexture(other_key.zb(), keyed.texels.data());
  zbFillTexturedKeyed(other_key.zb(), &tri.p0, &tri.p1, &tri.p2, 1, 0x4001);
  EXPECT_TRUE(picture(other_key, want_opaque.set(1, 0, kBackground)));
  EXPECT_TRUE(depths(other_key, want_opaque_depth.set(1, 0, 7)));
}

TEST(FillTextured, KeyTexelsInRowsNarrowerThanABlock) {
  // (0,0) (2,0) (0,1) over key texels only, in rows of four pixels (drawn one by one): under
  // blend nothing changes; without it the four pixels turn black at depth 1024.
  std::vector<Pixel565> texels(256 * 256, 0x0000);
  ScreenPoint p0 = texturedPoint(0, 0, kZ, 8192, 2097152);
  ScreenPoint p1 = texturedPoint(2, 0, kZ, 8192, 2097152);
  ScreenPoint p2 = texturedPoint(0, 1, kZ, 8192, 2097152);
  FillCanvas canvas(4, 2, 7);
  zbSetTexture(canvas.zb(), texels.data());
  zbFillTexturedKeyed(canvas.zb(), &p0, &p1, &p2, 1, 0);
  EXPECT_TRUE(picture(canvas, Grid(4, 2, kBackground)));
  EXPECT_TRUE(depths(canvas, Grid(4, 2, 7)));
  zbFillTexturedKeyed(canvas.zb(), &p0, &p1, &p2, 0, 0);
  auto rows = {"XXX.", "X..."};
  EXPECT_TRUE(picture(canvas, gridFromMap(rows, kBackground, {{'X', 0x0000}})));
  EXPECT_TRUE(depths(canvas, gridFromMap(rows, 7, {{'X', 1024}})));
}

TEST(FillTextured, ReadsTheBlendSwitchOfTheCurrentContext) {
  KeyedCase keyed;
  Affine tri;
  FillCanvas canvas(18, 5, 7);
  glInitContext(canvas.zb());
  zbSetTexture(canvas.zb(), keyed.texels.data());
  glEnable(GL_BLEND);
  zbFillTextured(canvas.zb(), &tri.p0, &tri.p1, &tri.p2);
  EXPECT_EQ(canvas.pixel(3, 0), kBackground);  // key texel skipped
  EXPECT_EQ(canvas.depth(3, 0), 7);
  EXPECT_EQ(canvas.pixel(4, 0), 0x4004);
  glDisable(GL_BLEND);
  zbFillTextured(canvas.zb(), &tri.p0, &tri.p1, &tri.p2);
  EXPECT_EQ(canvas.pixel(3, 0), 0x0000);  // drawn black
  EXPECT_EQ(canvas.depth(3, 0), 1024);
  glCloseContext();
}

TEST(FillTextured, NoTexelArrayDrawsNothing) {
  Affine tri;
  FillCanvas canvas(18, 5);
  zbFillTexturedKeyed(canvas.zb(), &tri.p0, &tri.p1, &tri.p2, 0, 0);
  EXPECT_TRUE(picture(canvas, Grid(18, 5, kBackground)));
  EXPECT_TRUE(depths(canvas, Grid(18, 5, 0)));
}

}  // namespace
