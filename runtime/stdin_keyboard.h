// The standard-input keyboard's reader, reachable on any stream so that it can be driven from a
// pipe. Receives bytes; hands on key codes, mouse events, the Escape held flag and the end of
// input.
#pragma once
#include <cstdio>

// Escape stays held this long after byte 27 arrives, longer than the player's longest sleep.
constexpr int kEscapeHoldMilliseconds = 300;

// Reads the stream byte by byte until it ends, posting each byte as a key (255 followed by b as
// the extended key b; 27 also holds Escape), then marks standard input as closed. 255 followed
// by 254 starts a mouse event instead: a kind letter ('p' press, 'r' release, 'm' move, 'u' and
// 'd' one wheel notch up and down, 'c' double click; button 1 for p, r and c), then x and y in
// screen pixels as 16-bit little-endian values. Mouse bytes are never keys.
void readKeysFrom(std::FILE* in);
