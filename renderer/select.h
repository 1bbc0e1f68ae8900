// Selection mode's hit recorders, which the point, line and triangle drawers call while the
// render mode is GL_SELECT (glRenderMode and glSelectBuffer are declared in gl.h).
#pragma once

#include "renderer/gl.h"

struct RenderContext;
struct GLVertex;

// Records a hit with depth values `first` and `second`: widens the current record (word 1 keeps
// the smallest first value, word 2 the largest second value, compared unsigned) or, after a
// name-stack change, opens a new one holding the name stack. Does nothing outside GL_SELECT
// mode or once the buffer has overflowed.
void addSelectHit(RenderContext* c, unsigned first, unsigned second);

// The hits of the drawers. A point records its screen depth as both values; a line and a
// triangle record 0xFFFFFFFF minus the smallest and 0xFFFFFFFF minus the largest of their
// screen depths (taken unsigned). drawTriangleSelect is the triangle drawer of GL_SELECT mode.
void selectPointHit(RenderContext* c, const GLVertex* v);
void selectLineHit(RenderContext* c, const GLVertex* va, const GLVertex* vb);
void drawTriangleSelect(RenderContext* c, GLVertex* va, GLVertex* vb, GLVertex* vc);
