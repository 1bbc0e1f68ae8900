// The on-screen display's font inside the view module: printable ASCII glyphs baked by
// osd_font.cpp as 8-bit coverage with advances and kerning; hands them on to the text drawing in
// osd_text.cpp, which walks a string's glyphs with forEachOsdGlyph.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/view/osd.h"

constexpr int kOsdFirstChar = 32;  // ' '
constexpr int kOsdLastChar = 126;  // '~'
constexpr int kOsdGlyphCount = kOsdLastChar - kOsdFirstChar + 1;

struct OsdGlyph {
  int left = 0;   // the bitmap's left column from the pen
  int top = 0;    // the bitmap's top row from the line's top row
  int width = 0;  // the bitmap's size (0 x 0 for a space)
  int height = 0;
  size_t offset = 0;   // where the bitmap starts in OsdFont::coverage, rows packed
  int advance_64 = 0;  // how far the pen moves, in 1/64 pixel
};

struct OsdFont {
  int pixel_height = 0;             // rows from the highest ascender to the lowest descender
  OsdGlyph glyphs[kOsdGlyphCount];  // by character code - kOsdFirstChar
  std::vector<uint8_t> coverage;    // every glyph's bitmap, 0 (empty) .. 255 (covered)
  std::vector<int16_t> kerning_64;  // [left glyph * kOsdGlyphCount + right glyph], 1/64 pixel
};

// The glyph drawn for a byte of text: printable ASCII as itself, anything else as '?'.
inline int osdGlyphIndex(unsigned char c) {
  if (c < kOsdFirstChar || c > kOsdLastChar) c = '?';
  return c - kOsdFirstChar;
}

// Calls visit(glyph, pen_x) for each character of `text` in turn, pen_x in whole pixels from the
// start of the line, until visit returns false; returns the pen's final place in 1/64 pixel.
// The continuation bytes of a UTF-8 sequence are skipped, so each such character shows one '?'.
template <typename Visit>
int64_t forEachOsdGlyph(const OsdFont& font, const std::string& text, Visit visit) {
  int64_t pen_64 = 0;
  int previous = -1;
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x80 && c < 0xC0) continue;
    const int index = osdGlyphIndex(c);
    if (previous >= 0) pen_64 += font.kerning_64[previous * kOsdGlyphCount + index];
    const OsdGlyph& glyph = font.glyphs[index];
    if (!visit(glyph, static_cast<int>((pen_64 + 32) >> 6))) break;
    pen_64 += glyph.advance_64;
    previous = index;
  }
  return pen_64;
}
