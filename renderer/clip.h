// Clipping and primitive set-up, as primitive assembly calls them: receives GLVertex records
// with clip coordinates and clip codes; converts them to screen points, clips what crosses the
// view volume, culls triangles and hands them on to the drawers chosen at glBegin.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cfloat>
#include <climits>

#include "renderer/context.h"
#include "renderer/stage_records.h"

// Clip-code bits, one per plane of the view volume: 1 x = -w, 2 x = w, 4 y = -w, 8 y = w,
// 16 z = -w (near), 32 z = w (far). A set bit means the vertex lies beyond that plane.
inline constexpr int kClipPlanes = 6;
inline constexpr int kAllClipPlanes = (1 << kClipPlanes) - 1;
// Set beside the plane bits when a vertex inside the view volume lands outside the ZBuffer,
// which only a viewport larger than the buffer can cause. The clipper knows no plane for it, so
// every triangle touching such a vertex is dropped rather than drawn past the buffer's edge.
inline constexpr int kOffBufferBit = 1 << kClipPlanes;

// The largest screen depth (16.14) a vertex gets. The near plane maps to 2^30 + 8192, whose
// stored 16-bit depth would wrap to 0, the farthest value; nearer depths are clamped here
// instead, 256 depth steps below the wrap, so that the fills' interpolation, which can overshoot
// the vertices' range a little, stays below 2^30 too. Nearer stays nearer.
inline constexpr int kNearestScreenZ = (65536 - 256) << 14;

// The outside mask of clip coordinates: a bit per plane beyond which the point lies, with w
// widened by 1.00001 so that points on a plane count as inside. NaN coordinates are outside
// every plane they are compared with. A point that passes all six tests but cannot be
// projected soundly (w' not a finite positive normal float: the eye point, or overflow) gets
// every plane bit, so that it is never converted to screen coordinates.
// Inline: every vertex is classified.
inline int clipCode(const Vec4& p) {
  const float w = p.w * 1.00001f;
  // x, y and z at once against -w and against w, as "not inside" comparisons (NGE, NLE) so that
  // a NaN coordinate counts as outside; lane w is masked off. The two 3-bit masks are then
  // interleaved into the plane bits: x beyond -w is 1, x beyond w is 2, y beyond -w 4, and so on.
#if defined(__SSE2__)
  const __m128 xyz = _mm_loadu_ps(&p.x);
  const int below = _mm_movemask_ps(_mm_cmpnge_ps(xyz, _mm_set1_ps(-w))) & 7;
  const int above = _mm_movemask_ps(_mm_cmpnle_ps(xyz, _mm_set1_ps(w))) & 7;
  static constexpr unsigned char kEvenBits[8] = {0, 1, 4, 5, 16, 17, 20, 21};
  int code = kEvenBits[below] | (kEvenBits[above] << 1);
#else
  int code = (!(p.x >= -w) ? 1 : 0) | (!(p.x <= w) ? 2 : 0) | (!(p.y >= -w) ? 4 : 0) |
             (!(p.y <= w) ? 8 : 0) | (!(p.z >= -w) ? 16 : 0) | (!(p.z <= w) ? 32 : 0);
#endif
  // Inside with w' finite and at least FLT_MIN, |x / w| stays near 1 and 1 / w is finite.
  if (code == 0 && !(w >= FLT_MIN && w <= FLT_MAX)) code = kAllClipPlanes;
  return code;
}

// The viewport's screen transform (scale and offset), recomputed at glBegin while the viewport
// is dirty; clears the dirty flag.
void setViewportTransform(RenderContext* c);

// draw_front and draw_back for the primitive about to start, from the render mode and the
// front and back polygon modes.
void chooseTriangleDrawers(RenderContext* c);

// Float to int, truncating toward zero: out-of-range values saturate and NaN gives 0, where a
// plain conversion would be undefined. Inline because every vertex converts five values.
inline int truncSaturated(float v) {
  if (v >= -2147483648.0f && v < 2147483648.0f) return static_cast<int>(v);
  if (v > 0) return INT_MAX;
  return v < 0 ? INT_MIN : 0;
}

// Texture coordinates to the fixed-point formats of ScreenPoint: u = 0..1 onto texel columns
// 0..255 in bits 14-21 of s, v = 0..1 onto rows 0..255 in bits 22-29 of t (0 on the first
// texel, 1 on the last). Beyond what 32 bits hold (|u| above about 514, |v| above about 2) the
// values saturate, so such coordinates clamp to an edge texel instead of wrapping.
inline constexpr float kSScale = 4177920.0f;  // 255 x 2^14
inline constexpr float kSOffset = 8192.0f;
inline constexpr float kTScale = 1069547520.0f;  // 255 x 2^22
inline constexpr float kTOffset = 2097152.0f;

// Screen x, y and z of a vertex whose clip code is 0, and its s and t while texturing is on.
// Adds kOffBufferBit to the clip code when the point lands outside the ZBuffer. Inline: every
// vertex inside the view volume is converted.
inline void toScreenPosition(const RenderContext* c, GLVertex* v) {
  const Viewport& vp = c->viewport;
  const float q = 1.0f / v->clip_coord.w;
  // Each value is rounded to a float before it is truncated.
  const float x = v->clip_coord.x * q * vp.scale.x + vp.offset.x;
  const float y = v->clip_coord.y * q * vp.scale.y + vp.offset.y;
  const float z = v->clip_coord.z * q * vp.scale.z + vp.offset.z;
  ScreenPoint* s = &v->screen;
  s->x = truncSaturated(x);
  s->y = truncSaturated(y);
  const int depth = truncSaturated(z);
  s->z = depth < kNearestScreenZ ? depth : kNearestScreenZ;
  const ZBuffer* zb = c->zbuffer;
  if (unsigned(s->x) >= unsigned(zb->width) || unsigned(s->y) >= unsigned(zb->height)) {
    v->clip_code |= kOffBufferBit;
  }
  if (c->texturing_on) {
    const float sf = v->tex_coord.x * kSScale + kSOffset;
    const float tf = v->tex_coord.y * kTScale + kTOffset;
    s->s = truncSaturated(sf);
    s->t = truncSaturated(tf);
  }
}

// Colour channels handed to the fills are kept within +-kChannelLimit, so that the difference
// of two vertices' channels, which the fills take in int arithmetic, cannot overflow. Channels
// of colours up to about 16900 times full intensity are untouched.
inline constexpr int kChannelLimit = (1 << 30) - 1;

inline int limitChannel(int value) {
  return value > kChannelLimit ? kChannelLimit : value < -kChannelLimit ? -kChannelLimit : value;
}

// Screen red, green and blue from the vertex's float colour (lit vertices and vertices made by
// clipping; unlit vertices take the current colour's packed integers instead).
void toScreenColor(GLVertex* v);

// The drawing stage of each primitive kind, in the order assembly hands them on.
void clipPoint(RenderContext* c, GLVertex* v);
void clipLine(RenderContext* c, GLVertex* p1, GLVertex* p2);
void clipTriangle(RenderContext* c, GLVertex* p0, GLVertex* p1, GLVertex* p2);

// The part of the line p1-p2 inside the view volume, as two new vertices with clip coordinates
// and colour interpolated from p1, converted to screen coordinates. False when nothing of the
// line remains (or its ends cannot be converted soundly).
bool clipLineEnds(const RenderContext* c, const GLVertex& p1, const GLVertex& p2, GLVertex* q1,
                  GLVertex* q2);
