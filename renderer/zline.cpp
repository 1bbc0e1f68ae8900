// The point and line rasterizers: receive ScreenPoints and the ZBuffer; hand on 5-6-5 pixels
// (and, when depth-tested, depth values) along a midpoint-stepped line, each line walked from
// its upper end with a decision variable choosing between a diagonal and an axial step.
#include "renderer/zline.h"

#include <cstddef>
#include <cstdint>

#include "renderer/screen_point.h"
#include "renderer/zbuffer.h"

namespace {

bool insideBuffer(const ZBuffer* zb, const ScreenPoint& p) {
  // One unsigned comparison per axis also refuses negative coordinates.
  return unsigned(p.x) < unsigned(zb->width) && unsigned(p.y) < unsigned(zb->height);
}

Pixel565* pixelAddress(const ZBuffer* zb, int x, int y) {
  return zb->pixels + ptrdiff_t(y) * (zb->line_bytes / 2) + x;
}

uint16_t* depthAddress(const ZBuffer* zb, int x, int y) {
  return zb->depth + ptrdiff_t(y) * zb->width + x;
}

// Depth and colour accumulators wrap as unsigned words, so that no pair of points, however far
// apart their values, makes the arithmetic undefined; values in the documented ranges never wrap.
uint32_t stepOver(int from, int to, int64_t scale, int n) {
  return uint32_t((int64_t(to) - from) * scale / n);  // truncates toward zero
}

// The depth step of every depth-tested pixel: z (16.14) against the stored value in 32 bits.
inline void depthTestedWrite(Pixel565* pixel, uint16_t* depth, uint32_t z, Pixel565 colour) {
  const uint32_t zz = z >> 14;
  if (zz >= *depth) {
    *pixel = colour;
    *depth = uint16_t(zz);
  }
}

// The whole line in one colour: both ends give the same 5-6-5 value.
struct FlatColour {
  Pixel565 colour;
  Pixel565 pixel() const { return colour; }
  void step() {}
};

// Red, green and blue in 24.8 fixed point on the 0..65535 scale, stepped once per pixel.
struct InterpolatedColour {
  uint32_t r, g, b;
  uint32_t dr, dg, db;

