// Selection mode: glRenderMode's results across passes, hit records word by word (names, depth
// widening, unsigned comparisons), buffer overflow that never writes past the given size, the
// name-stack ops in both render modes and their failed assertions.
#include "renderer/select.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/renderer/render_support.h"

namespace {

constexpr unsigned kUnwritten = 0xA5A5A5A5u;

class SelectTest : public RenderTest {
 protected:
  // A select buffer of `size` words inside a larger array whose other words must stay untouched.
  void selectInto(int size, int slack = 4) {
    words.assign(size + slack, kUnwritten);
    glSelectBuffer(size, words.data());
    EXPECT_EQ(glRenderMode(GL_SELECT), 0);  // leaving GL_RENDER
  }

  std::vector<unsigned> head(int n) const { return {words.begin(), words.begin() + n}; }

  static GLVertex atDepth(int z) {
    GLVertex v{};
    v.screen.z = z;
    return v;
  }

  void triangle(int za, int zb, int zc) {
    GLVertex a = atDepth(za), b = atDepth(zb), d = atDepth(zc);
    drawTriangleSelect(c, &a, &b, &d);
  }

  std::vector<unsigned> words;
};

using SelectDeathTest = SelectTest;

TEST_F(SelectTest, SecondSelectReturnsTheFirstPassAndStartsAnother) {
  selectInto(16);
  glPushName(7);
  addSelectHit(c, 5, 9);
  addSelectHit(c, 6, 8);  // inside the record's range: nothing changes
  glLoadName(8);
  addSelectHit(c, 1, 2);
  EXPECT_EQ(glRenderMode(GL_SELECT), 2);
  EXPECT_EQ(head(9), (std::vector<unsigned>{1, 5, 9, 7, 1, 1, 2, 8, kUnwritten}));

  // The new pass starts at word 0 with an empty name stack.
  addSelectHit(c, 3, 4);
  EXPECT_EQ(glRenderMode(GL_RENDER), 1);
  EXPECT_EQ(head(4), (std::vector<unsigned>{0, 3, 4, 7}));
  EXPECT_EQ(c->render_mode, GL_RENDER);
  EXPECT_EQ(glRenderMode(GL_RENDER), 0);
}

TEST_F(SelectTest, ARecordThatDoesNotFitSetsOverflowAndWritesNothing) {
  selectInto(4);
  glPushName(1);
  glPushName(2);
  addSelectHit(c, 10, 20);  // needs 5 words
  EXPECT_EQ(words, std::vector<unsigned>(8, kUnwritten));
  EXPECT_EQ(glRenderMode(GL_RENDER), 0);  // -0 hits
}

TEST_F(SelectTest, OverflowStopsRecordingUntilTheNextRenderMode) {
  selectInto(8);
  glPushName(1);
  glPushName(2);
  addSelectHit(c, 10, 20);
  glLoadName(3);
  addSelectHit(c, 11, 21);  // 5 + 5 words exceed 8
  glInitNames();
  addSelectHit(c, 12, 22);  // 3 words would fit, but recording has stopped
  EXPECT_EQ(glRenderMode(GL_SELECT), -1);
  EXPECT_EQ(words, (std::vector<unsigned>{2, 10, 20, 1, 2, kUnwritten, kUnwritten, kUnwritten,
                                          kUnwritten, kUnwritten, kUnwritten, kUnwritten}));

  // The next pass records again from word 0; a record filling the buffer exactly fits.
  glPushName(4);
  glPushName(5);
  glPushName(6);
  glPushName(7);
  glPushName(8);
  addSelectHit(c, 13, 23);
  EXPECT_EQ(glRenderMode(GL_RENDER), 1);
  EXPECT_EQ(head(9), (std::vector<unsigned>{5, 13, 23, 4, 5, 6, 7, 8, kUnwritten}));
}

TEST_F(SelectTest, ANegativeSizeOverflowsAtTheFirstHit) {
  selectInto(-3);
  addSelectHit(c, 1, 1);
  EXPECT_EQ(glRenderMode(GL_RENDER), 0);
  EXPECT_EQ(words, (std::vector<unsigned>{kUnwritten}));
}

TEST_F(SelectTest, TrianglesBetweenNameChangesWidenOneComplementedRecord) {
  selectInto(8);
  triangle(100, 300, 200);  // first 0xFFFFFFFF - 100, second 0xFFFFFFFF - 300
  triangle(80, 50, 120);    // first 0xFFFFFFFF - 50, second 0xFFFFFFFF - 120
  triangle(260, 250, 400);  // first 0xFFFFFFFF - 250, second 0xFFFFFFFF - 400
  EXPECT_EQ(glRenderMode(GL_RENDER), 1);
  EXPECT_EQ(head(4), (std::vector<unsigned>{0, 0xFFFFFF05u, 0xFFFFFF87u, kUnwritten}));
}

TEST_F(SelectTest, DepthsAreComparedUnsigned) {
  selectInto(16);
  triangle(5, -1, 7);  // -1 is the largest depth: second = 0
  glInitNames();
  GLVertex p = atDepth(1000);
  selectPointHit(c, &p);  // raw: 1000, 1000
  GLVertex a = atDepth(300), b = atDepth(100);
  selectLineHit(c, &a, &b);  // 0xFFFFFF9B, 0xFFFFFED3: word 1 keeps 1000, word 2 grows
  EXPECT_EQ(glRenderMode(GL_RENDER), 2);
  EXPECT_EQ(head(7), (std::vector<unsigned>{0, 0xFFFFFFFAu, 0, 0, 1000, 0xFFFFFED3u, kUnwritten}));
}

TEST_F(SelectTest, EveryNameOpStartsANewRecordWithTheStackBottomFirst) {
  selectInto(32);
  glPushName(1);
  addSelectHit(c, 4, 4);
  glPushName(2);
  addSelectHit(c, 5, 5);
  glPopName();
  addSelectHit(c, 6, 6);
  glInitNames();
  addSelectHit(c, 7, 7);
  EXPECT_EQ(glRenderMode(GL_RENDER), 4);
  EXPECT_EQ(head(17),
            (std::vector<unsigned>{1, 4, 4, 1, 2, 5, 5, 1, 2, 1, 6, 6, 1, 0, 7, 7, kUnwritten}));
}

TEST_F(SelectTest, NameOpsReplayFromADisplayList) {
  glNewList(3, GL_COMPILE);
  glPushName(9);
  glLoadName(11);
  glEndList();
  selectInto(8);
  glPushName(4);
  glCallList(3);
  addSelectHit(c, 2, 3);
  EXPECT_EQ(glRenderMode(GL_RENDER), 1);
  EXPECT_EQ(head(6), (std::vector<unsigned>{2, 2, 3, 4, 11, kUnwritten}));
}

TEST_F(SelectTest, NameOpsAndHitsDoNothingWhileRendering) {
  unsigned buffer[4] = {kUnwritten, kUnwritten, kUnwritten, kUnwritten};
  glSelectBuffer(4, buffer);
  glPopName();  // an empty stack is no error here
  glLoadName(3);
  glPushName(5);
  EXPECT_EQ(c->name_stack_size, 0);
  addSelectHit(c, 1, 2);
  EXPECT_EQ(buffer[0], kUnwritten);
  EXPECT_EQ(glRenderMode(GL_RENDER), 0);
}

TEST_F(SelectDeathTest, EmptyOrFullNameStacksFailInSelectMode) {
  selectInto(8);
  EXPECT_EXIT(glPopName(), assertionExit(), AssertionReport("c->name_stack_size>0", "select"));
  EXPECT_EXIT(glLoadName(1), assertionExit(), AssertionReport("c->name_stack_size>0", "select"));
  for (unsigned k = 0; k < 64; ++k) glPushName(k);
  EXPECT_EXIT(glPushName(64), assertionExit(),
              AssertionReport("c->name_stack_size<MAX_NAME_STACK_DEPTH", "select"));
}

TEST_F(SelectDeathTest, RenderModeAndSelectBufferCheckTheirState) {
  EXPECT_EXIT(glRenderMode(GL_SELECT), assertionExit(),
              AssertionReport("c->select_buffer != NULL", "select"));
  EXPECT_EXIT(glRenderMode(0x1C01), assertionExit(), AssertionReport("0", "select"));
  unsigned buffer[4];
  glSelectBuffer(4, buffer);
  glRenderMode(GL_SELECT);
  EXPECT_EXIT(glSelectBuffer(4, buffer), assertionExit(),
              AssertionReport("c->render_mode != GL_SELECT", "select"));
  c->render_mode = 0x1C01;  // a mode no call can enter
  EXPECT_EXIT(glRenderMode(GL_RENDER), assertionExit(), AssertionReport("0", "select"));
}

}  // namespace

namespace {

// Through the whole pipeline: at glBegin in GL_SELECT both faces go to the selection drawer. A
// triangle at z = 0 under identity matrices has screen depth 0 x -536870912 + 536879104 =
// 0x20002000, recorded complemented: 0xFFFFFFFF - 0x20002000 = 0xDFFFDFFF.
TEST_F(SelectTest, ATriangleDrawnInSelectModeIsAHitWithItsComplementedDepth) {
  selectInto(8);
  glPushName(1);
  glBegin(GL_TRIANGLES);
  glVertex3f(-0.5f, -0.5f, 0.0f);
  glVertex3f(0.5f, -0.5f, 0.0f);
  glVertex3f(0.0f, 0.5f, 0.0f);
  glEnd();
  EXPECT_EQ(glRenderMode(GL_RENDER), 1);
  EXPECT_EQ(head(5), (std::vector<unsigned>{1, 0xDFFFDFFFu, 0xDFFFDFFFu, 1, kUnwritten}));
}

}  // namespace
