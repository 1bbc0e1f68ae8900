// Triangle records to renderer calls: the exact calls with their exact float arguments, the
// texture and blend cache, packed colours, the skip flag, and the real renderer's state after a
// triangle drawn through it.
#include "player/triangle_drawing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "player/record_walk.h"
#include "player/render_target.h"
#include "renderer/context.h"
#include "renderer/gl.h"
#include "tools/recording_writer.h"

namespace {

// The calls seen, one line each, floats in hexadecimal so that every bit shows.
std::vector<std::string>& seen() {
  static std::vector<std::string> calls;
  return calls;
}

std::string format(const char* pattern, double a = 0, double b = 0, double c = 0, double d = 0) {
  char line[160];
  std::snprintf(line, sizeof line, pattern, a, b, c, d);
  return line;
}
std::string intCall(const char* name, int a) {
  return std::string(name) + "(" + std::to_string(a) + ")";
}

std::string enable(int cap) { return intCall("glEnable", cap); }
std::string disable(int cap) { return intCall("glDisable", cap); }
std::string bind(int texture) { return "glBindTexture(3553, " + std::to_string(texture) + ")"; }
std::string begin() { return "glBegin(4)"; }
std::string end() { return "glEnd()"; }
std::string texCoord(float s, float t) { return format("glTexCoord2f(%a, %a)", s, t); }
std::string colour(float r, float g, float b, float a) {
  return format("glColor4f(%a, %a, %a, %a)", r, g, b, a);
}
std::string vertex(float x, float y) { return format("glVertex3f(%a, %a, %a)", x, y, 0.0f); }

const DrawingCalls kRecorder = {
    [](int cap) { seen().push_back(enable(cap)); },
    [](int cap) { seen().push_back(disable(cap)); },
    [](int target, int texture) {
      seen().push_back("glBindTexture(" + std::to_string(target) + ", " + std::to_string(texture) +
                       ")");
    },
    [](int mode) { seen().push_back(intCall("glBegin", mode)); },
    [](float s, float t) { seen().push_back(texCoord(s, t)); },
    [](float r, float g, float b, float a) { seen().push_back(colour(r, g, b, a)); },
    [](float x, float y, float z) { seen().push_back(format("glVertex3f(%a, %a, %a)", x, y, z)); },
    [] { seen().push_back(end()); },
};

// A triangle whose vertices all sit at (0, 0) with texture coordinates (0, 0) and colour 0:
// the cases below change only what they are about.
TriangleRecord stateTriangle(int slot, int mode) {
  TriangleRecord triangle;
  triangle.texture_slot = static_cast<uint8_t>(slot);
  triangle.blend_mode = static_cast<uint8_t>(mode);
  return triangle;
}

// What every such triangle issues after its state calls.
std::vector<std::string> plainBody() {
  std::vector<std::string> body = {begin()};
  for (int k = 0; k < 3; ++k) {
    body.insert(body.end(), {texCoord(0, 0), colour(0, 0, 0, 0.5f), vertex(0, 0)});
  }
  body.push_back(end());
  return body;
}

std::vector<std::string> withBody(std::vector<std::string> state_calls) {
  for (const std::string& call : plainBody()) state_calls.push_back(call);
  return state_calls;
}

class TriangleDrawingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    seen().clear();
    for (int slot = 0; slot < kTextureTableSize; ++slot) table_.names[slot] = 100u + slot;
    drawing_.calls = &kRecorder;
    drawing_.textures = &table_;
  }

  // The calls one triangle issues.
  std::vector<std::string> draw(const TriangleRecord& triangle) {
    seen().clear();
    drawTriangle(drawing_, triangle);
    return seen();
  }

  TextureTable table_;
  TriangleDrawing drawing_;
};

// The packed colour as glColor4f sees it.
std::string packed(uint16_t value) {
  seen().clear();
  setPackedColour(kRecorder, value);
  EXPECT_EQ(seen().size(), 1u);
  return seen().empty() ? "" : seen()[0];
}

}  // namespace

