// Current vertex attributes and primitive assembly: receives the colour, texture-coordinate,
// normal, edge-flag, begin, vertex and end ops, and glVertex3f's vertices of separate triangles
// without their op (processTriangleVertex); transforms, classifies and converts each vertex and
// hands the points, lines and triangles it completes on to clipping (clip.cpp).
#include "renderer/vertex.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "renderer/clip.h"
#include "renderer/context.h"
#include "renderer/error.h"
#include "renderer/gl.h"
#include "renderer/light.h"
#include "renderer/stages.h"

namespace {

constexpr PrimitiveDrawers kClipping = {clipPoint, clipLine, clipTriangle};

// Doubles the vertex array, keeping the `pending` records held so far. A capacity whose double
// cannot be counted or allocated is the same fatal error as a failed allocation.
void growVertexArray(RenderContext* c) {
  const int capacity = c->vertex_capacity;
  GLVertex* grown = nullptr;
  if (capacity <= INT_MAX / 2 && size_t(capacity) <= SIZE_MAX / 2 / sizeof(GLVertex)) {
    grown = static_cast<GLVertex*>(glAlloc(size_t(capacity) * 2 * sizeof(GLVertex)));
  }
  if (grown == nullptr) glFatalError("unable to allocate GLVertex array.\n");
  std::memcpy(grown, c->vertices, size_t(c->pending) * sizeof(GLVertex));
  glFree(c->vertices);
  c->vertices = grown;
  c->vertex_capacity = capacity * 2;
}

// Clip coordinates through the combined matrix. The glVertex w is not used: objects are points
// with w = 1. An affine row 3 gives w straight from the matrix.
void transformUnlit(const RenderContext* c, GLVertex* v) {
  const float* m = c->mvp_matrix.m;
  const float x = v->coord.x, y = v->coord.y, z = v->coord.z;
  v->clip_coord.x = m[0] * x + m[1] * y + m[2] * z + m[3];
  v->clip_coord.y = m[4] * x + m[5] * y + m[6] * z + m[7];
  v->clip_coord.z = m[8] * x + m[9] * y + m[10] * z + m[11];
  v->clip_coord.w = c->mvp_affine_w ? m[15] : m[12] * x + m[13] * y + m[14] * z + m[15];
}

// Lighting needs the eye-space position and normal, so the two matrices are applied in turn.
void transformLit(const RenderContext* c, GLVertex* v) {
  v->eye_coord = m4Transform(*c->matrix_stack_ptr[0], {v->coord.x, v->coord.y, v->coord.z, 1});
  v->clip_coord = m4Transform(*c->matrix_stack_ptr[1], v->eye_coord);
  const float* n = c->normal_matrix.m;
  const Vec4& normal = c->current_normal;
  v->normal = {n[0] * normal.x + n[1] * normal.y + n[2] * normal.z,
               n[4] * normal.x + n[5] * normal.y + n[6] * normal.z,
               n[8] * normal.x + n[9] * normal.y + n[10] * normal.z};
  if (c->normalize_on) v3Normalize(&v->normal);
}

// The vertex's colour, and its screen colour when it is inside. Lit vertices are shaded also
// outside the view volume, because clipping interpolates their colours.
void colourVertex(RenderContext* c, GLVertex* v) {
  if (c->lighting_on) {
    shadeVertex(c, v);
  } else {
    v->color = c->current_color;
  }
  if (v->clip_code != 0) return;
  if (c->lighting_on) {
    toScreenColor(v);
  } else {
    v->screen.r = limitChannel(c->current_color_fixed[0]);  // packed once by glColor
    v->screen.g = limitChannel(c->current_color_fixed[1]);
    v->screen.b = limitChannel(c->current_color_fixed[2]);
  }
}

// Hands on the primitive the newest vertex (vertices[pending]) completes, and sets pending to
// the number of vertices the mode keeps for the next one.
void assemble(RenderContext* c, const PrimitiveDrawers& draw) {
  GLVertex* v = c->vertices;
  int n = c->pending + 1;
  switch (c->primitive) {
    case GL_POINTS:
      draw.point(c, &v[0]);
      n = 0;
      break;
    case GL_LINES:
      if (n == 2) {
        draw.line(c, &v[0], &v[1]);
        n = 0;
      }
      break;
    case GL_LINE_STRIP:
    case GL_LINE_LOOP:
      if (n == 1) {
        v[2] = v[0];  // the first vertex, kept for closing the loop at glEnd
      } else if (n == 2) {
        draw.line(c, &v[0], &v[1]);
        v[0] = v[1];
        n = 1;
      }
      break;
    case GL_TRIANGLES:
      if (n == 3) {
        draw.triangle(c, &v[0], &v[1], &v[2]);
        n = 0;
      }
      break;
    case GL_TRIANGLE_STRIP:
      // The last three vertices stay in slots 0-2 as a ring; every other triangle is handed on
      // reversed so that all keep the orientation of the first.
      if (c->vertex_total >= 3) {
        if (n == 3) n = 0;
        if (c->vertex_total % 2 == 0) {
          draw.triangle(c, &v[2], &v[1], &v[0]);
        } else {
          draw.triangle(c, &v[0], &v[1], &v[2]);
        }
      }
      break;
    case GL_TRIANGLE_FAN:
      if (n == 3) {
        draw.triangle(c, &v[0], &v[1], &v[2]);
        v[1] = v[2];
        n = 2;
      }
      break;
    case GL_QUADS:
      // Two triangles whose shared diagonal V0-V2 is not an edge of the quad.
      if (n == 4) {
        v[2].edge_flag = 0;
        draw.triangle(c, &v[0], &v[1], &v[2]);
        v[2].edge_flag = 1;
        v[0].edge_flag = 0;
        draw.triangle(c, &v[0], &v[2], &v[3]);
        n = 0;
      }
      break;
    case GL_QUAD_STRIP:
      if (n == 4) {
        draw.triangle(c, &v[0], &v[1], &v[2]);
        draw.triangle(c, &v[1], &v[3], &v[2]);
        v[0] = v[2];
        v[1] = v[3];
        n = 2;
      }
      break;
    case GL_POLYGON:
      break;  // held until glEnd
    default:
      glFatalError("glBegin: type %x not handled\n", static_cast<unsigned>(c->primitive));
  }
  c->pending = n;
}

}  // namespace

