// A small scene built in display lists (three lit tiles, a textured triangle with a colour-keyed
// texel, three smooth lines, one cut at x = w) rendered into a 64 x 48 buffer, checked at a few
// pixels worked out by hand and then compared whole with tests/data/golden_scene.txt.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "renderer/context.h"
#include "renderer/gl.h"
#include "renderer/zbuffer.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

constexpr Pixel565 kBackground = 0x18E7;  // glClearColor(0.125, 0.125, 0.25): 8191, 8191, 16383

constexpr unsigned kTileList = 1;
constexpr unsigned kLitList = 2;
constexpr unsigned kTexturedList = 3;
constexpr unsigned kLinesList = 4;
constexpr unsigned kSceneList = 5;

// 4 x 4 RGB texels, row 0 first; uploaded as 256 x 256, each texel becomes a 64 x 64 block.
constexpr uint8_t kTexels[4 * 4 * 3] = {
    255, 0,   0, 0,   255, 0,   0,   0,   255, 255, 255, 255,  // red green blue white
    255, 255, 0, 0,   255, 255, 255, 0,   255, 128, 128, 128,  // yellow cyan magenta grey
    255, 128, 0, 0,   128, 255, 128, 0,   255, 64,  64,  64,   // orange azure violet dark
    0,   0,   0, 192, 192, 192, 255, 128, 128, 128, 255, 128,  // black (the key) silver ...
};

std::string goldenPath() { return std::string(KESTRUNE_TEST_DATA_DIR) + "/golden_scene.txt"; }

// The golden file: kHeight lines of kWidth pixels, each four hex digits, separated by spaces.
bool readGolden(const std::string& path, std::vector<Pixel565>* pixels) {
  FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return false;
  pixels->clear();
  unsigned value;
  while (pixels->size() <= size_t(kWidth * kHeight) && std::fscanf(file, "%x", &value) == 1) {
    pixels->push_back(Pixel565(value));
  }
  const bool at_end = std::fscanf(file, " %*c") == EOF;
  std::fclose(file);
  return at_end && pixels->size() == size_t(kWidth * kHeight);
}

// Binary mode: the same bytes, "\n" line ends, from both builds.
bool writeGolden(const std::string& path, const std::vector<Pixel565>& pixels) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      std::fprintf(file, x == 0 ? "%04x" : " %04x", unsigned(pixels[y * kWidth + x]));
    }
    std::fputc('\n', file);
  }
  return std::fclose(file) == 0;
}