TEST_F(TriangleDrawingTest, VertexValuesInTheirNumberFormats) {
  TriangleRecord triangle = stateTriangle(0, 0);
  // u, v: u x 0.00392156862745098 in double, then float. 3 and 200 come out one float step
  // below what a single-precision product would give.
  triangle.vertices[0] = {3, 200, 0, 0, 0, 0xF6A3};
  triangle.vertices[1] = {255, 128, 255, 128, 0xFFFF, 0x0000};
  // x, y: float(x) x float(1/255) in single precision. 3, 200 and 254 come out above the
  // correctly rounded quotient; 255 gives exactly 1.
  triangle.vertices[2] = {0, 1, 3, 200, 0x1234, 0x8123};
  triangle.vertices[0].x = 254;
  triangle.vertices[0].y = 7;
  EXPECT_EQ(draw(triangle),
            (std::vector<std::string>{
                disable(GL_TEXTURE_2D), disable(GL_BLEND), begin(),
                texCoord(0x1.818182p-7f, 0x1.919192p-1f),
                colour(0x1.99999ap-2f, 0x1.555556p-1f, 0x1.99999ap-3f, 1),  // 6, 10, 3 of 15
                vertex(0x1.fdfep-1f, 0x1.c1c1c4p-6f), texCoord(1, 0x1.010102p-1f),
                colour(0, 0, 0, 0.5f), vertex(1, 0x1.010102p-1f), texCoord(0, 0x1.010102p-8f),
                colour(1, 1, 1, 1),  // flag set, red 1: white
                vertex(0x1.818184p-7f, 0x1.919194p-1f), end()}));
}

TEST_F(TriangleDrawingTest, PackedColours) {
  EXPECT_EQ(packed(0x0FFF), colour(1, 1, 1, 0.5f));
  EXPECT_EQ(packed(0xF5FF), colour(1, 1, 1, 1));               // red 5: white
  EXPECT_EQ(packed(0xF6FF), colour(0x1.99999ap-2f, 1, 1, 1));  // 0.4
  EXPECT_EQ(packed(0x1000), colour(1, 1, 1, 1));               // any flag bit counts
  EXPECT_EQ(packed(0x0345), colour(0x1.99999ap-3f, 0x1.111112p-2f, 0x1.555556p-2f, 0.5f));
  EXPECT_EQ(packed(0x0000), colour(0, 0, 0, 0.5f));
  EXPECT_EQ(packed(0x2F0F), colour(1, 0, 1, 1));
}

// The cache starts at -1, so the first triangle sets both states (blend only for modes 0 to 2).
TEST_F(TriangleDrawingTest, FirstTriangleSetsItsState) {
  EXPECT_EQ(draw(stateTriangle(3, 0)),
            withBody({enable(GL_TEXTURE_2D), bind(103), disable(GL_BLEND)}));
  drawing_ = TriangleDrawing{{}, &kRecorder, &table_};
  EXPECT_EQ(draw(stateTriangle(0, 5)), withBody({disable(GL_TEXTURE_2D)}));
  EXPECT_EQ(drawing_.cache.last_blend_mode, 5);
}

TEST_F(TriangleDrawingTest, StateChangesOnlyWhenTheTriangleNeedsThem) {
  EXPECT_EQ(draw(stateTriangle(3, 0)),
            withBody({enable(GL_TEXTURE_2D), bind(103), disable(GL_BLEND)}));
  EXPECT_EQ(draw(stateTriangle(3, 0)), plainBody());
  EXPECT_EQ(draw(stateTriangle(0, 3)), withBody({disable(GL_TEXTURE_2D)}));  // 3: no call
  EXPECT_EQ(draw(stateTriangle(5, 1)),
            withBody({enable(GL_TEXTURE_2D), bind(105), enable(GL_BLEND)}));
  EXPECT_EQ(draw(stateTriangle(5, 2)), withBody({enable(GL_BLEND)}));  // same effect, one more call
  // Every change to a slot from 1 to 31 enables texturing again, also from another slot.
  EXPECT_EQ(draw(stateTriangle(31, 7)), withBody({enable(GL_TEXTURE_2D), bind(131)}));
  EXPECT_EQ(draw(stateTriangle(31, 4)), plainBody());
  EXPECT_EQ(draw(stateTriangle(31, 0)), withBody({disable(GL_BLEND)}));
  EXPECT_EQ(draw(stateTriangle(0, 6)), withBody({disable(GL_TEXTURE_2D)}));
  EXPECT_EQ(draw(stateTriangle(0, 0)), withBody({disable(GL_BLEND)}));
  EXPECT_EQ(drawing_.cache.last_texture_slot, 0);
  EXPECT_EQ(drawing_.cache.last_blend_mode, 0);
}

