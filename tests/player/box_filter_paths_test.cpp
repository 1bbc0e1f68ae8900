// Each vector path of the box filter on its own against the one-pixel-at-a-time rule:
// boxFilterDown takes only one of them on a given processor, so each is called here directly.
// Widths around the 8- and 16-pixel groups, in-place rounds (f = 4, 8), and what each leaves in
// the source.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "player/box_filter.h"

namespace {

using Pixels = std::vector<Pixel565>;
using Filter = void (*)(Pixel565*, Pixel565*, int32_t, int32_t, int32_t);

struct Case {
  int32_t w, h, f;
};

// Every width from 1 to 40 (all remainders after groups of 8 and of 16), the player's size, and
// factors that work in place.
std::vector<Case> cases() {
  std::vector<Case> list;
  for (int32_t w = 1; w <= 40; ++w) list.push_back({w, 3, 2});
  for (Case c : {Case{960, 540, 2}, Case{17, 5, 4}, Case{33, 9, 8}, Case{3, 2, 16}}) {
    list.push_back(c);
  }
  return list;
}

// Runs `path` and the scalar rule on the same random picture and compares the window pixels
// and the source left behind.
void expectSameAsScalar(Filter path) {
  uint32_t seed = 7;
  for (const Case& c : cases()) {
    std::mt19937 random(seed++);
    Pixels src(size_t(c.f * c.w) * size_t(c.f * c.h));
    for (Pixel565& p : src) p = static_cast<Pixel565>(random());
    Pixels scalar_src = src;
    Pixels scalar(size_t(c.w) * size_t(c.h), 0xDEAD);
    Pixels vector(scalar.size(), 0xBEEF);
    boxFilterDownScalar(scalar.data(), scalar_src.data(), c.w, c.h, c.f);
    path(vector.data(), src.data(), c.w, c.h, c.f);
    EXPECT_EQ(vector, scalar) << c.w << " x " << c.h << ", f = " << c.f;
    EXPECT_EQ(src, scalar_src) << c.w << " x " << c.h << ", f = " << c.f;
  }
}

}  // namespace

TEST(BoxFilterPaths, Sse2EqualsTheScalarRule) {
#if defined(__SSE2__)
  expectSameAsScalar(boxFilterDownSse2);
#else
  GTEST_SKIP() << "no SSE2 path in this build";
#endif
}

TEST(BoxFilterPaths, Avx2EqualsTheScalarRule) {
#if defined(KESTRUNE_BOX_FILTER_AVX2)
  if (!boxFilterHasAvx2()) GTEST_SKIP() << "this processor has no AVX2";
  expectSameAsScalar(boxFilterDownAvx2);
#else
  GTEST_SKIP() << "no AVX2 path in this build";
#endif
}

// A hand-worked 2 x 2 block through every path, channels (red, green, blue) halved with the low
// bit dropped and added: a = (31, 63, 31), b = 0, c = (1, 2, 1), d = (2, 4, 2).
// avg(a, b) = (15, 31, 15) = 0x7BEF; avg(c, d) = (0 + 1, 1 + 2, 0 + 1) = (1, 3, 1) = 0x0861;
// the window pixel avg(0x7BEF, 0x0861) = (7 + 0, 15 + 1, 7 + 0) = (7, 16, 7) = 0x3A07.
TEST(BoxFilterPaths, OneBlockByHand) {
  std::vector<Filter> paths = {boxFilterDownScalar, boxFilterDown};
#if defined(__SSE2__)
  paths.push_back(boxFilterDownSse2);
#endif
#if defined(KESTRUNE_BOX_FILTER_AVX2)
  if (boxFilterHasAvx2()) paths.push_back(boxFilterDownAvx2);
#endif
  for (Filter path : paths) {
    Pixels src = {0xFFFF, 0x0000, 0x0841, 0x1082};
    Pixel565 out = 0;
    path(&out, src.data(), 1, 1, 2);
    EXPECT_EQ(out, 0x3A07);
    EXPECT_EQ(src, (Pixels{0x7BEF, 0x0000, 0x0861, 0x1082}));
  }
}
