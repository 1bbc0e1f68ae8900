// Formats the player's messages onto standard output and flushes them.
// Receives printf-style formats; hands on text to the console.
#include "player/player_output.h"

#include <cstdarg>
#include <cstdio>

void printMessage(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::vprintf(format, arguments);
  va_end(arguments);
  std::fflush(stdout);
}
