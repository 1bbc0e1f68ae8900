// The box filter's reference path, pass by pass over whole 16-bit pixels, and the choice of
// path. Receives the render buffer and the window's pixels; hands on the averaged picture.
#include "player/box_filter.h"

#include <cstddef>

namespace {

// Every even pixel of the 2W x 2H image becomes the average of itself and its right neighbour.
// Rows have an even length, so taking the image as one sequence never pairs across rows.
void averageHorizontalPairs(Pixel565* src, size_t pixels) {
  for (size_t k = 0; k < pixels; k += 2) src[k] = averagePixels(src[k], src[k + 1]);
}

// Output row r takes the even columns of source rows 2r and 2r + 1. With target == src the
// write position r·W + c never passes a position still to be read (2r·2W + 2c).
void averageVerticalPairs(Pixel565* target, const Pixel565* src, size_t W, size_t H) {
  for (size_t r = 0; r < H; ++r) {
    const Pixel565* upper = src + 2 * r * 2 * W;
    const Pixel565* lower = upper + 2 * W;
    for (size_t c = 0; c < W; ++c) target[r * W + c] = averagePixels(upper[2 * c], lower[2 * c]);
  }
}

}  // namespace

void boxFilterDownScalar(Pixel565* dst, Pixel565* src, int32_t w, int32_t h, int32_t f) {
  forEachFilterRound(dst, src, w, h, f, [](Pixel565* target, Pixel565* from, size_t W, size_t H) {
    averageHorizontalPairs(from, 4 * W * H);
    averageVerticalPairs(target, from, W, H);
  });
}

void boxFilterRowsScalar(Pixel565* dst, Pixel565* src, int32_t w, int32_t row_begin,
                         int32_t row_end) {
  const size_t W = size_t(w);
  for (size_t r = size_t(row_begin); r < size_t(row_end); ++r) {
    Pixel565* upper = src + 2 * r * 2 * W;
    averageHorizontalPairs(upper, 4 * W);  // rows 2r and 2r + 1
    averageVerticalPairs(dst + r * W, upper, W, 1);
  }
}

#if defined(KESTRUNE_BOX_FILTER_AVX2)
namespace {

bool takesAvx2() {
  static const bool has_avx2 = boxFilterHasAvx2();  // asked once
  return has_avx2;
}

}  // namespace
#endif

void boxFilterDown(Pixel565* dst, Pixel565* src, int32_t w, int32_t h, int32_t f) {
#if defined(KESTRUNE_BOX_FILTER_AVX2)
  if (takesAvx2()) {
    boxFilterDownAvx2(dst, src, w, h, f);
    return;
  }
#endif
#if defined(__SSE2__)
  boxFilterDownSse2(dst, src, w, h, f);
#else
  boxFilterDownScalar(dst, src, w, h, f);
#endif
}

void boxFilterRows(Pixel565* dst, Pixel565* src, int32_t w, int32_t row_begin, int32_t row_end) {
#if defined(KESTRUNE_BOX_FILTER_AVX2)
  if (takesAvx2()) {
    boxFilterRowsAvx2(dst, src, w, row_begin, row_end);
    return;
  }
#endif
#if defined(__SSE2__)
  boxFilterRowsSse2(dst, src, w, row_begin, row_end);
#else
  boxFilterRowsScalar(dst, src, w, row_begin, row_end);
#endif
}
