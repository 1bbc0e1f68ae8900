// The fills' other paths against the one they must equal: each fill drawn band by band against
// the same fill drawn row after row, vector blocks against pixels one by one, and the fills'
// AVX2 build against their baseline build. Random triangles, keyed and not, with one depth and
// with sloping depth, on a wide canvas and on one narrower than a block, must leave the same pixels
// and depth values.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "renderer/zfill.h"
#include "renderer/ztriangle.h"
#include "tests/renderer/fill_support.h"
#include "tools/seeded_random.h"

namespace {

bool sameBuffers(const FillCanvas& a, const FillCanvas& b) {
  const size_t pixels = size_t(a.height()) * a.zb()->line_bytes;
  const size_t depths = size_t(a.width()) * a.height() * sizeof(uint16_t);
  return std::memcmp(a.zb()->pixels, b.zb()->pixels, pixels) == 0 &&
         std::memcmp(a.zb()->depth, b.zb()->depth, depths) == 0;
}

enum class Kind { kFlat, kSmooth, kTextured, kKeyed };

// Bands of 7 rows: the edges jump over the rows above each band, straight and after the middle
// point, in whole parts and in part.
TEST(FillPaths, BandsGiveThePixelsOfTheWholeTriangle) {
  std::vector<Pixel565> texels(256 * 256);
  Random random{5};
  for (Pixel565& t : texels) t = Pixel565(nextRandom(random) % 8);  // key 0 in one of eight
  for (Kind kind : {Kind::kFlat, Kind::kSmooth, Kind::kTextured, Kind::kKeyed}) {
    FillCanvas whole(301, 200), banded(301, 200);
    zbSetTexture(whole.zb(), texels.data());
    for (int n = 0; n < 300; ++n) {
      ScreenPoint p[3];
      for (ScreenPoint& q : p) {
        q = point(randomBelow(random, 301), randomBelow(random, 200), randomBelow(random, 1 << 29));
        q.r = randomBelow(random, 1 << 16), q.g = randomBelow(random, 1 << 16);
        q.b = randomBelow(random, 1 << 16);
        q.s = int(uint32_t(nextRandom(random))), q.t = int(uint32_t(nextRandom(random)));
      }
      const bool keyed = kind == Kind::kKeyed;
      if (kind == Kind::kFlat) zbFillFlat(whole.zb(), &p[0], &p[1], &p[2]);
      if (kind == Kind::kSmooth) zbFillSmooth(whole.zb(), &p[0], &p[1], &p[2]);
      if (kind >= Kind::kTextured) zbFillTexturedKeyed(whole.zb(), &p[0], &p[1], &p[2], keyed, 0);
      for (int begin = 0; begin < 200; begin += 7) {
        const RowBand band{begin, std::min(begin + 7, 200)};
        if (kind == Kind::kFlat) zbFillFlatRows(banded.zb(), &p[0], &p[1], &p[2], band);
        if (kind == Kind::kSmooth) zbFillSmoothRows(banded.zb(), &p[0], &p[1], &p[2], band);
        if (kind >= Kind::kTextured) {
          zbFillTexturedRows(banded.zb(), texels.data(), &p[0], &p[1], &p[2], keyed, 0, band);
        }
      }
    }
    EXPECT_TRUE(sameBuffers(whole, banded)) << "fill kind " << int(kind);
  }
}

// Rows narrower than a block are drawn one pixel at a time with the scalar arithmetic; the same
// triangles in the left 7 columns of a wide canvas go through the masked vector blocks.
TEST(FillPaths, VectorBlocksGiveThePixelsOfTheOneByOnePath) {
  std::vector<Pixel565> texels(256 * 256);
  Random random{8};
  for (Pixel565& t : texels) t = Pixel565(nextRandom(random) % 8);
  for (Kind kind : {Kind::kFlat, Kind::kSmooth, Kind::kTextured, Kind::kKeyed}) {
    FillCanvas scalar(7, 40), vector(40, 40);
    for (FillCanvas* canvas : {&scalar, &vector}) zbSetTexture(canvas->zb(), texels.data());
    for (int n = 0; n < 300; ++n) {
      ScreenPoint p[3];
      const int z = (1 + randomBelow(random, 3)) << 27;  // equal depths meet often
      for (ScreenPoint& q : p) {
        q = point(randomBelow(random, 7), randomBelow(random, 40),
                  n % 2 ? z : randomBelow(random, 1 << 29));
        q.r = randomBelow(random, 1 << 16), q.g = randomBelow(random, 1 << 16);
        q.b = randomBelow(random, 1 << 16);
        q.s = int(uint32_t(nextRandom(random))), q.t = int(uint32_t(nextRandom(random)));
      }
      for (FillCanvas* canvas : {&scalar, &vector}) {
        ZBuffer* zb = canvas->zb();
        if (kind == Kind::kFlat) zbFillFlat(zb, &p[0], &p[1], &p[2]);
        if (kind == Kind::kSmooth) zbFillSmooth(zb, &p[0], &p[1], &p[2]);
        if (kind >= Kind::kTextured) {
          zbFillTexturedKeyed(zb, &p[0], &p[1], &p[2], kind == Kind::kKeyed, 0);
        }
      }
    }
    int differing = 0;
    for (int y = 0; y < 40; ++y) {
      for (int x = 0; x < 7; ++x) {
        differing += scalar.pixel(x, y) != vector.pixel(x, y);
        differing += scalar.depth(x, y) != vector.depth(x, y);
      }
    }
    EXPECT_EQ(differing, 0) << "fill kind " << int(kind);
  }
}

}  // namespace

