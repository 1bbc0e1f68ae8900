// Helpers of the drawing-surface tests: open a surface over test memory, read and write pixels
// by position, and the death-test pattern of an assertion failure as this platform's runtime
// reports it.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "renderer/zbuffer.h"

inline ZBuffer* openOver(int width, int height, int mode, void* frame) {
  ZBuffer* zb = zbOpen(width, height, mode, 0, nullptr, nullptr, static_cast<Pixel565*>(frame));
  EXPECT_NE(zb, nullptr);
  return zb;
}

inline uint8_t* pixelBytes(const ZBuffer* zb, int x, int y) {
  return reinterpret_cast<uint8_t*>(zb->pixels) + y * zb->line_bytes + 2 * x;
}

inline Pixel565 pixelAt(const ZBuffer* zb, int x, int y) {
  Pixel565 p;
  std::memcpy(&p, pixelBytes(zb, x, y), 2);
  return p;
}

inline void setRow(ZBuffer* zb, int y, std::initializer_list<Pixel565> row) {
  int x = 0;
  for (Pixel565 p : row) std::memcpy(pixelBytes(zb, x++, y), &p, 2);
}

// Literal text inside a death-test pattern; the characters escaped are special to POSIX regular
// expressions or refused by GoogleTest's simple Windows ones.
inline std::string literalPattern(const char* text) {
  std::string pattern;
  for (const char* c = text; *c != '\0'; ++c) {
    if (std::strchr(".[]()*+?{}|^$\\", *c) != nullptr) pattern += '\\';
    pattern += *c;
  }
  return pattern;
}

// The report of a failed assertion with condition `text` in source `source`.
inline std::string assertionPattern(const char* text, const char* source) {
#if defined(_WIN32)
  return "Assertion failed: " + literalPattern(text) + ", file " + literalPattern(source) +
         ", line \\d+";
#else
  return literalPattern(source) + ":[0-9]+: Assertion `" + literalPattern(text) + "' failed\\.";
#endif
}
