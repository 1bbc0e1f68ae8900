// Helpers of the render-context tests: a fixture with a fresh context over a small ZBuffer, the
// words of a compiled display list, matrix element access, and how a failed renderer assertion
// ends the process on this platform.
#pragma once
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "renderer/context.h"
#include "renderer/gl.h"
#include "renderer/zbuffer.h"

class RenderTest : public ::testing::Test {
 protected:
  static constexpr int kWidth = 32;
  static constexpr int kHeight = 24;

  void SetUp() override {
    zb = zbOpen(kWidth, kHeight, kZbMode565, 0, nullptr, nullptr, nullptr);
    ASSERT_NE(zb, nullptr);
    glInitContext(zb);
    c = glCurrentContext();
  }

  void TearDown() override {
    glCloseContext();
    zbClose(zb);
  }

  // The words of list `name`'s first block.
  const OpWord* listWords(unsigned name) const {
    return c->display_lists[name]->first_block->words;
  }

  // Compiles what `calls` issues into list `name` (GL_COMPILE) and returns its first block.
  template <typename Calls>
  const OpWord* compile(unsigned name, Calls calls) {
    glNewList(name, GL_COMPILE);
    calls();
    glEndList();
    return listWords(name);
  }

  // Element (row, column) of the top of stack n (0 model-view, 1 projection, 2 texture).
  float top(int n, int row, int column) const {
    return c->matrix_stack_ptr[n]->m[4 * row + column];
  }

  ZBuffer* zb = nullptr;
  RenderContext* c = nullptr;
};

using RenderDeathTest = RenderTest;

// The raw bits of a float, for exact comparisons of packed words.
inline uint32_t floatBits(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

// How a failed assertion ends the process: glibc's handler aborts with SIGABRT; the Windows
// runtime's _assert ends it with exit status 3.
#if defined(_WIN32)
inline testing::ExitedWithCode assertionExit() { return testing::ExitedWithCode(3); }
#else
inline testing::KilledBySignal assertionExit() { return testing::KilledBySignal(SIGABRT); }
#endif

// Whether `text` holds, from its start or after "<program>: ", the report of condition
// `condition` in source `source` at some line, as this platform's assertion handler words it.
inline bool isAssertionReport(const std::string& text, const std::string& condition,
                              const std::string& source) {
#if defined(_WIN32)
  const std::string head = "Assertion failed: " + condition + ", file " + source + ", line ";
  const std::string tail = "\n";
#else
  const std::string head = ": " + source + ":";
  const std::string tail = ": Assertion `" + condition + "' failed.\n";
#endif
  size_t at = text.find(head);
  if (at == std::string::npos) return false;
  size_t digits = at + head.size();
  size_t end = digits;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  if (end == digits || text.compare(end, tail.size(), tail) != 0) return false;
#if defined(_WIN32)
  return true;  // the runtime's abort may add its own words after the report
#else
  return end + tail.size() == text.size();
#endif
}

MATCHER_P2(AssertionReport, condition, source,
           std::string("reports the failed assertion \"") + condition + "\" in source " + source) {
  return isAssertionReport(arg, condition, source);
}
