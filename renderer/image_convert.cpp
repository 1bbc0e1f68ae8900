// Resampling and conversion of uploaded texture images: receives a caller's RGB image and its
// size, hands on 256 x 256 texels in the frame buffer's 5-6-5 format. Nearest source pixel, no
// filtering, in one pass without an intermediate 256 x 256 RGB copy.
#include "renderer/image_convert.h"

#include <cstddef>
#include <cstring>

namespace {

// One destination row from the source row it samples.
void convertRow(const uint8_t* source_row, const ptrdiff_t* column_offsets, Pixel565* out) {
  for (int i = 0; i < kTextureSide; ++i) {
    const uint8_t* p = source_row + column_offsets[i];
    out[i] = rgbBytesToPixel(p[0], p[1], p[2]);
  }
}

}  // namespace

bool isReadableRgbImage(int width, int height) {
  if (width <= 0 || height <= 0) return false;
  // Below 2^62 x 3, so the product cannot wrap in 64 bits.
  uint64_t bytes = uint64_t(width) * uint64_t(height) * 3u;
  return bytes <= uint64_t(PTRDIFF_MAX);
}

void convertRgbImage(const uint8_t* rgb, int width, int height, Pixel565* texels) {
  ptrdiff_t column_offsets[kTextureSide];  // byte offset of each sampled pixel in its row
  for (int i = 0; i < kTextureSide; ++i) column_offsets[i] = 3 * ptrdiff_t{resampleIndex(i, width)};
  const ptrdiff_t row_bytes = 3 * ptrdiff_t{width};  // addressable: isReadableRgbImage
  int previous_row = -1;
  for (int j = 0; j < kTextureSide; ++j) {
    Pixel565* out = texels + j * kTextureSide;
    int source_row = resampleIndex(j, height);
    if (source_row == previous_row) {
      // An enlarged image repeats source rows: copy the row just converted instead of
      // converting the same pixels again.
      std::memcpy(out, out - kTextureSide, kTextureSide * sizeof(Pixel565));
    } else {
      convertRow(rgb + source_row * row_bytes, column_offsets, out);
    }
    previous_row = source_row;
  }
}