// Identity matrices, so clip coordinates are object coordinates and, over the 64 x 48 viewport,
// x' = trunc(31.75 x + 31.75) and y' = trunc(23.75 - 23.75 y).
class GoldenScene : public ::testing::Test {
 protected:
  void SetUp() override {
    zb = zbOpen(kWidth, kHeight, kZbMode565, 0, nullptr, nullptr, nullptr);
    ASSERT_NE(zb, nullptr);
    glInitContext(zb);
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, int(texture));
    glTexImage2D(GL_TEXTURE_2D, 0, 3, 4, 4, 0, GL_RGB, GL_UNSIGNED_BYTE, kTexels);
    glBindTexture(GL_TEXTURE_2D, 0);
    zbClear(zb, 1, 0, 1, 0, 0, 0);
    compileScene();
  }

  void TearDown() override {
    glCloseContext();
    zbClose(zb);
  }

  void compileScene() const {
    compileTile();
    compileLit();
    compileTextured();
    compileLines();
    glNewList(kSceneList, GL_COMPILE);
    glClearColor(0.125f, 0.125f, 0.25f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glCallList(kLitList);
    glCallList(kTexturedList);
    glCallList(kLinesList);
    glEndList();
  }

  // A 0.5 x 0.625 rectangle from the origin, counter-clockwise.
  static void compileTile() {
    glNewList(kTileList, GL_COMPILE);
    glBegin(GL_QUADS);
    glVertex3f(0, 0, 0);
    glVertex3f(0.5f, 0, 0);
    glVertex3f(0.5f, 0.625f, 0);
    glVertex3f(0, 0.625f, 0);
    glEnd();
    glEndList();
  }

  // Light 0 shines along +z (a directional light, normalised from (0, 0, 2)) on a material of
  // ambient and diffuse (0.8, 0.4, 0.2); three tiles on row y = 0.25 with three normals.
  static void compileLit() {
    const float position[4] = {0, 0, 2, 0};
    const float material[4] = {0.8f, 0.4f, 0.2f, 1};
    glNewList(kLitList, GL_COMPILE);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, material);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    litTile(-0.875f, 0, 0, 1);       // facing the light
    litTile(-0.25f, 0.6f, 0, 0.8f);  // tilted: n . l = 0.8
    litTile(0.375f, 0, 0, -1);       // facing away: ambient only
    glDisable(GL_LIGHTING);
    glEndList();
  }

  static void litTile(float x, float nx, float ny, float nz) {
    glPushMatrix();
    glTranslatef(x, 0.25f, 0);
    glNormal3f(nx, ny, nz);
    glCallList(kTileList);
    glPopMatrix();
  }

  // The upper-left half of the texture on a right triangle with corners (3, 20), (35, 20) and
  // (3, 44); black texels are skipped under GL_BLEND.
  void compileTextured() const {
    glNewList(kTexturedList, GL_COMPILE);
    glBindTexture(GL_TEXTURE_2D, int(texture));
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBegin(GL_TRIANGLES);
    glTexCoord2f(0, 0);
    glVertex3f(-0.875f, 0.125f, 0);
    glTexCoord2f(0, 1);
    glVertex3f(-0.875f, -0.875f, 0);
    glTexCoord2f(1, 0);
    glVertex3f(0.125f, 0.125f, 0);
    glEnd();
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glEndList();
  }

  // A white line on row 26, a red-to-green line from (39, 20) to (59, 44) across it, and a
  // yellow-to-blue line from (47, 35) whose blue end, at clip x 1.5, is cut at x = w.
  static void compileLines() {
    glNewList(kLinesList, GL_COMPILE);
    glBegin(GL_LINES);
    glColor3f(1, 1, 1);
    glVertex3f(0.25f, -0.125f, 0);
    glVertex3f(0.875f, -0.125f, 0);
    glColor3f(1, 0, 0);
    glVertex3f(0.25f, 0.125f, 0);
    glColor3f(0, 1, 0);
    glVertex3f(0.875f, -0.875f, 0);
    glColor3f(1, 1, 0);
    glVertex3f(0.5f, -0.5f, 0);
    glColor3f(0, 0, 1);
    glVertex3f(1.5f, -0.5f, 0);
    glEnd();
    glEndList();
  }

  std::vector<Pixel565> render() const {
    glCallList(kSceneList);
    std::vector<Pixel565> frame(size_t(kWidth * kHeight));
    for (int y = 0; y < kHeight; ++y) {
      std::memcpy(&frame[size_t(y * kWidth)],
                  reinterpret_cast<const uint8_t*>(zb->pixels) + y * zb->line_bytes, kWidth * 2);
    }
    return frame;
  }

  uint16_t depth(int x, int y) const { return zb->depth[y * kWidth + x]; }

  ZBuffer* zb = nullptr;
  unsigned texture = 0;
};

// A pixel as "0x...." text, so that a failed comparison shows both values in hex.
std::string hex(Pixel565 p) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", unsigned(p));
  return text;
}

std::string hexAt(const std::vector<Pixel565>& frame, int x, int y) {
  return hex(frame[size_t(y * kWidth + x)]);
}

TEST_F(GoldenScene, LitTilesTakeAmbientPlusDiffuse) {
  const std::vector<Pixel565> frame = render();
  auto at = [&frame](int x, int y) { return hexAt(frame, x, y); };
  // Scene ambient 0.2 x material (0.8, 0.4, 0.2) plus n . l x (0.8, 0.4, 0.2), then
  // r = trunc(R x 63488 + 1024), g = trunc(G x 64512 + 512), b = trunc(B x 63488 + 1024):
  // n . l = 1:   (0.96, 0.48, 0.24) -> 61972, 31477, 16261 -> 30, 30, 7 -> 0xF3C7.
  // n . l = 0.8: (0.80, 0.40, 0.20) -> 51814, 26316, 13721 -> 25, 25, 6 -> 0xCB26.
  // facing away: (0.16, 0.08, 0.04) -> 11182, 5672, 3563   -> 5, 5, 1   -> 0x28A1.
  EXPECT_EQ(at(11, 10), "0xF3C7");
  EXPECT_EQ(at(31, 10), "0xCB26");
  EXPECT_EQ(at(51, 10), "0x28A1");
  // The first tile covers columns trunc(3.97) = 3 .. trunc(19.84) = 19 and rows
  // trunc(2.97) = 2 .. trunc(17.81) = 17, corners included.
  for (int y : {2, 17}) {
    for (int x : {3, 19}) EXPECT_EQ(at(x, y), "0xF3C7") << x << "," << y;
  }
  EXPECT_EQ(at(2, 10), hex(kBackground));
  EXPECT_EQ(at(20, 10), hex(kBackground));
  EXPECT_EQ(at(11, 1), hex(kBackground));
  EXPECT_EQ(at(11, 18), hex(kBackground));
}

