// The matrix ops on the stacks and the recompute at glBegin (expected matrices worked out by
// hand; rotations compared within single-precision rounding).
#include <gtest/gtest.h>

#include <cmath>

#include "renderer/gl.h"
#include "renderer/matrix_math.h"
#include "tests/renderer/render_support.h"

namespace {

const char kPushCondition[] =
    "(c->matrix_stack_ptr[n] - c->matrix_stack[n] + 1 ) < c->matrix_stack_depth_max[n]";

// Expects `m` (by rows) to equal `rows` exactly.
void expectMatrix(const Matrix4& m, const float (&rows)[16]) {
  for (int k = 0; k < 16; ++k) EXPECT_EQ(m.m[k], rows[k]) << "row " << k / 4 << " column " << k % 4;
}

// The model-view top applied to a point.
Vec4 modelView(const RenderContext* c, float x, float y, float z) {
  return m4Transform(*c->matrix_stack_ptr[0], {x, y, z, 1});
}

void expectNear(Vec4 v, float x, float y, float z) {
  EXPECT_NEAR(v.x, x, 1e-6f);
  EXPECT_NEAR(v.y, y, 1e-6f);
  EXPECT_NEAR(v.z, z, 1e-6f);
  EXPECT_EQ(v.w, 1.0f);
}

TEST_F(RenderTest, ModelViewHoldsThirtyOnePushes) {
  for (int k = 0; k < 31; ++k) glPushMatrix();
  EXPECT_EQ(c->matrix_stack_ptr[0] - c->matrix_stack[0], 31);
  for (int k = 0; k < 31; ++k) glPopMatrix();
  EXPECT_EQ(c->matrix_stack_ptr[0], c->matrix_stack[0]);
}

TEST_F(RenderDeathTest, TheThirtySecondModelViewPushIsAnAssertion) {
  for (int k = 0; k < 31; ++k) glPushMatrix();
  EXPECT_EXIT(glPushMatrix(), assertionExit(), AssertionReport(kPushCondition, "matrix"));
}

TEST_F(RenderDeathTest, TheEighthProjectionOrTexturePushIsAnAssertion) {
  for (int mode : {GL_PROJECTION, GL_TEXTURE}) {
    glMatrixMode(mode);
    for (int k = 0; k < 7; ++k) glPushMatrix();
    EXPECT_EXIT(glPushMatrix(), assertionExit(), AssertionReport(kPushCondition, "matrix"));
  }
}

TEST_F(RenderDeathTest, PoppingAnEmptyStackOrAnUnknownModeIsAnAssertion) {
  EXPECT_EXIT(glPopMatrix(), assertionExit(),
              AssertionReport("c->matrix_stack_ptr[n] > c->matrix_stack[n]", "matrix"));
  EXPECT_EXIT(glMatrixMode(GL_TEXTURE + 1), assertionExit(), AssertionReport("0", "matrix"));
}

TEST_F(RenderTest, PushCopiesTheTopAndPopRestoresIt) {
  glTranslatef(1, 2, 3);
  glPushMatrix();
  EXPECT_EQ(top(0, 1, 3), 2.0f);  // the copy
  glScalef(5, 5, 5);
  glPopMatrix();
  expectMatrix(*c->matrix_stack_ptr[0], {1, 0, 0, 1, 0, 1, 0, 2, 0, 0, 1, 3, 0, 0, 0, 1});
}

TEST_F(RenderTest, LoadMatrixReadsColumnOrder) {
  float m[16];
  for (int k = 0; k < 16; ++k) m[k] = static_cast<float>(k);
  glLoadMatrixf(m);
  expectMatrix(*c->matrix_stack_ptr[0], {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15});
  EXPECT_EQ(top(0, 0, 3), 12.0f);
  EXPECT_EQ(top(0, 1, 3), 13.0f);
  EXPECT_EQ(top(0, 2, 3), 14.0f);
}

TEST_F(RenderTest, MultMatrixMultipliesOnTheRight) {
  const float translate[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1};  // columns
  const float scale[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1};
  glLoadMatrixf(translate);
  glMultMatrixf(scale);  // T x S: the translation stays as it was
  expectMatrix(*c->matrix_stack_ptr[0], {2, 0, 0, 1, 0, 2, 0, 2, 0, 0, 2, 3, 0, 0, 0, 1});
}

TEST_F(RenderTest, TranslateAndScaleApplyOnTheRightInPlace) {
  glScalef(2, 3, 4);
  glTranslatef(1, 1, 1);  // S x T: the translation is scaled
  expectMatrix(*c->matrix_stack_ptr[0], {2, 0, 0, 2, 0, 3, 0, 3, 0, 0, 4, 4, 0, 0, 0, 1});

  glLoadIdentity();
  glTranslatef(1, 1, 1);
  glScalef(2, 3, 4);  // T x S
  expectMatrix(*c->matrix_stack_ptr[0], {2, 0, 0, 1, 0, 3, 0, 1, 0, 0, 4, 1, 0, 0, 0, 1});
}

TEST_F(RenderTest, RotationsAboutTheZAxisTurnBothWays) {
  glRotatef(90, 0, 0, 1);
  expectNear(modelView(c, 1, 0, 0), 0, 1, 0);
  glLoadIdentity();
  glRotatef(90, 0, 0, -1);
  expectNear(modelView(c, 1, 0, 0), 0, -1, 0);
}

TEST_F(RenderTest, SingleAxisRotationsIgnoreTheAxisLength) {
  glRotatef(90, 0, 2, 0);  // about y: z turns toward x
  expectNear(modelView(c, 0, 0, 1), 1, 0, 0);
  glLoadIdentity();
  glRotatef(90, -0.5f, 0, 0);  // about x, negative sense: y turns toward -z
  expectNear(modelView(c, 0, 1, 0), 0, 0, -1);
}

TEST_F(RenderTest, GeneralAxisRotationTurnsAboutTheNormalisedAxis) {
  // About (1, 1, 0) / sqrt 2 by 90 degrees: x = (0.5, 0.5, 0) along the axis plus
  // (0.5, -0.5, 0) across it, which turns into axis x across = (0, 0, -sqrt(0.5)).
  glRotatef(90, 1, 1, 0);
  expectNear(modelView(c, 1, 0, 0), 0.5f, 0.5f, -std::sqrt(0.5f));
  expectNear(modelView(c, 1, 1, 0), 1, 1, 0);  // the axis stays
}

TEST_F(RenderTest, RotationWithoutAnAxisIsTheIdentityButStillDirties) {
  glTranslatef(1, 2, 3);
  c->mvp_dirty = 0;
  glRotatef(90, 0, 0, 0);
  expectMatrix(*c->matrix_stack_ptr[0], {1, 0, 0, 1, 0, 1, 0, 2, 0, 0, 1, 3, 0, 0, 0, 1});
  EXPECT_EQ(c->mvp_dirty, 1);
}

TEST_F(RenderTest, RotationAboutAnAxisWhoseSquaresUnderflowDoesNothing) {
  c->mvp_dirty = 0;
  glRotatef(90, 1e-30f, 1e-30f, 0);  // 1e-60 is 0 in single precision
  expectMatrix(*c->matrix_stack_ptr[0], {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  EXPECT_EQ(c->mvp_dirty, 0);
}

TEST_F(RenderTest, FrustumOfTheSymmetricCase) {
  glFrustum(-1, 1, -1, 1, 1, 3);
  expectMatrix(*c->matrix_stack_ptr[0], {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -2, -3, 0, 0, -1, 0});
}

TEST_F(RenderTest, FrustumOffCentreAndWithEqualBounds) {
  // 2n/(r-l) = 1, (r+l)/(r-l) = 1, 2n/(t-b) = 0.5, (t+b)/(t-b) = 1, -(f+n)/(f-n) = -1.5,
  // -2fn/(f-n) = -2.5.
  glFrustum(0, 2, 0, 4, 1, 5);
  expectMatrix(*c->matrix_stack_ptr[0],
               {1, 0, 1, 0, 0, 0.5f, 1, 0, 0, 0, -1.5f, -2.5f, 0, 0, -1, 0});
  glLoadIdentity();
  glFrustum(1, 1, -1, 1, 1, 3);  // not checked: a division by zero
  EXPECT_TRUE(std::isinf(top(0, 0, 0)));
}

TEST_F(RenderTest, EveryMatrixOpButModeSelectionAsksForARecompute) {
  for (int mode : {GL_MODELVIEW, GL_PROJECTION, GL_TEXTURE}) {
    glMatrixMode(mode);
    c->mvp_dirty = 0;
    glMatrixMode(mode);
    EXPECT_EQ(c->mvp_dirty, 0);
    glScalef(1, 1, 1);
    EXPECT_EQ(c->mvp_dirty, 1) << mode;
    c->mvp_dirty = 0;
    glPushMatrix();
    EXPECT_EQ(c->mvp_dirty, 1);
    c->mvp_dirty = 0;
    glPopMatrix();
    EXPECT_EQ(c->mvp_dirty, 1);
  }
}

TEST_F(RenderTest, BeginDerivesTheCombinedMatrix) {
  glMatrixMode(GL_PROJECTION);
  glFrustum(-1, 1, -1, 1, 1, 3);
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(0, 0, -2);
  glBegin(GL_TRIANGLES);
  glEnd();
  // P x M: column 3 is P x (0, 0, -2, 1) = (0, 0, 4 - 3, 2).
  expectMatrix(c->mvp_matrix, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -2, 1, 0, 0, -1, 2});
  EXPECT_EQ(c->mvp_affine_w, 0);
  EXPECT_EQ(c->texture_matrix_on, 0);
  EXPECT_EQ(c->mvp_dirty, 0);

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glBegin(GL_TRIANGLES);
  glEnd();
  EXPECT_EQ(c->mvp_affine_w, 1);  // row 3 is (0, 0, 0, 1)
}

TEST_F(RenderTest, BeginWithoutAChangeKeepsTheDerivedMatrices) {
  glBegin(GL_POINTS);
  glEnd();
  c->mvp_matrix.m[0] = 7;  // a recompute would overwrite this
  glBegin(GL_POINTS);
  glEnd();
  EXPECT_EQ(c->mvp_matrix.m[0], 7.0f);
}

TEST_F(RenderTest, ATextureOpKeepsAPendingRecomputeAndIsSeenAtBegin) {
  glTranslatef(0, 0, 5);  // pending
  glMatrixMode(GL_TEXTURE);
  glScalef(2, 2, 1);
  glMatrixMode(GL_MODELVIEW);
  glBegin(GL_TRIANGLES);
  glEnd();
  EXPECT_EQ(c->mvp_matrix.m[11], 5.0f);
  EXPECT_EQ(c->texture_matrix_on, 1);

  glMatrixMode(GL_TEXTURE);  // only the texture matrix changes now
  glLoadIdentity();
  glBegin(GL_TRIANGLES);
  glEnd();
  EXPECT_EQ(c->texture_matrix_on, 0);
}

TEST_F(RenderTest, TheTextureMatrixCountsAsIdentityOnlyWhenExact) {
  glMatrixMode(GL_TEXTURE);
  glScalef(std::nextafter(1.0f, 2.0f), 1, 1);
  glBegin(GL_POINTS);
  glEnd();
  EXPECT_EQ(c->texture_matrix_on, 1);
}

TEST_F(RenderTest, WithLightingBeginDerivesTheNormalMatrixOnly) {
  glBegin(GL_POINTS);  // mvp = identity
  glEnd();
  glEnable(GL_LIGHTING);
  glTranslatef(1, 2, 3);
  glBegin(GL_POINTS);
  glEnd();
  // The inverse is the translation by (-1, -2, -3); transposed, it sits in row 3.
  expectMatrix(c->normal_matrix, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -1, -2, -3, 1});
  expectMatrix(c->mvp_matrix, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});

  // Switching lighting off asks for the combined matrix the lit recompute left behind.
  glDisable(GL_LIGHTING);
  EXPECT_EQ(c->mvp_dirty, 1);
  glBegin(GL_POINTS);
  glEnd();
  EXPECT_EQ(c->mvp_matrix.m[3], 1.0f);
  EXPECT_EQ(c->mvp_matrix.m[11], 3.0f);
}

}  // namespace
