// The standard-input keyboard's reader, reachable on any stream so that it can be driven from a
// pipe. Receives bytes; hands on key codes, the Escape held flag and the end of input.
#pragma once
#include <cstdio>

// Escape stays held this long after byte 27 arrives, longer than the player's longest sleep.
constexpr int kEscapeHoldMilliseconds = 300;

// Reads the stream byte by byte until it ends, posting each byte as a key (255 followed by b as
// the extended key b; 27 also holds Escape), then marks standard input as closed.
void readKeysFrom(std::FILE* in);
