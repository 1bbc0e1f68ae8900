// Draws a line of the on-screen display's text: receives the canvas, the baked font, a place and
// the text; lays the glyphs' coverage into a mask, widens it into a dark outline and hands on the
// canvas with the outline and then the white text blended in, clipped to the canvas.
#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/view/osd_font.h"
#include "tools/view/osd_paint.h"

namespace {

constexpr int kMaxOutline = 8;

// A coverage mask over a rectangle of the canvas's coordinates (it may reach past the canvas).
struct Mask {
  OsdRect area;
  std::vector<uint8_t> values;  // area.width x area.height, rows packed
};

// Lays every glyph that reaches the mask's area into it; overlapping glyphs keep the larger
// coverage.
void layGlyphs(const OsdFont& font, const std::string& text, int x, int top, Mask& mask) {
  const int right = mask.area.x + mask.area.width;
  forEachOsdGlyph(font, text, [&](const OsdGlyph& glyph, int pen) {
    const int gx = x + pen + glyph.left;
    if (gx - font.pixel_height >= right) return false;  // this and every later glyph is past it
    const int gy = top + glyph.top;
    const int x0 = std::max(gx, mask.area.x), x1 = std::min(gx + glyph.width, right);
    const int y0 = std::max(gy, mask.area.y);
    const int y1 = std::min(gy + glyph.height, mask.area.y + mask.area.height);
    for (int y = y0; y < y1; ++y) {
      const uint8_t* source =
          &font.coverage[glyph.offset + static_cast<size_t>(y - gy) * glyph.width];
      uint8_t* target = &mask.values[static_cast<size_t>(y - mask.area.y) * mask.area.width];
      for (int px = x0; px < x1; ++px) {
        uint8_t& value = target[px - mask.area.x];
        value = std::max(value, source[px - gx]);
      }
    }
    return true;
  });
}

// A round pen of `radius` pixels with a soft rim: each offset weighs (0..256) how much of a
// pixel at that distance lies within radius + 1/2, so the outline's edge is smooth.
struct Offset {
  int dx, dy;
  int weight;
};

std::vector<Offset> penOffsets(int radius) {
  std::vector<Offset> offsets;
  for (int dy = -radius; dy <= radius; ++dy) {
    for (int dx = -radius; dx <= radius; ++dx) {
      const double inside = std::clamp(radius + 0.5 - std::hypot(dx, dy), 0.0, 1.0);
      const int weight = static_cast<int>(std::lround(inside * 256));
      if (weight > 0) offsets.push_back(Offset{dx, dy, weight});
    }
  }
  return offsets;
}

// The outline's coverage: at each point the largest text coverage within the pen's reach. Each
// covered point stamps the pen around itself, which costs only where there is text.
std::vector<uint8_t> widen(const Mask& mask, int radius) {
  const int w = mask.area.width, h = mask.area.height;
  std::vector<uint8_t> edge(mask.values.size(), 0);
  if (radius == 0) return edge;
  const std::vector<Offset> pen = penOffsets(radius);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const uint8_t cover = mask.values[static_cast<size_t>(y) * w + x];
      if (cover == 0) continue;
      for (const Offset& d : pen) {
        const int tx = x + d.dx, ty = y + d.dy;
        if (tx < 0 || ty < 0 || tx >= w || ty >= h) continue;
        uint8_t& value = edge[static_cast<size_t>(ty) * w + tx];
        value = std::max<uint8_t>(value, static_cast<uint8_t>((cover * d.weight) >> 8));
      }
    }
  }
  return edge;
}

// 0..255 coverage as 0..256 opacity: c + c / 128 maps 255 onto 256 and 0 onto 0.
int opacity(int coverage) { return coverage + (coverage >> 7); }

// The outline first, then the text over it, for every canvas point of `clip`.
void blendText(OsdCanvas& canvas, const Mask& mask, const std::vector<uint8_t>& edge,
               OsdRect clip) {
  for (int y = clip.y; y < clip.y + clip.height; ++y) {
    Pixel565* row = canvas.pixels + static_cast<size_t>(y) * canvas.pitch;
    const size_t mask_row = static_cast<size_t>(y - mask.area.y) * mask.area.width;
    for (int x = clip.x; x < clip.x + clip.width; ++x) {
      const size_t i = mask_row + (x - mask.area.x);
      const int outline = edge[i], cover = mask.values[i];
      if (outline == 0 && cover == 0) continue;
      Pixel565 p = row[x];
      if (outline > 0)
        p = osdBlend(p, kOsdOutlineColor, (opacity(outline) * kOsdOutlineAlpha) >> 8);
      if (cover > 0) p = osdBlend(p, kOsdTextColor, opacity(cover));
      row[x] = p;
    }
  }
}

}  // namespace

void drawOsdText(OsdCanvas& canvas, const OsdFont& font, int x, int top, const std::string& text,
                 int outline) {
  if (!osdCanvasUsable(canvas) || text.empty()) return;
  outline = std::clamp(outline, 0, kMaxOutline);
  // Glyphs may reach a little past their advances and the line's rows; half a line of slack
  // covers every printable ASCII glyph.
  const int slack = font.pixel_height / 2 + outline;
  const int64_t width = osdTextWidth(font, text);
  const int64_t left = std::max<int64_t>(int64_t{x} - slack, 0);
  const int64_t right = std::min<int64_t>(int64_t{x} + width + slack, canvas.width);
  const OsdRect clip = osdClip(canvas, OsdRect{static_cast<int>(left), top - slack,
                                               static_cast<int>(std::max<int64_t>(right - left, 0)),
                                               font.pixel_height + 2 * slack});
  if (clip.width == 0 || clip.height == 0) return;
  Mask mask;
  mask.area = OsdRect{clip.x - outline, clip.y - outline, clip.width + 2 * outline,
                      clip.height + 2 * outline};
  mask.values.assign(static_cast<size_t>(mask.area.width) * mask.area.height, 0);
  layGlyphs(font, text, x, top, mask);
  blendText(canvas, mask, widen(mask, outline), clip);
}
