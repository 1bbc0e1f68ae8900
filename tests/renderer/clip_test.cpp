// Clipping and set-up: the viewport's screen transform, the drawer choice at glBegin, facing
// and culling, the recursive triangle clipper (new vertices, edge flags, colours, texture
// coordinates) and the line clipper. Triangles reach recorders in place of the drawers; with
// identity matrices clip coordinates are the object coordinates (w = 1).
#include "renderer/clip.h"

#include <gtest/gtest.h>

#include <limits>

#include "renderer/triangle_draw.h"
#include "tests/renderer/pipeline_support.h"

namespace {

constexpr int kNear = 65280 << 14;    // the clamped depth of the near plane
constexpr int kMidDepth = 536879104;  // z/w = 0

class Clip : public PipelineTestAt<640, 480> {
 protected:
  void vertex(float x, float y, float z) { glVertex3f(x, y, z); }
  const GLVertex& drawn(size_t call, int i) const { return log.calls.at(call).vertices.at(i); }
};

TEST_F(Clip, TheVolumesEdgesLandOnTheViewportsOuterPixels) {
  // 640 x 480 at (0, 0): x = w -> trunc(639.5), x = -w -> 0, y = w -> row 0, y = -w -> 479.
  glBegin(GL_POLYGON);
  vertex(1, 1, 0);
  vertex(-1, -1, 0);
  vertex(0, 0, 0);
  EXPECT_EQ(c->vertices[0].screen.x, 639);
  EXPECT_EQ(c->vertices[0].screen.y, 0);
  EXPECT_EQ(c->vertices[1].screen.x, 0);
  EXPECT_EQ(c->vertices[1].screen.y, 479);
  EXPECT_EQ(c->vertices[2].screen.x, 319);  // 319.75
  EXPECT_EQ(c->vertices[2].screen.y, 239);
  EXPECT_EQ(c->vertices[2].screen.z, kMidDepth);
  glEnd();
}

TEST_F(Clip, DrawerChoiceFollowsPolygonModesAndRenderMode) {
  glBegin(GL_TRIANGLES);
  EXPECT_EQ(c->draw_front, drawTriangleFill);
  EXPECT_EQ(c->draw_back, drawTriangleFill);
  glEnd();
  glPolygonMode(GL_FRONT, GL_LINE);
  glPolygonMode(GL_BACK, GL_POINT);
  glBegin(GL_TRIANGLES);
  EXPECT_NE(c->draw_front, drawTriangleFill);
  EXPECT_NE(c->draw_back, drawTriangleFill);
  glEnd();
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  c->render_mode = GL_SELECT;
  glBegin(GL_TRIANGLES);
  EXPECT_NE(c->draw_front, drawTriangleFill);
  EXPECT_NE(c->draw_back, drawTriangleFill);
  glEnd();
}

class Facing : public Clip {
 protected:
  // Counter-clockwise as seen on the screen; with y growing downward its signed area is
  // negative: (-0.5, -0.5) -> (159, 359), (0.5, -0.5) -> (479, 359), (0, 0.5) -> (319, 119):
  // area = 320 x -240 - 160 x 0 < 0.
  void counterClockwise() {
    vertex(-0.5f, -0.5f, 0);
    vertex(0.5f, -0.5f, 0);
    vertex(0, 0.5f, 0);
  }
  void clockwise() {
    vertex(-0.5f, -0.5f, 0);
    vertex(0, 0.5f, 0);
    vertex(0.5f, -0.5f, 0);
  }
  // Kinds of drawer reached by a counter-clockwise then a clockwise triangle.
  std::string bothWindings() {
    log.calls.clear();
    beginRecorded(GL_TRIANGLES);
    counterClockwise();
    clockwise();
    glEnd();
    return callKinds(log);
  }
};

TEST_F(Facing, WindingAndFrontFace) {
  EXPECT_EQ(bothWindings(), "FB");
  glFrontFace(GL_CW);
  EXPECT_EQ(bothWindings(), "BF");
}

TEST_F(Facing, CullingEachFace) {
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  EXPECT_EQ(bothWindings(), "F");
  glCullFace(GL_FRONT);
  EXPECT_EQ(bothWindings(), "B");
  glCullFace(GL_FRONT_AND_BACK);
  EXPECT_EQ(bothWindings(), "");
  glFrontFace(GL_CW);
  glCullFace(GL_BACK);
  EXPECT_EQ(bothWindings(), "F");  // now the clockwise one is the front
  EXPECT_EQ(drawn(0, 1).coord.y, 0.5f);
}

TEST_F(Facing, VerticesKeepTheirOrderAndZeroAreaDrawsNothing) {
  beginRecorded(GL_TRIANGLES);
  clockwise();
  vertex(-0.5f, 0, 0);  // three points on one row
  vertex(0, 0, 0);
  vertex(0.5f, 0, 0);
  glEnd();
  ASSERT_EQ(log.calls.size(), 1u);
  EXPECT_EQ(drawn(0, 0).screen.x, 159);
  EXPECT_EQ(drawn(0, 1).screen.x, 319);
  EXPECT_EQ(drawn(0, 2).screen.x, 479);
}

class TriangleClip : public Clip {
 protected:
  // p0 (0, 0.5, -3) lies beyond the near plane (code 16); p1 (-0.5, -0.5, 0) and
  // p2 (0.5, -0.5, 0) are inside. Edge p0-p1: d = (-0.5, -1, 3, 0), t = (3 - 1) / 3 = 2/3,
  // A = (-1/3, -1/6, -1, 1); edge p0-p2 likewise: B = (1/3, -1/6, -1, 1).
  // Triangles (A, p1, p2) and (B, A, p2).
  void nearPlaneCut(float r0, float g1, float b2) {
    beginRecorded(GL_TRIANGLES);
    glColor3f(r0, 0, 0);
    glTexCoord2f(0, 0);
    vertex(0, 0.5f, -3);
    glColor3f(0, g1, 0);
    glTexCoord2f(1, 0);
    vertex(-0.5f, -0.5f, 0);
    glColor3f(0, 0, b2);
    glTexCoord2f(0, 1);
    vertex(0.5f, -0.5f, 0);
    glEnd();
  }
};

TEST_F(TriangleClip, OneVertexBehindTheNearPlaneMakesTwoTriangles) {
  nearPlaneCut(1, 1, 1);
  ASSERT_EQ(log.calls.size(), 2u);
  const GLVertex& a = drawn(0, 0);
  EXPECT_FLOAT_EQ(a.clip_coord.x, -1.0f / 3);
  EXPECT_FLOAT_EQ(a.clip_coord.y, -1.0f / 6);
  EXPECT_EQ(a.clip_coord.z, -1.0f);  // exactly on the plane
  EXPECT_EQ(a.clip_coord.w, 1.0f);
  EXPECT_EQ(a.clip_code, 0);
  EXPECT_EQ(drawn(0, 1).coord.x, -0.5f);  // p1
  EXPECT_EQ(drawn(0, 2).coord.x, 0.5f);   // p2
  const GLVertex& b = drawn(1, 0);
  EXPECT_FLOAT_EQ(b.clip_coord.x, 1.0f / 3);
  EXPECT_FLOAT_EQ(b.clip_coord.y, -1.0f / 6);
  EXPECT_EQ(b.clip_coord.z, -1.0f);
  EXPECT_FLOAT_EQ(drawn(1, 1).clip_coord.x, -1.0f / 3);  // A again
  EXPECT_EQ(drawn(1, 2).coord.x, 0.5f);
  // The internal diagonal A-p2 is no edge: p2's flag in the first, A's in the second. The cut
  // along the plane (B-A) and the pieces of the original edges keep flag 1.
  EXPECT_EQ(edgeFlags(log), "110 101");
  // Screen: A (319.75 x 2/3, 239.75 x 7/6) = (213.17, 279.7); B (426.3, 279.7); p1 (159.9,
  // 359.6); p2 (479.6, 359.6). The cut lies on the near plane, clamped below the wrap.
  EXPECT_EQ(a.screen.x, 213);
  EXPECT_EQ(a.screen.y, 279);
  EXPECT_EQ(a.screen.z, kNear);
  EXPECT_EQ(b.screen.x, 426);
  EXPECT_EQ(b.screen.y, 279);
  EXPECT_EQ(drawn(0, 1).screen.x, 159);
  EXPECT_EQ(drawn(0, 1).screen.y, 359);
  EXPECT_EQ(drawn(0, 1).screen.z, kMidDepth);
}

TEST_F(TriangleClip, SmoothColoursAreInterpolatedAlongTheCutEdges) {
  // A = red + 2/3 (green - red) = (1/3, 2/3, 0); B = (1/3, 0, 2/3).
  // Red 1/3 x 63488 + 1024 = 22186.7; green 2/3 x 64512 + 512 = 43520; blue 2/3 x 63488 +
  // 1024 = 43349.3.
  nearPlaneCut(1, 1, 1);
  const GLVertex& a = drawn(0, 0);
  const GLVertex& b = drawn(1, 0);
  EXPECT_EQ(a.screen.r, 22186);
  EXPECT_EQ(a.screen.g, 43520);
  EXPECT_EQ(a.screen.b, 1024);
  EXPECT_EQ(b.screen.r, 22186);
  EXPECT_EQ(b.screen.g, 512);
  EXPECT_EQ(b.screen.b, 43349);
  // The vertices given keep the integers glColor packed: p1 is pure green.
  EXPECT_EQ(drawn(0, 1).screen.r, 1024);
  EXPECT_EQ(drawn(0, 1).screen.g, 65024);
}

TEST_F(TriangleClip, FlatColoursAreCopiedFromTheOutsideVertex) {
  glShadeModel(GL_FLAT);
  nearPlaneCut(1, 1, 1);
  for (size_t call : {0u, 1u}) {
    EXPECT_EQ(drawn(call, 0).screen.r, 64512);  // p0's red: 63488 + 1024
    EXPECT_EQ(drawn(call, 0).screen.g, 512);
    EXPECT_EQ(drawn(call, 0).screen.b, 1024);
  }
}

TEST_F(TriangleClip, TextureCoordinatesAreInterpolatedWhileTexturing) {
  // A's s = 2/3: 2/3 x 4177920 + 8192 = 2793472; t = 0 -> 2097152. B's t = 2/3:
  // 2/3 x 1069547520 + 2097152 = 715128832.
  glEnable(GL_TEXTURE_2D);
  nearPlaneCut(1, 1, 1);
  EXPECT_FLOAT_EQ(drawn(0, 0).tex_coord.x, 2.0f / 3);
  EXPECT_EQ(drawn(0, 0).screen.s, 2793472);
  EXPECT_EQ(drawn(0, 0).screen.t, 2097152);
  EXPECT_EQ(drawn(1, 0).screen.s, 8192);
  EXPECT_EQ(drawn(1, 0).screen.t, 715128832);
}

TEST_F(TriangleClip, TwoVerticesBeyondOnePlaneLeaveOneTriangle) {
  // p0 (0, 0, 0) inside; p1 (2, 0.5, 0) and p2 (2, -0.5, 0) beyond x = w. From p0:
  // t = (0 - 1) / (-2) = 1/2, A = (1, 0.25), B = (1, -0.25). Triangle (p0, A, B) with flags
  // p0's, 1 (the cut), p2's.
  beginRecorded(GL_TRIANGLES);
  vertex(0, 0, 0);
  vertex(2, 0.5f, 0);
  glEdgeFlag(0);
  vertex(2, -0.5f, 0);
  glEnd();
  ASSERT_EQ(log.calls.size(), 1u);
  EXPECT_EQ(drawn(0, 0).coord.x, 0.0f);
  EXPECT_EQ(drawn(0, 1).clip_coord.x, 1.0f);
  EXPECT_EQ(drawn(0, 1).clip_coord.y, 0.25f);
  EXPECT_EQ(drawn(0, 2).clip_coord.x, 1.0f);
  EXPECT_EQ(drawn(0, 2).clip_coord.y, -0.25f);
  EXPECT_EQ(edgeFlags(log), "110");
  EXPECT_EQ(drawn(0, 1).screen.x, 639);
}

TEST_F(TriangleClip, OutsideTheSamePlaneOrEveryPlaneInTurnDrawsNothing) {
  beginRecorded(GL_TRIANGLES);
  vertex(2, 0, 0);  // all three beyond x = w
  vertex(3, 1, 0);
  vertex(2, -1, 0);
  // Beyond y = w, beyond x = w and beyond both: no bit is shared, but the triangle lies past
  // the corner (1, 1). Cut at x = w from (0.5, 3) it leaves (0.5, 3), (1, 2.5), (1, 3), all
  // beyond y = w.
  vertex(0.5f, 3, 0);
  vertex(3, 0.5f, 0);
  vertex(3, 3, 0);
  glEnd();
  EXPECT_TRUE(log.calls.empty());
}

TEST_F(TriangleClip, ATriangleAcrossTheWholeVolumeKeepsItsWinding) {
  // A large counter-clockwise triangle cut by four planes: every piece is front-facing.
  beginRecorded(GL_TRIANGLES);
  vertex(-3, -3, 0);
  vertex(3, -3, 0);
  vertex(0, 3, 0);
  glEnd();
  EXPECT_FALSE(log.calls.empty());
  EXPECT_EQ(callKinds(log), std::string(log.calls.size(), 'F'));
}

class LineClip : public Clip {
 protected:
  GLVertex at(float x, float y, float z, float red, float green) {
    GLVertex v{};
    v.clip_coord = {x, y, z, 1};
    v.clip_code = clipCode(v.clip_coord);
    v.color = {red, green, 0, 1};
    return v;
  }
  GLVertex q1{}, q2{};
};

TEST_F(LineClip, InsideToBeyondXIsCutAtThePlaneWithInterpolatedColour) {
  glBegin(GL_LINES);  // sets up the screen transform
  // (0, 0) red to (2, 0) green: t = 0 .. (0 - 1) / (-2) = 1/2.
  ASSERT_TRUE(clipLineEnds(c, at(0, 0, 0, 1, 0), at(2, 0, 0, 0, 1), &q1, &q2));
  EXPECT_EQ(q1.clip_coord.x, 0.0f);
  EXPECT_EQ(q2.clip_coord.x, 1.0f);
  EXPECT_EQ(q1.screen.x, 319);
  EXPECT_EQ(q2.screen.x, 639);
  EXPECT_EQ(q1.screen.r, 64512);
  EXPECT_EQ(q2.screen.r, 32768);  // 0.5 x 63488 + 1024
  EXPECT_EQ(q2.screen.g, 32768);  // 0.5 x 64512 + 512
  glEnd();
}

TEST_F(LineClip, BothEndsOutsideOnOppositeSides) {
  glBegin(GL_LINES);
  // x from -2 to 2: t from (2 - 1) / 4 = 1/4 to 3/4.
  ASSERT_TRUE(clipLineEnds(c, at(-2, 0.5f, 0, 0, 0), at(2, 0.5f, 0, 1, 0), &q1, &q2));
  EXPECT_EQ(q1.clip_coord.x, -1.0f);
  EXPECT_EQ(q2.clip_coord.x, 1.0f);
  EXPECT_EQ(q1.color.x, 0.25f);
  EXPECT_EQ(q2.color.x, 0.75f);
  EXPECT_EQ(q1.screen.x, 0);
  EXPECT_EQ(q2.screen.x, 639);
  EXPECT_EQ(q1.screen.y, 119);  // -239.75 x 0.5 + 239.75
  glEnd();
}

TEST_F(LineClip, LinesThatMissTheVolumeAreRejected) {
  glBegin(GL_LINES);
  EXPECT_FALSE(clipLineEnds(c, at(2, 0, 0, 0, 0), at(3, 0, 0, 0, 0), &q1, &q2));  // same side
  EXPECT_FALSE(clipLineEnds(c, at(0, 2, 0, 0, 0), at(1, 2, 0, 0, 0), &q1, &q2));  // parallel
  // Past the corner: beyond x = w before it is below y = w.
  EXPECT_FALSE(clipLineEnds(c, at(3, 0, 0, 0, 0), at(0, 3, 0, 0, 0), &q1, &q2));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(clipLineEnds(c, at(0, 0, 0, 0, 0), at(nan, 0, 0, 0, 0), &q1, &q2));
  glEnd();
}

}  // namespace