  InterpolatedColour(const ScreenPoint& from, const ScreenPoint& to, int n)
      : r(uint32_t(from.r) << 8),
        g(uint32_t(from.g) << 8),
        b(uint32_t(from.b) << 8),
        dr(stepOver(from.r, to.r, 256, n)),
        dg(stepOver(from.g, to.g, 256, n)),
        db(stepOver(from.b, to.b, 256, n)) {}
  Pixel565 pixel() const { return rgbToPixel(int32_t(r) >> 8, int32_t(g) >> 8, int32_t(b) >> 8); }
  void step() {
    r += dr;
    g += dg;
    b += db;
  }
};

// Writes colour only; the depth buffer is not touched.
struct NoDepth {
  explicit NoDepth(const ScreenPoint&, const ScreenPoint&, int) {}
  void write(Pixel565* pixel, uint16_t*, Pixel565 colour) const { *pixel = colour; }
  void step() {}
};

// Depth in 16.14 interpolated along the line, tested and written at every pixel.
struct DepthTested {
  uint32_t z;
  uint32_t dz;
  DepthTested(const ScreenPoint& from, const ScreenPoint& to, int n)
      : z(uint32_t(from.z)), dz(stepOver(from.z, to.z, 1, n)) {}
  void write(Pixel565* pixel, uint16_t* depth, Pixel565 colour) const {
    depthTestedWrite(pixel, depth, z, colour);
  }
  void step() { z += dz; }
};

// How a line walks from its start: n steps along the major axis and m along the minor one, and
// the address changes of a diagonal step (one row down and one column across) and of an axial
// step (one column across for a wide line, one row down for a tall one).
struct LineWalk {
  int n;
  int m;
  ptrdiff_t diagonal_pixel, diagonal_depth;
  ptrdiff_t axial_pixel, axial_depth;
};

// dy >= 0 always, as the line starts at its upper end; dx of either sign.
LineWalk lineWalk(const ZBuffer* zb, int dx, int dy) {
  const ptrdiff_t row_pixels = zb->line_bytes / 2;
  const ptrdiff_t row_depth = zb->width;
  const int across = dx > 0 ? 1 : -1;
  const int length_x = dx > 0 ? dx : -dx;
  LineWalk w;
  w.diagonal_pixel = row_pixels + across;
  w.diagonal_depth = row_depth + across;
  if (length_x >= dy) {  // wide: one column per step
    w.n = length_x;
    w.m = dy;
    w.axial_pixel = across;
    w.axial_depth = across;
  } else {  // tall: one row per step
    w.n = dy;
    w.m = length_x;
    w.axial_pixel = row_pixels;
    w.axial_depth = row_depth;
  }
  return w;
}

// The n + 1 pixels of a line of at least one step, first pixel at `start`. The decision
// variable a = 2m - n chooses the diagonal step while positive (then a -= 2n - 2m, else
// a += 2m), which makes exactly m of the n steps diagonal, so the walk ends on the end point and
// never leaves the two ends' bounding box. a stays within -(2n - 2m) + 1 .. 2m; it is carried as
// b = a + (2n - 2m) - 1, within 0 .. 2n - 1, which fits 32 unsigned bits for lines up to INT_MAX
// rows long where 2n would leave the int range. a > 0 is b >= 2n - 2m.
template <class Depth, class Colour>
void walkLine(ZBuffer* zb, const ScreenPoint& start, const ScreenPoint& end, const LineWalk& w,
              Colour colour) {
  Depth depth(start, end, w.n);
  Pixel565* pixel = pixelAddress(zb, start.x, start.y);
  uint16_t* stored = depthAddress(zb, start.x, start.y);
  const uint32_t up = 2 * uint32_t(w.m);
  const uint32_t down = 2 * (uint32_t(w.n) - uint32_t(w.m));
  uint32_t b = uint32_t(w.n) - 1;
  depth.write(pixel, stored, colour.pixel());
  for (int i = 0; i < w.n; ++i) {
    depth.step();
    colour.step();
    if (b >= down) {
      pixel += w.diagonal_pixel;
      stored += w.diagonal_depth;
      b -= down;
    } else {
      pixel += w.axial_pixel;
      stored += w.axial_depth;
      b += up;
    }
    depth.write(pixel, stored, colour.pixel());
  }
}

// The steps shared by both line rasterizers: bounds, start point, a lone pixel, colour choice.
template <class Depth>
void drawLine(ZBuffer* zb, const ScreenPoint& p1, const ScreenPoint& p2) {
  if (!insideBuffer(zb, p1) || !insideBuffer(zb, p2)) return;
  const Pixel565 c1 = rgbToPixel(p1.r, p1.g, p1.b);
  const Pixel565 c2 = rgbToPixel(p2.r, p2.g, p2.b);
  // From the upper end; of two on one row, from the left one; of two equal points, from p1.
  const bool p2_first = p2.y < p1.y || (p2.y == p1.y && p2.x < p1.x);
  const ScreenPoint& start = p2_first ? p2 : p1;
  const ScreenPoint& end = p2_first ? p1 : p2;
  const int dx = end.x - start.x;
  const int dy = end.y - start.y;
  if (dx == 0 && dy == 0) {
    Depth(start, end, 1)
        .write(pixelAddress(zb, start.x, start.y), depthAddress(zb, start.x, start.y), c1);
    return;
  }
  const LineWalk w = lineWalk(zb, dx, dy);
  if (c1 == c2) {
    walkLine<Depth>(zb, start, end, w, FlatColour{c1});
  } else {
    walkLine<Depth>(zb, start, end, w, InterpolatedColour(start, end, w.n));
  }
}

}  // namespace

void zbPlot(ZBuffer* zb, const ScreenPoint* p) {
  if (!insideBuffer(zb, *p)) return;
  depthTestedWrite(pixelAddress(zb, p->x, p->y), depthAddress(zb, p->x, p->y), uint32_t(p->z),
                   rgbToPixel(p->r, p->g, p->b));
}

void zbLineDepth(ZBuffer* zb, const ScreenPoint* p1, const ScreenPoint* p2) {
  drawLine<DepthTested>(zb, *p1, *p2);
}

void zbLine(ZBuffer* zb, const ScreenPoint* p1, const ScreenPoint* p2) {
  drawLine<NoDepth>(zb, *p1, *p2);
}
