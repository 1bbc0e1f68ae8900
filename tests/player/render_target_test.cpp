// The render target: the renderer state fixed at start-up, the perspective helper, the two
// start-up failures, and presentation into the window's frame buffer through the headless
// presenter.
#include "player/render_target.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "player/box_filter.h"
#include "renderer/context.h"
#include "renderer/gl.h"
#include "renderer/matrix_math.h"
#include "runtime/presenter_headless.h"
#include "runtime/screen.h"
#include "tests/support/runtime_state.h"

namespace {

constexpr Pixel565 rgb(int red, int green, int blue) {
  return static_cast<Pixel565>((red << 11) | (green << 5) | blue);
}

// Each test starts with no screen and no surface and leaves none behind.
class RenderTargetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetRuntimeState();
    setPreferredPresenter("headless");
  }
  void TearDown() override {
    closeRenderSurface(target_);
    resetRuntimeState();
    setEnvironment("KESTRUNE_DESKTOP", nullptr);
  }

  // openRenderTarget on a desktop of that size; gives what it printed.
  std::string openOnDesktop(const char* size, bool* opened) {
    setEnvironment("KESTRUNE_DESKTOP", size);
    testing::internal::CaptureStdout();
    *opened = openRenderTarget(target_);
    return testing::internal::GetCapturedStdout();
  }

  std::vector<Pixel565> windowPixels() {
    const ScreenInfo info = screenInfo();
    const auto* pixels = static_cast<const Pixel565*>(screenPixels());
    return std::vector<Pixel565>(pixels, pixels + size_t(info.width) * size_t(info.height));
  }

  RenderTarget target_;
};

// The model-view and projection tops' product applied to a stream vertex (x, y, 0).
Vec4 clipPosition(const RenderContext* c, float x, float y) {
  Matrix4 mvp;
  m4Multiply(&mvp, *c->matrix_stack_ptr[1], *c->matrix_stack_ptr[0]);
  return m4Transform(mvp, Vec4{x, y, 0, 1});
}

}  // namespace

TEST_F(RenderTargetTest, FixedRendererStateForA960By540Window) {
  RenderTarget target;
  ASSERT_TRUE(openRenderSurface(target, 960, 540));
  EXPECT_EQ(target.width, 960);
  EXPECT_EQ(target.height, 540);
  ASSERT_NE(target.zbuffer, nullptr);
  EXPECT_EQ(target.zbuffer->width, 1920);
  EXPECT_EQ(target.zbuffer->height, 1080);
  EXPECT_EQ(target.zbuffer->mode, kZbMode565);
  EXPECT_EQ(target.zbuffer->pixels, target.render_buffer);
  const RenderContext* c = glCurrentContext();
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->zbuffer, target.zbuffer);
  EXPECT_EQ(c->viewport.x, 0);
  EXPECT_EQ(c->viewport.y, 0);
  EXPECT_EQ(c->viewport.width, 1920);
  EXPECT_EQ(c->viewport.height, 1080);
  EXPECT_EQ(c->current_matrix, 0);  // model-view selected last
  EXPECT_EQ(c->shade_model, GL_SMOOTH);
  EXPECT_EQ(c->blend_on, 1);
  EXPECT_EQ(c->depth_test_on, 0);
  EXPECT_EQ(c->texturing_on, 0);
  EXPECT_EQ(c->clear_rgba.w, 1.0f);
  // Both buffers were cleared: black, depth 0.
  const size_t pixels = size_t(1920) * 1080;
  EXPECT_EQ(std::vector<Pixel565>(target.render_buffer, target.render_buffer + pixels),
            std::vector<Pixel565>(pixels, 0));
  EXPECT_EQ(std::vector<uint16_t>(target.zbuffer->depth, target.zbuffer->depth + pixels),
            std::vector<uint16_t>(pixels, 0));
  // Projection: glFrustum over ymax = 0.1 tan 26.5° and aspect 16/9.
  const float* p = c->matrix_stack_ptr[1]->m;
  EXPECT_NEAR(p[0], 1.1282005f, 1e-6);  // 1 / (aspect tan 26.5°)
  EXPECT_NEAR(p[5], 2.0056897f, 1e-6);  // 1 / tan 26.5°
  EXPECT_NEAR(p[10], -1.0020020f, 1e-6);
  EXPECT_NEAR(p[11], -0.2002002f, 1e-6);
  EXPECT_EQ(p[14], -1.0f);
  // Model-view: scale (16/9, -1, 1), then translate (-0.5, -0.5, -1).
  const float* m = c->matrix_stack_ptr[0]->m;
  EXPECT_FLOAT_EQ(m[0], 16.0f / 9.0f);
  EXPECT_EQ(m[5], -1.0f);
  EXPECT_EQ(m[10], 1.0f);
  EXPECT_FLOAT_EQ(m[3], -8.0f / 9.0f);
  EXPECT_EQ(m[7], 0.5f);
  EXPECT_EQ(m[11], -1.0f);
  closeRenderSurface(target);
  EXPECT_EQ(glCurrentContext(), nullptr);
}

