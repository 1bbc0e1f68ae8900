// The immediate path of separate triangles against the op path: the same triangles, issued the
// way the player issues them, drawn once from a display list (every call an op record run by
// its handler) and once directly, must leave the same frame buffer, depth buffer and selection
// hits, byte for byte, for every state in the table.
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "tests/renderer/render_support.h"

namespace {

struct Corner {
  float x, y, z;
  float s, t;
  float r, g, b, a;
};

struct Triangle {
  Corner corner[3];
};

// Object coordinates under the fixture's camera: x and y within +-1.5 and z within -7..2 are
// inside the view volume.
const std::vector<Triangle> kTriangles = {
    // Inside, at several depths, one of them facing away.
    {{{-1.0f, -1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.2f, 0.1f, 1.0f},
      {1.2f, -0.8f, 0.7f, 1.0f, 0.1f, 0.1f, 1.0f, 0.3f, 1.0f},
      {0.1f, 1.1f, -0.6f, 0.4f, 1.0f, 0.2f, 0.3f, 1.0f, 1.0f}}},
    {{{-0.5f, 0.9f, 1.5f, 0.9f, 0.9f, 0.8f, 0.8f, 0.0f, 0.5f},
      {0.7f, 0.2f, -4.0f, 0.2f, 0.6f, 0.0f, 0.5f, 0.9f, 0.5f},
      {-1.3f, -0.4f, 0.3f, 0.7f, 0.0f, 0.6f, 0.0f, 0.4f, 0.5f}}},
    // Beyond one plane each: left, right, bottom, top, near, far.
    {{{-3.0f, 0.0f, 0.0f, 0.0f, 0.5f, 1.0f, 0.0f, 0.0f, 1.0f},
      {0.5f, -0.7f, 0.2f, 1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 1.0f},
      {0.4f, 0.9f, -0.2f, 0.5f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f}}},
    {{{2.9f, 0.3f, 0.0f, 0.3f, 0.3f, 0.5f, 0.5f, 0.5f, 1.0f},
      {-0.6f, 1.0f, 0.1f, 0.8f, 0.2f, 1.0f, 1.0f, 0.0f, 1.0f},
      {-0.2f, -1.2f, 0.0f, 0.1f, 0.9f, 0.0f, 1.0f, 1.0f, 1.0f}}},
    {{{0.0f, -2.8f, 0.5f, 0.5f, 0.0f, 0.9f, 0.9f, 0.9f, 1.0f},
      {1.0f, 0.8f, 0.0f, 1.0f, 1.0f, 0.2f, 0.2f, 0.2f, 1.0f},
      {-1.0f, 0.5f, 0.0f, 0.0f, 1.0f, 0.6f, 0.1f, 0.8f, 1.0f}}},
    {{{-0.3f, 3.1f, 0.0f, 0.2f, 0.8f, 0.1f, 0.8f, 0.6f, 1.0f},
      {-1.1f, -0.9f, -0.5f, 0.6f, 0.1f, 0.7f, 0.3f, 0.2f, 1.0f},
      {1.0f, -0.3f, 0.4f, 0.9f, 0.5f, 0.4f, 0.9f, 0.1f, 1.0f}}},
    {{{0.0f, 0.0f, 2.7f, 0.5f, 0.5f, 1.0f, 1.0f, 0.0f, 1.0f},
      {1.0f, -1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f},
      {-1.0f, -0.6f, 0.5f, 0.0f, 0.3f, 1.0f, 0.0f, 1.0f, 1.0f}}},
    {{{0.2f, 0.4f, -9.0f, 0.4f, 0.4f, 0.3f, 0.6f, 0.9f, 1.0f},
      {-0.8f, -0.2f, 0.0f, 0.0f, 0.9f, 0.9f, 0.6f, 0.3f, 1.0f},
      {0.9f, -0.8f, 0.2f, 1.0f, 0.2f, 0.5f, 0.2f, 0.7f, 1.0f}}},
    // Entirely outside, and two without area: collinear corners and a repeated corner.
    {{{5.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f},
      {6.0f, 1.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f},
      {5.5f, -1.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f}}},
    {{{-1.0f, -1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f},
      {0.0f, 0.0f, 0.0f, 0.5f, 0.5f, 0.0f, 1.0f, 0.0f, 1.0f},
      {1.0f, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f}}},
    {{{0.3f, 0.3f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f},
      {0.3f, 0.3f, 0.0f, 0.5f, 0.5f, 0.0f, 1.0f, 0.0f, 1.0f},
      {-0.6f, 0.8f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f}}},
};

// A row of the table: the state both runs draw under, as words (tex: texturing, blend, flat
// shading, cull: back faces, depth: depth test, light: lighting with light 0, cmat: colour
// material, tmat: a texture matrix, lines: polygon mode GL_LINE, select: selection mode), and
// whether the immediate run takes the immediate path for its triangles.
struct StateCase {
  int mode;  // the primitive the triangles are issued in
  const char* state;
  bool immediate;
};

const StateCase kCases[] = {
    {GL_TRIANGLES, "depth", true},
    {GL_TRIANGLES, "flat depth", true},
    {GL_TRIANGLES, "tex depth", true},
    {GL_TRIANGLES, "tex blend", true},
    {GL_TRIANGLES, "blend cull depth", true},
    {GL_TRIANGLES, "tex tmat depth", true},
    {GL_TRIANGLES, "lines depth", true},
    {GL_TRIANGLES, "select depth", true},
    {GL_TRIANGLES, "tex cmat depth", true},  // only glColor4f keeps to the op path
    // States that keep the triangles on the op path.
    {GL_TRIANGLES, "light depth", false},
    {GL_TRIANGLE_STRIP, "tex depth", false},
    {GL_POLYGON, "depth", false},
};

bool has(const StateCase& row, const char* word) {
  std::istringstream words(row.state);
  for (std::string w; words >> w;) {
    if (w == word) return true;
  }
  return false;
}

class ImmediatePathTest : public RenderTest {
 protected:
  // A 256 x 256 texture of diagonal stripes with black texels, which a keyed fill skips.
  void SetUp() override {
    RenderTest::SetUp();
    std::vector<uint8_t> image(256 * 256 * 3);
    for (int i = 0; i < 256 * 256; ++i) {
      const int x = i % 256, y = i / 256;
      const bool black = ((x + y) / 16) % 3 == 0;
      image[3 * i] = black ? 0 : uint8_t(x);
      image[3 * i + 1] = black ? 0 : uint8_t(y);
      image[3 * i + 2] = black ? 0 : uint8_t(255 - x);
    }
    glGenTextures(1, &texture_);
    glBindTexture(GL_TEXTURE_2D, int(texture_));
    glTexImage2D(GL_TEXTURE_2D, 0, 3, 256, 256, 0, GL_RGB, GL_UNSIGNED_BYTE, image.data());
  }

