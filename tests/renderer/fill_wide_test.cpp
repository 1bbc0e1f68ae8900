// Tests of the fills on rows far wider than 16.16 fixed point holds in 32 bits: triangles whose
// edges cross the whole width of a buffer 32768 wide (the largest desktop), 40001 wide (columns
// past 2^15) and 2^20 + 1 wide (slopes past 2^32), four rows high. Every fill, whole and band by
// band, must cover exactly the spans worked out by hand from the edge rules in the comments: the
// left edge's column is the ceiling of the edge stepped by its 16.16 slope (truncated toward
// zero), the right edge's column the floor of its 16.16 value, and a row covers x1..x2.
// Receives the fills' pixels and depth values; hands on nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "renderer/ztriangle.h"
#include "tests/renderer/fill_support.h"

namespace {

constexpr int kZ = 1 << 24;           // stored depth 1024; s x z and t x z stay exact in floats
constexpr uint16_t kFarDepth = 1000;  // the canvas's depth: every fragment of depth 1024 passes
constexpr uint16_t kNearDepth = 2000;

// Red 0x8000, green 0x4000, blue 0xC000 on every point: 0x8000 | (0x4000 >> 5) | (0xC000 >> 11),
// from the flat fill and, with all colour gradients 0, from the smooth one.
constexpr Pixel565 kColour = 0x8218;
constexpr Pixel565 kTexel = 20 * 256 + 10;    // texel (10, 20) of namedTexels()
constexpr int kTexelS = 10 << 14 | 0x2000;    // column 10.5
constexpr int kTexelT = 20 << 22 | 0x200000;  // row 20.5

// Columns x1..x2 of a row; none when x2 < x1.
struct Span {
  int x1, x2;
};

struct Pixel {
  int x, y;
};

struct WideCase {
  const char* what;
  int width;
  int x[3], y[3];   // the points in the order given
  Span rows[4];     // the expected span of rows 0..3
  Pixel nearer[2];  // two pixels, at the ends of a span, whose stored depth is kNearDepth
};

// m is the width - 1, the last column.
// "right": (0,0) (0,3) (m,3). Sorted as given; area 0 x 3 - m x 3 < 0, so the middle point
//   (0,3) is on the left. Left (0,0)-(0,3) then (0,3)-(m,3): column 0. Right (0,0)-(m,3): slope
//   s = trunc(m x 65536 / 3) from 0; row k ends at floor(k s / 65536), and row 3 stops one short
//   of m because s was truncated:
//     m = 32767:   s = trunc(2147418112 / 3) = 715806037; k s = 715806037, 1431612074,
//                  2147418111 -> 10922 (+21845), 21844 (+43690), 32766 (+65535).
//     m = 40000:   s = trunc(2621440000 / 3) = 873813333 -> 13333, 26666, 39999.
//     m = 2^20:    s = trunc(2^36 / 3) = 22906492245 -> 349525, 699050, 1048575.
//   A 32-bit right edge would overflow at k = 4 (the step after the last row) when m = 32767,
//   at k = 3 when m = 40000 and on the slope itself when m = 2^20.
// "left": (m,0) (m,1) (0,3). Area 0 x 3 - (-m) x 1 > 0, so the middle point (m,1) is on the
//   right. Left (m,0)-(0,3), slope -s as above: row k starts at m + ceil(-k s / 65536) =
//     m = 32767:   32767 - 10922 = 21845, 32767 - 21844 = 10923, 32767 - 32766 = 1;
//     m = 40000:   26667, 13334, 1;   m = 2^20: 699051, 349526, 1.
//   Right (m,0)-(m,1) for row 0, then (m,1)-(0,3) with slope -m x 32768 (exact) from m:
//   row 1 ends at m, row 2 at floor(m / 2), row 3 at 0, left of its start 1: row 3 is empty.
//   A 32-bit right edge would overflow on m x 65536 from m = 32768 on.
const WideCase kCases[] = {
    {"right, 32768 wide",
     32768,
     {0, 0, 32767},
     {0, 3, 3},
     {{0, 0}, {0, 10922}, {0, 21844}, {0, 32766}},
     {{0, 3}, {32766, 3}}},
    {"left, 32768 wide",
     32768,
     {32767, 32767, 0},
     {0, 1, 3},
     {{32767, 32767}, {21845, 32767}, {10923, 16383}, {1, 0}},
     {{21845, 1}, {16383, 2}}},
    {"right, 40001 wide",
     40001,
     {0, 0, 40000},
     {0, 3, 3},
     {{0, 0}, {0, 13333}, {0, 26666}, {0, 39999}},
     {{32768, 3}, {39999, 3}}},
    {"left, 40001 wide",
     40001,
     {40000, 40000, 0},
     {0, 1, 3},
     {{40000, 40000}, {26667, 40000}, {13334, 20000}, {1, 0}},
     {{26667, 1}, {20000, 2}}},
    {"right, 2^20 + 1 wide",
     1048577,
     {0, 0, 1048576},
     {0, 3, 3},
     {{0, 0}, {0, 349525}, {0, 699050}, {0, 1048575}},
     {{699050, 2}, {1048575, 3}}},
    {"left, 2^20 + 1 wide",
     1048577,
     {1048576, 1048576, 0},
     {0, 1, 3},
     {{1048576, 1048576}, {699051, 1048576}, {349526, 524288}, {1, 0}},
     {{349526, 2}, {524288, 2}}},
};

enum class Fill { kFlat, kSmooth, kTextured, kTexturedKeyed };

// Texel (column, row) holds row x 256 + column.
const std::vector<Pixel565>& namedTexels() {
  static const std::vector<Pixel565> texels = [] {
    std::vector<Pixel565> t(256 * 256);
    for (int i = 0; i < 256 * 256; ++i) t[i] = Pixel565(i);
    return t;
  }();
  return texels;
}

// The case's points with one colour, one depth and one texel throughout, so that each fill gives
// one value everywhere.
std::vector<ScreenPoint> pointsOf(const WideCase& c) {
  std::vector<ScreenPoint> points;
  for (int k = 0; k < 3; ++k) {
    ScreenPoint p = coloured(c.x[k], c.y[k], kZ, 0x8000, 0x4000, 0xC000);
    p.s = kTexelS;
    p.t = kTexelT;
    points.push_back(p);
  }
  return points;
}

Pixel565 colourOf(Fill fill) {
  return fill == Fill::kFlat || fill == Fill::kSmooth ? kColour : kTexel;
}

// Draws the case's triangle with one fill, band by band through `bands` (RowBand list), or whole
// when `bands` is empty.
void draw(FillCanvas& canvas, Fill fill, std::vector<ScreenPoint> p,
          const std::vector<RowBand>& bands) {
  ZBuffer* zb = canvas.zb();
  const bool textured = fill == Fill::kTextured || fill == Fill::kTexturedKeyed;
  const bool keyed = fill == Fill::kTexturedKeyed;  // the key 0 matches no texel drawn here
  if (bands.empty()) {
    zbSetTexture(zb, namedTexels().data());
    if (fill == Fill::kFlat) zbFillFlat(zb, &p[0], &p[1], &p[2]);
    if (fill == Fill::kSmooth) zbFillSmooth(zb, &p[0], &p[1], &p[2]);
    if (textured) zbFillTexturedKeyed(zb, &p[0], &p[1], &p[2], keyed, 0);
    return;
  }
  for (ScreenPoint& q : p) setTextureDepthProducts(&q);
  for (RowBand band : bands) {
    if (fill == Fill::kFlat) zbFillFlatRows(zb, &p[0], &p[1], &p[2], band);
    if (fill == Fill::kSmooth) zbFillSmoothRows(zb, &p[0], &p[1], &p[2], band);
    if (textured) zbFillTexturedRows(zb, namedTexels().data(), &p[0], &p[1], &p[2], keyed, 0, band);
  }
}

// Every pixel and depth value of the canvas against the spans: `colour` and depth 1024 inside
// the rows drawn, except where the stored depth was kNearDepth, which keeps the background.
// Gives the first few differences, empty when there are none.
std::string differences(const FillCanvas& canvas, const WideCase& c, Pixel565 colour, int rows_from,
                        int rows_to) {
  const ZBuffer* zb = canvas.zb();
  std::string found;
  int count = 0;
  for (int y = 0; y < 4; ++y) {
    const Pixel565* pixels = zb->pixels + y * (zb->line_bytes / 2);
    const uint16_t* depth = zb->depth + y * zb->width;
    const bool row_drawn = y >= rows_from && y < rows_to;
    for (int x = 0; x < c.width; ++x) {
      const bool nearer =
          (x == c.nearer[0].x && y == c.nearer[0].y) || (x == c.nearer[1].x && y == c.nearer[1].y);
      const bool inside = row_drawn && x >= c.rows[y].x1 && x <= c.rows[y].x2 && !nearer;
      const Pixel565 want_pixel = inside ? colour : kBackground;
      const uint16_t want_depth = inside ? 1024 : nearer ? kNearDepth : kFarDepth;
      if (pixels[x] == want_pixel && depth[x] == want_depth) continue;
      if (++count <= 4) {
        char line[96];
        std::snprintf(line, sizeof line, "(%d,%d) pixel %u depth %u, want %u depth %u\n", x, y,
                      unsigned{pixels[x]}, unsigned{depth[x]}, unsigned{want_pixel},
                      unsigned{want_depth});
        found += line;
      }
    }
  }
  if (count > 4) found += std::to_string(count) + " differences in all\n";
  return found;
}

// Back to kBackground (red 0x1000, green 0x4400, blue 0xA000) and kFarDepth everywhere, with the
// case's two nearer pixels.
void reset(FillCanvas& canvas, const WideCase& c) {
  zbClear(canvas.zb(), 1, kFarDepth, 1, 0x1000, 0x4400, 0xA000);
  for (Pixel p : c.nearer) canvas.setDepth(p.x, p.y, kNearDepth);
}

TEST(FillWide, EdgesAcrossTheWholeWidthCoverTheSpansOfTheEdgeRules) {
  struct Drawing {
    const char* how;
    std::vector<RowBand> bands;
    int rows_from, rows_to;  // the rows the bands reach
  };
  const Drawing drawings[] = {
      {"whole", {}, 0, 4},
      {"bands 0-1, 2-3", {{0, 2}, {2, 4}}, 0, 4},
      {"band 1-2 alone", {{1, 3}}, 1, 3},
  };
  for (const WideCase& c : kCases) {
    FillCanvas canvas(c.width, 4);
    for (Fill fill : {Fill::kFlat, Fill::kSmooth, Fill::kTextured, Fill::kTexturedKeyed}) {
      for (const Drawing& d : drawings) {
        reset(canvas, c);
        draw(canvas, fill, pointsOf(c), d.bands);
        const std::string found = differences(canvas, c, colourOf(fill), d.rows_from, d.rows_to);
        EXPECT_TRUE(found.empty()) << c.what << ", fill " << int(fill) << ", " << d.how << ":\n"
                                   << found;
      }
    }
  }
}

}  // namespace
