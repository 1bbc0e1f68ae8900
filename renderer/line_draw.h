// The point and line drawers: receive points, lines whose ends are inside the view volume, and
// triangles drawn in polygon mode GL_POINT or GL_LINE from clipping, as vertices with complete
// screen points; hand them on to the point and line rasterizers or, in GL_SELECT, to selection.
#pragma once

struct RenderContext;
struct GLVertex;

// A vertex outside the view volume (non-zero clip code) draws nothing. In GL_SELECT mode a hit
// with the point's depth as both values; otherwise a depth-tested pixel, whatever GL_DEPTH_TEST
// says.
void drawPoint(RenderContext* c, GLVertex* v);

// A line between two ends inside the view volume (either clip code non-zero: nothing). In
// GL_SELECT mode a hit with 0xFFFFFFFF minus the smaller and minus the larger of the two depths;
// otherwise a depth-tested line while GL_DEPTH_TEST is on, a plain one while it is off.
void drawLine(RenderContext* c, GLVertex* va, GLVertex* vb);

// Polygon mode GL_LINE: the edges va-vb, vb-vc and vc-va, in that order, each only when the edge
// flag of its first vertex is set; depth-tested as drawLine decides.
void drawTriangleLines(RenderContext* c, GLVertex* va, GLVertex* vb, GLVertex* vc);

// Polygon mode GL_POINT: a depth-tested pixel at each of va, vb, vc whose edge flag is set.
void drawTrianglePoints(RenderContext* c, GLVertex* va, GLVertex* vb, GLVertex* vc);