TEST_F(GoldenScene, TexturedTriangleTakesNearestTexelsAndSkipsTheKey) {
  // Column x has texel column about 0.5 + 7.97 (x - 3), row y texel row about
  // 0.5 + 10.625 (y - 20); the source texel is those divided by 64.
  const std::vector<Pixel565> frame = render();
  auto at = [&frame](int x, int y) { return hexAt(frame, x, y); };
  EXPECT_EQ(at(7, 22), "0xF800");   // texel 32, 21: source (0, 0), red
  EXPECT_EQ(at(15, 28), "0x07FF");  // texel 96, 85: source (1, 1), cyan
  EXPECT_EQ(at(4, 37), "0xFC00");   // texel 8, 181: source (0, 2), (255, 128, 0)
  EXPECT_EQ(depth(4, 37), 32768);   // z = 0: 536879104 >> 14
  // Texel 8, 234: source (0, 3), black, the key colour: neither colour nor depth is written.
  EXPECT_EQ(at(4, 42), hex(kBackground));
  EXPECT_EQ(depth(4, 42), 0);
}

TEST_F(GoldenScene, LinesAreDrawnInOrderWithInterpolatedColours) {
  const std::vector<Pixel565> frame = render();
  auto at = [&frame](int x, int y) { return hexAt(frame, x, y); };
  // White from column trunc(39.69) = 39 to trunc(59.53) = 59 on row trunc(26.72) = 26.
  EXPECT_EQ(at(39, 26), "0xFFFF");
  EXPECT_EQ(at(59, 26), "0xFFFF");
  EXPECT_EQ(at(38, 26), hex(kBackground));
  EXPECT_EQ(at(60, 26), hex(kBackground));
  // Red (64512, 512, 1024) to green (1024, 65024, 1024): 24 steps down, 20 of them diagonal;
  // red falls by 677205 / 256 and green rises by 2688 a step. Step 6 is (44, 26), over the
  // white line: red 12451842 >> 8 = 48639, green 16640 -> 23, 16, 0.
  EXPECT_EQ(at(39, 20), "0xF800");
  EXPECT_EQ(at(44, 26), "0xBA00");
  EXPECT_EQ(at(59, 44), "0x07E0");
  // Yellow (64512, 65024, 1024) to the cut end (0.5, 0.5, 0.5) = (32768, 32768, 32768) at
  // column trunc(63.5) = 63, 16 steps from column 47 on row 35; drawn last, so it also covers
  // the red-to-green line's pixel (51, 35): step 4 is 56576, 56960, 8960 -> 27, 55, 4.
  EXPECT_EQ(at(47, 35), "0xFFE0");
  EXPECT_EQ(at(51, 35), "0xDEE4");
  EXPECT_EQ(at(55, 35), "0xBDE8");  // step 8: 48640, 48896, 16896 -> 23, 47, 8
  EXPECT_EQ(at(63, 35), "0x8410");
}

// KESTRUNE_UPDATE_GOLDEN=1 rewrites the golden file from this build's picture instead; review
// the new picture before committing it (tests/data/README.md).
TEST_F(GoldenScene, MatchesTheGoldenImage) {
  // Compiling drew nothing: the picture comes from calling the lists.
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) ASSERT_EQ(zb->pixels[y * kWidth + x], 0) << x << "," << y;
  }
  const std::vector<Pixel565> frame = render();
  const char* update = std::getenv("KESTRUNE_UPDATE_GOLDEN");
  if (update != nullptr && std::strcmp(update, "1") == 0) {
    ASSERT_TRUE(writeGolden(goldenPath(), frame)) << goldenPath();
    GTEST_SKIP() << "wrote " << goldenPath();
  }
  std::vector<Pixel565> golden;
  ASSERT_TRUE(readGolden(goldenPath(), &golden))
      << goldenPath() << " is missing or is not " << kHeight << " rows of " << kWidth
      << " hex pixels";
  int differing = 0;
  int first = -1;
  for (int i = 0; i < kWidth * kHeight; ++i) {
    if (frame[size_t(i)] == golden[size_t(i)]) continue;
    if (first < 0) first = i;
    ++differing;
  }
  if (first >= 0) {
    ADD_FAILURE() << differing << " of " << kWidth * kHeight << " pixels differ; the first, ("
                  << first % kWidth << ", " << first / kWidth << "), is "
                  << hex(frame[size_t(first)]) << " instead of " << hex(golden[size_t(first)]);
  }
}

}  // namespace
