// The point and line rasterizers: turn one or two ScreenPoints into one-pixel-wide 5-6-5 pixels
// of a ZBuffer, depth-tested or not, in one colour or with the colour interpolated along the
// line. Receives the points and the ZBuffer; hands on written pixels and depth values only.
#pragma once

// Callers see the full records through renderer/screen_point.h and renderer/zbuffer.h.
struct ScreenPoint;
struct ZBuffer;

// A point or a line end outside the ZBuffer (clipping keeps them inside) makes the whole
// primitive draw nothing, so no pixel or depth value past the buffer is ever touched.

// One pixel: written, and its stored depth set to z >> 14, when that value is at least the stored
// one (unsigned). Points are always depth-tested, whatever the context's depth test says.
void zbPlot(ZBuffer* zb, const ScreenPoint* p);

// A line from p1 to p2, both ends included, one pixel per step along the longer axis, drawn
// from the end with the smaller y (of equal y, the smaller x). Every pixel does the depth step of
// zbPlot with depth interpolated along the line. When both ends give the same 5-6-5 colour the
// whole line is that colour; otherwise red, green and blue are interpolated from start to end.
void zbLineDepth(ZBuffer* zb, const ScreenPoint* p1, const ScreenPoint* p2);

// zbLine: the same pixels and colours as zbLineDepth, written over whatever is there; the depth
// buffer is neither read nor written.
void zbLine(ZBuffer* zb, const ScreenPoint* p1, const ScreenPoint* p2);
