// Tests of what all fills share beyond the edge walk: the depth step (values written, equal
// depth passing, nearer depth blocking, depth past 16 bits), painting order at equal depth,
// edges shared by two triangles, and triangles of zero area. Expected values are worked out by
// hand in the comments.
#include <gtest/gtest.h>

#include <vector>

#include "renderer/ztriangle.h"
#include "tests/renderer/fill_support.h"

namespace {

constexpr Pixel565 kRed = 0xF800;
constexpr Pixel565 kBlue = 0x001F;

TEST(FillDepth, WritesZShiftedRight14WherePassingAndKeepsNearerValues) {
  // (0,0) (8,0) (0,2): area 16, so fdx1 = 0.5, fdy2 = 0.125, fdy1 = fdx2 = 0.
  // z = 1646592 + 53248 x + 163840 y (100.5 + 3.25 x + 10 y in depth units):
  //   d1 = 8 x 53248 = 425984, d2 = 2 x 163840 = 327680,
  //   dzdx = 0.125 x 425984 = 53248, dzdy = 0.5 x 327680 = 163840, all exact in floats.
  // The left edge (0,0)-(0,2) is vertical, so each row starts at x = 0 with z += dzdy.
  // Right edge (8,0)-(0,2), slope -4: row 0 is 0..8 (nine pixels: a block of eight and the
  // block ending at x = 8), row 1 is 0..4 (one by one), row 2 is 0..0.
  //   row 0: 100.5 103.75 107 110.25 113.5 116.75 120 123.25 126.5 -> 100 103 107 110 113 116
  //          120 123 126
  //   row 1: 110.5 113.75 117 120.25 123.5 -> 110 113 117 120 123;  row 2: 120.5 -> 120
  // Stored values set beforehand: equal ones pass (2,0) (6,0) (3,1), greater ones block
  // (3,0) (7,0) (1,1), and (9,0) lies outside the triangle.
  FillCanvas canvas(10, 3);
  const int blockers[][3] = {{2, 0, 107}, {6, 0, 120}, {3, 1, 120}, {3, 0, 111},
                             {7, 0, 124}, {1, 1, 114}, {9, 0, 500}};
  for (const auto& b : blockers) canvas.setDepth(b[0], b[1], uint16_t(b[2]));
  ScreenPoint p0 = coloured(0, 0, 1646592, 0, 0, 65535);
  ScreenPoint p1 = coloured(8, 0, 1646592 + 8 * 53248, 0, 0, 65535);
  ScreenPoint p2 = coloured(0, 2, 1646592 + 2 * 163840, 0, 0, 65535);
  zbFillFlat(canvas.zb(), &p0, &p1, &p2);

  Grid want_depth(10, 3, 0);
  want_depth.row(0, 0, {100, 103, 107, 111, 113, 116, 120, 124, 126, 500})
      .row(1, 0, {110, 114, 117, 120, 123})
      .row(2, 0, {120});
  EXPECT_TRUE(depths(canvas, want_depth));
  auto rows = {"XXX.XXX.X.", "X.XXX.....", "X........."};
  EXPECT_TRUE(picture(canvas, gridFromMap(rows, kBackground, {{'X', kBlue}})));
}

TEST(FillDepth, DepthFollowsThePlaneAlongSlantedEdges) {
  // z = 1000 x 2^14 + 12288 (x - x0) - 20480 y: 1000 + 0.75 (x - x0) - 1.25 y depth units.
  // (2,0) (5,2) (0,4): area 3 x 4 - (-2) x 2 = 16 > 0; fdx1 = 0.1875, fdy1 = 0.125, fdx2 =
  // -0.125, fdy2 = 0.25; d1 = 3 x 12288 - 2 x 20480 = -4096, d2 = -2 x 12288 - 4 x 20480 =
  // -106496: dzdx = 0.25 x -4096 - 0.125 x -106496 = 12288, dzdy = 0.1875 x -106496 - (-0.125 x
  // -4096) = -20480, exact. Left (2,0)-(0,4): slope -0.5 (error step 32768, step_min -1):
  // x1 = 2 2 1 1 0, the edge's z stepping by dzdy + dzdx x (-1 or 0) with it. Right (2,0)-(5,2)
  // slope 1.5, then (5,2)-(0,4) slope -2.5 from 5.0: x2 = 2 3 5 2 0.
  //   row 0: x 2 -> 1000;  row 1: 998.75 999.5 -> 998 999
  //   row 2: 996.75 997.5 998.25 999 999.75 -> 996 997 998 999 999
  //   row 3: 995.5 996.25 -> 995 996;  row 4: x 0 -> 993.5 -> 993
  Grid want_right(6, 5, 0);
  want_right.row(0, 2, {1000}).row(1, 2, {998, 999}).row(2, 1, {996, 997, 998, 999, 999});
  want_right.row(3, 1, {995, 996}).row(4, 0, {993});
  auto right_rows = {"..X...", "..XX..", ".XXXXX", ".XX...", "X....."};

  // (3,0) (0,2) (5,4): area -3 x 4 - 2 x 2 = -16 < 0; fdx1 = 0.1875, fdy1 = -0.125, fdx2 =
  // -0.125, fdy2 = -0.25; d1 = -77824, d2 = -57344: dzdx = 19456 - 7168 = 12288, dzdy = -10752
  // - 9728 = -20480. Left (3,0)-(0,2): slope -1.5 (error step 32768, step_min -2): x1 = 3 2;
  // then restarted at (0,2) with z = z(p1): slope 2.5 (error step 32768, step_min 2): x1 = 0 3
  // 5. Right (3,0)-(5,4) slope 0.5: x2 = 3 3 4 4 5.
  //   row 0: 1000;  row 1: 998 998.75 -> 998 998;  row 2: 995.25 996 996.75 997.5 998.25 ->
  //   995 996 996 997 998;  row 3: 996.25 997 -> 996 997;  row 4: x 5 -> 996.5 -> 996
  Grid want_left(6, 5, 0);
  want_left.row(0, 3, {1000}).row(1, 2, {998, 998}).row(2, 0, {995, 996, 996, 997, 998});
  want_left.row(3, 3, {996, 997}).row(4, 5, {996});
  auto left_rows = {"...X..", "..XX..", "XXXXX.", "...XX.", ".....X"};

  // Seven columns pad the frame-buffer rows to eight pixels while the depth rows stay at seven.
  for (Placement at : {Placement{7, 0}, Placement{13, 7}}) {
    ScreenPoint a0 = point(2 + at.dx, 0, 16384000);
    ScreenPoint a1 = point(5 + at.dx, 2, 16384000 + 3 * 12288 - 2 * 20480);
    ScreenPoint a2 = point(0 + at.dx, 4, 16384000 - 2 * 12288 - 4 * 20480);
    FillCanvas right_middle(at.width, 5);
    zbFillFlat(right_middle.zb(), &a0, &a1, &a2);
    EXPECT_TRUE(depths(right_middle, placed(want_right, at, 0))) << at.width;
    Grid right_figure = gridFromMap(right_rows, kBackground, {{'X', 0}});
    EXPECT_TRUE(picture(right_middle, placed(right_figure, at, kBackground))) << at.width;

    ScreenPoint b0 = point(3 + at.dx, 0, 16384000);
    ScreenPoint b1 = point(0 + at.dx, 2, 16384000 - 3 * 12288 - 2 * 20480);
    ScreenPoint b2 = point(5 + at.dx, 4, 16384000 + 2 * 12288 - 4 * 20480);
    FillCanvas left_middle(at.width, 5);
    zbFillFlat(left_middle.zb(), &b0, &b1, &b2);
    EXPECT_TRUE(depths(left_middle, placed(want_left, at, 0))) << at.width;
    Grid left_figure = gridFromMap(left_rows, kBackground, {{'X', 0}});
    EXPECT_TRUE(picture(left_middle, placed(left_figure, at, kBackground))) << at.width;
  }
}

TEST(FillDepth, DepthPast16BitsAlwaysPassesAndStoresItsLow16Bits) {
  // z = (65536 + 5) << 14: z >> 14 = 65541, compared in 32 bits it beats the nearest stored
  // value 0xFFFF; the stored value is its low 16 bits, 5. (0,0) (9,0) (0,1) gives row 0 = 0..9
  // (ten pixels, a block and an overlapping block) and row 1 = 0..0 (one by one).
  const int z = (65536 + 5) << 14;
  for (int fill = 0; fill < 2; ++fill) {
    FillCanvas canvas(10, 2, 0xFFFF);
    ScreenPoint p0 = coloured(0, 0, z, 65535, 0, 0);
    ScreenPoint p1 = coloured(9, 0, z, 65535, 0, 0);
    ScreenPoint p2 = coloured(0, 1, z, 65535, 0, 0);
    if (fill == 0) {
      zbFillFlat(canvas.zb(), &p0, &p1, &p2);
    } else {
      zbFillSmooth(canvas.zb(), &p0, &p1, &p2);
    }
    auto rows = {"XXXXXXXXXX", "X........."};
    EXPECT_TRUE(picture(canvas, gridFromMap(rows, kBackground, {{'X', kRed}}))) << fill;
    EXPECT_TRUE(depths(canvas, gridFromMap(rows, 0xFFFF, {{'X', 5}}))) << fill;
  }
}

// Two triangles on either side of the vertical edge x = 3, rows 0..3, at one depth.
// Left (0,0) (3,0) (3,3): area 9 > 0; left edge (0,0)-(3,3) slope 1.0 (error step 0, step_min
// 1); part A has no rows; right edge (3,0)-(3,3) at x2 = 3.0: rows 0..3 span x = y..3.
// Right (3,0) (6,3) (3,3): area 9 > 0; left edge (3,0)-(3,3) at x = 3; right edge (3,0)-(6,3)
// slope 1.0 for rows 0..2, then (6,3)-(3,3) with no rows from x2 = 6.0: spans 3..3+y.
// Both spans of every row include column 3.
struct SharedEdge {
  ScreenPoint l0 = coloured(0, 0, 50 << 14, 65535, 0, 0);
  ScreenPoint l1 = coloured(3, 0, 50 << 14, 65535, 0, 0);
  ScreenPoint l2 = coloured(3, 3, 50 << 14, 65535, 0, 0);
  ScreenPoint r0 = coloured(3, 0, 50 << 14, 0, 0, 65535);
  ScreenPoint r1 = coloured(6, 3, 50 << 14, 0, 0, 65535);
  ScreenPoint r2 = coloured(3, 3, 50 << 14, 0, 0, 65535);
};

// Both placements of a figure seven pixels wide.
constexpr Placement kPlacements[] = {{7, 0}, {14, 7}};

TEST(FillDepth, SharedEdgeIsDrawnByBothAndTheLaterWinsAtEqualDepth) {
  std::map<char, uint16_t> legend = {{'r', kRed}, {'b', kBlue}};
  Grid left_first = gridFromMap({"rrrb...", ".rrbb..", "..rbbb.", "...bbbb"}, kBackground, legend);
  Grid right_first = gridFromMap({"rrrr...", ".rrrb..", "..rrbb.", "...rbbb"}, kBackground, legend);
  for (Placement at : kPlacements) {
    SharedEdge t;
    for (ScreenPoint* p : {&t.l0, &t.l1, &t.l2, &t.r0, &t.r1, &t.r2}) p->x += at.dx;
    FillCanvas canvas(at.width, 4);
    zbFillFlat(canvas.zb(), &t.l0, &t.l1, &t.l2);
    zbFillFlat(canvas.zb(), &t.r0, &t.r1, &t.r2);
    EXPECT_TRUE(picture(canvas, placed(left_first, at, kBackground))) << at.width;
    zbFillFlat(canvas.zb(), &t.l0, &t.l1, &t.l2);
    EXPECT_TRUE(picture(canvas, placed(right_first, at, kBackground))) << at.width;
  }
}

TEST(FillDepth, EqualDepthPaintsInDrawingOrderForEveryFill) {
  // The player's case: everything at one depth, each triangle painted over the ones before.
  // The left triangle of SharedEdge, drawn red, then blue by each fill in turn, then red again.
  std::vector<Pixel565> texels(256 * 256, kBlue);
  auto rows = {"XXXX...", ".XXX...", "..XX...", "...X..."};
  for (Placement at : kPlacements) {
    for (int fill = 0; fill < 3; ++fill) {
      SharedEdge t;
      for (ScreenPoint* p : {&t.l0, &t.l1, &t.l2}) p->x += at.dx;
      FillCanvas canvas(at.width, 4);
      zbSetTexture(canvas.zb(), texels.data());
      zbFillFlat(canvas.zb(), &t.l0, &t.l1, &t.l2);
      ScreenPoint a = t.l0, b = t.l1, c = t.l2;
      a.b = b.b = c.b = 65535;
      a.r = b.r = c.r = 0;
      if (fill == 0) zbFillFlat(canvas.zb(), &a, &b, &c);
      if (fill == 1) zbFillSmooth(canvas.zb(), &a, &b, &c);
      if (fill == 2) zbFillTexturedKeyed(canvas.zb(), &a, &b, &c, 0, 0);
      Grid blue = gridFromMap(rows, kBackground, {{'X', kBlue}});
      EXPECT_TRUE(picture(canvas, placed(blue, at, kBackground))) << fill << " " << at.width;
      zbFillFlat(canvas.zb(), &t.l0, &t.l1, &t.l2);
      Grid red = gridFromMap(rows, kBackground, {{'X', kRed}});
      EXPECT_TRUE(picture(canvas, placed(red, at, kBackground))) << fill << " " << at.width;
    }
  }
}

TEST(FillDepth, ZeroAreaDrawsNothing) {
  // Three points on a slanted line, on one row, in one column, two equal, all equal.
  const int lines[][6] = {{1, 1, 3, 3, 5, 5},
                          {0, 2, 5, 2, 3, 2},
                          {4, 0, 4, 5, 4, 2},
                          {2, 1, 2, 1, 4, 3},
                          {3, 3, 3, 3, 3, 3}};
  std::vector<Pixel565> texels(256 * 256, kBlue);
  for (const auto& l : lines) {
    ScreenPoint a = coloured(l[0], l[1], 9 << 14, 65535, 65535, 65535);
    ScreenPoint b = coloured(l[2], l[3], 9 << 14, 65535, 65535, 65535);
    ScreenPoint c = coloured(l[4], l[5], 9 << 14, 65535, 65535, 65535);
    FillCanvas canvas(6, 6);
    zbSetTexture(canvas.zb(), texels.data());
    zbFillFlat(canvas.zb(), &a, &b, &c);
    zbFillSmooth(canvas.zb(), &a, &b, &c);
    zbFillTexturedKeyed(canvas.zb(), &a, &b, &c, 0, 0);
    EXPECT_TRUE(picture(canvas, Grid(6, 6, kBackground))) << l[0] << "," << l[1];
    EXPECT_TRUE(depths(canvas, Grid(6, 6, 0))) << l[0] << "," << l[1];
  }
}

}  // namespace
