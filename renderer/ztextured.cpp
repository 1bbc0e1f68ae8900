// The perspective-divided textured fill: s x z and t x z are interpolated linearly across the
// screen and divided by the interpolated depth once every eight pixels, with linear steps in
// between. Receives three ScreenPoints, the texel array and the colour-key switch; hands on
// depth-tested texels, copied unchanged.
#include <cstdint>
#include <initializer_list>

#include "renderer/ztextured_fill.h"
#include "renderer/ztriangle.h"

namespace {

// The AVX2 build where the processor has it, else the baseline.
void fillTexturedChosen(ZBuffer* zb, const Pixel565* texels, const TriangleSetup& tri, bool keyed,
                        Pixel565 key, const RowBand* band) {
#if defined(KESTRUNE_FILL_AVX2)
  if (fillHasAvx2()) return fillTexturedAvx2(zb, texels, tri, keyed, key, band);
#endif
  fillTexturedInBand(zb, texels, tri, keyed, key, band);
}

}  // namespace

void fillTexturedBaseline(ZBuffer* zb, const Pixel565* texels, const TriangleSetup& tri, bool keyed,
                          Pixel565 key, const RowBand* band) {
  fillTexturedInBand(zb, texels, tri, keyed, key, band);
}

void setTextureDepthProducts(ScreenPoint* p) {
  p->sz = float(p->s) * float(p->z);
  p->tz = float(p->t) * float(p->z);
}

void zbFillTexturedRows(ZBuffer* zb, const Pixel565* texels, const ScreenPoint* p0,
                        const ScreenPoint* p1, const ScreenPoint* p2, bool keyed, Pixel565 key,
                        RowBand band) {
  TriangleSetup tri;
  if (!setUpTriangle(p0, p1, p2, &tri)) return;
  fillTexturedChosen(zb, texels, tri, keyed, key, &band);
}

void zbFillTexturedKeyed(ZBuffer* zb, ScreenPoint* p0, ScreenPoint* p1, ScreenPoint* p2,
                         int blend_on, int transparent_key) {
  if (zb->texture == nullptr) return;  // no texels to sample: the triangle is skipped
  TriangleSetup tri;
  if (!setUpTriangle(p0, p1, p2, &tri)) return;
  for (ScreenPoint* p : {p0, p1, p2}) setTextureDepthProducts(p);
  // A key outside 16 bits matches no texel, so only a key that can match takes the keyed path.
  const bool keyed = blend_on != 0 && (transparent_key & ~0xFFFF) == 0;
  fillTexturedChosen(zb, zb->texture, tri, keyed, Pixel565(transparent_key & 0xFFFF), nullptr);
}
