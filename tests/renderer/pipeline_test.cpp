// The whole drawing path, glBegin to pixels, on a 16 x 12 buffer with guard rows around it:
// quads filling the viewport, depth at the near plane, a viewport larger than the buffer, and
// a sweep of adversarial vertices, colours and texture coordinates that must never write past
// the buffers (run under AddressSanitizer by the test command).
#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <limits>
#include <vector>

#include "tests/renderer/pipeline_support.h"

namespace {

constexpr Pixel565 kRed = 0xF800;    // glColor3f(1, 0, 0): rgbToPixel(64512, 512, 1024)
constexpr Pixel565 kGreen = 0x07E0;  // glColor3f(0, 1, 0): rgbToPixel(1024, 65024, 1024)
constexpr Pixel565 kBlue = 0x001F;   // glColor3f(0, 0, 1)

class Pipeline : public PipelineTestAt<16, 12> {
 protected:
  // A quad over the rectangle (x0, y0)-(x1, y1) of clip space at depth z.
  void quad(float x0, float y0, float x1, float y1, float z) {
    glBegin(GL_QUADS);
    glVertex3f(x0, y0, z);
    glVertex3f(x1, y0, z);
    glVertex3f(x1, y1, z);
    glVertex3f(x0, y1, z);
    glEnd();
  }
  // Pixels that differ from the cleared black, as one string of rows ('.' black, 'x' not).
  std::string coverage() const {
    std::string rows;
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < 16; ++x) rows += pixel(x, y) == 0 ? '.' : 'x';
      rows += '\n';
    }
    return rows;
  }
};

TEST_F(Pipeline, AQuadOverTheVolumeFillsTheWholeViewport) {
  // Corners at columns 0 and trunc(15.5) = 15, rows 0 and trunc(11.5) = 11; z = 0 gives
  // 536879104 >> 14 = 32768 everywhere.
  for (int shade : {GL_FLAT, GL_SMOOTH}) {
    zbClear(zb, 1, 0, 1, 0, 0, 0);
    glShadeModel(shade);
    glColor3f(1, 0, 0);
    quad(-1, -1, 1, 1, 0);
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < 16; ++x) {
        ASSERT_EQ(pixel(x, y), kRed) << x << "," << y << " shade " << shade;
        ASSERT_EQ(depth(x, y), 32768) << x << "," << y;
      }
    }
  }
  EXPECT_TRUE(guardsIntact());
}

TEST_F(Pipeline, TexturedQuadTakesItsTexels) {
  std::vector<uint8_t> image(256 * 256 * 3);
  for (size_t i = 0; i < image.size(); i += 3) image[i + 2] = 255;  // pure blue
  unsigned name;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, int(name));
  glTexImage2D(GL_TEXTURE_2D, 0, 3, 256, 256, 0, GL_RGB, GL_UNSIGNED_BYTE, image.data());
  glEnable(GL_TEXTURE_2D);
  glBegin(GL_TRIANGLE_FAN);
  glTexCoord2f(0, 0);
  glVertex3f(-1, -1, 0);
  glTexCoord2f(1, 0);
  glVertex3f(1, -1, 0);
  glTexCoord2f(1, 1);
  glVertex3f(1, 1, 0);
  glTexCoord2f(0, 1);
  glVertex3f(-1, 1, 0);
  glEnd();
  EXPECT_EQ(pixel(0, 0), kBlue);
  EXPECT_EQ(pixel(15, 11), kBlue);
  EXPECT_EQ(pixel(7, 5), kBlue);
}

TEST_F(Pipeline, GeometryAtTheNearPlaneStaysNearest) {
  // Far: z = 0.5 everywhere, depth 268443648 >> 14 = 16384.
  glColor3f(0, 0, 1);
  quad(-1, -1, 1, 1, 0.5f);
  // Near: z runs from -2 at y = 1 to 0 at y = -1, so the plane z = -w cuts it at y = 0
  // (row trunc(5.75) = 5); rows 5..11 remain, row 5 lying on the near plane.
  glColor3f(0, 1, 0);
  glBegin(GL_QUADS);
  glVertex3f(-1, 1, -2);
  glVertex3f(-1, -1, 0);
  glVertex3f(1, -1, 0);
  glVertex3f(1, 1, -2);
  glEnd();
  for (int x = 0; x < 16; ++x) {
    EXPECT_EQ(pixel(x, 4), kBlue) << x;
    EXPECT_EQ(pixel(x, 5), kGreen) << x;
    EXPECT_EQ(depth(x, 5), 65280) << x;  // the nearest depth a vertex gets, not 65536 = 0
    EXPECT_EQ(pixel(x, 11), kGreen) << x;
  }
  // Then a quad at z = -0.9 (depth 1020062924 >> 14 = 62259). The green depth falls from
  // 65280 << 14 on row 5 to 536879104 on row 11, by about 88778069 a row: row 6 is near
  // 980769451 >> 14 = 59861, farther than the red quad, and row 5 nearer, so it keeps its green.
  glColor3f(1, 0, 0);
  quad(-1, -1, 1, 1, -0.9f);
  for (int x = 0; x < 16; ++x) {
    EXPECT_EQ(pixel(x, 4), kRed) << x;
    EXPECT_EQ(pixel(x, 5), kGreen) << x;
    EXPECT_EQ(pixel(x, 6), kRed) << x;
    EXPECT_EQ(pixel(x, 11), kRed) << x;
  }
}

