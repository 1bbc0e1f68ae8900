// The integer screen-space vertex that clipping fills after projection and the triangle, line
// and point rasterizers read. Receives nothing; the vertex record embeds it and hands it on to
// the fills, which change only the two scratch fields of the textured fill.
#pragma once

struct ScreenPoint {
  // Pixel column, 0 = left.
  int x;
  // Pixel row, 0 = top.
  int y;
  // Depth in 16.14 fixed point: the stored depth value is z >> 14 taken unsigned. Larger is
  // nearer: about 8192 at the far plane, about 2^30 at the near plane.
  int z;
  // Texture column in 8.14 fixed point: bits 14-21 are the texel column 0..255, bits 0-13 the
  // fraction; higher bits are ignored, so coordinates wrap every 256 texels. Clipping stores
  // int(u x 4177920 + 8192), which puts u = 0 on column 0 and u = 1 on column 255.
  int s;
  // Texture row in 8.22 fixed point: bits 22-29 are the texel row 0..255, bits 0-21 the
  // fraction; bits 30-31 are ignored. Clipping stores int(v x 1069547520 + 2097152).
  int t;
  // Red on the 0..65535 scale.
  int r;
  // Green on the 0..65535 scale.
  int g;
  // Blue on the 0..65535 scale.
  int b;
  // Scratch of the textured fill: float(s) x float(z), written there before its set-up.
  float sz;
  // Scratch of the textured fill: float(t) x float(z).
  float tz;
};
