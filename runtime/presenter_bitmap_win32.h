// The GDI presenter's bitmap: receives the screen's format and the rows of its frame buffer;
// hands on the bitmap header and the top-down rows that SetDIBitsToDevice takes.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "runtime/screen_state.h"

// The one bitmap header that every present hands to SetDIBitsToDevice. After the header come
// the three colour masks (5-6-5) or the palette (8 bits and below).
struct BitmapHeader {
  BITMAPINFOHEADER header;
  RGBQUAD colours[256];
};

// The frame buffer as a bitmap: the header every present passes (its height set to the rows of
// the present) and, for screens whose rows are not whole 32-bit words, a staging copy.
struct GdiBitmap {
  BitmapHeader bitmap = {};
  int dib_pitch = 0;             // bytes per bitmap row: the screen's pitch rounded up to 4
  std::vector<uint8_t> staging;  // rows copied to that pitch when the screen's pitch differs
};

const BITMAPINFO* bitmapInfo(const GdiBitmap& b);

// Fills the bitmap header for the screen's format; false when this depth cannot be shown.
// Depths of 8 bits and below are shown as grey levels.
bool describeBitmap(const ScreenState& screen, GdiBitmap& b);

// The rows that one present copies: from `first`, `rows` of them (0: nothing to copy), as a
// bitmap of `rows` top-down rows beginning at `bits`.
struct BitmapSpan {
  int first;
  int rows;
  const void* bits;
};

// Lock held: the span's rows may point into the frame buffer. Clamps first..last to the screen
// and sets the header's height to the span's. Rows go to the staging copy when bitmap rows
// (whole 32-bit words) cannot point into the frame buffer.
BitmapSpan prepareSpan(ScreenState& screen, GdiBitmap& b, int first, int last);
