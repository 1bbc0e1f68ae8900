// Primitive assembly: which points, lines and triangles each primitive mode hands on, in which
// vertex order and with which edge flags, and how the vertex array grows. Vertices are named by
// their object x (1 = a, 2 = b, ...) and recorded instead of being clipped and drawn.
#include <gtest/gtest.h>

#include "tests/renderer/pipeline_support.h"
#include "tests/renderer/render_support.h"

namespace {

using testing::ExitedWithCode;

class Assembly : public PipelineTestAt<32, 24> {
 protected:
  // glBegin(mode), vertices a, b, ... (count of them), glEnd, all through the recorders.
  std::string assemble(int mode, int count) {
    glBegin(mode);
    for (int i = 1; i <= count; ++i) vertex(i);
    finishPrimitive(c, kRecordingDrawers);
    return vertexNames(log);
  }
  void vertex(int name) { processVertex(c, {float(name), 0, 0, 1}, kRecordingDrawers); }
};

TEST_F(Assembly, TrianglesDropAnIncompleteGroup) {
  EXPECT_EQ(assemble(GL_TRIANGLES, 7), "abc def");
  EXPECT_EQ(callKinds(log), "tt");
  EXPECT_EQ(c->pending, 1);  // the seventh, dropped at glEnd
  EXPECT_EQ(c->in_begin, 0);
}

TEST_F(Assembly, TriangleStripKeepsTheOrientationOfTheFirst) {
  // a b c, then d replaces a in the ring and is handed on reversed, then e replaces b.
  EXPECT_EQ(assemble(GL_TRIANGLE_STRIP, 5), "abc cbd dec");
  EXPECT_EQ(c->vertex_total, 5);
}

TEST_F(Assembly, TriangleFanTurnsAroundTheFirstVertex) {
  EXPECT_EQ(assemble(GL_TRIANGLE_FAN, 5), "abc acd ade");
}

TEST_F(Assembly, QuadsHideTheirDiagonal) {
  // Per quad (V0, V1, V2) with V2's flag cleared, then (V0, V2, V3) with V0's cleared and V2's
  // set: the diagonal V0-V2 is no edge of either triangle. The 9th to 11th vertices are dropped.
  EXPECT_EQ(assemble(GL_QUADS, 11), "abc acd efg egh");
  EXPECT_EQ(edgeFlags(log), "110 011 110 011");
}

TEST_F(Assembly, QuadStripKeepsTheLastPair) {
  // (V0, V1, V2) and (V1, V3, V2) per quad, then c and d become V0 and V1.
  EXPECT_EQ(assemble(GL_QUAD_STRIP, 7), "abc bdc cde dfe");
}

TEST_F(Assembly, PolygonIsFannedFromTheFirstVertexAtGlEnd) {
  glBegin(GL_POLYGON);
  for (int i = 1; i <= 5; ++i) vertex(i);
  EXPECT_TRUE(log.calls.empty());  // held until glEnd
  finishPrimitive(c, kRecordingDrawers);
  EXPECT_EQ(vertexNames(log), "ead dac cab");
}

TEST_F(Assembly, PointsAndLines) {
  EXPECT_EQ(assemble(GL_POINTS, 3), "a b c");
  EXPECT_EQ(callKinds(log), "ppp");
  log.calls.clear();
  EXPECT_EQ(assemble(GL_LINES, 5), "ab cd");
  log.calls.clear();
  EXPECT_EQ(assemble(GL_LINE_STRIP, 4), "ab bc cd");
  EXPECT_EQ(callKinds(log), "lll");
}

TEST_F(Assembly, LineLoopClosesFromTheLastVertexToTheFirst) {
  EXPECT_EQ(assemble(GL_LINE_LOOP, 3), "ab bc ca");
  log.calls.clear();
  EXPECT_EQ(assemble(GL_LINE_LOOP, 4), "ab bc cd da");
  log.calls.clear();
  EXPECT_EQ(assemble(GL_LINE_LOOP, 2), "ab");  // two vertices: nothing to close
}

TEST_F(Assembly, FewerVerticesThanOnePrimitiveDrawNothing) {
  const int modes[] = {GL_LINES,     GL_LINE_STRIP,     GL_LINE_LOOP,
                       GL_TRIANGLES, GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN,
                       GL_QUADS,     GL_QUAD_STRIP,     GL_POLYGON};
  for (int mode : modes) {
    EXPECT_EQ(assemble(mode, 1), "") << mode;
  }
  for (int mode : {GL_TRIANGLES, GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN, GL_QUADS, GL_POLYGON}) {
    EXPECT_EQ(assemble(mode, 2), "") << mode;
  }
}

TEST_F(Assembly, PolygonOf40VerticesGrowsTheArrayBy16To32To64) {
  glBegin(GL_POLYGON);
  for (int i = 1; i <= 16; ++i) vertex(i);
  EXPECT_EQ(c->vertex_capacity, 16);
  vertex(17);
  EXPECT_EQ(c->vertex_capacity, 32);
  for (int i = 18; i <= 32; ++i) vertex(i);
  EXPECT_EQ(c->vertex_capacity, 32);
  vertex(33);
  EXPECT_EQ(c->vertex_capacity, 64);
  for (int i = 34; i <= 40; ++i) vertex(i);
  finishPrimitive(c, kRecordingDrawers);
  // 38 triangles (V[i], V0, V[i-1]) for i = 39 down to 2: every vertex survived both moves.
  ASSERT_EQ(log.calls.size(), 38u);
  for (int k = 0; k < 38; ++k) {
    const std::vector<GLVertex>& t = log.calls[k].vertices;
    EXPECT_EQ(t[0].coord.x, float(40 - k));
    EXPECT_EQ(t[1].coord.x, 1.0f);
    EXPECT_EQ(t[2].coord.x, float(39 - k));
  }
  EXPECT_EQ(c->vertex_capacity, 64);  // the array keeps its size for the next primitives
}

using AssemblyDeathTest = Assembly;

TEST_F(AssemblyDeathTest, UnknownModeIsReportedAtTheFirstVertex) {
  glBegin(10);  // accepted here
  EXPECT_EXIT(glVertex3f(0, 0, 0), ExitedWithCode(1),
              testing::Eq("Rasterkit: fatal error: glBegin: type a not handled\n\n"));
  glEnd();  // no vertex: nothing reported
  glBegin(-1);
  EXPECT_EXIT(glVertex3f(0, 0, 0), ExitedWithCode(1),
              testing::Eq("Rasterkit: fatal error: glBegin: type ffffffff not handled\n\n"));
  glEnd();
}

TEST_F(AssemblyDeathTest, AVertexArrayThatCannotDoubleIsFatal) {
  // A capacity whose double no int holds stands for an allocation that fails.
  EXPECT_EXIT(
      {
        glBegin(GL_POLYGON);
        c->vertex_capacity = 1 << 30;
        c->pending = 1 << 30;
        glVertex3f(0, 0, 0);
      },
      ExitedWithCode(1),
      testing::Eq("Rasterkit: fatal error: unable to allocate GLVertex array.\n\n"));
}

}  // namespace
