// Drawing with several raster threads: the calls that read or change what waiting triangles use
// (clears, lines, texture uploads and deletions, closing) see them drawn first, so each picture
// is the one a single thread draws; and the thread count's range.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "renderer/context.h"
#include "renderer/gl.h"
#include "renderer/zbuffer.h"
#include "tests/renderer/render_support.h"

namespace {

class RasterThreadsTest : public RenderTest {
 protected:
  // Pixel (x, y) of the 32 x 24 buffer; y = 0 is the top row.
  Pixel565 pixel(int x, int y) const { return zb->pixels[y * kWidth + x]; }

  std::vector<Pixel565> picture() const {
    return std::vector<Pixel565>(zb->pixels, zb->pixels + kWidth * kHeight);
  }

  // Draws with `threads` threads from a cleared buffer and the context's first switches; gives
  // the finished picture.
  template <typename Calls>
  std::vector<Pixel565> drawn(int threads, Calls calls) {
    rkSetRasterThreads(1);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    rkSetRasterThreads(threads);
    calls();
    glFinish();
    return picture();
  }
};

// The rectangle x0..x1, y0..y1 in normalised device coordinates as two triangles.
void rectangle(float x0, float y0, float x1, float y1) {
  glBegin(GL_TRIANGLES);
  glTexCoord2f(0, 0);
  glVertex2f(x0, y0);
  glTexCoord2f(1, 0);
  glVertex2f(x1, y0);
  glTexCoord2f(1, 1);
  glVertex2f(x1, y1);
  glTexCoord2f(0, 0);
  glVertex2f(x0, y0);
  glTexCoord2f(1, 1);
  glVertex2f(x1, y1);
  glTexCoord2f(0, 1);
  glVertex2f(x0, y1);
  glEnd();
}

// A 2 x 2 image of one colour.
void upload(uint8_t r, uint8_t g, uint8_t b) {
  const uint8_t rgb[12] = {r, g, b, r, g, b, r, g, b, r, g, b};
  glTexImage2D(GL_TEXTURE_2D, 0, 3, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);
}

TEST_F(RasterThreadsTest, ThreadCountIsKeptWithinOneToSixtyFour) {
  EXPECT_EQ(rkRasterThreads(), 1);
  rkSetRasterThreads(3);
  EXPECT_EQ(rkRasterThreads(), 3);
  rkSetRasterThreads(0);
  EXPECT_EQ(rkRasterThreads(), 1);
  rkSetRasterThreads(1000);
  EXPECT_EQ(rkRasterThreads(), 64);
  rkSetRasterThreads(-5);
  EXPECT_EQ(rkRasterThreads(), 1);
}

// Red (64512, 512, 1024 as rasterizer integers) is 0xF800, blue 0x001F.
TEST_F(RasterThreadsTest, ClearComesAfterTheTrianglesBeforeIt) {
  auto calls = [] {
    glColor3f(1, 0, 0);
    rectangle(-1, -1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3f(0, 0, 1);
    rectangle(-1, -1, 0, 1);
  };
  const std::vector<Pixel565> one = drawn(1, calls);
  const std::vector<Pixel565> two = drawn(2, calls);
  EXPECT_EQ(two, one);
  EXPECT_EQ(pixel(2, 12), 0x001F);
  EXPECT_EQ(pixel(29, 12), 0x0000);
}

TEST_F(RasterThreadsTest, LinesAreDrawnOverTheTrianglesBeforeThem) {
  auto calls = [] {
    glColor3f(1, 0, 0);
    rectangle(-1, -1, 1, 1);
    glColor3f(0, 0, 1);
    glBegin(GL_LINES);
    glVertex2f(-0.9f, 0.05f);
    glVertex2f(0.9f, 0.05f);
    glEnd();
    glColor3f(1, 0, 0);
    rectangle(-1, -1, -0.5f, 1);
  };
  const std::vector<Pixel565> one = drawn(1, calls);
  int blue = 0;
  for (Pixel565 p : one) blue += p == 0x001F;
  EXPECT_GT(blue, 10);  // the line shows between the two red fills
  EXPECT_EQ(drawn(3, calls), one);
}

// Texels (255, 0, 0) are 0xF800 and (0, 0, 255) 0x001F: the triangles drawn before an upload
// sample the texels they were given, not the new ones, nor freed memory.
TEST_F(RasterThreadsTest, UploadsAndDeletionsComeAfterTheTrianglesBeforeThem) {
  auto calls = [] {
    glBindTexture(GL_TEXTURE_2D, 5);
    upload(255, 0, 0);
    glEnable(GL_TEXTURE_2D);
    rectangle(-1, -1, 0, 1);
    upload(0, 0, 255);
    rectangle(0, -1, 1, 0);
    const unsigned name = 5;
    glDeleteTextures(1, &name);
  };
  const std::vector<Pixel565> one = drawn(1, calls);
  EXPECT_EQ(pixel(2, 12), 0xF800);
  EXPECT_EQ(pixel(29, 20), 0x001F);
  EXPECT_EQ(drawn(2, calls), one);
}

TEST_F(RasterThreadsTest, BlendSwitchIsTakenWhenTheTriangleIsDrawn) {
  auto calls = [] {
    glColor3f(0, 0, 1);
    rectangle(-1, -1, 1, 1);
    glBindTexture(GL_TEXTURE_2D, 3);
    upload(0, 0, 0);  // every texel is the key colour
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    rectangle(-1, -1, 0, 1);  // skipped throughout
    glDisable(GL_BLEND);
    rectangle(0, -1, 1, 1);  // black
  };
  const std::vector<Pixel565> one = drawn(1, calls);
  EXPECT_EQ(pixel(2, 12), 0x001F);
  EXPECT_EQ(pixel(29, 12), 0x0000);
  EXPECT_EQ(drawn(2, calls), one);
}

TEST_F(RasterThreadsTest, ClosingTheContextDrawsWhatWaits) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  rkSetRasterThreads(2);
  glColor3f(1, 0, 0);
  rectangle(-1, -1, 1, 1);
  glCloseContext();
  EXPECT_EQ(pixel(16, 12), 0xF800);
  glInitContext(zb);  // for TearDown
}

}  // namespace
