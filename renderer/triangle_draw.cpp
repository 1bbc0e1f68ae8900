// The choice of fill for a triangle: receives the three vertices of a filled triangle from
// clipping and hands their screen points on to the textured, smooth or flat fill, with the
// bound texture's texels set on the ZBuffer for the textured one.
#include "renderer/triangle_draw.h"

#include "renderer/context.h"
#include "renderer/gl.h"
#include "renderer/ztriangle.h"

void drawTriangleFill(RenderContext* c, GLVertex* va, GLVertex* vb, GLVertex* vc) {
  ZBuffer* zb = c->zbuffer;
  const Pixel565* texels = c->texturing_on ? c->bound_texture->images[0].pixels : nullptr;
  if (texels != nullptr) {
    zbSetTexture(zb, texels);
    zbFillTextured(zb, &va->screen, &vb->screen, &vc->screen);
  } else if (c->shade_model == GL_SMOOTH) {
    zbFillSmooth(zb, &va->screen, &vb->screen, &vc->screen);
  } else {
    zbFillFlat(zb, &va->screen, &vb->screen, &vc->screen);
  }
}
