// Clipping and primitive set-up: receives points, lines and triangles from primitive assembly
// as GLVertex records with clip coordinates and clip codes; converts vertices to screen points,
// clips what crosses the view volume, culls triangles and hands them on to draw_front or
// draw_back (the fills, through drawTriangleFill).
#include "renderer/clip.h"

#include <climits>

#include "renderer/context.h"
#include "renderer/gl.h"
#include "renderer/line_draw.h"
#include "renderer/select.h"
#include "renderer/triangle_draw.h"

namespace {

// Screen depth for z/w: the far plane at 8192, the near plane at 2^30 + 8192 (clamped).
constexpr float kDepthScale = -536870912.0f;  // -(2^30 - 0.5) / 2 as a float
constexpr float kDepthOffset = 536879104.0f;  // (2^30 - 0.5) / 2 + 2^13 as a float

float axisOf(const Vec4& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

void setAxis(Vec4* v, int axis, float value) {
  if (axis == 0) {
    v->x = value;
  } else if (axis == 1) {
    v->y = value;
  } else {
    v->z = value;
  }
}

Vec4 lerp(const Vec4& a, const Vec4& d, float t) {
  return {a.x + t * d.x, a.y + t * d.y, a.z + t * d.z, a.w + t * d.w};
}

Vec4 difference(const Vec4& b, const Vec4& a) {
  return {b.x - a.x, b.y - a.y, b.z - a.z, b.w - a.w};
}

TriangleDrawer drawerForPolygonMode(int mode) {
  if (mode == GL_POINT) return drawTrianglePoints;
  if (mode == GL_LINE) return drawTriangleLines;
  return drawTriangleFill;
}

// A new vertex where the edge a-b crosses clip plane k, with t measured from a; the clipped
// axis lands exactly on the plane. Colour follows the shade model, texture coordinates are
// interpolated while texturing is on, and the vertex is converted when it is inside.
void vertexOnPlane(const RenderContext* c, GLVertex* out, const GLVertex& a, const GLVertex& b,
                   int k) {
  const int axis = k >> 1;
  const bool plus_w = (k & 1) != 0;
  const Vec4 d = difference(b.clip_coord, a.clip_coord);
  const float au = axisOf(a.clip_coord, axis);
  const float du = axisOf(d, axis);
  const float denominator = plus_w ? -du + d.w : du + d.w;
  const float numerator = plus_w ? au - a.clip_coord.w : -au - a.clip_coord.w;
  const float t = denominator != 0.0f ? numerator / denominator : 0.0f;
  out->clip_coord = lerp(a.clip_coord, d, t);
  setAxis(&out->clip_coord, axis, plus_w ? out->clip_coord.w : -out->clip_coord.w);
  out->color = a.color;
  if (c->shade_model == GL_SMOOTH) {
    out->color.x = a.color.x + t * (b.color.x - a.color.x);
    out->color.y = a.color.y + t * (b.color.y - a.color.y);
    out->color.z = a.color.z + t * (b.color.z - a.color.z);
  }
  if (c->texturing_on) {
    out->tex_coord = a.tex_coord;
    out->tex_coord.x = a.tex_coord.x + t * (b.tex_coord.x - a.tex_coord.x);
    out->tex_coord.y = a.tex_coord.y + t * (b.tex_coord.y - a.tex_coord.y);
  }
  out->clip_code = clipCode(out->clip_coord);
  if (out->clip_code == 0) {
    toScreenPosition(c, out);
    toScreenColor(out);
  }
}

// A triangle whose three vertices are inside: its facing from the signed screen area, then
// culling, then the drawer for that side. A zero area draws nothing.
void drawInsideTriangle(RenderContext* c, GLVertex* p0, GLVertex* p1, GLVertex* p2) {
  const ScreenPoint& s0 = p0->screen;
  const ScreenPoint& s1 = p1->screen;
  const ScreenPoint& s2 = p2->screen;
  const float area =
      float(s1.x - s0.x) * float(s2.y - s0.y) - float(s2.x - s0.x) * float(s1.y - s0.y);
  if (area == 0.0f) return;
  // Counter-clockwise on a screen whose y grows downward gives a negative area.
  const bool front = (area < 0.0f) != (c->front_face_cw != 0);
  TriangleDrawer draw = front ? c->draw_front : c->draw_back;
  if (c->culling_on) {
    const bool culled = c->cull_face == GL_FRONT_AND_BACK || (c->cull_face == GL_BACK && !front) ||
                        (c->cull_face == GL_FRONT && front);
    if (culled) return;
  }
  draw(c, p0, p1, p2);
}

// Rotates (p0, p1, p2) so that the vertex for which `pick` holds comes first, keeping the
// winding.
template <class Pick>
void rotateToFront(GLVertex** q0, GLVertex** q1, GLVertex** q2, Pick pick) {
  GLVertex* p0 = *q0;
  GLVertex* p1 = *q1;
  GLVertex* p2 = *q2;
  if (pick(p0)) return;
  if (pick(p1)) {
    *q0 = p1, *q1 = p2, *q2 = p0;
  } else {
    *q0 = p2, *q1 = p0, *q2 = p1;
  }
}

// Clips the triangle against the planes from k on, one plane per level, so that the recursion
// is at most six deep with its new vertices on the stack. Edge flags follow the original
// edges: the pieces of an edge keep its flag, the cut along a plane is an edge (flag 1), and the
// diagonal that splits a four-sided remainder into two triangles is not (flag 0).
void clipTriangleFrom(RenderContext* c, GLVertex* p0, GLVertex* p1, GLVertex* p2, int k) {
  const int c0 = p0->clip_code, c1 = p1->clip_code, c2 = p2->clip_code;
  if ((c0 | c1 | c2) == 0) {
    drawInsideTriangle(c, p0, p1, p2);
    return;
  }
  if ((c0 & c1 & c2) != 0) return;
  const int outside = c0 | c1 | c2;
  while (k < kClipPlanes && (outside & (1 << k)) == 0) ++k;
  if (k == kClipPlanes) return;  // what is left lies outside the buffer or off by rounding only
  const int m = 1 << k;
  GLVertex a, b;
  if (((c0 ^ c1 ^ c2) & m) != 0) {  // one vertex beyond the plane: a four-sided remainder
    rotateToFront(&p0, &p1, &p2, [m](const GLVertex* v) { return (v->clip_code & m) != 0; });
    vertexOnPlane(c, &a, *p0, *p1, k);
    vertexOnPlane(c, &b, *p0, *p2, k);
    a.edge_flag = p0->edge_flag;
    const int p2_edge_flag = p2->edge_flag;
    p2->edge_flag = 0;
    clipTriangleFrom(c, &a, p1, p2, k + 1);
    b.edge_flag = 1;
    a.edge_flag = 0;
    p2->edge_flag = p2_edge_flag;
    clipTriangleFrom(c, &b, &a, p2, k + 1);
  } else {  // two vertices beyond the plane: a smaller triangle
    rotateToFront(&p0, &p1, &p2, [m](const GLVertex* v) { return (v->clip_code & m) == 0; });
    vertexOnPlane(c, &a, *p0, *p1, k);
    vertexOnPlane(c, &b, *p0, *p2, k);
    a.edge_flag = 1;
    b.edge_flag = p2->edge_flag;
    clipTriangleFrom(c, p0, &a, &b, k + 1);
  }
}

// The end of a clipped line at parameter t from p1: clip coordinates and colour interpolated,
// then converted. False when the end cannot be converted soundly (NaN or rounding beyond the
// volume's tolerance).
bool lineEnd(const RenderContext* c, const GLVertex& p1, const Vec4& d, const Vec4& dcolor, float t,
             GLVertex* out) {
  out->clip_coord = lerp(p1.clip_coord, d, t);
  out->color = p1.color;
  out->color.x = p1.color.x + t * dcolor.x;
  out->color.y = p1.color.y + t * dcolor.y;
  out->color.z = p1.color.z + t * dcolor.z;
  out->edge_flag = p1.edge_flag;
  out->clip_code = clipCode(out->clip_coord);
  if (out->clip_code != 0) return false;
  toScreenPosition(c, out);
  toScreenColor(out);
  return out->clip_code == 0;
}

}  // namespace

void setViewportTransform(RenderContext* c) {
  Viewport* vp = &c->viewport;
  const float half_width = (float(vp->width) - 0.5f) / 2;
  const float half_height = (float(vp->height) - 0.5f) / 2;
  vp->scale = {half_width, -half_height, kDepthScale};
  vp->offset = {half_width + float(vp->x), half_height + float(vp->y), kDepthOffset};
  vp->dirty = 0;
}

void chooseTriangleDrawers(RenderContext* c) {
  if (c->render_mode == GL_SELECT) {
    c->draw_front = drawTriangleSelect;
    c->draw_back = drawTriangleSelect;
    return;
  }
  c->draw_front = drawerForPolygonMode(c->front_polygon_mode);
  c->draw_back = drawerForPolygonMode(c->back_polygon_mode);
}

void toScreenColor(GLVertex* v) {
  const float r = v->color.x * 63488.0f + 1024.0f;
  const float g = v->color.y * 64512.0f + 512.0f;
  const float b = v->color.z * 63488.0f + 1024.0f;
  v->screen.r = limitChannel(truncSaturated(r));
  v->screen.g = limitChannel(truncSaturated(g));
  v->screen.b = limitChannel(truncSaturated(b));
}

void clipPoint(RenderContext* c, GLVertex* v) {
  if (v->clip_code == 0) drawPoint(c, v);
}

void clipLine(RenderContext* c, GLVertex* p1, GLVertex* p2) {
  if ((p1->clip_code | p2->clip_code) == 0) {
    drawLine(c, p1, p2);
    return;
  }
  if ((p1->clip_code & p2->clip_code) != 0) return;
  GLVertex q1, q2;
  if (clipLineEnds(c, *p1, *p2, &q1, &q2)) drawLine(c, &q1, &q2);
}

bool clipLineEnds(const RenderContext* c, const GLVertex& p1, const GLVertex& p2, GLVertex* q1,
                  GLVertex* q2) {
  const Vec4& a = p1.clip_coord;
  const Vec4 d = difference(p2.clip_coord, a);
  // Liang-Barsky: each plane bounds t from below (denominator > 0) or above (< 0); a line
  // parallel to a plane is rejected when it lies beyond it.
  const float denominators[kClipPlanes] = {d.x + d.w,  -d.x + d.w, d.y + d.w,
                                           -d.y + d.w, d.z + d.w,  -d.z + d.w};
  const float numerators[kClipPlanes] = {-a.x - a.w, a.x - a.w,  -a.y - a.w,
                                         a.y - a.w,  -a.z - a.w, a.z - a.w};
  float tmin = 0.0f, tmax = 1.0f;
  for (int k = 0; k < kClipPlanes; ++k) {
    const float den = denominators[k];
    const float num = numerators[k];
    if (den > 0.0f) {
      const float t = num / den;
      if (t > tmax) return false;
      if (t > tmin) tmin = t;
    } else if (den < 0.0f) {
      const float t = num / den;
      if (t < tmin) return false;
      if (t < tmax) tmax = t;
    } else if (num > 0.0f) {
      return false;
    }
  }
  const Vec4 dcolor = difference(p2.color, p1.color);
  const bool first = lineEnd(c, p1, d, dcolor, tmin, q1);
  const bool second = lineEnd(c, p1, d, dcolor, tmax, q2);
  return first && second;
}

void clipTriangle(RenderContext* c, GLVertex* p0, GLVertex* p1, GLVertex* p2) {
  if ((p0->clip_code | p1->clip_code | p2->clip_code) == 0) {
    drawInsideTriangle(c, p0, p1, p2);  // the common case: no clipping
    return;
  }
  if ((p0->clip_code & p1->clip_code & p2->clip_code) != 0) return;
  clipTriangleFrom(c, p0, p1, p2, 0);
}
