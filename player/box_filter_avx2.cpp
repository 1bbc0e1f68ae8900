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
// rounded-up average (vpavgw) of p and q with each channel's lowest bit cleared (AND 0xF7DE).
// Within each 32-bit lane the even pixel is the low half.

// The horizontal pass on sixteen pixels: even lanes become their pair's average, odd lanes keep
// their pixel. The odd pixel is shifted down onto the even one; the odd lanes' average with 0
// is thrown away by the blend, which takes them from v.
KESTRUNE_AVX2 inline __m256i pairAverages(__m256i v) {
  const __m256i masked = _mm256_and_si256(v, _mm256_set1_epi16(static_cast<short>(0xF7DE)));
  const __m256i sums = _mm256_avg_epu16(masked, _mm256_srli_epi32(masked, 16));
  return _mm256_blend_epi16(sums, v, 0xAA);
}

// Even lanes of the upper and lower row averaged; odd lanes 0, so each 32-bit lane holds its
// output pixel as a value from 0 to 0xFFFF.
KESTRUNE_AVX2 inline __m256i verticalAverages(__m256i upper, __m256i lower) {
  const __m256i even_only = _mm256_set1_epi32(0x0000F7DE);
  return _mm256_avg_epu16(_mm256_and_si256(upper, even_only), _mm256_and_si256(lower, even_only));
}

// Sixteen pixels in order from the 32-bit lanes of a (pixels 0-7) and b (pixels 8-15): the
// unsigned pack keeps every value as it is but interleaves the 128-bit halves, the permutation
// puts them back in order.
KESTRUNE_AVX2 inline __m256i packLanes(__m256i a, __m256i b) {
  return _mm256_permute4x64_epi64(_mm256_packus_epi32(a, b), _MM_SHUFFLE(3, 1, 2, 0));
}

KESTRUNE_AVX2 inline __m256i load(const Pixel565* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
KESTRUNE_AVX2 inline void store(Pixel565* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// How far ahead of the loads each source row is fetched (2 KiB). Left to the hardware
// prefetchers, the filter waited on memory for much of its time; of 0.5 to 8 KiB ahead, 2 KiB
// did best filtering 3840 x 2160 and 7680 x 4320 render buffers from memory.
constexpr size_t kPrefetchPixels = 1024;

// Sixteen output pixels from 32 pixels of each source row; the source rows are written back
// before the output, which may land on the upper row's start when the filter works in place.
// The output goes through the caches: streaming it past them gained nothing from memory, lost 7%
// with the source in the caches, and whoever takes the picture next reads it at once.
KESTRUNE_AVX2 inline void filterSixteen(Pixel565* out, Pixel565* upper, Pixel565* lower) {
  _mm_prefetch(reinterpret_cast<const char*>(upper + kPrefetchPixels), _MM_HINT_T0);
  _mm_prefetch(reinterpret_cast<const char*>(lower + kPrefetchPixels), _MM_HINT_T0);
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

// Output rows first..last-1 of W pixels from the 2W x 2H image at src, row pair by row pair, as
// in the SSE2 path: in place (target == src) every write lands at or before positions already
// read.
KESTRUNE_AVX2 void filterRows(Pixel565* target, Pixel565* src, size_t W, size_t first,
                              size_t last) {
  for (size_t r = first; r < last; ++r) {
    Pixel565* upper = src + 2 * r * 2 * W;
    Pixel565* lower = upper + 2 * W;
    Pixel565* out = target + r * W;
    Pixel565* const end = out + (W & ~size_t(15));
    for (; out != end; out += 16, upper += 32, lower += 32) filterSixteen(out, upper, lower);
    filterOnes(out, upper, lower, W & 15);
  }
  // GCC 12 leaves out its own vzeroupper here after the call to filterOnes; without it the
  // caller's SSE code (the SSE2 filter, memcpy) ran up to three times slower.
  _mm256_zeroupper();
}

KESTRUNE_AVX2 void filterRound(Pixel565* target, Pixel565* src, size_t W, size_t H) {
  filterRows(target, src, W, 0, H);
}

}  // namespace

bool boxFilterHasAvx2() { return __builtin_cpu_supports("avx2"); }

void boxFilterDownAvx2(Pixel565* dst, Pixel565* src, int32_t w, int32_t h, int32_t f) {
  forEachFilterRound(dst, src, w, h, f, filterRound);
}

void boxFilterRowsAvx2(Pixel565* dst, Pixel565* src, int32_t w, int32_t row_begin,
                       int32_t row_end) {
  filterRows(dst, src, size_t(w), size_t(row_begin), size_t(row_end));
}

#endif