#if defined(KESTRUNE_FILL_AVX2)

namespace {

struct PathCase {
  Kind kind;
  int width, height;
  bool banded;
  bool one_depth;
};

ScreenPoint randomPoint(Random& random, const PathCase& c, int z) {
  ScreenPoint p = point(randomBelow(random, c.width), randomBelow(random, c.height), z);
  p.r = randomBelow(random, 1 << 16), p.g = randomBelow(random, 1 << 16);
  p.b = randomBelow(random, 1 << 16);
  p.s = int(uint32_t(nextRandom(random)));  // any 32 bits: the fill keeps bits 14-21
  p.t = int(uint32_t(nextRandom(random)));
  setTextureDepthProducts(&p);
  return p;
}

int randomDepth(Random& random) { return (1 << 20) + randomBelow(random, 1 << 28); }

// One triangle through the baseline or the AVX2 build of the case's fill.
void drawWith(bool avx2, ZBuffer* zb, const PathCase& c, const ScreenPoint* p,
              const std::vector<Pixel565>& texels, const RowBand* band) {
  if (c.kind == Kind::kFlat) (avx2 ? fillFlatAvx2 : fillFlatBaseline)(zb, p, p + 1, p + 2, band);
  if (c.kind == Kind::kSmooth) {
    (avx2 ? fillSmoothAvx2 : fillSmoothBaseline)(zb, p, p + 1, p + 2, band);
  }
  TriangleSetup tri;
  if (c.kind < Kind::kTextured || !setUpTriangle(p, p + 1, p + 2, &tri)) return;
  constexpr Pixel565 kKey = 7;
  (avx2 ? fillTexturedAvx2 : fillTexturedBaseline)(zb, texels.data(), tri, c.kind == Kind::kKeyed,
                                                   kKey, band);
}

void drawAll(FillCanvas& canvas, bool avx2, const PathCase& c,
             const std::vector<Pixel565>& texels) {
  Random random{1};
  for (int n = 0; n < 400; ++n) {
    const int z = randomDepth(random);
    ScreenPoint p[3];
    for (ScreenPoint& q : p) q = randomPoint(random, c, c.one_depth ? z : randomDepth(random));
    if (!c.banded) {
      drawWith(avx2, canvas.zb(), c, p, texels, nullptr);
      continue;
    }
    for (int begin = 0; begin < c.height; begin += 5) {  // bands that do not divide the height
      const RowBand band{begin, std::min(begin + 5, c.height)};
      drawWith(avx2, canvas.zb(), c, p, texels, &band);
    }
  }
}

TEST(FillPaths, Avx2FillsGiveTheBaselinePixels) {
  if (!fillHasAvx2()) GTEST_SKIP() << "this processor has no AVX2";
  std::vector<Pixel565> texels(256 * 256);
  Random random{99};
  for (Pixel565& t : texels) t = randomBelow(random, 4) == 0 ? 7 : Pixel565(nextRandom(random));
  const PathCase cases[] = {
      {Kind::kTextured, 203, 61, false, true}, {Kind::kKeyed, 203, 61, false, true},
      {Kind::kTextured, 203, 61, true, false}, {Kind::kKeyed, 203, 61, true, false},
      {Kind::kKeyed, 6, 40, false, false},     {Kind::kTextured, 6, 40, true, true},
      {Kind::kFlat, 203, 61, false, true},     {Kind::kFlat, 203, 61, true, false},
      {Kind::kSmooth, 203, 61, false, false},  {Kind::kSmooth, 203, 61, true, true},
      {Kind::kSmooth, 6, 40, false, true},     {Kind::kFlat, 6, 40, true, false}};
  for (const PathCase& c : cases) {
    FillCanvas baseline(c.width, c.height), avx2(c.width, c.height);
    drawAll(baseline, false, c, texels);
    drawAll(avx2, true, c, texels);
    EXPECT_TRUE(sameBuffers(baseline, avx2))
        << "fill kind " << int(c.kind) << " " << c.width << "x" << c.height << " banded "
        << c.banded << " one depth " << c.one_depth;
  }
}

// The last texel of the array sits in the upper half of its last 32-bit word: the gather reads
// that word, and the half-word choice must give texel (255, 255), not its pair neighbour.
TEST(FillPaths, Avx2ReadsTheLastTexelOfTheArray) {
  if (!fillHasAvx2()) GTEST_SKIP() << "this processor has no AVX2";
  std::vector<Pixel565> texels(256 * 256, 0x1111);
  texels[65535] = 0xBEEF;
  FillCanvas canvas(16, 2);
  ScreenPoint p[3] = {point(0, 0, 1 << 24), point(15, 0, 1 << 24), point(0, 1, 1 << 24)};
  for (ScreenPoint& q : p) {
    q.s = 255 << 14;
    q.t = 255 << 22;
    setTextureDepthProducts(&q);
  }
  TriangleSetup tri;
  ASSERT_TRUE(setUpTriangle(&p[0], &p[1], &p[2], &tri));
  fillTexturedAvx2(canvas.zb(), texels.data(), tri, false, 0, nullptr);
  for (int x = 0; x < 16; ++x) EXPECT_EQ(canvas.pixel(x, 0), 0xBEEF) << x;
}

}  // namespace

#endif