  void setState(const StateCase& row) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.5, 0.5, -0.4, 0.4, 1.0, 10.0);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    if (has(row, "tmat")) {
      glTranslatef(0.25f, -0.5f, 0.0f);  // reads q
      glScalef(0.5f, 2.0f, 1.0f);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -3.0f);
    switchCap(GL_TEXTURE_2D, has(row, "tex"));
    switchCap(GL_BLEND, has(row, "blend"));
    switchCap(GL_CULL_FACE, has(row, "cull"));
    switchCap(GL_DEPTH_TEST, has(row, "depth"));
    switchCap(GL_LIGHTING, has(row, "light"));
    switchCap(GL_LIGHT0, has(row, "light"));
    switchCap(GL_COLOR_MATERIAL, has(row, "cmat"));
    glShadeModel(has(row, "flat") ? GL_FLAT : GL_SMOOTH);
    glPolygonMode(GL_FRONT_AND_BACK, has(row, "lines") ? GL_LINE : GL_FILL);
    if (has(row, "select")) {
      glSelectBuffer(int(hits_.size()), hits_.data());
      glRenderMode(GL_SELECT);
      glInitNames();
      glPushName(7);
    }
  }

  static void switchCap(int cap, bool on) {
    if (on) {
      glEnable(cap);
    } else {
      glDisable(cap);
    }
  }

  // The player's calls: per triangle (or once for the other modes) glBegin, then per corner
  // glTexCoord2f, glColor4f and glVertex3f, then glEnd.
  static void issue(int mode) {
    if (mode != GL_TRIANGLES) glBegin(mode);
    for (const Triangle& triangle : kTriangles) {
      if (mode == GL_TRIANGLES) glBegin(mode);
      for (const Corner& k : triangle.corner) {
        glTexCoord2f(k.s, k.t);
        glColor4f(k.r, k.g, k.b, k.a);
        glVertex3f(k.x, k.y, k.z);
      }
      if (mode == GL_TRIANGLES) glEnd();
    }
    if (mode != GL_TRIANGLES) glEnd();
  }

  void clear() {
    zbClear(zb, 1, 0x1234, 1, 0x2000, 0x4000, 0x6000);
    hits_.assign(64, 0xDEADBEEF);
    glRenderMode(GL_RENDER);
  }

  // The bytes a run leaves: frame buffer, depth buffer, the selection's hit count and words.
  std::vector<uint8_t> snapshot(int hit_count) const {
    const size_t frame_bytes = sizeof(Pixel565) * kWidth * kHeight;  // rows of 32 need no padding
    const size_t depth_bytes = sizeof(uint16_t) * kWidth * kHeight;
    std::vector<uint8_t> bytes(frame_bytes + depth_bytes);
    std::memcpy(bytes.data(), zb->pixels, frame_bytes);
    std::memcpy(bytes.data() + frame_bytes, zb->depth, depth_bytes);
    bytes.push_back(uint8_t(hit_count));
    for (unsigned word : hits_) {
      for (int k = 0; k < 4; ++k) bytes.push_back(uint8_t(word >> (8 * k)));
    }
    return bytes;
  }

  std::vector<uint8_t> draw(const StateCase& row, bool from_list) {
    clear();
    setState(row);
    if (from_list) {
      glNewList(1, GL_COMPILE);
      issue(row.mode);
      glEndList();
      glCallList(1);
    } else {
      issue(row.mode);
    }
    return snapshot(glRenderMode(GL_RENDER));
  }

  unsigned texture_ = 0;
  std::vector<unsigned> hits_ = std::vector<unsigned>(64);
};

// The offset of the first byte where a and b differ, or -1.
long firstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size()) return 0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return long(i);
  }
  return -1;
}

TEST_F(ImmediatePathTest, DrawsWhatTheOpPathDrawsByteForByte) {
  clear();
  const std::vector<uint8_t> cleared = snapshot(0);
  for (const StateCase& row : kCases) {
    SCOPED_TRACE(::testing::Message() << row.mode << " " << row.state);
    const unsigned before = c->immediate_triangles;
    const std::vector<uint8_t> reference = draw(row, true);
    ASSERT_EQ(c->immediate_triangles, before);  // a called list runs the ops' handlers
    const std::vector<uint8_t> immediate = draw(row, false);
    EXPECT_EQ(c->immediate_triangles - before, row.immediate ? kTriangles.size() : 0u);
    EXPECT_EQ(firstDifference(reference, immediate), -1);
    EXPECT_NE(firstDifference(reference, cleared), -1);  // the case drew something or a hit
  }
}

}  // namespace
