// Ends the process for the renderer: receives a fatal message or a failed condition, hands it
// to standard error or to the platform's assertion handler.
#include "renderer/error.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

// The runtime's assertion handlers, declared here because <assert.h> hides them under NDEBUG
// and the renderer's checks stay active in every build type.
#if defined(_WIN32)
#include <assert.h>
#else
extern "C" void __assert_fail(const char* assertion, const char* file, unsigned int line,
                              const char* function) noexcept __attribute__((noreturn));
#endif

void glFatalError(const char* format, ...) {
  std::fputs("Rasterkit: fatal error: ", stderr);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  std::exit(1);
}

void glAssertFailed(const char* text, const char* source, int line) {
#if defined(_WIN32)
  _assert(text, source, static_cast<unsigned>(line));
#else
  __assert_fail(text, source, static_cast<unsigned>(line), nullptr);
#endif
  std::abort();  // _assert may return when a debugger or dialog chooses to ignore it
}

void glWarning(const char*, ...) {}
void glTrace(const char*, ...) {}
void glFixme(const char*, ...) {}
