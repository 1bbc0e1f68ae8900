// Tests of the edge walk through the flat fill: which pixels small triangles cover (both
// windings, flat tops and bottoms, points in any order) and which point's colour they take.
// Every expected picture is worked out by hand from the walker's integer steps in the comments;
// moving a figure right by whole pixels moves its pixels and nothing else.
#include <gtest/gtest.h>

#include "renderer/ztriangle.h"
#include "tests/renderer/fill_support.h"

namespace {

constexpr int kZ = 1000 << 14;  // stored depth 1000
constexpr Pixel565 kBlue = 0x001F;
constexpr Pixel565 kGreen = 0x07E0;

TEST(FillFlat, MiddlePointRightOfTheLongEdge) {
  // Sorted (1,0) (5,2) (0,4); area = 4 x 4 - (-1) x 2 = 18 > 0: left edge p0-p2 for both
  // parts, right edge p0-p1 then p1-p2.
  // Left (1,0)-(0,4): slope = -65536 / 4 = -16384, error step 49152, step_min -1.
  // Right A (1,0)-(5,2): slope 131072; right B (5,2)-(0,4): slope -163840 from x2 = 5.0.
  //   row 0: 1..1  error 49152 > 0 -> -16384, x1 1; x2 3.0
  //   row 1: 1..3  error 32768 > 0 -> -32768, x1 1
  //   row 2: 1..5  error 16384 > 0 -> -49152, x1 1; x2 2.5
  //   row 3: 1..2  error 0, not > 0 -> x1 0;    x2 0.0
  //   row 4: 0..0
  // The colour is that of (0,4): rgbToPixel(0xFFFF, 0x8000, 0x1234) = F800 | 0400 | 0002.
  auto rows = {".X....", ".XXX..", ".XXXXX", ".XX...", "X....."};
  for (Placement at : {Placement{6, 0}, Placement{13, 7}}) {
    ScreenPoint top = coloured(1 + at.dx, 0, kZ, 0, 0, 65535);
    ScreenPoint middle = coloured(5 + at.dx, 2, kZ, 0, 65535, 0);
    ScreenPoint bottom = coloured(0 + at.dx, 4, kZ, 0xFFFF, 0x8000, 0x1234);
    FillCanvas canvas(at.width, 5);
    zbFillFlat(canvas.zb(), &bottom, &top, &middle);
    Grid figure = gridFromMap(rows, kBackground, {{'X', 0xFC02}});
    EXPECT_TRUE(picture(canvas, placed(figure, at, kBackground))) << at.width;
    EXPECT_TRUE(depths(canvas, placed(gridFromMap(rows, 0, {{'X', 1000}}), at, 0))) << at.width;
  }
}

TEST(FillFlat, FlatTopDrawsNothingInPartAAndEveryRowInPartB) {
  // (1,1) (6,1) (3,4): part A has p1.y - p0.y = 0 rows; part B rows 1..4, 4 of them.
  // Given in this order the area is 5 x 3 = 15 > 0: left (1,1)-(3,4), slope 131072 / 3 = 43690
  // (error step 43690, step_min 0); right (6,1)-(3,4), slope -65536 from x2 = 6.0.
  //   row 1: 1..6  error 43690 > 0 -> -21846, x1 2
  //   row 2: 2..5  error 21844 > 0 -> -43692, x1 3
  //   row 3: 3..4  error -2 -> x1 3
  //   row 4: 3..3  (the row of p2)
  // Given with the top two exchanged the area is -15: the left edge restarts at (1,1) in part
  // B and the right edge (6,1)-(3,4) is the same, so the picture is the same.
  auto rows = {"........", ".XXXXXX.", "..XXXX..", "...XX...", "...X....", "........"};
  Grid want = gridFromMap(rows, kBackground, {{'X', kBlue}});
  ScreenPoint left = coloured(1, 1, kZ, 0, 0, 65535);
  ScreenPoint right = coloured(6, 1, kZ, 0, 0, 65535);
  ScreenPoint bottom = coloured(3, 4, kZ, 0, 0, 65535);
  FillCanvas positive(8, 6);
  zbFillFlat(positive.zb(), &left, &right, &bottom);
  EXPECT_TRUE(picture(positive, want));
  FillCanvas negative(8, 6);
  zbFillFlat(negative.zb(), &right, &left, &bottom);
  EXPECT_TRUE(picture(negative, want));
}

TEST(FillFlat, FlatBottomTakesTheColourOfTheBottomPointGivenLast) {
  // (2,0) over (0,2) and (4,2). In the order top, bottom-left, bottom-right the area is
  // -2 x 2 - 2 x 2 = -8: left (2,0)-(0,2) slope -65536 (step_min -1, error step 0), right
  // (2,0)-(4,2) slope 65536 from 2.0; part B's left edge (0,2)-(4,2) has no rows: slope 0.
  //   row 0: 2..2, row 1: 1..3, row 2: 0..4.
  // The sort keeps points on one row in the order given, so the last of the two bottom points
  // given is p2 and gives the colour.
  ScreenPoint top = coloured(2, 0, kZ, 65535, 65535, 65535);
  ScreenPoint bottom_left = coloured(0, 2, kZ, 0, 65535, 0);
  ScreenPoint bottom_right = coloured(4, 2, kZ, 0, 0, 65535);
  auto rows = {"..X..", ".XXX.", "XXXXX"};
  struct Order {
    ScreenPoint *a, *b, *c;
    Pixel565 colour;
  };
  const Order orders[] = {
      {&top, &bottom_left, &bottom_right, kBlue},  {&top, &bottom_right, &bottom_left, kGreen},
      {&bottom_right, &bottom_left, &top, kGreen},  // top rotated to the front
      {&bottom_left, &bottom_right, &top, kBlue},  {&bottom_left, &top, &bottom_right, kBlue},
  };
  for (const Order& order : orders) {
    FillCanvas canvas(5, 3);
    zbFillFlat(canvas.zb(), order.a, order.b, order.c);
    EXPECT_TRUE(picture(canvas, gridFromMap(rows, kBackground, {{'X', order.colour}})))
        << "order " << &order - orders;
  }
}

}  // namespace
