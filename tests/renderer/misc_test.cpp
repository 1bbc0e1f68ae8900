// Viewport, enable/disable and rasterization state, clear colour and depth, and glClear on the
// ZBuffer (pixel values worked out by hand from the 5-6-5 rule).
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "renderer/gl.h"
#include "renderer/ops.h"
#include "tests/renderer/render_support.h"

namespace {

using testing::Eq;
using testing::ExitedWithCode;

// A snapshot of every byte of the context, to show that an op changed nothing.
std::vector<unsigned char> snapshot(const RenderContext* c) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(c);
  return std::vector<unsigned char>(bytes, bytes + sizeof(RenderContext));
}

// Hooks: the requests they saw, and a display that is at most 640 pixels wide.
int hook_calls = 0;
int hook_right = 0;
int hook_bottom = 0;

int narrowDisplay(RenderContext*, int* right, int* bottom) {
  ++hook_calls;
  hook_right = *right;
  hook_bottom = *bottom;
  if (*right > 640) *right = 640;
  return 0;
}

int failingDisplay(RenderContext*, int*, int*) { return 1; }

int vanishingDisplay(RenderContext*, int* right, int*) {
  *right = 0;
  return 0;
}

class ViewportTest : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    hook_calls = 0;
  }
};

TEST_F(ViewportTest, TheSameViewportAgainChangesNothing) {
  c->resize_hook = narrowDisplay;
  c->viewport.dirty = 0;
  glViewport(0, 0, 32, 24);  // what glInitContext set
  EXPECT_EQ(hook_calls, 0);
  EXPECT_EQ(c->viewport.dirty, 0);
}

TEST_F(ViewportTest, ANewViewportIsStoredAndMarkedDirty) {
  c->viewport.dirty = 0;
  glViewport(2, 3, 10, 12);
  EXPECT_EQ(c->viewport.x, 2);
  EXPECT_EQ(c->viewport.y, 3);
  EXPECT_EQ(c->viewport.width, 10);
  EXPECT_EQ(c->viewport.height, 12);
  EXPECT_EQ(c->viewport.dirty, 1);
}

TEST_F(ViewportTest, TheHookMayNarrowTheRequestedEdges) {
  c->resize_hook = narrowDisplay;
  glViewport(0, 0, 800, 480);
  EXPECT_EQ(hook_calls, 1);
  EXPECT_EQ(hook_right, 800);
  EXPECT_EQ(hook_bottom, 480);
  EXPECT_EQ(c->viewport.width, 640);
  EXPECT_EQ(c->viewport.height, 480);

  glViewport(100, 20, 800, 480);  // right edge 900 -> 640: 540 wide
  EXPECT_EQ(hook_right, 900);
  EXPECT_EQ(hook_bottom, 500);
  EXPECT_EQ(c->viewport.x, 100);
  EXPECT_EQ(c->viewport.width, 540);
  EXPECT_EQ(c->viewport.height, 480);
}

TEST_F(RenderDeathTest, ViewportFailuresAreFatal) {
  EXPECT_EXIT(glViewport(0, 0, 0, 10), ExitedWithCode(1),
              Eq("Rasterkit: fatal error: glViewport: size too small\n"));
  EXPECT_EXIT(glViewport(0, 0, 10, -1), ExitedWithCode(1),
              Eq("Rasterkit: fatal error: glViewport: size too small\n"));
  c->resize_hook = vanishingDisplay;
  EXPECT_EXIT(glViewport(5, 0, 10, 10), ExitedWithCode(1),
              Eq("Rasterkit: fatal error: glViewport: size too small\n"));
  c->resize_hook = failingDisplay;
  EXPECT_EXIT(glViewport(0, 0, 10, 10), ExitedWithCode(1),
              Eq("Rasterkit: fatal error: glViewport: error while resizing display\n"));
}

TEST_F(RenderTest, EachCapabilitySetsItsOwnFlag) {
  struct Switch {
    int cap;
    int RenderContext::*flag;
  };
  const Switch switches[] = {
      {GL_CULL_FACE, &RenderContext::culling_on},
      {GL_COLOR_MATERIAL, &RenderContext::color_material_on},
      {GL_DEPTH_TEST, &RenderContext::depth_test_on},
      {GL_NORMALIZE, &RenderContext::normalize_on},
      {GL_BLEND, &RenderContext::blend_on},
      {GL_TEXTURE_2D, &RenderContext::texturing_on},
      {GL_LIGHTING, &RenderContext::lighting_on},
  };
  for (const Switch& s : switches) {
    glEnable(s.cap);
    EXPECT_EQ(c->*s.flag, 1) << s.cap;
    c->mvp_dirty = 0;
    std::vector<unsigned char> before = snapshot(c);
    glDisable(s.cap);
    EXPECT_EQ(c->*s.flag, 0) << s.cap;
    c->*s.flag = 1;  // everything else is as it was
    c->mvp_dirty = 0;
    EXPECT_EQ(snapshot(c), before) << s.cap;
    c->*s.flag = 0;
  }
}

