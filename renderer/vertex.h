// Primitive assembly's interface beside its ops: the vertex and end steps with the drawing stage
// they hand points, lines and triangles to. The ops hand them to clipping; the assembly tests
// hand them to recorders.
#pragma once

#include "renderer/stage_records.h"

struct RenderContext;

// Where assembled primitives go, each receiving vertices of the context's vertex array (or
// copies of them) in the order the primitive mode gives.
struct PrimitiveDrawers {
  void (*point)(RenderContext* c, GLVertex* v);
  void (*line)(RenderContext* c, GLVertex* p1, GLVertex* p2);
  void (*triangle)(RenderContext* c, GLVertex* p0, GLVertex* p1, GLVertex* p2);
};

// What the Vertex op does with object coordinates (x, y, z, w): transform, classify, colour,
// convert and store the vertex, then hand on whatever primitive it completes.
void processVertex(RenderContext* c, Vec4 coord, const PrimitiveDrawers& drawers);

// The immediate path of glVertex3f(x, y, z) inside glBegin(GL_TRIANGLES): the vertex processVertex
// would store for (x, y, z, 1), and every third one hands its triangle straight to clipping (which
// draws an inside triangle at once), without an op record or the drawers table. The caller has
// checked that such a primitive is open.
void processTriangleVertex(RenderContext* c, float x, float y, float z);

// What the End op does: closes a line loop, fans out a polygon, and leaves glBegin.
void finishPrimitive(RenderContext* c, const PrimitiveDrawers& drawers);
