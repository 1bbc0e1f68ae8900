// addOp: what the three flags do to an issued op and in which order, the trace lines byte for
// byte, and the op table's shape.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "renderer/gl.h"
#include "renderer/ops.h"
#include "tests/renderer/render_support.h"

namespace {

using testing::HasSubstr;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

TEST_F(RenderTest, TraceOfTranslatePrintsItsTextWithTheFloatsFilledIn) {
  glTraceOps(1);
  CaptureStderr();
  glTranslatef(1, 2, 3);
  EXPECT_EQ(GetCapturedStderr(), "glTranslate \"1 2 3\"\n");
}

TEST_F(RenderTest, TracePrintsFloatsAsGAndEverythingElseAsDecimalInts) {
  glTraceOps(1);
  CaptureStderr();
  glColor3f(1, 0.5f, 0);  // green 0.5 x 64512 + 512 = 32768, blue 0 x 63488 + 1024 = 1024
  glEnable(GL_BLEND);     // 0x0BE2 = 3042
  glLoadIdentity();
  glClearColor(0.125f, 1e-7f, -2.5f, 123456789.0f);
  glViewport(-1, 0, 640, 480);
  EXPECT_EQ(GetCapturedStderr(),
            "glColor \"1 0.5 0 1 64512 32768 1024\"\n"
            "glEnableDisable \"3042 1\"\n"
            "glLoadIdentity \"\"\n"
            "glClearColor \"0.125 1e-07 -2.5 1.23457e+08\"\n"
            "glViewport \"-1 0 640 480\"\n");
}

TEST_F(RenderTest, TracePrintsPointerWordsAsTheWholeAddress) {
  static const float array[3] = {};
  glTraceOps(1);
  CaptureStderr();
  glVertexPointer(3, GL_FLOAT, 0, array);
  const std::string address =
      std::to_string(static_cast<long long>(reinterpret_cast<std::intptr_t>(array)));
  EXPECT_EQ(GetCapturedStderr(), "glVertexPointer \"3 5126 0 " + address + "\"\n");
}

TEST_F(RenderTest, CompiledOpsAreTracedButNotExecuted) {
  glTraceOps(1);
  CaptureStderr();
  glNewList(1, GL_COMPILE);
  glTranslatef(5, 0, 0);
  glEndList();
  EXPECT_EQ(GetCapturedStderr(), "glTranslate \"5 0 0\"\n");  // the list calls are no ops
  EXPECT_EQ(top(0, 0, 3), 0.0f);
}

TEST_F(RenderTest, OpsRunFromAListAreNeitherTracedNorCompiledAgain) {
  compile(1, [] { glTranslatef(5, 0, 0); });
  glTraceOps(1);
  CaptureStderr();
  glNewList(2, GL_COMPILE_AND_EXECUTE);
  glCallList(1);
  glEndList();
  EXPECT_EQ(GetCapturedStderr(), "glCallList \"1\"\n");
  EXPECT_EQ(top(0, 0, 3), 5.0f);
  const OpWord* w = listWords(2);
  EXPECT_EQ(w[0].asInt(), kOpCallList);
  EXPECT_EQ(w[1].asInt(), 1);
  EXPECT_EQ(w[2].asInt(), kOpEndList);
}

TEST_F(RenderDeathTest, AnOpIsExecutedBeforeItIsTraced) {
  glTraceOps(1);
  // The pop fails inside its handler, so its trace line is never printed.
  EXPECT_EXIT(
      glPopMatrix(), assertionExit(),
      testing::AllOf(AssertionReport("c->matrix_stack_ptr[n] > c->matrix_stack[n]", "matrix"),
                     testing::Not(HasSubstr("glPopMatrix"))));
}

TEST_F(RenderDeathTest, ListMarkersCannotBeExecutedAsOps) {
  const OpWord end_list[1] = {OpWord::ofInt(kOpEndList)};
  EXPECT_EXIT(addOp(end_list), assertionExit(), AssertionReport("0", "list"));
  const OpWord next_buffer[2] = {OpWord::ofInt(kOpNextBuffer), OpWord::ofPointer(nullptr)};
  EXPECT_EXIT(addOp(next_buffer), assertionExit(), AssertionReport("0", "list"));
}

}  // namespace
