// The point and line drawers as clipping calls them with vertex records: edge flags of polygon
// modes GL_LINE and GL_POINT, the order of a triangle's edges, the depth-test switch, and
// vertices outside the view volume; and a smooth line cut at x = w, from glBegin to pixels.
#include "renderer/line_draw.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <utility>

#include "renderer/context.h"
#include "renderer/select.h"
#include "tests/renderer/render_support.h"
#include "tests/renderer/zbuffer_support.h"

namespace {

constexpr Pixel565 kBackground = 0x8410;  // rgbToPixel(32768, 32768, 32768)
constexpr Pixel565 kRed = 0xF800;
constexpr Pixel565 kBlue = 0x001F;

using Pixels = std::set<std::pair<int, int>>;
using Depths = std::map<std::pair<int, int>, uint16_t>;

class LineDrawTest : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    zbClear(zb, 1, 0, 1, 32768, 32768, 32768);
    // A right triangle: the top edge va-vb is row 1, columns 1..7; vb-vc is the 45-degree
    // diagonal (7, 1) .. (1, 7); vc-va is column 1, rows 1..7. Red everywhere, stored depth 100.
    place(&va, 1, 1, 0xFFFF, 0);
    place(&vb, 7, 1, 0xFFFF, 0);
    place(&vc, 1, 7, 0xFFFF, 0);
  }

  static void place(GLVertex* v, int x, int y, int red, int blue) {
    *v = GLVertex{};
    v->edge_flag = 1;
    v->screen.x = x;
    v->screen.y = y;
    v->screen.z = 100 << 14;
    v->screen.r = red;
    v->screen.b = blue;
  }

  void setAllDepths(uint16_t d) { zbClear(zb, 1, d, 0, 0, 0, 0); }

  // Every pixel of the buffer: `colour` at `drawn`, the background elsewhere.
  void expectOnly(const Pixels& drawn, Pixel565 colour) const {
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        ASSERT_EQ(pixelAt(zb, x, y), drawn.count({x, y}) ? colour : kBackground) << x << "," << y;
      }
    }
  }

  // Every depth value: as listed in `written`, `other` elsewhere.
  void expectDepths(const Depths& written, uint16_t other) const {
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const auto it = written.find({x, y});
        ASSERT_EQ(zb->depth[y * kWidth + x], it != written.end() ? it->second : other)
            << x << "," << y;
      }
    }
  }

  static Depths valued(const Pixels& pixels, uint16_t value) {
    Depths depths;
    for (const auto& at : pixels) depths[at] = value;
    return depths;
  }

  static Pixels topEdge() { return run(1, 1, 1, 0, 7); }
  static Pixels diagonal() { return run(7, 1, -1, 1, 7); }
  static Pixels leftEdge() { return run(1, 1, 0, 1, 7); }

  // `count` pixels from (x, y) stepping (dx, dy).
  static Pixels run(int x, int y, int dx, int dy, int count) {
    Pixels pixels;
    for (int i = 0; i < count; ++i) pixels.insert({x + i * dx, y + i * dy});
    return pixels;
  }

  static Pixels join(std::initializer_list<Pixels> parts) {
    Pixels all;
    for (const Pixels& p : parts) all.insert(p.begin(), p.end());
    return all;
  }

  GLVertex va, vb, vc;
};

TEST_F(LineDrawTest, PolygonLinesSkipTheEdgeOfAClearedFlag) {
  // The middle vertex's flag starts the edge vb-vc: only va-vb and vc-va are drawn.
  vb.edge_flag = 0;
  drawTriangleLines(c, &va, &vb, &vc);
  expectOnly(join({topEdge(), leftEdge()}), kRed);
}

TEST_F(LineDrawTest, PolygonLinesDrawEveryFlaggedEdge) {
  drawTriangleLines(c, &va, &vb, &vc);
  expectOnly(join({topEdge(), diagonal(), leftEdge()}), kRed);
}

TEST_F(LineDrawTest, PolygonEdgesAreDrawnFirstToSecondToThird) {
  // va red, vb and vc blue. va-vb, interpolated over six steps, ends at vb a little short of
  // blue (blue5 30: 6 x 2708821 >> 8 = 63487); vb-vc is flat blue from vb. Drawn in order,
  // vb ends blue (vb-vc after va-vb) and vc ends 0x001E (vc-va, drawn last, ends there short).
  c->depth_test_on = 0;
  place(&vb, 7, 1, 0, 63488);
  place(&vc, 1, 7, 0, 63488);
  place(&va, 1, 1, 63488, 0);
  drawTriangleLines(c, &va, &vb, &vc);
  EXPECT_EQ(pixelAt(zb, 1, 1), kRed);
  EXPECT_EQ(pixelAt(zb, 7, 1), kBlue);
  EXPECT_EQ(pixelAt(zb, 1, 7), 0x001E);
  EXPECT_EQ(pixelAt(zb, 4, 4), kBlue);  // the flat edge's middle
}

TEST_F(LineDrawTest, PolygonLinesFollowTheDepthTestSwitch) {
  // Stored 50 everywhere, 200 on the top edge's middle pixel.
  setAllDepths(50);
  zb->depth[1 * kWidth + 4] = 200;
  c->depth_test_on = 1;
  vb.edge_flag = 0;
  vc.edge_flag = 0;
  drawTriangleLines(c, &va, &vb, &vc);
  Pixels tested = topEdge();
  tested.erase({4, 1});
  expectOnly(tested, kRed);
  Depths after = valued(tested, 100);
  after[{4, 1}] = 200;
  expectDepths(after, 50);

  c->depth_test_on = 0;
  drawTriangleLines(c, &va, &vb, &vc);
  expectOnly(topEdge(), kRed);  // over the nearer pixel too
  expectDepths(after, 50);      // and not one depth value changed
}

