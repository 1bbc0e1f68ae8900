// The fill drawer: receives one front- or back-facing triangle in polygon mode GL_FILL from
// clipping, as three vertices with complete screen points, and hands it on to the textured, the
// smooth or the flat fill of the context's ZBuffer.
#pragma once

struct RenderContext;
struct GLVertex;

// Texturing on: the bound texture's level-0 texels become the ZBuffer's texture and the
// textured fill draws the triangle. Texturing off, or a bound texture without an image (no
// glTexImage2D yet, or its allocation failed): the smooth fill under GL_SMOOTH, else the flat
// fill, as OpenGL treats an incomplete texture as no texture. The perspective hint is not read.
// With more than one raster thread the triangle is appended to the waiting list instead, with
// the fill and texels chosen here and the blend switch and key read now.
void drawTriangleFill(RenderContext* c, GLVertex* va, GLVertex* vb, GLVertex* vc);

// Draws the triangles that wait for the drawing threads, if any.
void flushTriangleFills(RenderContext* c);

// Closes the drawing threads, after drawing what waits; triangles are then drawn at once.
void closeTriangleThreads(RenderContext* c);
