// The on-screen display's drawing primitives inside the view module: receive a canvas, shapes,
// colours and opacities; hand on the canvas with the shapes blended in, clipped at every edge.
#pragma once
#include "tools/view/osd.h"

// Whether drawing into the canvas is safe: pixels, a positive size and pitch >= width.
bool osdCanvasUsable(const OsdCanvas& canvas);
// The part of `rect` inside the canvas (width or height 0 when none).
OsdRect osdClip(const OsdCanvas& canvas, OsdRect rect);
// Blends `color` at `alpha` (0..256) over every pixel of `rect`.
void osdFillRect(OsdCanvas& canvas, OsdRect rect, Pixel565 color, int alpha);
// Covers the rows of `rect` from its left edge to `length_256` (in 1/256 pixel) across it with
// `color`; the last, partly covered column is blended by how much of it is covered.
void osdFillSpan(OsdCanvas& canvas, OsdRect rect, int64_t length_256, Pixel565 color);
// A disc of `radius` around (cx, cy) in pixel units (a pixel's centre is at +0.5), its rim
// smoothed over one pixel, blended at `alpha`.
void osdFillDisc(OsdCanvas& canvas, double cx, double cy, double radius, Pixel565 color, int alpha);