// (x, y) in 0..1 lands at ((x - 0.5), (0.5 - y)) x 2.00569 in device coordinates, all at w = 1
// and one depth: the unit square reaches 0.28 % beyond each edge, y = 0 at the top.
TEST_F(RenderTargetTest, StreamSquareCoversTheViewport) {
  RenderTarget target;
  ASSERT_TRUE(openRenderSurface(target, 683, 383));  // a 1366 x 767 desktop
  const RenderContext* c = glCurrentContext();
  const struct {
    float x, y, ndc_x, ndc_y;
  } corners[] = {{0, 0, -1.0028449f, 1.0028449f},
                 {1, 0, 1.0028449f, 1.0028449f},
                 {0, 1, -1.0028449f, -1.0028449f},
                 {0.5f, 0.5f, 0, 0},
                 {0.75f, 0.25f, 0.5014224f, 0.5014224f}};
  const float depth = clipPosition(c, 0, 0).z;
  for (const auto& corner : corners) {
    const Vec4 clip = clipPosition(c, corner.x, corner.y);
    EXPECT_NEAR(clip.w, 1.0f, 1e-6);
    EXPECT_NEAR(clip.x / clip.w, corner.ndc_x, 2e-6) << corner.x << ", " << corner.y;
    EXPECT_NEAR(clip.y / clip.w, corner.ndc_y, 2e-6) << corner.x << ", " << corner.y;
    EXPECT_EQ(clip.z, depth);
  }
  EXPECT_EQ(c->viewport.width, 1366);
  EXPECT_EQ(c->viewport.height, 766);
  closeRenderSurface(target);
}

// A 90° field of view makes ymax the near distance: glFrustum(-2, 2, -1, 1, 1, 3).
TEST_F(RenderTargetTest, PerspectiveThroughFrustum) {
  RenderTarget target;
  ASSERT_TRUE(openRenderSurface(target, 2, 2));
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  setPerspective(90, 2, 1, 3);
  const float* p = glCurrentContext()->matrix_stack_ptr[1]->m;
  const float expected[16] = {0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, -2, -3, 0, 0, -1, 0};
  for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(p[i], expected[i]) << "element " << i;
  closeRenderSurface(target);
}

// A render buffer too wide for any ZBuffer (2 x 0x1FFFFFFF pixels per row): the message, and
// nothing left allocated or current.
TEST_F(RenderTargetTest, ZBufferThatCannotBeMade) {
  RenderTarget target;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(openRenderSurface(target, 0x1FFFFFFF, 1));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Could not initialize ZBuffer\n");
  EXPECT_EQ(target.render_buffer, nullptr);
  EXPECT_EQ(target.zbuffer, nullptr);
  EXPECT_EQ(glCurrentContext(), nullptr);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(openRenderSurface(target, 0, 5));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Could not initialize ZBuffer\n");
}

