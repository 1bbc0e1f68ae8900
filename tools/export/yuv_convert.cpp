// 5-6-5 to YUV 4:2:0 through two tables indexed by the 5-6-5 value: the pixel's luma, and its
// widened R, G and B packed ten bits apart, so that four entries add up to a 2x2 block's sums
// without one field carrying into the next (4 x 255 < 1024).
#include "tools/export/yuv_convert.h"

#include <cstddef>
#include <vector>

#include "tools/tool_frame_files.h"  // widenPixel

namespace {

struct Tables {
  std::vector<uint8_t> luma;
  std::vector<uint32_t> packed_rgb;
};

// BT.601 in 8-bit fixed point, limited range: Y 16..235, U and V 16..240.
int lumaOf(int r, int g, int b) { return ((66 * r + 129 * g + 25 * b + 128) >> 8) + 16; }

const Tables& tables() {
  static const Tables built = [] {
    Tables t;
    t.luma.resize(65536);
    t.packed_rgb.resize(65536);
    for (int p = 0; p < 65536; ++p) {
      const Rgb8 c = widenPixel(Pixel565(p));
      const int r = c.red, g = c.green, b = c.blue;
      t.luma[size_t(p)] = uint8_t(lumaOf(r, g, b));
      t.packed_rgb[size_t(p)] = uint32_t(r) | uint32_t(g) << 10 | uint32_t(b) << 20;
    }
    return t;
  }();
  return built;
}

// Chroma of a block from its channel sums (four pixels each): the coefficients act on the sums,
// and the shift by 10 divides by 4 x 256 with rounding.
void chromaOf(uint32_t sums, uint8_t* u, uint8_t* v) {
  const int r = int(sums & 1023), g = int((sums >> 10) & 1023), b = int(sums >> 20);
  *u = uint8_t(((-38 * r - 74 * g + 112 * b + 512) >> 10) + 128);
  *v = uint8_t(((112 * r - 94 * g - 18 * b + 512) >> 10) + 128);
}

void convertRowPair(const Tables& t, const Pixel565* top, const Pixel565* bottom, int width,
                    uint8_t* y_top, uint8_t* y_bottom, uint8_t* u, uint8_t* v) {
  for (int x = 0; x < width; x += 2) {
    y_top[x] = t.luma[top[x]];
    y_top[x + 1] = t.luma[top[x + 1]];
    y_bottom[x] = t.luma[bottom[x]];
    y_bottom[x + 1] = t.luma[bottom[x + 1]];
    const uint32_t sums = t.packed_rgb[top[x]] + t.packed_rgb[top[x + 1]] +
                          t.packed_rgb[bottom[x]] + t.packed_rgb[bottom[x + 1]];
    chromaOf(sums, &u[x / 2], &v[x / 2]);
  }
}

}  // namespace

void convertToYuv420(const Pixel565* pixels, int width, int height, const YuvPlanes& out) {
  const Tables& t = tables();
  for (int row = 0; row < height; row += 2) {
    const Pixel565* top = pixels + size_t(row) * size_t(width);
    convertRowPair(t, top, top + width, width, out.y + size_t(row) * size_t(out.y_pitch),
                   out.y + size_t(row + 1) * size_t(out.y_pitch),
                   out.u + size_t(row / 2) * size_t(out.u_pitch),
                   out.v + size_t(row / 2) * size_t(out.v_pitch));
  }
}