// The colour arrives with its rasterizer integers already packed by the entry point. With
// colour material on, the colour also becomes the material parameter it tracks.
void glopColor(RenderContext* c, const OpWord* p) {
  c->current_color = {p[1].asFloat(), p[2].asFloat(), p[3].asFloat(), p[4].asFloat()};
  for (int k = 0; k < 3; ++k) c->current_color_fixed[k] = p[5 + k].asInt();
  if (c->color_material_on) {
    OpWord material[7] = {OpWord::ofInt(kOpMaterial),
                          OpWord::ofInt(c->color_material_face),
                          OpWord::ofInt(c->color_material_param),
                          p[1],
                          p[2],
                          p[3],
                          p[4]};
    glopMaterial(c, material);
  }
}

void glopTexCoord(RenderContext* c, const OpWord* p) {
  c->current_tex_coord = {p[1].asFloat(), p[2].asFloat(), p[3].asFloat(), p[4].asFloat()};
}

void glopNormal(RenderContext* c, const OpWord* p) {
  c->current_normal = {p[1].asFloat(), p[2].asFloat(), p[3].asFloat(), 0.0f};
}

void glopEdgeFlag(RenderContext* c, const OpWord* p) { c->current_edge_flag = p[1].asInt(); }

// The mode is not checked here: an unknown one is reported at the first vertex.
void glopBegin(RenderContext* c, const OpWord* p) {
  RK_ASSERT(c->in_begin == 0, "vertex");
  c->primitive = p[1].asInt();
  c->in_begin = 1;
  c->pending = 0;
  c->vertex_total = 0;
  if (c->mvp_dirty) recomputeMatrices(c);
  if (c->viewport.dirty) setViewportTransform(c);
  chooseTriangleDrawers(c);
}

void glopVertex(RenderContext* c, const OpWord* p) {
  processVertex(c, {p[1].asFloat(), p[2].asFloat(), p[3].asFloat(), p[4].asFloat()}, kClipping);
}

void glopEnd(RenderContext* c, const OpWord*) { finishPrimitive(c, kClipping); }

// Everything a vertex gets before assembly: counted, transformed, classified, given its texture
// coordinates and colour, converted when inside. Shared by processVertex and the immediate
// triangle path, so that both store the same vertex bit for bit.
static inline void storeVertex(RenderContext* c, Vec4 coord) {
  c->vertex_total += 1;
  if (c->pending >= c->vertex_capacity) growVertexArray(c);
  GLVertex* v = &c->vertices[c->pending];
  v->coord = coord;
  if (c->lighting_on) {
    transformLit(c, v);
  } else {
    transformUnlit(c, v);
  }
  v->clip_code = clipCode(v->clip_coord);
  if (c->texturing_on) {
    v->tex_coord = c->texture_matrix_on ? m4Transform(*c->matrix_stack_ptr[2], c->current_tex_coord)
                                        : c->current_tex_coord;
  }
  if (v->clip_code == 0) toScreenPosition(c, v);  // may mark it off the buffer
  colourVertex(c, v);
  v->edge_flag = c->current_edge_flag;
}

void processVertex(RenderContext* c, Vec4 coord, const PrimitiveDrawers& drawers) {
  RK_ASSERT(c->in_begin != 0, "vertex");
  storeVertex(c, coord);
  assemble(c, drawers);
}

// Assembly's GL_TRIANGLES case with clipping as the drawing stage, called directly.
void processTriangleVertex(RenderContext* c, float x, float y, float z) {
  storeVertex(c, {x, y, z, 1.0f});
  if (c->pending < 2) {
    c->pending += 1;
    return;
  }
  GLVertex* v = c->vertices;
  c->immediate_triangles += 1;
  clipTriangle(c, &v[0], &v[1], &v[2]);
  c->pending = 0;
}

void finishPrimitive(RenderContext* c, const PrimitiveDrawers& drawers) {
  RK_ASSERT(c->in_begin == 1, "vertex");
  GLVertex* v = c->vertices;
  if (c->primitive == GL_LINE_LOOP && c->vertex_total >= 3) {
    drawers.line(c, &v[0], &v[2]);  // from the last vertex back to the first
  } else if (c->primitive == GL_POLYGON) {
    // A fan around V0, its triangles handed on from the last to the first.
    for (int i = c->vertex_total; i >= 3;) {
      --i;
      drawers.triangle(c, &v[i], &v[0], &v[i - 1]);
    }
  }
  c->in_begin = 0;
}
