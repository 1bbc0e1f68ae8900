// The 2:1 box filter that turns the double-size render buffer into the window's picture.
// Receives a 5-6-5 source of (f x w) by (f x h) pixels, which it uses as scratch space; hands on
// the w x h averaged picture, leaving each source row's even pixels holding their pair averages.
#pragma once
#include <cstddef>
#include <cstdint>

#include "renderer/zbuffer.h"

// Halves each channel of both pixels (dropping its lowest bit) and adds them channel by channel:
// the masks clear the bit that each channel's shift brings in from its neighbour, so no sum
// carries into the next channel.
constexpr Pixel565 averagePixels(Pixel565 p, Pixel565 q) {
  return static_cast<Pixel565>(((p >> 1) & 0x7BEF) + ((q >> 1) & 0x7BEF));
}

// Reduces src (f·w by f·h pixels, rows back to back) to dst (w by h): each round averages
// horizontal pairs in place, then vertical pairs of the even columns into the next image, which
// lies at the start of src until the last round writes dst. f is a power of two, 2 or more.
// Takes the vector path where the build has SSE2; both paths give the same bits in dst and src.
void boxFilterDown(Pixel565* dst, Pixel565* src, int32_t w, int32_t h, int32_t f);

// Output rows row_begin..row_end-1 (0 <= row_begin <= row_end <= h) of the f = 2 filter of src
// (2w x 2h) into dst (w x h), on the path boxFilterDown takes. Row r reads and rewrites source
// rows 2r and 2r + 1 only, so bands of rows may run at once on different threads; together they
// leave dst and src as boxFilterDown(dst, src, w, h, 2) does.
void boxFilterRows(Pixel565* dst, Pixel565* src, int32_t w, int32_t row_begin, int32_t row_end);

// The rounds every path takes: `round(target, src, W, H)` filters the 2W x 2H image at the start
// of src into the W x H image at target, which is src itself until the last round writes dst.
template <typename Round>
inline void forEachFilterRound(Pixel565* dst, Pixel565* src, int32_t w, int32_t h, int32_t f,
                               Round round) {
  size_t W = size_t(w) * size_t(f / 2);
  size_t H = size_t(h) * size_t(f / 2);
  for (;;) {
    round(f == 2 ? dst : src, src, W, H);
    if (f <= 3) return;
    f /= 2;
    W /= 2;
    H /= 2;
  }
}

// The same rule one pixel at a time, pass after pass: the reference for the vector path and the
// path of builds without SSE2.
void boxFilterDownScalar(Pixel565* dst, Pixel565* src, int32_t w, int32_t h, int32_t f);

// Each path's band of output rows for f = 2 (see boxFilterRows).
void boxFilterRowsScalar(Pixel565* dst, Pixel565* src, int32_t w, int32_t row_begin,
                         int32_t row_end);

#if defined(__SSE2__)
inline constexpr bool kBoxFilterHasSse2 = true;
// Eight 16-bit lanes at a time, both passes of a round fused row pair by row pair.
void boxFilterDownSse2(Pixel565* dst, Pixel565* src, int32_t w, int32_t h, int32_t f);
void boxFilterRowsSse2(Pixel565* dst, Pixel565* src, int32_t w, int32_t row_begin, int32_t row_end);
#else
inline constexpr bool kBoxFilterHasSse2 = false;
#endif

// 64-bit x86 builds also carry a sixteen-lane path for processors with AVX2, taken when the
// processor reports it. (32-bit Windows keeps to SSE2: its stack is not kept aligned for the
// spills of 32-byte registers.)
#if defined(__x86_64__) && defined(__GNUC__)
#define KESTRUNE_BOX_FILTER_AVX2 1
bool boxFilterHasAvx2();
void boxFilterDownAvx2(Pixel565* dst, Pixel565* src, int32_t w, int32_t h, int32_t f);
void boxFilterRowsAvx2(Pixel565* dst, Pixel565* src, int32_t w, int32_t row_begin, int32_t row_end);
#endif