// A 1 x 1 desktop asks for a 0 x 0 window, which no presenter opens.
TEST_F(RenderTargetTest, ScreenThatDoesNotOpen) {
  bool opened = true;
  EXPECT_EQ(openOnDesktop("1x1", &opened), "Error: Could not open the screen\n");
  EXPECT_FALSE(opened);
  EXPECT_EQ(screenPixels(), nullptr);
  EXPECT_EQ(target_.render_buffer, nullptr);
  EXPECT_EQ(glCurrentContext(), nullptr);
  presentFrame(target_);  // nothing to present into, nothing written
}

// Half the desktop, remainders dropped, and a render buffer of twice that.
TEST_F(RenderTargetTest, WindowIsHalfTheDesktop) {
  bool opened = false;
  EXPECT_EQ(openOnDesktop("1366x767", &opened), "");
  ASSERT_TRUE(opened);
  const ScreenInfo info = screenInfo();
  EXPECT_EQ(info.width, 683);
  EXPECT_EQ(info.height, 383);
  EXPECT_EQ(info.depth, 16);
  EXPECT_EQ(target_.width, 683);
  EXPECT_EQ(target_.height, 383);
  EXPECT_EQ(target_.zbuffer->width, 1366);
  EXPECT_EQ(target_.zbuffer->height, 766);
  EXPECT_EQ(glCurrentContext()->zbuffer, target_.zbuffer);
}

// presentFrame filters the render buffer into the window's frame buffer, which the headless
// presenter then shows; the render buffer keeps the pair averages in its even columns.
TEST_F(RenderTargetTest, PresentFiltersIntoTheWindow) {
  bool opened = false;
  openOnDesktop("8x4", &opened);
  ASSERT_TRUE(opened);
  Pixel565* render = target_.render_buffer;  // 8 x 4 for a 4 x 2 window
  const Pixel565 white = 0xFFFF;
  const Pixel565 red = rgb(31, 0, 0);
  const Pixel565 drawn[32] = {white, white, red, 0, 0, 0, 0x1234, 0xABCD,  //
                              white, white, 0,   0, 0, 0, 0xABCD, 0x1234,  //
                              0,     0,     0,   0, 0, 0, 0,      0,       //
                              0,     0,     0,   0, 0, 0, 0,      red};
  std::memcpy(render, drawn, sizeof drawn);
  presentFrame(target_);
  // 0x1234 and 0xABCD average to (11, 23, 16) in both rows, then to (10, 22, 16).
  const std::vector<Pixel565> expected = {
      rgb(30, 62, 30), rgb(7, 0, 0), 0, rgb(10, 22, 16), 0, 0, 0, rgb(7, 0, 0)};
  EXPECT_EQ(windowPixels(), expected);
  EXPECT_EQ(render[6], rgb(11, 23, 16));
  EXPECT_EQ(render[7], 0xABCD);
  HeadlessFrame shown;
  EXPECT_TRUE(waitUntil(
      [&] {
        return headlessPresented(&shown) &&
               std::memcmp(shown.pixels.data(), expected.data(), 16) == 0;
      },
      5.0));
  EXPECT_EQ(shown.first_row, 0);
  EXPECT_EQ(shown.last_row, 1);
  // Nothing drawn since: the next presentation averages the averages left in the even columns.
  // Upper row of block 1: red 15 and 0 give 7; lower row of the last block: 15 and 31 give 22.
  presentFrame(target_);
  EXPECT_EQ(windowPixels(), (std::vector<Pixel565>{rgb(30, 62, 30), rgb(3, 0, 0), 0,
                                                   rgb(10, 22, 16), 0, 0, 0, rgb(11, 0, 0)}));
}

