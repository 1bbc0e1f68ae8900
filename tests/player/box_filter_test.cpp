// The 2:1 box filter: hand-computed pixels for f = 2, 4 and 8, what it leaves in the source, and
// the vector path against the one-pixel-at-a-time rule on random pictures of many widths.
#include "player/box_filter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

using Pixels = std::vector<Pixel565>;

constexpr Pixel565 rgb(int red, int green, int blue) {
  return static_cast<Pixel565>((red << 11) | (green << 5) | blue);
}

// Filters a copy of src on the given path; gives dst and leaves the used source in
// *after when asked.
using Filter = void (*)(Pixel565*, Pixel565*, int32_t, int32_t, int32_t);

Pixels filtered(Filter filter, Pixels src, int32_t w, int32_t h, int32_t f,
                Pixels* after = nullptr) {
  Pixels dst(size_t(w) * size_t(h), 0xDEAD);
  filter(dst.data(), src.data(), w, h, f);
  if (after != nullptr) *after = src;
  return dst;
}

Pixels randomPixels(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  Pixels pixels(count);
  for (Pixel565& p : pixels) p = static_cast<Pixel565>(random());
  return pixels;
}

}  // namespace

TEST(BoxFilter, AverageHalvesEachChannelBeforeAdding) {
  // 0x1234 = (2, 17, 20) and 0xABCD = (21, 30, 13): 1 + 10, 8 + 15, 10 + 6.
  EXPECT_EQ(averagePixels(0x1234, 0xABCD), rgb(11, 23, 16));
  EXPECT_EQ(averagePixels(0xFFFF, 0xFFFF), rgb(30, 62, 30));
  EXPECT_EQ(averagePixels(rgb(31, 0, 0), 0), rgb(15, 0, 0));
  EXPECT_EQ(averagePixels(rgb(1, 1, 1), rgb(1, 1, 1)), 0);  // lowest bits are dropped
}

// Each window pixel is avg(avg(a, b), avg(c, d)) of its block: a, b above, c, d below.
TEST(BoxFilter, TwoByTwoBlocks) {
  const Pixels blocks = {
      0xFFFF, 0xFFFF, 0, 0, rgb(31, 0, 0), 0, 0, 0, 0xFFFF, 0xFFFF, 0, 0, 0, 0, 0, rgb(31, 0, 0),
  };
  const Pixels expected = {rgb(30, 62, 30), 0, rgb(7, 0, 0), rgb(7, 0, 0)};
  for (Filter filter : {boxFilterDownScalar, boxFilterDown}) {
    EXPECT_EQ(filtered(filter, blocks, 4, 1, 2), expected);
  }
}

// After a presentation the even columns carry their pair's average and the odd ones keep their
// pixel: the next frame is drawn over that.
TEST(BoxFilter, SourceKeepsHorizontalAveragesInEvenColumns) {
  const Pixels src = {0x1234, 0xABCD, 0xFFFF, 0x0001,  // upper row
                      0xABCD, 0x1234, 0x0000, 0xFFFF};
  const Pixels expected_source = {rgb(11, 23, 16), 0xABCD, rgb(15, 31, 15), 0x0001,
                                  rgb(11, 23, 16), 0x1234, rgb(15, 31, 15), 0xFFFF};
  // Vertical: (5 + 5, 11 + 11, 8 + 8) and (7 + 7, 15 + 15, 7 + 7).
  const Pixels expected = {rgb(10, 22, 16), rgb(14, 30, 14)};
  for (Filter filter : {boxFilterDownScalar, boxFilterDown}) {
    Pixels after;
    EXPECT_EQ(filtered(filter, src, 2, 1, 2, &after), expected);
    EXPECT_EQ(after, expected_source);
  }
}

// A 4 x 4 source reduced to one pixel in two rounds. Red falls by one per pixel along the rows,
// green is full, blue is 7 x column + row. Round 1 gives the 2 x 2 image (red 28, 26 / 20, 18;
// blue 3, 17 / 5, 19) at the start of the source, round 2 its pair averages (red 27, 19; blue
// 9, 11) and the window pixel (red 13 + 9, blue 4 + 5).
TEST(BoxFilter, FactorFourWorksInTwoRoundsInPlace) {
  Pixels src;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      src.push_back(rgb(31 - 4 * row - column, 63, 7 * column + row));
    }
  }
  const Pixel565 original_5 = src[5];
  for (Filter filter : {boxFilterDownScalar, boxFilterDown}) {
    Pixels after;
    EXPECT_EQ(filtered(filter, src, 1, 1, 4, &after), Pixels{rgb(22, 62, 9)});
    EXPECT_EQ(after[0], rgb(27, 62, 9));   // round 2's horizontal average of the 2 x 2 row 0
    EXPECT_EQ(after[1], rgb(26, 62, 17));  // round 1's output, odd column: kept
    EXPECT_EQ(after[2], rgb(19, 62, 11));
    EXPECT_EQ(after[3], rgb(18, 62, 19));
    EXPECT_EQ(after[4], rgb(26, 62, 4));  // round 1's horizontal average of source row 1
    EXPECT_EQ(after[5], original_5);
  }
}

// A reduction by f equals reductions by 2 one after the other.
TEST(BoxFilter, LargerFactorsEqualRepeatedHalving) {
  for (int32_t f : {4, 8}) {
    const int32_t w = 5;
    const int32_t h = 3;
    const Pixels src = randomPixels(size_t(f * w) * size_t(f * h), 7u + unsigned(f));
    Pixels step = src;
    int32_t side = f / 2;
    Pixels halved;
    for (; side >= 1; side /= 2) {
      halved = filtered(boxFilterDownScalar, step, w * side, h * side, 2);
      step = halved;
    }
    EXPECT_EQ(filtered(boxFilterDownScalar, src, w, h, f), halved) << "f = " << f;
  }
}

// Widths around the eight-lane groups, odd window sizes (a 1366 x 767 desktop gives 683 x 383)
// and the player's 960 x 540: dst and the source left behind are the same bits on both paths.
TEST(BoxFilter, VectorPathEqualsTheScalarRule) {
  if (!kBoxFilterHasSse2) GTEST_SKIP() << "no vector path in this build";
  struct Case {
    int32_t w, h, f;
  };
  const Case cases[] = {{1, 1, 2},   {3, 2, 2},     {7, 3, 2},     {8, 2, 2},  {9, 1, 2},
                        {15, 4, 2},  {16, 3, 2},    {17, 5, 2},    {31, 2, 2}, {33, 3, 2},
                        {100, 7, 2}, {683, 383, 2}, {960, 540, 2}, {1, 1, 4},  {9, 5, 4},
                        {17, 3, 4},  {33, 9, 8},    {3, 2, 16}};
  uint32_t seed = 1;
  for (const Case& c : cases) {
    const Pixels src = randomPixels(size_t(c.f * c.w) * size_t(c.f * c.h), seed++);
    Pixels scalar_after;
    Pixels vector_after;
    const Pixels scalar = filtered(boxFilterDownScalar, src, c.w, c.h, c.f, &scalar_after);
    const Pixels vector = filtered(boxFilterDown, src, c.w, c.h, c.f, &vector_after);
    EXPECT_EQ(vector, scalar) << c.w << " x " << c.h << ", f = " << c.f;
    EXPECT_EQ(vector_after, scalar_after) << c.w << " x " << c.h << ", f = " << c.f;
  }
}
