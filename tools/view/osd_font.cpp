// Bakes the on-screen display's font: receives a pixel height, reads DejaVu Sans from the bytes
// built into the program (cmake/embed_file.cmake) with stb_truetype, and hands on the printable
// ASCII glyphs as 8-bit coverage bitmaps with their advances and kerning.
#include "tools/view/osd_font.h"

#include <algorithm>
#include <climits>
#include <cmath>

// stb_truetype's implementation is compiled here, once for the program, with its own warnings
// kept out of ours.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#define STB_TRUETYPE_IMPLEMENTATION
#define STBTT_STATIC
#include "stb_truetype.h"
#pragma GCC diagnostic pop

// The font file's bytes, generated at build time from KESTRUNE_OSD_FONT.
extern const unsigned char kOsdFontData[];
extern const unsigned long kOsdFontDataSize;

namespace {

constexpr int kMinPixelHeight = 1;
constexpr int kMaxPixelHeight = 256;

void deleteOsdFont(OsdFont* font) { delete font; }

int to64(float pixels) { return static_cast<int>(std::lround(pixels * 64.0f)); }

// Rasterises one glyph at the end of font.coverage. `ascent` is the baseline's row below the
// line's top.
void bakeGlyph(const stbtt_fontinfo& info, int glyph_id, float scale, int ascent, OsdGlyph& glyph,
               std::vector<uint8_t>& coverage) {
  int advance = 0, bearing = 0;
  stbtt_GetGlyphHMetrics(&info, glyph_id, &advance, &bearing);
  glyph.advance_64 = to64(static_cast<float>(advance) * scale);
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  stbtt_GetGlyphBitmapBox(&info, glyph_id, scale, scale, &x0, &y0, &x1, &y1);
  glyph.left = x0;
  glyph.top = ascent + y0;
  glyph.width = std::max(0, x1 - x0);
  glyph.height = std::max(0, y1 - y0);
  glyph.offset = coverage.size();
  if (glyph.width == 0 || glyph.height == 0) {
    glyph.width = glyph.height = 0;
    return;
  }
  coverage.resize(coverage.size() + static_cast<size_t>(glyph.width) * glyph.height);
  stbtt_MakeGlyphBitmap(&info, coverage.data() + glyph.offset, glyph.width, glyph.height,
                        glyph.width, scale, scale, glyph_id);
}

// Kerning for every pair of printable characters; fonts without kerning give zeros.
void bakeKerning(const stbtt_fontinfo& info, const int* glyph_ids, float scale, OsdFont& font) {
  font.kerning_64.assign(kOsdGlyphCount * kOsdGlyphCount, 0);
  if (!info.kern && !info.gpos) return;
  for (int left = 0; left < kOsdGlyphCount; ++left) {
    for (int right = 0; right < kOsdGlyphCount; ++right) {
      const int kern = stbtt_GetGlyphKernAdvance(&info, glyph_ids[left], glyph_ids[right]);
      if (kern != 0) {
        font.kerning_64[left * kOsdGlyphCount + right] =
            static_cast<int16_t>(to64(static_cast<float>(kern) * scale));
      }
    }
  }
}

}  // namespace

OsdFontPtr makeOsdFont(int pixel_height) {
  stbtt_fontinfo info;
  const int offset = stbtt_GetFontOffsetForIndex(kOsdFontData, 0);
  if (kOsdFontDataSize < 12 || offset < 0 || !stbtt_InitFont(&info, kOsdFontData, offset)) {
    return OsdFontPtr(nullptr, deleteOsdFont);
  }
  auto* font = new OsdFont;
  font->pixel_height = std::clamp(pixel_height, kMinPixelHeight, kMaxPixelHeight);
  // The scale maps the font's ascender-to-descender height onto pixel_height rows.
  const float scale = stbtt_ScaleForPixelHeight(&info, static_cast<float>(font->pixel_height));
  int ascent = 0, descent = 0, line_gap = 0;
  stbtt_GetFontVMetrics(&info, &ascent, &descent, &line_gap);
  const int ascent_px = static_cast<int>(std::lround(static_cast<float>(ascent) * scale));
  int glyph_ids[kOsdGlyphCount];
  for (int i = 0; i < kOsdGlyphCount; ++i) {
    glyph_ids[i] = stbtt_FindGlyphIndex(&info, kOsdFirstChar + i);
    bakeGlyph(info, glyph_ids[i], scale, ascent_px, font->glyphs[i], font->coverage);
  }
  bakeKerning(info, glyph_ids, scale, *font);
  return OsdFontPtr(font, deleteOsdFont);
}

int osdTextWidth(const OsdFont& font, const std::string& text) {
  const int64_t pen_64 = forEachOsdGlyph(font, text, [](const OsdGlyph&, int) { return true; });
  return static_cast<int>(std::min<int64_t>((pen_64 + 32) >> 6, INT_MAX));
}
