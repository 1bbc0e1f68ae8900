// The box filter on sixteen 16-bit lanes (AVX2), for 64-bit x86 processors that have it; chosen
// at run time. Receives the render buffer and the window's pixels; hands on the same bits as the
// reference path, a row pair at a time.
#include "player/box_filter.h"

#if defined(KESTRUNE_BOX_FILTER_AVX2)
#include <immintrin.h>

#include <cstddef>

#define KESTRUNE_AVX2 __attribute__((target("avx2")))

namespace {

// The same lane rules as the SSE2 path (box_filter_sse2.cpp): averagePixels(p, q) is the
// rounded-up average (vpavgw) of p and q with each channel's lowest bit cleared, and lanes that
// are not averaged pass through as vpavgw(x, x) = x. The shuffles and the pack work within each
// 128-bit half, as their SSE2 forms do on one register.

KESTRUNE_AVX2 inline __m256i pairAverages(__m256i v) {
  const __m256i even_channels = _mm256_set1_epi32(static_cast<int>(0xFFFFF7DEu));
  const __m256i odd_twice = _mm256_shufflehi_epi16(
      _mm256_shufflelo_epi16(v, _MM_SHUFFLE(3, 3, 1, 1)), _MM_SHUFFLE(3, 3, 1, 1));
  return _mm256_avg_epu16(_mm256_and_si256(v, even_channels),
                          _mm256_and_si256(odd_twice, even_channels));
}

// Even lanes of the upper and lower row averaged; odd lanes 0.
KESTRUNE_AVX2 inline __m256i verticalAverages(__m256i upper, __m256i lower) {
  const __m256i even_only = _mm256_set1_epi32(0x0000F7DE);
  return _mm256_avg_epu16(_mm256_and_si256(upper, even_only), _mm256_and_si256(lower, even_only));
}

// Sixteen pixels in order from the 32-bit lanes of a (pixels 0-7) and b (pixels 8-15): the pack
// interleaves the halves, the permutation puts them back in order.
KESTRUNE_AVX2 inline __m256i packLanes(__m256i a, __m256i b) {
  const __m256i bias = _mm256_set1_epi32(0x8000);
  const __m256i packed = _mm256_packs_epi32(_mm256_sub_epi32(a, bias), _mm256_sub_epi32(b, bias));
  return _mm256_permute4x64_epi64(_mm256_xor_si256(packed, _mm256_set1_epi16(-0x8000)),
                                  _MM_SHUFFLE(3, 1, 2, 0));
}

KESTRUNE_AVX2 inline __m256i load(const Pixel565* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
KESTRUNE_AVX2 inline void store(Pixel565* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Sixteen output pixels from 32 pixels of each source row; the source rows are written back
// before the output, which may land on the upper row's start when the filter works in place.
KESTRUNE_AVX2 inline void filterSixteen(Pixel565* out, Pixel565* upper, Pixel565* lower) {
  const __m256i u0 = pairAverages(load(upper));
  const __m256i u1 = pairAverages(load(upper + 16));
  const __m256i l0 = pairAverages(load(lower));
  const __m256i l1 = pairAverages(load(lower + 16));
  store(upper, u0);
  store(upper + 16, u1);
  store(lower, l0);
  store(lower + 16, l1);
  store(out, packLanes(verticalAverages(u0, l0), verticalAverages(u1, l1)));
}

// The columns left over after the groups of sixteen, one pixel at a time.
void filterOnes(Pixel565* out, Pixel565* upper, Pixel565* lower, size_t count) {
  for (size_t c = 0; c < count; ++c) {
    upper[2 * c] = averagePixels(upper[2 * c], upper[2 * c + 1]);
    lower[2 * c] = averagePixels(lower[2 * c], lower[2 * c + 1]);
    out[c] = averagePixels(upper[2 * c], lower[2 * c]);
  }
}

// One round, row pair by row pair, as in the SSE2 path: in place every write lands at or before
// positions already read.
KESTRUNE_AVX2 void filterRound(Pixel565* target, Pixel565* src, size_t W, size_t H) {
  for (size_t r = 0; r < H; ++r) {
    Pixel565* upper = src + 2 * r * 2 * W;
    Pixel565* lower = upper + 2 * W;
    Pixel565* out = target + r * W;
    Pixel565* const end = out + (W & ~size_t(15));
    for (; out != end; out += 16, upper += 32, lower += 32) filterSixteen(out, upper, lower);
    filterOnes(out, upper, lower, W & 15);
  }
}

}  // namespace

bool boxFilterHasAvx2() { return __builtin_cpu_supports("avx2"); }

void boxFilterDownAvx2(Pixel565* dst, Pixel565* src, int32_t w, int32_t h, int32_t f) {
  forEachFilterRound(dst, src, w, h, f, filterRound);
}

#endif
