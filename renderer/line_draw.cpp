// The point and line drawers: receive vertices with complete screen points from clipping and
// hand their screen points on to zbPlot, zbLineDepth or zbLine of the context's ZBuffer, or their
// depths on to the selection hit recorder in GL_SELECT mode.
#include "renderer/line_draw.h"

#include "renderer/context.h"
#include "renderer/gl.h"
#include "renderer/select.h"
#include "renderer/triangle_draw.h"
#include "renderer/zline.h"

namespace {

// One line or polygon edge, with or without the depth test as the context says.
void drawEdge(RenderContext* c, const GLVertex* from, const GLVertex* to) {
  flushTriangleFills(c);  // pixels are written in drawing order
  if (c->depth_test_on) {
    zbLineDepth(c->zbuffer, &from->screen, &to->screen);
  } else {
    zbLine(c->zbuffer, &from->screen, &to->screen);
  }
}

}  // namespace

void drawPoint(RenderContext* c, GLVertex* v) {
  if (v->clip_code != 0) return;
  if (c->render_mode == GL_SELECT) {
    selectPointHit(c, v);
    return;
  }
  flushTriangleFills(c);
  zbPlot(c->zbuffer, &v->screen);
}

void drawLine(RenderContext* c, GLVertex* va, GLVertex* vb) {
  if ((va->clip_code | vb->clip_code) != 0) return;
  if (c->render_mode == GL_SELECT) {
    selectLineHit(c, va, vb);
    return;
  }
  drawEdge(c, va, vb);
}

void drawTriangleLines(RenderContext* c, GLVertex* va, GLVertex* vb, GLVertex* vc) {
  if (va->edge_flag) drawEdge(c, va, vb);
  if (vb->edge_flag) drawEdge(c, vb, vc);
  if (vc->edge_flag) drawEdge(c, vc, va);
}

void drawTrianglePoints(RenderContext* c, GLVertex* va, GLVertex* vb, GLVertex* vc) {
  flushTriangleFills(c);
  if (va->edge_flag) zbPlot(c->zbuffer, &va->screen);
  if (vb->edge_flag) zbPlot(c->zbuffer, &vb->screen);
  if (vc->edge_flag) zbPlot(c->zbuffer, &vc->screen);
}
