// Vertex arrays: client-state bits, element addressing with the stride in floats, the defaults
// for short elements, the colour and vertex ops issued directly (not traced), the order of the
// attributes within one element, and glArrayElement replayed from a display list.
#include <gtest/gtest.h>

#include <string>

#include "tests/renderer/render_support.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

using ArrayTest = RenderTest;
using ArrayDeathTest = RenderDeathTest;

// Floats 0, 1, 2, ... 15, so that a value names its own index.
struct Counting {
  float v[16];
  Counting() {
    for (int k = 0; k < 16; ++k) v[k] = float(k);
  }
};

void expectVec(const Vec4& v, float x, float y, float z, float w) {
  EXPECT_EQ(v.x, x);
  EXPECT_EQ(v.y, y);
  EXPECT_EQ(v.z, z);
  EXPECT_EQ(v.w, w);
}

TEST_F(ArrayTest, ClientStateSetsAndClearsOneBitPerArray) {
  glEnableClientState(GL_VERTEX_ARRAY);
  EXPECT_EQ(c->client_state_bits, 1);
  glEnableClientState(GL_NORMAL_ARRAY);
  EXPECT_EQ(c->client_state_bits, 5);
  glEnableClientState(GL_COLOR_ARRAY);
  EXPECT_EQ(c->client_state_bits, 7);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  EXPECT_EQ(c->client_state_bits, 15);
  glEnableClientState(GL_COLOR_ARRAY);
  EXPECT_EQ(c->client_state_bits, 15);
  glDisableClientState(GL_VERTEX_ARRAY);
  EXPECT_EQ(c->client_state_bits, 14);
  glDisableClientState(GL_NORMAL_ARRAY);
  EXPECT_EQ(c->client_state_bits, 10);
}

TEST_F(ArrayTest, StrideCountsFloatsBetweenElements) {
  const Counting data;
  glVertexPointer(3, GL_FLOAT, 1, data.v);
  glEnableClientState(GL_VERTEX_ARRAY);
  glBegin(GL_POLYGON);  // holds its vertices until glEnd
  glArrayElement(0);
  glArrayElement(1);
  glArrayElement(2);
  expectVec(c->vertices[0].coord, 0, 1, 2, 1);
  expectVec(c->vertices[1].coord, 4, 5, 6, 1);
  expectVec(c->vertices[2].coord, 8, 9, 10, 1);
  glEnd();
}

TEST_F(ArrayTest, ShortVertexElementsGetZeroZAndUnitW) {
  const Counting data;
  glVertexPointer(2, GL_FLOAT, 0, data.v);
  glEnableClientState(GL_VERTEX_ARRAY);
  glBegin(GL_POLYGON);
  glArrayElement(3);
  expectVec(c->vertices[0].coord, 6, 7, 0, 1);
  glEnd();

  glVertexPointer(4, GL_FLOAT, 2, data.v);
  glBegin(GL_POLYGON);
  glArrayElement(2);
  expectVec(c->vertices[0].coord, 12, 13, 14, 15);
  glEnd();
}

TEST_F(ArrayTest, ColourElementsUpdateTheColourAsGlColorDoes) {
  const float colours[8] = {9, 9, 9, 9, 0.5f, 0.25f, 1.0f, 9};
  glColorPointer(3, GL_FLOAT, 1, colours);
  glEnableClientState(GL_COLOR_ARRAY);
  glArrayElement(1);
  expectVec(c->current_color, 0.5f, 0.25f, 1.0f, 1.0f);
  EXPECT_EQ(c->current_color_fixed[0], 32768);  // 0.5 x 63488 + 1024
  EXPECT_EQ(c->current_color_fixed[1], 16640);  // 0.25 x 64512 + 512
  EXPECT_EQ(c->current_color_fixed[2], 64512);  // 1 x 63488 + 1024

  glColorPointer(4, GL_FLOAT, 0, colours);
  glArrayElement(1);
  expectVec(c->current_color, 0.5f, 0.25f, 1.0f, 9.0f);
}

TEST_F(ArrayTest, NormalAndTextureElementsSetTheCurrentAttributes) {
  const Counting data;
  glNormalPointer(GL_FLOAT, 2, data.v);       // elements at 0, 5, 10
  glTexCoordPointer(2, GL_FLOAT, 1, data.v);  // elements at 0, 3, 6
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glArrayElement(2);
  expectVec(c->current_normal, 10, 11, 12, 0);
  expectVec(c->current_tex_coord, 6, 7, 0, 1);

  glTexCoordPointer(3, GL_FLOAT, 0, data.v);
  glArrayElement(1);
  expectVec(c->current_tex_coord, 3, 4, 5, 1);
  glTexCoordPointer(4, GL_FLOAT, 0, data.v);
  glArrayElement(1);
  expectVec(c->current_tex_coord, 4, 5, 6, 7);
}