TEST_F(RenderTest, PolygonOffsetCapabilitiesAreBitsOfOneField) {
  glEnable(GL_POLYGON_OFFSET_POINT);
  EXPECT_EQ(c->poly_offset_modes, 4);
  glEnable(GL_POLYGON_OFFSET_LINE);
  EXPECT_EQ(c->poly_offset_modes, 6);
  glEnable(GL_POLYGON_OFFSET_FILL);
  EXPECT_EQ(c->poly_offset_modes, 7);
  glDisable(GL_POLYGON_OFFSET_LINE);
  EXPECT_EQ(c->poly_offset_modes, 5);
  glDisable(GL_POLYGON_OFFSET_POINT);
  EXPECT_EQ(c->poly_offset_modes, 1);
}

TEST_F(RenderTest, UnsupportedCapabilitiesAndHintsChangeNothing) {
  std::vector<unsigned char> before = snapshot(c);
  glEnable(GL_FOG);
  glDisable(0x7FFF);
  glEnable(GL_LIGHT0 + 16);  // one past the last light
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glHint(0x1234, 0x5678);
  EXPECT_EQ(snapshot(c), before);
}

TEST_F(RenderTest, PolygonModeSetsTheFacesItNames) {
  glPolygonMode(GL_FRONT, GL_LINE);
  EXPECT_EQ(c->front_polygon_mode, 0x1B01);
  EXPECT_EQ(c->back_polygon_mode, 0x1B02);
  glPolygonMode(GL_BACK, GL_POINT);
  EXPECT_EQ(c->front_polygon_mode, 0x1B01);
  EXPECT_EQ(c->back_polygon_mode, 0x1B00);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  EXPECT_EQ(c->front_polygon_mode, 0x1B02);
  EXPECT_EQ(c->back_polygon_mode, 0x1B02);
}

TEST_F(RenderDeathTest, PolygonModeOpWithAnotherFaceIsAnAssertion) {
  // Only a record made without the entry point's check can carry another face.
  const OpWord record[3] = {OpWord::ofInt(kOpPolygonMode), OpWord::ofInt(GL_CW),
                            OpWord::ofInt(GL_LINE)};
  EXPECT_EXIT(addOp(record), assertionExit(), AssertionReport("0", "misc"));
}

class ClearTest : public RenderTest {
 protected:
  void fill(Pixel565 pixel, uint16_t depth) {
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        zb->pixels[y * kWidth + x] = pixel;
        zb->depth[y * kWidth + x] = depth;
      }
    }
  }

  void expectEverywhere(Pixel565 pixel, uint16_t depth) {
    for (int k = 0; k < kWidth * kHeight; ++k) {
      ASSERT_EQ(zb->pixels[k], pixel) << "pixel " << k;
      ASSERT_EQ(zb->depth[k], depth) << "depth " << k;
    }
  }
};

TEST_F(ClearTest, ColourClearUsesTheClearColourAndLeavesDepth) {
  fill(0x1234, 0x5678);
  glClearColor(1, 0.5f, 0, 1);
  glViewport(4, 4, 8, 8);  // the whole buffer is cleared all the same
  glClear(GL_COLOR_BUFFER_BIT);
  // Channels 65535, trunc(32767.5) = 32767, 0: 0xF800 | (32767 >> 5 & 0x7E0 = 0x3E0) | 0.
  expectEverywhere(0xFBE0, 0x5678);
}

TEST_F(ClearTest, DepthClearAlwaysWritesZeroAndLeavesColour) {
  fill(0x1234, 0xFFFF);
  glClearDepth(0.7);
  glClear(GL_DEPTH_BUFFER_BIT);
  expectEverywhere(0x1234, 0);
}

TEST_F(ClearTest, BothBitsClearBothAndOtherBitsNothing) {
  fill(0x1234, 0x5678);
  glClear(0x0400 | 0x0200);  // stencil and accumulation bits: ignored
  expectEverywhere(0x1234, 0x5678);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  expectEverywhere(0x0000, 0);
}

TEST_F(ClearTest, ClearColoursBeyondTheIntRangeSaturate) {
  fill(0x1234, 0x5678);
  glClearColor(1e30f, -1e30f, std::numeric_limits<float>::quiet_NaN(), 1);
  glClear(GL_COLOR_BUFFER_BIT);
  // Red INT_MAX keeps 0xF800; green INT_MIN and blue 0 (NaN) give no bits.
  expectEverywhere(0xF800, 0x5678);
}

}  // namespace
