// What the portable runtime asks of the operating system: clock, sleeping, 64-bit file seeking,
// the executable's folder, standard input made ready to be read key by key, whether a stream is a
// terminal and the process's peak memory.
// Implemented once per build in platform_posix.cpp and platform_win32.cpp.
#pragma once
#include <cstdint>
#include <cstdio>

// Sleeps the calling thread for the given milliseconds; 0 or less returns at once.
void sleepMilliseconds(int milliseconds);

// Lets the calling thread run only on processor time other threads leave over (work that may
// wait, such as drawing ahead). Best effort: nothing happens where the system refuses.
void lowerThreadPriority();

// Moves the stream to a 0-based byte offset; 0 on success.
int seekFile(std::FILE* file, int64_t offset);
// The stream's 0-based byte offset, -1 on failure.
int64_t tellFile(std::FILE* file);
// Moves the stream to its end; 0 on success.
int seekFileEnd(std::FILE* file);

// Creates `name` for binary writing; null (errno set) when anything exists under the name already
// or the file cannot be made.
std::FILE* createNewFile(const char* name);

// Makes standard input deliver raw bytes: binary mode, and on a terminal no line editing and no
// echo (signals from the terminal still work). The terminal is restored at process exit, and on
// the signals that end the program (Ctrl+C, SIGTERM, a closed terminal).
void prepareStdinForKeys();

// True when the stream is a terminal (a console on Windows), where a progress line that rewrites
// itself can be shown.
bool isTerminal(std::FILE* stream);

// The most memory the process has held resident so far, in bytes (the peak resident set size, the
// peak working set on Windows); 0 when the system does not say.
int64_t peakMemoryBytes();