TEST_F(ArrayTest, DisabledArraysAreNotRead) {
  const Counting data;
  glColorPointer(3, GL_FLOAT, 0, data.v);
  glNormalPointer(GL_FLOAT, 0, data.v);
  glTexCoordPointer(2, GL_FLOAT, 0, data.v);
  glVertexPointer(3, GL_FLOAT, 0, data.v);
  glArrayElement(1);  // nothing enabled: no vertex op either, so no glBegin is needed
  expectVec(c->current_color, 1, 1, 1, 1);
  expectVec(c->current_normal, 1, 0, 0, 0);
  expectVec(c->current_tex_coord, 0, 0, 0, 1);
  EXPECT_EQ(c->in_begin, 0);
}

TEST_F(ArrayTest, TheElementsColourReachesItsOwnVertex) {
  const float positions[6] = {0.5f, -0.5f, 0, -0.25f, 0.25f, 0};
  const float colours[6] = {0, 0.5f, 0, 1, 0, 0};
  glVertexPointer(3, GL_FLOAT, 0, positions);
  glColorPointer(3, GL_FLOAT, 0, colours);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glBegin(GL_POLYGON);
  glArrayElement(1);
  glArrayElement(0);
  expectVec(c->vertices[0].color, 1, 0, 0, 1);
  EXPECT_EQ(c->vertices[0].screen.r, 64512);
  EXPECT_EQ(c->vertices[0].screen.g, 512);
  expectVec(c->vertices[1].color, 0, 0.5f, 0, 1);
  EXPECT_EQ(c->vertices[1].screen.r, 1024);
  EXPECT_EQ(c->vertices[1].screen.g, 32768);  // 0.5 x 64512 + 512
  glEnd();
}

TEST_F(ArrayTest, OnlyTheArrayElementOpIsTraced) {
  const Counting data;
  glVertexPointer(3, GL_FLOAT, 0, data.v);
  glColorPointer(3, GL_FLOAT, 0, data.v);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glBegin(GL_POLYGON);
  glTraceOps(1);
  CaptureStderr();
  glArrayElement(0);
  const std::string trace = GetCapturedStderr();
  glTraceOps(0);
  glEnd();
  EXPECT_EQ(trace, "glArrayElement \"0\"\n");
}

TEST_F(ArrayTest, AListHoldsTheElementOpAndReadsTheArraysWhenReplayed) {
  const Counting data;
  const float other[6] = {0.5f, 0.5f, 0.5f, 0.25f, 0.75f, 0.125f};
  const OpWord* w = compile(2, [&] {
    glColorPointer(3, GL_FLOAT, 0, data.v);
    glEnableClientState(GL_COLOR_ARRAY);
  });
  EXPECT_EQ(w[0].asInt(), kOpColorPointer);
  EXPECT_EQ(w[5].asInt(), kOpEnableClientState);
  w = compile(3, [] { glArrayElement(1); });
  EXPECT_EQ(w[0].asInt(), kOpArrayElement);
  EXPECT_EQ(w[1].asInt(), 1);
  EXPECT_EQ(w[2].asInt(), kOpEndList);  // the colour op was not compiled
  EXPECT_EQ(c->client_state_bits, 0);   // nothing was executed
  expectVec(c->current_color, 1, 1, 1, 1);

  glCallList(2);
  EXPECT_EQ(c->client_state_bits, 2);
  glCallList(3);
  expectVec(c->current_color, 3, 4, 5, 1);

  glColorPointer(3, GL_FLOAT, 0, other);  // the list keeps the index, not the values
  glCallList(3);
  expectVec(c->current_color, 0.25f, 0.75f, 0.125f, 1);
  EXPECT_EQ(c->current_color_fixed[1], 48896);  // 0.75 x 64512 + 512
}

TEST_F(ArrayDeathTest, UnknownArraysFailTheClientStateOps) {
  EXPECT_EXIT(glEnableClientState(GL_TEXTURE_2D), assertionExit(), AssertionReport("0", "arrays"));
  EXPECT_EXIT(glDisableClientState(GL_VERTEX_ARRAY + 3), assertionExit(),
              AssertionReport("0", "arrays"));
  const float v[4] = {};
  EXPECT_EXIT(glColorPointer(3, GL_RGBA, 0, v), assertionExit(),
              AssertionReport("type == GL_FLOAT", "arrays"));
  EXPECT_EXIT(glTexCoordPointer(2, GL_UNSIGNED_BYTE, 0, v), assertionExit(),
              AssertionReport("type == GL_FLOAT", "arrays"));
}

}  // namespace
