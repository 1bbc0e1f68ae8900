// The scalable window's arithmetic: receives requested sizes, the screen's mode, the desktop and
// the client area; hands on outer window placements, letterbox margins, mouse and cursor
// positions and stretch rectangles, all with the 32-bit program's wrapping integer arithmetic.
#include "window/geometry.h"

#include <limits>

namespace {

// Signed 32-bit arithmetic that wraps as the 32-bit program's does, instead of being undefined.
int32_t add32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

int32_t sub32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

int32_t mul32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

// Truncated toward zero. Callers keep a zero divisor away; the one overflowing quotient wraps.
int32_t div32(int32_t a, int32_t b) {
  if (a == std::numeric_limits<int32_t>::min() && b == -1) return a;
  return a / b;
}

// a * b / c, or 0 when c is 0.
int32_t scale32(int32_t a, int32_t b, int32_t c) { return c == 0 ? 0 : div32(mul32(a, b), c); }

// One outer side of the table: `own` is the requested side, `other` the other requested side.
// Above 0 a client size plus the frame; 0 the desktop; below 0 derived from the other side
// through the mode's aspect (own_mode / other_mode), unless the other side is below 0 too, when
// both are taken as client sizes.
int32_t outerSide(int32_t own, int32_t other, int32_t frame, int32_t desktop, int32_t other_frame,
                  int32_t other_desktop, int32_t own_mode, int32_t other_mode) {
  if (own > 0) return add32(own, frame);
  if (own == 0) return desktop;
  if (other < 0) return add32(own, frame);
  int32_t base = other > 0 ? other : sub32(other_desktop, other_frame);
  return add32(frame, scale32(base, own_mode, other_mode));
}

}  // namespace

WindowPlacement outerPlacement(const PlacementInputs& in) {
  WindowPlacement placement;
  placement.width = outerSide(in.width, in.height, in.frame_width, in.desktop_width,
                              in.frame_height, in.desktop_height, in.mode_width, in.mode_height);
  placement.height = outerSide(in.height, in.width, in.frame_height, in.desktop_height,
                               in.frame_width, in.desktop_width, in.mode_height, in.mode_width);
  placement.x = div32(sub32(in.desktop_width, placement.width), 2);
  placement.y = div32(sub32(in.desktop_height, placement.height), 2);
  bool both_given = in.width > 0 && in.height > 0;
  placement.flags = both_given ? kPlaceKeepZOrder : kPlaceTopmost;
  return placement;
}

Margins letterboxMargins(int32_t mode_width, int32_t mode_height, int32_t display_width,
                         int32_t display_height, bool keep_aspect) {
  Margins margins;
  if (!keep_aspect || mode_width == 0 || mode_height == 0) return margins;
  int32_t fit_width = scale32(mode_width, display_height, mode_height);
  if (fit_width > display_width) {
    int32_t fit_height = scale32(mode_height, display_width, mode_width);
    margins.y = div32(sub32(display_height, fit_height), 2);
  } else {
    margins.x = div32(sub32(display_width, fit_width), 2);
  }
  return margins;
}

Rect32 letterboxedClient(int32_t outer_width, int32_t outer_height, Margins margins,
                         bool no_top_margin) {
  int32_t top = no_top_margin ? 0 : margins.y;
  Rect32 client;
  client.x = margins.x;
  client.y = top;
  client.width = sub32(sub32(outer_width, margins.x), margins.x);
  client.height = sub32(sub32(outer_height, margins.y), top);
  return client;
}

Point32 clientToScreenPixels(Point32 client, int32_t client_width, int32_t client_height,
                             int32_t mode_width, int32_t mode_height) {
  Point32 screen = client;
  if (client_width != 0) screen.x = scale32(client.x, mode_width, client_width);
  if (client_height != 0) screen.y = scale32(client.y, mode_height, client_height);
  return screen;
}

int32_t mapMouseParam(int32_t lparam, int32_t client_width, int32_t client_height,
                      int32_t mode_width, int32_t mode_height) {
  Point32 client;
  client.x = static_cast<int16_t>(static_cast<uint32_t>(lparam) & 0xFFFF);
  client.y = lparam >> 16;  // arithmetic: a position above the client area stays negative
  Point32 screen =
      clientToScreenPixels(client, client_width, client_height, mode_width, mode_height);
  uint32_t packed =
      (static_cast<uint32_t>(screen.y) << 16) | (static_cast<uint32_t>(screen.x) & 0xFFFF);
  return static_cast<int32_t>(packed);
}

CursorPlacement cursorPlacement(int32_t x, int32_t y, int32_t client_width, int32_t client_height,
                                int32_t mode_width, int32_t mode_height) {
  CursorPlacement placement;
  if (x == kScaledMouseUnchanged || y == kScaledMouseUnchanged) return placement;
  // Taken unsigned, a negative position is far beyond any screen and is refused with the rest.
  bool outside = static_cast<uint32_t>(x) >= static_cast<uint32_t>(mode_width) ||
                 static_cast<uint32_t>(y) >= static_cast<uint32_t>(mode_height);
  if (outside) {
    placement.move = CursorMove::kRefuse;
    return placement;
  }
  placement.move = CursorMove::kPlace;
  placement.client.x = scale32(x, client_width, mode_width);
  placement.client.y = scale32(y, client_height, mode_height);
  return placement;
}

Rect32 stretchRect(Rect32 source, int32_t client_width, int32_t client_height, int32_t mode_width,
                   int32_t mode_height) {
  Rect32 target;
  target.x = scale32(source.x, client_width, mode_width);
  target.y = scale32(source.y, client_height, mode_height);
  target.width = scale32(source.width, client_width, mode_width);
  target.height = scale32(source.height, client_height, mode_height);
  return target;
}

uint32_t borderColourOf(int32_t red, int32_t green, int32_t blue) {
  return (static_cast<uint32_t>(red) & 0xFF) | ((static_cast<uint32_t>(green) & 0xFF) << 8) |
         ((static_cast<uint32_t>(blue) & 0xFF) << 16);
}
