// The textured fill as the drawing path calls it: with the blend switch and the key colour of
// the current render context, read once per triangle. Receives the points; hands them on to
// zbFillTexturedKeyed, which knows no context and is tested without one.
#include "renderer/context.h"
#include "renderer/gl.h"
#include "renderer/ztriangle.h"

void zbFillTextured(ZBuffer* zb, ScreenPoint* p0, ScreenPoint* p1, ScreenPoint* p2) {
  const RenderContext* c = glCurrentContext();
  zbFillTexturedKeyed(zb, p0, p1, p2, c->blend_on, c->transparent_key);
}
