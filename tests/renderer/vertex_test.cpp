// The vertex stage: the current attributes the attribute ops set, the glBegin / glEnd bracket
// with its checks, and what each glVertex stores: clip coordinates, clip code, colour, texture
// coordinates, edge flag and, for vertices inside the view volume, the screen point.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "renderer/clip.h"
#include "renderer/gl.h"
#include "tests/renderer/pipeline_support.h"
#include "tests/renderer/render_support.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

TEST_F(RenderTest, AttributeOpsSetTheCurrentAttributes) {
  glColor4f(0.5f, 0.25f, 0, 0.75f);
  EXPECT_EQ(c->current_color.x, 0.5f);
  EXPECT_EQ(c->current_color.y, 0.25f);
  EXPECT_EQ(c->current_color.z, 0.0f);
  EXPECT_EQ(c->current_color.w, 0.75f);
  EXPECT_EQ(c->current_color_fixed[0], 32768);  // 0.5 x 63488 + 1024
  EXPECT_EQ(c->current_color_fixed[1], 16640);  // 0.25 x 64512 + 512
  EXPECT_EQ(c->current_color_fixed[2], 1024);

  glTexCoord2f(0.25f, 2);
  EXPECT_EQ(c->current_tex_coord.x, 0.25f);
  EXPECT_EQ(c->current_tex_coord.y, 2.0f);
  EXPECT_EQ(c->current_tex_coord.z, 0.0f);
  EXPECT_EQ(c->current_tex_coord.w, 1.0f);

  glNormal3f(0, 0, -1);
  EXPECT_EQ(c->current_normal.z, -1.0f);
  EXPECT_EQ(c->current_normal.w, 0.0f);

  glEdgeFlag(0);
  EXPECT_EQ(c->current_edge_flag, 0);
}

TEST_F(RenderTest, BeginAndEndBracketAPrimitive) {
  glBegin(GL_TRIANGLE_FAN);
  EXPECT_EQ(c->in_begin, 1);
  EXPECT_EQ(c->primitive, 6);
  EXPECT_EQ(c->pending, 0);
  EXPECT_EQ(c->vertex_total, 0);
  EXPECT_EQ(c->viewport.dirty, 0);  // the screen transform was computed
  EXPECT_EQ(c->mvp_dirty, 0);
  glEnd();
  EXPECT_EQ(c->in_begin, 0);
}

TEST_F(RenderDeathTest, BeginAndEndMustPair) {
  EXPECT_EXIT(glVertex3f(0, 0, 0), assertionExit(), AssertionReport("c->in_begin != 0", "vertex"));
  EXPECT_EXIT(glEnd(), assertionExit(), AssertionReport("c->in_begin == 1", "vertex"));
  glBegin(GL_TRIANGLES);
  EXPECT_EXIT(glBegin(GL_TRIANGLES), assertionExit(),
              AssertionReport("c->in_begin == 0", "vertex"));
  glEnd();
}

TEST(ClipCode, OnePlaneBitEachWithATolerance) {
  EXPECT_EQ(clipCode({1.000005f, 0, 0, 1}), 0);  // within w x 1.00001
  EXPECT_EQ(clipCode({1.00002f, 0, 0, 1}), 2);
  EXPECT_EQ(clipCode({1, -1, 1, 1}), 0);  // exactly on three planes is inside
  EXPECT_EQ(clipCode({-2, 0, 0, 1}), 1);
  EXPECT_EQ(clipCode({0, -2, 0, 1}), 4);
  EXPECT_EQ(clipCode({0, 2, 0, 1}), 8);
  EXPECT_EQ(clipCode({0, 0, -2, 1}), 16);
  EXPECT_EQ(clipCode({0, 0, 2, 1}), 32);
  EXPECT_EQ(clipCode({3, -3, 3, 2}), 2 | 4 | 32);
  EXPECT_EQ(clipCode({0, 0, 0, -1}), 63);  // behind the eye: beyond every plane
  EXPECT_EQ(clipCode({5, 0, 0, 0}), 2);    // w = 0 but clear of a plane: clipped as usual
}

