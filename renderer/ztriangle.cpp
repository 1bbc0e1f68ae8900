// The triangle set-up shared by all fills, and the entry points of the flat and Gouraud fills
// (their spans are in ztriangle_fill.h), which take the AVX2 build where the processor has it.
// Receives three ScreenPoints in any order and the ZBuffer; hands on depth-tested 5-6-5 pixels
// and depth values (the textured fill, which shares the set-up, is in ztextured.cpp).
#include "renderer/ztriangle.h"

#include <utility>

#include "renderer/ztriangle_fill.h"

bool setUpTriangle(const ScreenPoint* a, const ScreenPoint* b, const ScreenPoint* c,
                   TriangleSetup* tri) {
  // Sort by row; points on the same row keep the order they came in.
  if (b->y < a->y) std::swap(a, b);
  if (c->y < a->y) {
    const ScreenPoint* top = c;
    c = b;
    b = a;
    a = top;
  } else if (c->y < b->y) {
    std::swap(b, c);
  }
  float fdx1 = float(b->x - a->x);
  float fdy1 = float(b->y - a->y);
  float fdx2 = float(c->x - a->x);
  float fdy2 = float(c->y - a->y);
  float area = fdx1 * fdy2 - fdx2 * fdy1;
  if (area == 0.0f) return false;
  float inv = 1.0f / area;
  *tri = {a, b, c, area, fdx1 * inv, fdy1 * inv, fdx2 * inv, fdy2 * inv};
  return true;
}

namespace {

void fillFlatChosen(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1,
                    const ScreenPoint* p2, const RowBand* band) {
#if defined(KESTRUNE_FILL_AVX2)
  if (fillHasAvx2()) return fillFlatAvx2(zb, p0, p1, p2, band);
#endif
  fillFlatInBand(zb, p0, p1, p2, band);
}

void fillSmoothChosen(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1,
                      const ScreenPoint* p2, const RowBand* band) {
#if defined(KESTRUNE_FILL_AVX2)
  if (fillHasAvx2()) return fillSmoothAvx2(zb, p0, p1, p2, band);
#endif
  fillSmoothInBand(zb, p0, p1, p2, band);
}

}  // namespace

void fillFlatBaseline(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1,
                      const ScreenPoint* p2, const RowBand* band) {
  fillFlatInBand(zb, p0, p1, p2, band);
}

void fillSmoothBaseline(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1,
                        const ScreenPoint* p2, const RowBand* band) {
  fillSmoothInBand(zb, p0, p1, p2, band);
}

void zbFillFlat(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1, const ScreenPoint* p2) {
  fillFlatChosen(zb, p0, p1, p2, nullptr);
}

void zbFillFlatRows(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1,
                    const ScreenPoint* p2, RowBand band) {
  fillFlatChosen(zb, p0, p1, p2, &band);
}

void zbFillSmooth(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1,
                  const ScreenPoint* p2) {
  fillSmoothChosen(zb, p0, p1, p2, nullptr);
}

void zbFillSmoothRows(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1,
                      const ScreenPoint* p2, RowBand band) {
  fillSmoothChosen(zb, p0, p1, p2, &band);
}
