// The fill drawer's choice: texturing on with an image takes the textured fill over the bound
// texture's texels, otherwise GL_SMOOTH takes the smooth fill and GL_FLAT the flat one. One small
// triangle, whose pixels are worked out by hand, tells the three apart.
#include "renderer/triangle_draw.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "renderer/context.h"
#include "renderer/gl.h"
#include "renderer/stages.h"
#include "tests/renderer/render_support.h"

namespace {

constexpr Pixel565 kBackground = 0x8410;  // rgbToPixel(32768, 32768, 32768)

// The right triangle (0, 0), (4, 0), (0, 4): its left edge is column 0 and its right edge steps
// back one column per row, so row y covers columns 0 .. 4 - y (15 pixels).
class TriangleDrawTest : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    zbClear(zb, 1, 0, 1, 32768, 32768, 32768);
    // Red at the top two corners, blue at the bottom one. Depth 2^20 (stored 64) passes the
    // cleared depth; texture column 3 and row 5, at the middle of their texels.
    place(&va, 0, 0, 0xF800, 0);
    place(&vb, 4, 0, 0xF800, 0);
    place(&vc, 0, 4, 0, 0xF800);
  }

  static void place(GLVertex* v, int x, int y, int red, int blue) {
    *v = GLVertex{};
    v->screen.x = x;
    v->screen.y = y;
    v->screen.z = 1 << 20;
    v->screen.s = (3 << 14) + 8192;
    v->screen.t = (5 << 22) + 2097152;
    v->screen.r = red;
    v->screen.b = blue;
  }

  void draw() { drawTriangleFill(c, &va, &vb, &vc); }

  Pixel565 pixel(int x, int y) const { return zb->pixels[y * (zb->line_bytes / 2) + x]; }

  // Every pixel of the buffer: rowColour(y) inside the triangle, the background outside.
  template <class RowColour>
  void expectTriangle(RowColour rowColour) const {
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const bool inside = y <= 4 && x <= 4 - y;
        ASSERT_EQ(pixel(x, y), inside ? rowColour(y) : kBackground) << x << "," << y;
      }
    }
  }

  // A 2 x 2 texture whose top-left pixel, which texel (3, 5) samples, is (200, 100, 50).
  void uploadTexture() {
    const uint8_t rgb[12] = {200, 100, 50, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    glTexImage2D(GL_TEXTURE_2D, 0, 3, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);
  }

  GLVertex va, vb, vc;
};

// Red falls by 15872 a row and blue rises by as much; each pixel keeps their top five bits.
Pixel565 smoothRow(int y) {
  static constexpr Pixel565 kRows[5] = {0xF800, 0xB807, 0x780F, 0x3817, 0x001F};
  return kRows[y];
}

Pixel565 flatRow(int) { return 0x001F; }  // the colour of the bottom-most point

Pixel565 texturedRow(int) { return 0xCB26; }  // rgb (200, 100, 50) in 5-6-5

TEST_F(TriangleDrawTest, SmoothShadingTakesTheSmoothFill) {
  draw();
  expectTriangle(smoothRow);
}

TEST_F(TriangleDrawTest, FlatShadingTakesTheFlatFill) {
  glShadeModel(GL_FLAT);
  draw();
  expectTriangle(flatRow);
}

TEST_F(TriangleDrawTest, TexturingTakesTheTexturedFillOverTheBoundTexelsWhateverTheShading) {
  glBindTexture(GL_TEXTURE_2D, 1);
  uploadTexture();
  glBindTexture(GL_TEXTURE_2D, 2);
  uploadTexture();
  glEnable(GL_TEXTURE_2D);
  glShadeModel(GL_FLAT);
  draw();
  EXPECT_EQ(zb->texture, findTexture(c, 2)->images[0].pixels);
  expectTriangle(texturedRow);
}

// An image-less texture is no texture: the triangle is drawn with its colours instead.
TEST_F(TriangleDrawTest, ATextureWithoutAnImageDrawsUntextured) {
  glBindTexture(GL_TEXTURE_2D, 7);
  glEnable(GL_TEXTURE_2D);
  draw();
  expectTriangle(smoothRow);
  zbClear(zb, 1, 0, 1, 32768, 32768, 32768);
  glShadeModel(GL_FLAT);
  draw();
  expectTriangle(flatRow);
}

}  // namespace
