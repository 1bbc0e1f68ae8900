// Selection mode's interface: glRenderMode and glSelectBuffer (public calls that act at once and
// are never compiled, declared here rather than in gl.h), and the hit recorders that the point,
// line and triangle drawers call while the render mode is GL_SELECT.
#pragma once

struct RenderContext;
struct GLVertex;

// Leaves the current render mode and enters `mode` (GL_RENDER or GL_SELECT). Returns 0 when
// leaving GL_RENDER; when leaving GL_SELECT, the number of hit records written, negated when
// the buffer overflowed. Entering GL_SELECT needs a select buffer and starts a new pass at its
// first word.
int glRenderMode(int mode);

// The caller's buffer for hit records, `size` words. Not allowed in GL_SELECT mode. Records are
// never written past `size` words; a record that does not fit ends recording until the next
// glRenderMode.
void glSelectBuffer(int size, unsigned* buffer);

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
