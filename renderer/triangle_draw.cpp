// The choice of fill for a triangle: receives the three vertices of a filled triangle from
// clipping and hands their screen points on to the textured, smooth or flat fill, with the
// bound texture's texels set on the ZBuffer for the textured one, or to the drawing threads' list.
#include "renderer/triangle_draw.h"

#include <algorithm>

#include "renderer/context.h"
#include "renderer/gl.h"
#include "renderer/zbands.h"
#include "renderer/ztriangle.h"

namespace {

constexpr int kMaxRasterThreads = 64;

// The state the textured fill reads, taken now: a later state change must not reach a triangle
// that waits.
FillKind texturedKind(const RenderContext* c) {
  const bool keyed = c->blend_on != 0 && (c->transparent_key & ~0xFFFF) == 0;
  return keyed ? FillKind::kTexturedKeyed : FillKind::kTextured;
}

void deferFill(RenderContext* c, const Pixel565* texels, GLVertex* va, GLVertex* vb, GLVertex* vc) {
  FillKind kind = FillKind::kFlat;
  if (texels != nullptr) {
    kind = texturedKind(c);
  } else if (c->shade_model == GL_SMOOTH) {
    kind = FillKind::kSmooth;
  }
  deferTriangleFill(c->raster_bands, c->zbuffer, kind, va->screen, vb->screen, vc->screen, texels,
                    Pixel565(c->transparent_key & 0xFFFF));
}

}  // namespace

void drawTriangleFill(RenderContext* c, GLVertex* va, GLVertex* vb, GLVertex* vc) {
  ZBuffer* zb = c->zbuffer;
  const Pixel565* texels = c->texturing_on ? c->bound_texture->images[0].pixels : nullptr;
  if (texels != nullptr) zbSetTexture(zb, texels);
  if (c->raster_bands != nullptr) {
    deferFill(c, texels, va, vb, vc);
  } else if (texels != nullptr) {  // with this context's blend switch and key
    zbFillTexturedKeyed(zb, &va->screen, &vb->screen, &vc->screen, c->blend_on, c->transparent_key);
  } else if (c->shade_model == GL_SMOOTH) {
    zbFillSmooth(zb, &va->screen, &vb->screen, &vc->screen);
  } else {
    zbFillFlat(zb, &va->screen, &vb->screen, &vc->screen);
  }
}

void flushTriangleFills(RenderContext* c) {
  if (c->raster_bands != nullptr) flushRasterBands(c->raster_bands);
}

void closeTriangleThreads(RenderContext* c) {
  flushTriangleFills(c);
  closeRasterBands(c->raster_bands);
  c->raster_bands = nullptr;
}

void glFinish() { flushTriangleFills(glCurrentContext()); }

void glFlush() { flushTriangleFills(glCurrentContext()); }

void rkSetRasterThreads(int threads) {
  RenderContext* c = glCurrentContext();
  threads = std::clamp(threads, 1, kMaxRasterThreads);
  if (threads == rkRasterThreads()) return;
  closeTriangleThreads(c);
  if (threads > 1) c->raster_bands = openRasterBands(threads);
}

int rkRasterThreads() {
  const RenderContext* c = glCurrentContext();
  return c->raster_bands != nullptr ? rasterBandThreads(c->raster_bands) : 1;
}

void rkRunRowJob(void (*job)(void* arg, int begin, int end), void* arg, int rows) {
  RenderContext* c = glCurrentContext();
  if (c->raster_bands != nullptr) {
    runRowJob(c->raster_bands, job, arg, rows);
  } else if (rows > 0) {  // one thread: triangles were drawn as they came
    job(arg, 0, rows);
  }
}