// Without the window the target was opened for, presenting writes nothing.
TEST_F(RenderTargetTest, PresentNeedsTheTargetsWindow) {
  ASSERT_TRUE(openRenderSurface(target_, 4, 2));
  std::memset(target_.render_buffer, 0xFF, 8 * 4 * 2);
  presentFrame(target_);  // no screen at all
  ASSERT_EQ(openScreen(3, 2, 16, 1, 0, 0), 0);
  presentFrame(target_);  // a screen of another size
  EXPECT_EQ(windowPixels(), std::vector<Pixel565>(6, 0));
  EXPECT_EQ(target_.render_buffer[0], 0xFFFF);  // not filtered either
}

// The filter in bands against the one-pixel-at-a-time rule on one thread: filterFrame on 1 to 4
// drawing threads, with a triangle still waiting for them, and boxFilterRows over bands cut by
// hand and run last band first. Window pixels and the render buffer left behind must be the same
// bytes. The drawing threads cut 37 rows into bands of 8, 101 into 13 and 135 into 12.
TEST_F(RenderTargetTest, BandedFilterGivesTheScalarRulesBytes) {
  struct Case {
    int32_t width, height;
    int threads;
    int32_t band_rows;  // for the bands cut by hand
  };
  const Case cases[] = {{1, 1, 2, 1},   {3, 1, 4, 1},    {5, 3, 1, 2},     {17, 7, 3, 3},
                        {40, 37, 4, 5}, {33, 101, 2, 7}, {961, 135, 3, 64}};
  uint32_t seed = 1;
  for (const Case& c : cases) {
    const size_t window_size = size_t(c.width) * size_t(c.height);
    const size_t render_size = 4 * window_size;
    std::mt19937 random(seed++);
    std::vector<Pixel565> drawn(render_size);
    for (Pixel565& p : drawn) p = static_cast<Pixel565>(random());
    // The same random picture with a triangle drawn over it on 1 thread, then on c.threads,
    // where filterFrame must draw the triangle before filtering.
    std::vector<Pixel565> render[2];
    std::vector<Pixel565> window[2];
    for (int run = 0; run < 2; ++run) {
      RenderTarget target;
      ASSERT_TRUE(openRenderSurface(target, c.width, c.height));
      rkSetRasterThreads(run == 0 ? 1 : c.threads);
      std::memcpy(target.render_buffer, drawn.data(), render_size * sizeof(Pixel565));
      glBegin(GL_TRIANGLES);
      glColor3f(0.9f, 0.2f, 0.6f);
      glVertex3f(0.1f, 0.05f, 0);
      glVertex3f(0.95f, 0.5f, 0);
      glVertex3f(0.3f, 0.9f, 0);
      glEnd();
      if (run == 0) {
        glFinish();
        window[0].assign(window_size, 0);
        boxFilterDownScalar(window[0].data(), target.render_buffer, c.width, c.height, 2);
      } else {
        filterFrame(target, target.window_picture);
        window[1].assign(target.window_picture, target.window_picture + window_size);
      }
      render[run].assign(target.render_buffer, target.render_buffer + render_size);
      closeRenderSurface(target);
    }
    EXPECT_NE(render[0], drawn) << "the triangle was drawn";
    const std::string where = std::to_string(c.width) + " x " + std::to_string(c.height) + ", " +
                              std::to_string(c.threads) + " threads";
    EXPECT_EQ(window[1], window[0]) << where;
    EXPECT_EQ(render[1], render[0]) << where;

    std::vector<Pixel565> scalar_src = drawn;
    std::vector<Pixel565> scalar(window_size, 0xDEAD);
    boxFilterDownScalar(scalar.data(), scalar_src.data(), c.width, c.height, 2);
    std::vector<Pixel565> by_hand(window_size, 0xBEEF);
    for (int32_t begin = (c.height - 1) / c.band_rows * c.band_rows; begin >= 0;
         begin -= c.band_rows) {
      const int32_t end = std::min(begin + c.band_rows, c.height);
      boxFilterRows(by_hand.data(), drawn.data(), c.width, begin, end);
    }
    EXPECT_EQ(by_hand, scalar) << where << ", bands of " << c.band_rows;
    EXPECT_EQ(drawn, scalar_src) << where << ", bands of " << c.band_rows;
  }
}
