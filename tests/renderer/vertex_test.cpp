// What the vertex stage does so far: the current attributes the attribute ops set, and the
// glBegin / glEnd bracket with its checks.
#include <gtest/gtest.h>

#include "renderer/gl.h"
#include "tests/renderer/render_support.h"

namespace {

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

}  // namespace