TEST_F(Pipeline, AViewportLargerThanTheBufferDropsWhatWouldCrossItsEdge) {
  // Viewport (-8, -6, 32, 24): x' = 15.75 x + 7.75, y' = -11.75 y + 5.75. The quad
  // (-0.25, -0.25)-(0.25, 0.25) lands on columns 3..11 and rows 2..8, inside the buffer.
  glViewport(-8, -6, 32, 24);
  glColor3f(1, 0, 0);
  quad(-0.25f, -0.25f, 0.25f, 0.25f, 0);
  const std::string inside =
      "................\n"
      "................\n"
      "...xxxxxxxxx....\n"
      "...xxxxxxxxx....\n"
      "...xxxxxxxxx....\n"
      "...xxxxxxxxx....\n"
      "...xxxxxxxxx....\n"
      "...xxxxxxxxx....\n"
      "...xxxxxxxxx....\n"
      "................\n"
      "................\n"
      "................\n";
  EXPECT_EQ(coverage(), inside);
  // Quads reaching past the buffer on each side are dropped whole.
  glColor3f(0, 1, 0);
  quad(-1, -1, 1, 1, 0);
  quad(-0.25f, -0.25f, 0.75f, 0.25f, 0);
  quad(-0.25f, -0.75f, 0.25f, 0.25f, 0);
  EXPECT_EQ(coverage(), inside);
  EXPECT_EQ(pixel(3, 2), kRed);
  EXPECT_TRUE(guardsIntact());
}

// Adversarial values and ordinary ones, mixed at random into vertices, colours and texture
// coordinates, under perspective and identity projections, every fill, viewports inside and
// larger than the buffer. Nothing may be written outside the viewport (one pixel of tolerance
// above and to the left, where -1.00001 truncates) or outside the buffers.
TEST_F(Pipeline, AdversarialInputStaysInsideTheBuffers) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float pool[] = {0,        0.5f,  -0.5f,  1,       -1,       1.00001f, -1.00001f,
                        0.99999f, 2,     -3,     1e-40f,  -0.0f,    1e-30f,   1e7f,
                        -1e7f,    1e30f, -1e30f, 3.4e38f, -3.4e38f, FLT_MAX,  inf,
                        -inf,     nan,   515,    -515,    2.1f,     -2.1f,    1e10f};
  const int pool_size = int(sizeof pool / sizeof pool[0]);
  uint32_t state = 0x9E3779B9u;
  auto next = [&state] {  // xorshift32
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  auto value = [&] {
    uint32_t r = next();
    if (r % 3 == 0) return pool[(r >> 8) % pool_size];
    return float(int32_t(r >> 8) % 4001 - 2000) / 1000.0f;  // -2 .. 2
  };

  std::vector<uint8_t> image(256 * 256 * 3, 200);
  unsigned name;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, int(name));
  glTexImage2D(GL_TEXTURE_2D, 0, 3, 256, 256, 0, GL_RGB, GL_UNSIGNED_BYTE, image.data());

  const int modes[] = {GL_TRIANGLES, GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN, GL_QUADS,
                       GL_POLYGON,   GL_LINES,          GL_LINE_LOOP,    GL_POINTS};
  int drawn_runs = 0;
  for (int setup = 0; setup < 16; ++setup) {
    const bool larger_viewport = (setup & 1) != 0;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (setup & 2) glFrustum(-1, 1, -1, 1, 1, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (setup & 2) glTranslatef(0, 0, -2);
    glShadeModel((setup & 4) ? GL_FLAT : GL_SMOOTH);
    if (setup & 8) {
      glEnable(GL_TEXTURE_2D);
    } else {
      glDisable(GL_TEXTURE_2D);
    }
    if (larger_viewport) {
      glViewport(-6, -4, 28, 20);
    } else {
      glViewport(4, 3, 8, 6);  // columns 3..11 and rows 2..8 may be written
    }
    zbClear(zb, 1, 0, 1, 0, 0, 0);
    for (int primitive = 0; primitive < 1500; ++primitive) {
      glBegin(modes[next() % 8]);
      const int count = 3 + int(next() % 4);
      const float scale = (primitive & 1) ? 0.3f : 1.0f;  // small ones fit a larger viewport
      for (int k = 0; k < count; ++k) {
        glColor3f(value(), value(), value());
        glTexCoord2f(value() * 100, value());
        glVertex3f(value() * scale, value() * scale, value());
      }
      glEnd();
    }
    ASSERT_TRUE(guardsIntact()) << "setup " << setup;
    const std::string rows = coverage();
    if (rows.find('x') != std::string::npos) ++drawn_runs;
    if (!larger_viewport) {
      for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 16; ++x) {
          const bool allowed = x >= 3 && x <= 11 && y >= 2 && y <= 8;
          if (!allowed) {
            ASSERT_EQ(pixel(x, y), 0) << x << "," << y << " setup " << setup;
          }
        }
      }
    }
  }
  EXPECT_EQ(drawn_runs, 16);  // every setup drew something: the sweep reached the fills
}

}  // namespace