// Switching back to a slot after slot 0 enables texturing again, and a slot whose texture was
// never loaded binds its table entry, 0.
TEST_F(TriangleDrawingTest, SlotsRebindAfterSlotZero) {
  table_.names[9] = 0;
  draw(stateTriangle(9, 1));
  EXPECT_EQ(draw(stateTriangle(0, 1)), withBody({disable(GL_TEXTURE_2D)}));
  EXPECT_EQ(draw(stateTriangle(9, 1)), withBody({enable(GL_TEXTURE_2D), bind(0)}));
}

// Triangles read while the skip flag is set issue nothing and leave the cache alone: the next
// drawn triangle compares against the last one drawn. The record's bytes go through the decoder.
TEST_F(TriangleDrawingTest, SkippedTrianglesIssueNothing) {
  PlaybackState playback =
      startPlayback({[] { return 0.0; }, [](int, int) { return 0; }, [](int) { return 0; },
                     [] { return std::string(); }, [](void*) {}},
                    drawing_);
  const Bytes first = triangleRecordBytes(stateTriangle(4, 1));
  const Bytes skipped = triangleRecordBytes(stateTriangle(6, 0));
  seen().clear();
  drawTriangleRecord(playback, first.data());
  EXPECT_EQ(seen(), withBody({enable(GL_TEXTURE_2D), bind(104), enable(GL_BLEND)}));
  playback.pacing.skip = true;
  seen().clear();
  drawTriangleRecord(playback, skipped.data());
  EXPECT_TRUE(seen().empty());
  EXPECT_EQ(playback.drawing.cache.last_texture_slot, 4);
  EXPECT_EQ(playback.drawing.cache.last_blend_mode, 1);
  playback.pacing.skip = false;
  drawTriangleRecord(playback, skipped.data());
  EXPECT_EQ(seen(), withBody({enable(GL_TEXTURE_2D), bind(106), disable(GL_BLEND)}));
}

// The 16-bit field at offset 6 of each vertex is not drawn with.
TEST_F(TriangleDrawingTest, ReciprocalWHasNoEffect) {
  TriangleRecord triangle = plainTriangle(10, 20, 30, 40, 50, 60, 0xF9C4);
  const std::vector<std::string> plain = draw(triangle);
  for (TriangleVertex& v : triangle.vertices) v.w = 0xBEEF;
  drawing_.cache = {};
  EXPECT_EQ(draw(triangle), plain);
}

// Through the real renderer: the calls reach the current context's state.
TEST(TriangleDrawingRenderer, CallsReachTheRenderer) {
  RenderTarget target;
  ASSERT_TRUE(openRenderSurface(target, 4, 2));
  TextureTable table;
  table.names[2] = 42;
  TriangleDrawing drawing{{}, &rendererDrawingCalls(), &table};
  TriangleRecord triangle = stateTriangle(2, 0);
  triangle.vertices[2] = {255, 3, 9, 9, 0, 0x0F80};  // colour (1, 8/15, 0, 0.5)
  drawTriangle(drawing, triangle);
  const RenderContext* c = glCurrentContext();
  EXPECT_EQ(c->texturing_on, 1);
  EXPECT_EQ(c->blend_on, 0);
  ASSERT_NE(c->bound_texture, nullptr);
  EXPECT_EQ(c->bound_texture->name, 42);
  EXPECT_EQ(c->in_begin, 0);
  EXPECT_EQ(c->current_tex_coord.x, 1.0f);
  EXPECT_EQ(c->current_tex_coord.y, 0x1.818182p-7f);
  EXPECT_EQ(c->current_color.x, 1.0f);
  EXPECT_EQ(c->current_color.y, 0x1.111112p-1f);
  EXPECT_EQ(c->current_color.z, 0.0f);
  EXPECT_EQ(c->current_color.w, 0.5f);
  drawTriangle(drawing, stateTriangle(0, 2));
  EXPECT_EQ(c->texturing_on, 0);
  EXPECT_EQ(c->blend_on, 1);
  closeRenderSurface(target);
}