TEST(ClipCode, CoordinatesThatCannotBeProjectedAreOutside) {
  EXPECT_EQ(clipCode({kNaN, 0, 0, 1}), 1 | 2);  // outside both planes it is compared with
  EXPECT_EQ(clipCode({0, 0, kNaN, 1}), 16 | 32);
  EXPECT_EQ(clipCode({0, 0, 0, kNaN}), 63);
  EXPECT_EQ(clipCode({kInf, 0, 0, 1}), 2);
  EXPECT_EQ(clipCode({0, -kInf, 0, 1}), 4);
  // Inside by the six comparisons, but 1 / w or x / w would not be finite: the eye point, a
  // w whose widening overflows, an infinite point at infinity, and a subnormal w.
  EXPECT_EQ(clipCode({0, 0, 0, 0}), 63);
  EXPECT_EQ(clipCode({0, 0, 0, FLT_MAX}), 63);
  EXPECT_EQ(clipCode({kInf, 0, 0, kInf}), 63);
  EXPECT_EQ(clipCode({0, 0, 0, 1e-40f}), 63);
  EXPECT_EQ(clipCode({1e-30f, 0, 0, 1e-30f}), 0);  // small but normal: fine
}

class VertexStage : public PipelineTestAt<32, 24> {
 protected:
  // The record the last glVertex wrote, for primitives that hold it (GL_POLYGON).
  const GLVertex& held(int i) const { return c->vertices[i]; }
};

TEST_F(VertexStage, UnlitVertexThroughPerspective) {
  // Projection glFrustum(-1, 1, -1, 1, 1, 3): rows (1 0 0 0), (0 1 0 0), (0 0 -2 -3),
  // (0 0 -1 0). Model-view: translate by (0, 0, -2). Object (0.5, 0.25, 0) -> eye
  // (0.5, 0.25, -2, 1) -> clip (0.5, 0.25, -2 x -2 - 3, 2) = (0.5, 0.25, 1, 2).
  glMatrixMode(GL_PROJECTION);
  glFrustum(-1, 1, -1, 1, 1, 3);
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(0, 0, -2);
  glColor3f(0.5f, 0.25f, 0);
  glBegin(GL_POLYGON);
  glVertex3f(0.5f, 0.25f, 0);
  const GLVertex& v = held(0);
  EXPECT_EQ(c->mvp_affine_w, 0);
  EXPECT_EQ(v.clip_coord.x, 0.5f);
  EXPECT_EQ(v.clip_coord.y, 0.25f);
  EXPECT_EQ(v.clip_coord.z, 1.0f);
  EXPECT_EQ(v.clip_coord.w, 2.0f);
  EXPECT_EQ(v.clip_code, 0);
  // 32 x 24 viewport: x 15.75 x 0.25 + 15.75 = 19.6875; y -11.75 x 0.125 + 11.75 = 10.28;
  // z -536870912 x 0.5 + 536879104 = 268443648.
  EXPECT_EQ(v.screen.x, 19);
  EXPECT_EQ(v.screen.y, 10);
  EXPECT_EQ(v.screen.z, 268443648);
  // Unlit: the colour as given and its integers as glColor packed them.
  EXPECT_EQ(v.color.x, 0.5f);
  EXPECT_EQ(v.color.y, 0.25f);
  EXPECT_EQ(v.screen.r, 32768);  // 0.5 x 63488 + 1024
  EXPECT_EQ(v.screen.g, 16640);  // 0.25 x 64512 + 512
  EXPECT_EQ(v.screen.b, 1024);
  glEnd();
}

TEST_F(VertexStage, AffineRowThreeGivesWFromTheMatrix) {
  // Scale by 0.5 and translate: row 3 stays (0 0 0 1), so w is the matrix's [3][3], whatever
  // w glVertex4f was given.
  glScalef(0.5f, 0.5f, 0.5f);
  glTranslatef(1, 0, 0);
  glBegin(GL_POLYGON);
  glVertex4f(1, 1, 1, 7);
  const GLVertex& v = held(0);
  EXPECT_EQ(c->mvp_affine_w, 1);
  EXPECT_EQ(v.coord.w, 7.0f);  // stored, never used
  EXPECT_EQ(v.clip_coord.x, 1.0f);
  EXPECT_EQ(v.clip_coord.y, 0.5f);
  EXPECT_EQ(v.clip_coord.z, 0.5f);
  EXPECT_EQ(v.clip_coord.w, 1.0f);
  glEnd();
}

