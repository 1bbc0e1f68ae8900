// Display lists: block layout and the op-42 link, replay across blocks and through nested
// calls, redefinition, name generation, the compile flags, and the failures.
#include <gtest/gtest.h>

#include "renderer/gl.h"
#include "renderer/ops.h"
#include "tests/renderer/render_support.h"

namespace {

using testing::Eq;
using testing::ExitedWithCode;

TEST_F(RenderTest, TwoHundredVerticesSpillIntoASecondBlockAfter102) {
  glNewList(1, GL_COMPILE);
  for (int k = 0; k < 200; ++k) glVertex3f(static_cast<float>(k), 0, 0);
  glEndList();
  const OpBlock* first = c->display_lists[1]->first_block;
  // 102 ops of 5 words fill words 0..509; the 103rd would pass 510.
  for (int k = 0; k < 102; ++k) {
    EXPECT_EQ(first->words[5 * k].asInt(), kOpVertex);
    EXPECT_EQ(first->words[5 * k + 1].asFloat(), static_cast<float>(k));
  }
  EXPECT_EQ(first->words[510].asInt(), kOpNextBuffer);
  ASSERT_NE(first->next, nullptr);
  EXPECT_EQ(first->words[511].asPointer(), first->next);
  // The other 98 follow from word 0 of the second block, then the end of the list at 490.
  const OpBlock* second = first->next;
  for (int k = 0; k < 98; ++k) {
    EXPECT_EQ(second->words[5 * k].asInt(), kOpVertex);
    EXPECT_EQ(second->words[5 * k + 1].asFloat(), static_cast<float>(102 + k));
  }
  EXPECT_EQ(second->words[490].asInt(), kOpEndList);
  EXPECT_EQ(second->next, nullptr);

  glBegin(GL_POINTS);
  glCallList(1);
  EXPECT_EQ(c->vertex_total, 200);  // every vertex op reached its handler
  glEnd();
}

TEST_F(RenderTest, TheLinkGoesWhereTheNextOpNoLongerFits) {
  // Translate ops are 4 words: 127 of them fill 508 words, the link takes words 508 and 509.
  glNewList(2, GL_COMPILE);
  for (int k = 0; k < 200; ++k) glTranslatef(1, 0.5f, 0);
  glEndList();
  const OpBlock* first = c->display_lists[2]->first_block;
  EXPECT_EQ(first->words[504].asInt(), kOpTranslate);
  EXPECT_EQ(first->words[508].asInt(), kOpNextBuffer);
  EXPECT_EQ(first->words[509].asPointer(), first->next);

  glCallList(2);
  EXPECT_EQ(top(0, 0, 3), 200.0f);
  EXPECT_EQ(top(0, 1, 3), 100.0f);
}

TEST_F(RenderTest, CompileFlagsFollowTheListMode) {
  glNewList(1, GL_COMPILE);
  EXPECT_EQ(c->execute_flag, 0);
  EXPECT_EQ(c->compile_flag, 1);
  glTranslatef(1, 0, 0);
  EXPECT_EQ(top(0, 0, 3), 0.0f);  // only compiled
  glEndList();
  EXPECT_EQ(c->execute_flag, 1);
  EXPECT_EQ(c->compile_flag, 0);

  glNewList(2, GL_COMPILE_AND_EXECUTE);
  EXPECT_EQ(c->execute_flag, 1);
  EXPECT_EQ(c->compile_flag, 1);
  glTranslatef(1, 0, 0);
  EXPECT_EQ(top(0, 0, 3), 1.0f);  // executed as well
  glEndList();
  EXPECT_EQ(c->execute_flag, 1);
  EXPECT_EQ(c->compile_flag, 0);
  glCallList(2);
  EXPECT_EQ(top(0, 0, 3), 2.0f);
}

TEST_F(RenderTest, NewListOverAnExistingNameDiscardsTheOldOps) {
  compile(3, [] {
    for (int k = 0; k < 150; ++k) glTranslatef(1, 0, 0);  // two blocks to free
  });
  compile(3, [] { glScalef(2, 2, 2); });
  EXPECT_EQ(c->display_lists[3]->first_block->next, nullptr);
  glCallList(3);
  EXPECT_EQ(top(0, 0, 0), 2.0f);
  EXPECT_EQ(top(0, 0, 3), 0.0f);
}

TEST_F(RenderTest, CalledListsNestAndAreLookedUpWhenCalled) {
  compile(1, [] { glTranslatef(1, 0, 0); });
  compile(2, [] {
    glCallList(1);
    glTranslatef(0, 1, 0);
    glCallList(1);
  });
  glCallList(2);
  EXPECT_EQ(top(0, 0, 3), 2.0f);
  EXPECT_EQ(top(0, 1, 3), 1.0f);

  compile(1, [] { glTranslatef(0, 0, 5); });  // list 2 now calls the new list 1
  glCallList(2);
  EXPECT_EQ(top(0, 0, 3), 2.0f);
  EXPECT_EQ(top(0, 2, 3), 10.0f);
}

TEST_F(RenderTest, AListCalledWhileCompilingEndsAtItsLastCompiledOp) {
  glNewList(4, GL_COMPILE_AND_EXECUTE);
  glTranslatef(1, 0, 0);  // executed: x = 1
  glCallList(4);          // runs the one compiled translate: x = 2, and nothing after it
  glEndList();
  EXPECT_EQ(top(0, 0, 3), 2.0f);
  EXPECT_EQ(c->current_color.x, 1.0f);  // no zero-filled word was taken for a colour op
}

TEST_F(RenderTest, GenListsOnAFreshContextStartsAtZero) {
  EXPECT_EQ(glGenLists(3), 0u);
  for (unsigned name = 0; name < 3; ++name) {
    EXPECT_EQ(glIsList(name), 1) << name;
    EXPECT_EQ(listWords(name)[0].asInt(), kOpEndList);  // empty: the end marker only
  }
  EXPECT_EQ(glIsList(3), 0);
  glCallList(1);  // an empty list runs nothing
  EXPECT_EQ(glGenLists(2), 3u);
}

TEST_F(RenderTest, GenListsSkipsRunsBrokenByUsedNames) {
  compile(5, [] {});
  EXPECT_EQ(glGenLists(3), 0u);  // 0, 1, 2
  EXPECT_EQ(glGenLists(3), 6u);  // 3 and 4 are too few before the used 5
  EXPECT_EQ(glGenLists(2), 3u);
  EXPECT_EQ(glGenLists(1), 9u);
}

TEST_F(RenderTest, GenListsWithoutARunCreatesNothing) {
  EXPECT_EQ(glGenLists(0), 0u);
  EXPECT_EQ(glGenLists(-4), 0u);
  EXPECT_EQ(glGenLists(1025), 0u);
  EXPECT_EQ(glIsList(0), 0);
  EXPECT_EQ(glGenLists(1024), 0u);  // the whole table
  EXPECT_EQ(glIsList(1023), 1);
  EXPECT_EQ(glGenLists(1), 0u);  // nothing left
}

TEST_F(RenderTest, NamesBeyondTheTableAreNeverLists) {
  EXPECT_EQ(glIsList(1024), 0);
  EXPECT_EQ(glIsList(0xFFFFFFFFu), 0);
}

TEST_F(RenderDeathTest, CallingAnUndefinedListIsFatal) {
  EXPECT_EXIT(glCallList(7), ExitedWithCode(1), Eq("Rasterkit: fatal error: list 7 not defined\n"));
  EXPECT_EXIT(glCallList(5000), ExitedWithCode(1),
              Eq("Rasterkit: fatal error: list 5000 not defined\n"));
  EXPECT_EXIT(glCallList(0xFFFFFFFFu), ExitedWithCode(1),
              Eq("Rasterkit: fatal error: list -1 not defined\n"));
}

TEST_F(RenderDeathTest, ListCallsOutsideTheirBracketOrModeAreAssertions) {
  EXPECT_EXIT(glNewList(1, GL_COMPILE + 2), assertionExit(),
              AssertionReport("mode == GL_COMPILE || mode == GL_COMPILE_AND_EXECUTE", "list"));
  EXPECT_EXIT(glEndList(), assertionExit(), AssertionReport("c->compile_flag == 1", "list"));
  EXPECT_EXIT(glNewList(1024, GL_COMPILE), assertionExit(),
              AssertionReport("list < MAX_DISPLAY_LISTS", "list"));
  glNewList(1, GL_COMPILE);
  EXPECT_EXIT(glNewList(2, GL_COMPILE), assertionExit(),
              AssertionReport("c->compile_flag == 0", "list"));
  glEndList();
}

}  // namespace