TEST_F(LineDrawTest, PolygonPointsPlotFlaggedVerticesDepthTested) {
  c->depth_test_on = 0;  // points test depth all the same
  zb->depth[7 * kWidth + 1] = 101;
  vb.edge_flag = 0;
  drawTrianglePoints(c, &va, &vb, &vc);
  expectOnly({{1, 1}}, kRed);
  expectDepths({{{1, 1}, 100}, {{1, 7}, 101}}, 0);
}

TEST_F(LineDrawTest, PointsAndLinesWithAnEndOutsideTheVolumeDrawNothing) {
  c->depth_test_on = 0;
  vb.clip_code = 2;  // beyond x = w
  drawPoint(c, &vb);
  drawLine(c, &va, &vb);
  drawLine(c, &vb, &va);
  expectOnly({}, kRed);
  drawPoint(c, &va);
  drawLine(c, &vc, &va);
  expectOnly(leftEdge(), kRed);
}

TEST_F(LineDrawTest, LinesFollowTheDepthTestSwitchAndPointsDoNot) {
  setAllDepths(150);  // nearer than everything drawn here
  c->depth_test_on = 1;
  drawLine(c, &va, &vb);
  drawPoint(c, &vc);
  expectOnly({}, kRed);
  c->depth_test_on = 0;
  drawPoint(c, &vc);
  expectOnly({}, kRed);
  drawLine(c, &va, &vb);
  expectOnly(topEdge(), kRed);
  expectDepths({}, 150);
}

TEST_F(LineDrawTest, SelectModeRecordsHitsInsteadOfDrawing) {
  unsigned buffer[8] = {};
  glSelectBuffer(8, buffer);
  vb.screen.z = 300 << 14;
  vc.clip_code = 16;  // behind the near plane: no hit
  glRenderMode(GL_SELECT);
  drawPoint(c, &vc);
  drawLine(c, &va, &vc);
  EXPECT_EQ(glRenderMode(GL_SELECT), 0);
  drawPoint(c, &va);  // a point's raw depth, 100 << 14, as both values
  EXPECT_EQ(glRenderMode(GL_SELECT), 1);
  EXPECT_EQ(buffer[0], 0u);
  EXPECT_EQ(buffer[1], 1638400u);
  EXPECT_EQ(buffer[2], 1638400u);
  drawLine(c, &vb, &va);  // 0xFFFFFFFF minus the smaller, then minus the larger depth
  EXPECT_EQ(glRenderMode(GL_RENDER), 1);
  EXPECT_EQ(buffer[1], 0xFFFFFFFFu - 1638400u);
  EXPECT_EQ(buffer[2], 0xFFFFFFFFu - 4915200u);
  expectOnly({}, kRed);
  expectDepths({}, 0);
}

// Orange (1, 0.5, 0) at clip x = -0.5 to blue at x = 1.5, on row y = 0 of the 32 x 24
// viewport (x' = 15.75 x + 15.75, y' = -11.75 y + 11.75). The cut at x = w is at t = 0.75 from
// the inside end, where the colour is (0.25, 0.125, 0.75): channels 16896, 8576, 48640. The line
// runs from column trunc(7.875) = 7 to trunc(31.5) = 31 on row 11, n = 24 steps, each taking red
// down by 1984, green down by 1008 and blue up by 1984 (exact: 47616 x 256 / 24 = 1984 x 256).
TEST_F(LineDrawTest, ASmoothLineCutAtXEqualsWEndsInItsInterpolatedColour) {
  const Pixel565 expected[25] = {0xFC00, 0xF3E1, 0xEBC2, 0xE3A3, 0xDB84, 0xD365, 0xCB46,
                                 0xC327, 0xBB08, 0xB2E9, 0xAACA, 0xA2AB, 0x9A8C, 0x926D,
                                 0x8A4E, 0x822F, 0x8210, 0x79F0, 0x71D1, 0x69B2, 0x6193,
                                 0x5974, 0x5155, 0x4936, 0x4117};
  // Inside end first, then outside end first (cut at t = 0.25 from it): the same pixels.
  for (bool inside_first : {true, false}) {
    for (int depth_test : {0, 1}) {
      zbClear(zb, 1, 0, 1, 32768, 32768, 32768);
      if (depth_test) {
        glEnable(GL_DEPTH_TEST);
      } else {
        glDisable(GL_DEPTH_TEST);
      }
      glBegin(GL_LINES);
      for (int end = 0; end < 2; ++end) {
        if ((end == 0) == inside_first) {
          glColor3f(1, 0.5f, 0);
          glVertex3f(-0.5f, 0, 0);
        } else {
          glColor3f(0, 0, 1);
          glVertex3f(1.5f, 0, 0);
        }
      }
      glEnd();
      SCOPED_TRACE(testing::Message()
                   << "inside first " << inside_first << ", depth test " << depth_test);
      EXPECT_EQ(pixelAt(zb, 31, 11), 0x4117);  // the cut end: 16896 >> 11, 8576 >> 10, 48640 >> 11
      EXPECT_EQ(pixelAt(zb, 7, 11), 0xFC00);   // the inside end: 64512, 32768, 1024
      for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
          const bool on_line = y == 11 && x >= 7;
          ASSERT_EQ(pixelAt(zb, x, y), on_line ? expected[x - 7] : kBackground) << x << "," << y;
          // z = 0 on both ends: 536879104 >> 14 = 32768 wherever the depth-tested line passes.
          ASSERT_EQ(zb->depth[y * kWidth + x], on_line && depth_test ? 32768 : 0) << x << "," << y;
        }
      }
    }
  }
}

}  // namespace
