// Formats the player's messages onto standard output (or the stream a tool chose) and flushes
// them. Receives printf-style formats; hands on text to the console.
#include "player/player_output.h"

#include <cstdarg>

namespace {

// Null stands for standard output, which is not a constant to initialise with.
std::FILE* message_stream = nullptr;

}  // namespace

void printMessage(const char* format, ...) {
  std::FILE* stream = message_stream != nullptr ? message_stream : stdout;
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(stream, format, arguments);
  va_end(arguments);
  std::fflush(stream);
}

void setMessageStream(std::FILE* stream) { message_stream = stream; }
