// The on-screen display's drawing primitives: receive a canvas, rectangles, spans and discs with
// their colours; hand on the canvas with them blended in 5-6-5, clipped to the canvas.
#include "tools/view/osd_paint.h"

#include <algorithm>
#include <cmath>

bool osdCanvasUsable(const OsdCanvas& canvas) {
  return canvas.pixels != nullptr && canvas.width > 0 && canvas.height > 0 &&
         canvas.pitch >= canvas.width;
}

OsdRect osdClip(const OsdCanvas& canvas, OsdRect rect) {
  // 64-bit ends so that huge rectangles cannot overflow.
  const int64_t x0 = std::max<int64_t>(rect.x, 0);
  const int64_t y0 = std::max<int64_t>(rect.y, 0);
  const int64_t x1 = std::min<int64_t>(int64_t{rect.x} + std::max(rect.width, 0), canvas.width);
  const int64_t y1 = std::min<int64_t>(int64_t{rect.y} + std::max(rect.height, 0), canvas.height);
  if (x1 <= x0 || y1 <= y0) return OsdRect{static_cast<int>(x0), static_cast<int>(y0), 0, 0};
  return OsdRect{static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
                 static_cast<int>(y1 - y0)};
}

void osdFillRect(OsdCanvas& canvas, OsdRect rect, Pixel565 color, int alpha) {
  if (!osdCanvasUsable(canvas) || alpha <= 0) return;
  const OsdRect clip = osdClip(canvas, rect);
  for (int y = clip.y; y < clip.y + clip.height; ++y) {
    Pixel565* row = canvas.pixels + static_cast<size_t>(y) * canvas.pitch;
    for (int x = clip.x; x < clip.x + clip.width; ++x) row[x] = osdBlend(row[x], color, alpha);
  }
}

void osdFillSpan(OsdCanvas& canvas, OsdRect rect, int64_t length_256, Pixel565 color) {
  length_256 = std::clamp<int64_t>(length_256, 0, int64_t{std::max(rect.width, 0)} * 256);
  const int whole = static_cast<int>(length_256 >> 8);
  osdFillRect(canvas, OsdRect{rect.x, rect.y, whole, rect.height}, color, 256);
  const int part = static_cast<int>(length_256 & 255);
  if (part > 0) osdFillRect(canvas, OsdRect{rect.x + whole, rect.y, 1, rect.height}, color, part);
}

void osdFillDisc(OsdCanvas& canvas, double cx, double cy, double radius, Pixel565 color,
                 int alpha) {
  if (!osdCanvasUsable(canvas) || radius <= 0) return;
  const int reach = static_cast<int>(std::ceil(radius + 1));
  const int left = static_cast<int>(std::floor(cx)) - reach;
  const int top = static_cast<int>(std::floor(cy)) - reach;
  const OsdRect clip = osdClip(canvas, OsdRect{left, top, 2 * reach + 1, 2 * reach + 1});
  for (int y = clip.y; y < clip.y + clip.height; ++y) {
    Pixel565* row = canvas.pixels + static_cast<size_t>(y) * canvas.pitch;
    for (int x = clip.x; x < clip.x + clip.width; ++x) {
      const double distance = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
      const double cover = std::clamp(radius + 0.5 - distance, 0.0, 1.0);
      const int a = static_cast<int>(std::lround(cover * alpha));
      if (a > 0) row[x] = osdBlend(row[x], color, a);
    }
  }
}
