// The player's messages on standard output. Each is flushed at once, so that whoever reads the
// output through a pipe sees it before the player waits for a key.
#pragma once
#include <cstdio>

void printMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Sends the messages to another stream from now on (the tool keeps its standard output for its
// own report and shows the player's messages on standard error). Standard output by default.
void setMessageStream(std::FILE* stream);
