// The player's messages on standard output. Each is flushed at once, so that whoever reads the
// output through a pipe sees it before the player waits for a key.
#pragma once

void printMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
