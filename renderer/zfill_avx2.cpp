// The three fills built with AVX2 (this file alone is compiled with -mavx2 in 64-bit x86
// builds), for processors that report it. Receives the fills' triangles; hands on the same
// pixels and depth values as the baseline build, the textured fill fetching eight texels with
// one gather.
#include "renderer/ztextured_fill.h"
#include "renderer/ztriangle_fill.h"

#if defined(KESTRUNE_FILL_AVX2)

#if !defined(__AVX2__)
#error "zfill_avx2.cpp must be compiled with -mavx2"
#endif

// Asked once: every triangle's fill calls it.
bool fillHasAvx2() {
  static const bool has_avx2 = __builtin_cpu_supports("avx2");
  return has_avx2;
}

void fillFlatAvx2(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1, const ScreenPoint* p2,
                  const RowBand* band) {
  fillFlatInBand(zb, p0, p1, p2, band);
}

void fillSmoothAvx2(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1,
                    const ScreenPoint* p2, const RowBand* band) {
  fillSmoothInBand(zb, p0, p1, p2, band);
}

void fillTexturedAvx2(ZBuffer* zb, const Pixel565* texels, const TriangleSetup& tri, bool keyed,
                      Pixel565 key, const RowBand* band) {
  fillTexturedInBand(zb, texels, tri, keyed, key, band);
}

#endif