TEST_F(VertexStage, LitVertexCarriesEyeCoordinatesAndNormal) {
  // Model-view scale 2: eye = 2 x object; the normal matrix (inverse transposed) halves the
  // normal, and GL_NORMALIZE brings it back to unit length.
  glScalef(2, 2, 2);
  glEnable(GL_LIGHTING);
  glNormal3f(0, 0.6f, 0.8f);
  glBegin(GL_POLYGON);
  glVertex3f(0.25f, -0.125f, 0.5f);
  EXPECT_EQ(held(0).eye_coord.x, 0.5f);
  EXPECT_EQ(held(0).eye_coord.y, -0.25f);
  EXPECT_EQ(held(0).eye_coord.z, 1.0f);
  EXPECT_EQ(held(0).eye_coord.w, 1.0f);
  EXPECT_EQ(held(0).clip_coord.z, 1.0f);  // identity projection
  EXPECT_FLOAT_EQ(held(0).normal.y, 0.3f);
  EXPECT_FLOAT_EQ(held(0).normal.z, 0.4f);
  glEnd();
  glEnable(GL_NORMALIZE);
  glBegin(GL_POLYGON);
  glVertex3f(0, 0, 0);
  EXPECT_FLOAT_EQ(held(0).normal.x, 0.0f);
  EXPECT_FLOAT_EQ(held(0).normal.y, 0.6f);
  EXPECT_FLOAT_EQ(held(0).normal.z, 0.8f);
  glEnd();
}

TEST_F(VertexStage, TextureCoordinatesOnlyWhileTexturing) {
  glTexCoord2f(0.25f, 0.5f);
  glBegin(GL_POLYGON);
  c->vertices[0].tex_coord = {9, 9, 9, 9};
  c->vertices[0].screen.s = -7;
  glVertex3f(0, 0, 0);
  EXPECT_EQ(held(0).tex_coord.x, 9.0f);  // texturing off: left as they were
  EXPECT_EQ(held(0).screen.s, -7);
  glEnd();

  glEnable(GL_TEXTURE_2D);
  glBegin(GL_POLYGON);
  glVertex3f(0, 0, 0);
  EXPECT_EQ(held(0).tex_coord.x, 0.25f);
  EXPECT_EQ(held(0).tex_coord.y, 0.5f);
  EXPECT_EQ(held(0).screen.s, 1052672);    // 0.25 x 4177920 + 8192
  EXPECT_EQ(held(0).screen.t, 536870912);  // 0.5 x 1069547520 + 2097152
  glEnd();

  // Through a texture matrix that moves s by 0.5: s = 0.75.
  glMatrixMode(GL_TEXTURE);
  glTranslatef(0.5f, 0, 0);
  glMatrixMode(GL_MODELVIEW);
  glBegin(GL_POLYGON);
  glVertex3f(0, 0, 0);
  EXPECT_EQ(c->texture_matrix_on, 1);
  EXPECT_EQ(held(0).tex_coord.x, 0.75f);
  EXPECT_EQ(held(0).screen.s, 3141632);  // 0.75 x 4177920 + 8192
  glEnd();
}

TEST_F(VertexStage, HugeColourChannelsAreLimitedSoThatDifferencesFit) {
  glColor3f(1e30f, -1e30f, 2);  // glColor packs INT_MAX, INT_MIN and 2 x 63488 + 1024
  glBegin(GL_POLYGON);
  glVertex3f(0, 0, 0);
  EXPECT_EQ(held(0).screen.r, (1 << 30) - 1);
  EXPECT_EQ(held(0).screen.g, -(1 << 30) + 1);
  EXPECT_EQ(held(0).screen.b, 128000);  // unclamped below the limit
  glEnd();
}

TEST_F(VertexStage, OutsideVerticesAreNotConverted) {
  glBegin(GL_POLYGON);
  c->vertices[0].screen.x = -5;
  glEdgeFlag(0);
  glVertex3f(0, 0, -1.5f);  // beyond the near plane
  EXPECT_EQ(held(0).clip_code, 16);
  EXPECT_EQ(held(0).screen.x, -5);
  EXPECT_EQ(held(0).edge_flag, 0);
  glEnd();
}

TEST_F(VertexStage, DepthAtTheNearPlaneIsClampedBelowTheWrap) {
  // z/w = -1 would give 2^30 + 8192, stored as 65536 = 0, the farthest depth.
  glBegin(GL_POLYGON);
  glVertex3f(0, 0, -1);
  glVertex3f(0, 0, 1);
  EXPECT_EQ(held(0).screen.z, 65280 << 14);
  EXPECT_EQ(held(1).screen.z, 8192);  // the far plane
  glEnd();
}

TEST_F(VertexStage, ScreenPointsOutsideTheBufferAreMarked) {
  // A viewport twice the buffer's width: x / w = 0.5 lands on column 47 of 64, past 32.
  glViewport(0, 0, 64, 24);
  glBegin(GL_POLYGON);
  glVertex3f(0.5f, 0, 0);
  glVertex3f(-0.5f, 0, 0);  // column 15: inside
  EXPECT_EQ(held(0).screen.x, 47);
  EXPECT_EQ(held(0).clip_code, kOffBufferBit);
  EXPECT_EQ(held(1).screen.x, 15);
  EXPECT_EQ(held(1).clip_code, 0);
  glEnd();
}

}  // namespace
