// The textured fill built with AVX2 (this file alone is compiled with -mavx2 in 64-bit x86
// builds), for processors that report it. Receives a set-up triangle and its texels; hands on
// the same pixels and depth values as the baseline build, fetching eight texels with one gather.
#include "renderer/ztextured_fill.h"

#if defined(KESTRUNE_FILL_AVX2)

#if !defined(__AVX2__)
#error "ztextured_avx2.cpp must be compiled with -mavx2"
#endif

bool fillHasAvx2() { return __builtin_cpu_supports("avx2"); }

void fillTexturedAvx2(ZBuffer* zb, const Pixel565* texels, const TriangleSetup& tri, bool keyed,
                      Pixel565 key, const RowBand* band) {
  fillTexturedInBand(zb, texels, tri, keyed, key, band);
}

#endif
