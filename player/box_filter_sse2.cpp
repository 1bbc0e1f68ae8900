// The box filter on eight 16-bit lanes (SSE2), for x86 builds. Receives the render buffer and
// the window's pixels; hands on the same bits as the reference path in both, a row pair at a time.
#include "player/box_filter.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstddef>

namespace {

// averagePixels(p, q) equals the rounded-up unsigned average (pavgw) of p and q with each
// channel's lowest bit cleared (AND 0xF7DE): every channel sum is then even, so its carry lands
// on the cleared low bit of the channel above and the final halving rounds nothing. This was
// checked for all 2^32 pairs. Lanes not to be averaged pass through as pavgw(x, x) = x.

// Within each 32-bit lane the even pixel is the low half (little-endian).
inline __m128i evenChannelMask() { return _mm_set1_epi32(static_cast<int>(0xFFFFF7DEu)); }
inline __m128i evenOnlyMask() { return _mm_set1_epi32(0x0000F7DE); }

// The odd pixel of each pair copied over the even one.
inline __m128i oddPixelsTwice(__m128i v) {
  v = _mm_shufflelo_epi16(v, _MM_SHUFFLE(3, 3, 1, 1));
  return _mm_shufflehi_epi16(v, _MM_SHUFFLE(3, 3, 1, 1));
}

// The horizontal pass on eight pixels: even lanes become their pair's average, odd lanes keep
// their pixel.
inline __m128i pairAverages(__m128i v) {
  const __m128i even_masked = _mm_and_si128(v, evenChannelMask());
  const __m128i odd_masked = _mm_and_si128(oddPixelsTwice(v), evenChannelMask());
  return _mm_avg_epu16(even_masked, odd_masked);
}

// The vertical pass on the even lanes of an upper and a lower row; odd lanes come out 0, so each
// 32-bit lane holds its output pixel as a value from 0 to 0xFFFF.
inline __m128i verticalAverages(__m128i upper, __m128i lower) {
  return _mm_avg_epu16(_mm_and_si128(upper, evenOnlyMask()), _mm_and_si128(lower, evenOnlyMask()));
}

// Eight pixels from the 32-bit lanes of a and b. The pack saturates signed values, so they are
// moved into the signed range first and back afterwards.
inline __m128i packLanes(__m128i a, __m128i b) {
  const __m128i bias = _mm_set1_epi32(0x8000);
  const __m128i packed = _mm_packs_epi32(_mm_sub_epi32(a, bias), _mm_sub_epi32(b, bias));
  return _mm_xor_si128(packed, _mm_set1_epi16(static_cast<short>(0x8000)));
}

inline __m128i load(const Pixel565* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void store(Pixel565* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// How far ahead of the loads each source row is fetched (2 KiB). Left to the hardware
// prefetchers, the filter waited on memory for much of its time; of 0.5 to 8 KiB ahead, 2 KiB
// did best filtering 3840 x 2160 and 7680 x 4320 render buffers from memory.
constexpr size_t kPrefetchPixels = 1024;

// Eight output pixels from 16 pixels of each source row. The source rows are written back
// (horizontal pass in place) before the output, which may land on the upper row's start when
// the filter works in place. The output goes through the caches, as in the AVX2 path.
inline void filterEight(Pixel565* out, Pixel565* upper, Pixel565* lower) {
  const __m128i u0 = pairAverages(load(upper));
  const __m128i u1 = pairAverages(load(upper + 8));
  const __m128i l0 = pairAverages(load(lower));
  const __m128i l1 = pairAverages(load(lower + 8));
  store(upper, u0);
  store(upper + 8, u1);
  store(lower, l0);
  store(lower + 8, l1);
  store(out, packLanes(verticalAverages(u0, l0), verticalAverages(u1, l1)));
}

// The same for one output pixel, for the columns left over after the groups of eight. Kept out
// of line so that the compiler does not vectorise this loop into the main one's way.
__attribute__((noinline)) void filterOnes(Pixel565* out, Pixel565* upper, Pixel565* lower,
                                          size_t count) {
  for (size_t c = 0; c < count; ++c) {
    upper[2 * c] = averagePixels(upper[2 * c], upper[2 * c + 1]);
    lower[2 * c] = averagePixels(lower[2 * c], lower[2 * c + 1]);
    out[c] = averagePixels(upper[2 * c], lower[2 * c]);
  }
}

// One output row of W pixels from the source rows upper and lower (2W pixels each): a 64-byte
// line of each source row at a time, fetched ahead once per line.
inline void filterRow(Pixel565* out, Pixel565* upper, Pixel565* lower, size_t W) {
  Pixel565* const end = out + (W & ~size_t(15));
  for (; out != end; out += 16, upper += 32, lower += 32) {
    _mm_prefetch(reinterpret_cast<const char*>(upper + kPrefetchPixels), _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(lower + kPrefetchPixels), _MM_HINT_T0);
    filterEight(out, upper, lower);
    filterEight(out + 8, upper + 16, lower + 16);
  }
  if ((W & 8) != 0) {
    filterEight(out, upper, lower);
    out += 8;
    upper += 16;
    lower += 16;
  }
  if ((W & 7) != 0) filterOnes(out, upper, lower, W & 7);
}

// Output rows first..last-1 of W pixels from the 2W x 2H image at src. Doing both passes per
// row pair reads each source pixel once; the result equals the two whole passes because each
// output pixel needs only its own pair of rows, and in place (target == src) every write lands
// at or before positions already read.
void filterRows(Pixel565* target, Pixel565* src, size_t W, size_t first, size_t last) {
  for (size_t r = first; r < last; ++r) {
    Pixel565* upper = src + 2 * r * 2 * W;
    filterRow(target + r * W, upper, upper + 2 * W, W);
  }
}

void filterRound(Pixel565* target, Pixel565* src, size_t W, size_t H) {
  filterRows(target, src, W, 0, H);
}

}  // namespace

void boxFilterDownSse2(Pixel565* dst, Pixel565* src, int32_t w, int32_t h, int32_t f) {
  forEachFilterRound(dst, src, w, h, f, filterRound);
}

void boxFilterRowsSse2(Pixel565* dst, Pixel565* src, int32_t w, int32_t row_begin,
                       int32_t row_end) {
  filterRows(dst, src, size_t(w), size_t(row_begin), size_t(row_end));
}

#endif
