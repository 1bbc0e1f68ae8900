// How the renderer ends the process: fatal errors with a message, failed interface
// preconditions through the platform's assertion handler, and the three message functions
// that accept a printf-style message and print nothing.
#pragma once

// Writes "Rasterkit: fatal error: ", the formatted message and a newline to standard error,
// then exits with status 1.
[[noreturn]] void glFatalError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Hands the condition text, the source name and the line to the platform runtime's assertion
// handler (_assert on Windows, __assert_fail with glibc), which reports them and ends the
// process. Should a handler ever return, the process is aborted all the same.
[[noreturn]] void glAssertFailed(const char* text, const char* source, int line);

// A precondition of the renderer's interface, checked in every build type (NDEBUG or not). The
// handler receives the condition exactly as written here, so call sites spell their conditions
// the way they are to be reported; `source` names the renderer source (for example "api").
#define RK_ASSERT(condition, source) \
  ((condition) ? static_cast<void>(0) : glAssertFailed(#condition, (source), __LINE__))

// As RK_ASSERT, for a check whose reported text differs from the expression that tests it.
#define RK_ASSERT_TEXT(condition, text, source) \
  ((condition) ? static_cast<void>(0) : glAssertFailed((text), (source), __LINE__))

// Diagnostics that the renderer formats but never shows: they accept a printf-style message
// and print nothing.
void glWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
void glTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void glFixme(const char* format, ...) __attribute__((format(printf, 1, 2)));
