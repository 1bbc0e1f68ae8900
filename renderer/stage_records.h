// The records that travel between the renderer's stages: the vertex of primitive assembly
// (GLVertex) and the integer screen-space point inside it (ScreenPoint) that clipping fills and
// the rasterizers read.
#pragma once

#include "renderer/matrix_math.h"
#include "renderer/screen_point.h"  // ScreenPoint: the rasterizers' integer vertex

// One vertex held by primitive assembly between glBegin and glEnd.
struct GLVertex {
  // For polygons drawn as lines: whether the edge that starts at this vertex is drawn.
  int edge_flag;
  Vec3 normal;      // eye-space normal (lighting only)
  Vec4 coord;       // object coordinates as given to glVertex; w is stored, never read
  Vec4 tex_coord;   // s, t, r, q after the texture matrix (set only while texturing is on)
  Vec4 color;       // r, g, b, a on 0..1
  Vec4 eye_coord;   // model-view x object coordinates (lighting only)
  Vec4 clip_coord;  // clip space: inside the view volume when -w <= x, y, z <= w
  // Outside mask, one bit per clip plane: 1 x < -w, 2 x > w, 4 y < -w, 8 y > w, 16 z < -w,
  // 32 z > w (w scaled by 1.00001 first); NaN or unprojectable coordinates set bits too. 64:
  // inside the volume, but the screen point lies outside the ZBuffer (see renderer/clip.h).
  int clip_code;
  ScreenPoint screen;  // valid only when clip_code is 0
};
