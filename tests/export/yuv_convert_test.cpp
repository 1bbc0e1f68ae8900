// The 5-6-5 to YUV 4:2:0 conversion on a 6x2 picture whose values were worked out by hand:
// channels widened by repeating their top bits, Y = ((66R + 129G + 25B + 128) >> 8) + 16, and
// U, V from each 2x2 block's channel sums with the rounding of a single pixel's formula.
#include <gtest/gtest.h>

#include <vector>

#include "tools/export/yuv_convert.h"

TEST(YuvConvert, HandWorkedBlocksAndPitches) {
  // Blocks: {white, black / red, blue}, four greens, four of 0x8410 (widened to 132, 130, 132).
  const std::vector<Pixel565> pixels = {0xFFFF, 0x0000, 0x07E0, 0x07E0, 0x8410, 0x8410,
                                        0xF800, 0x001F, 0x07E0, 0x07E0, 0x8410, 0x8410};
  // Pitches wider than the rows: the bytes past each row stay as they were (0xAA).
  std::vector<uint8_t> y(2 * 8, 0xAA), u(4, 0xAA), v(4, 0xAA);
  convertToYuv420(pixels.data(), 6, 2, YuvPlanes{y.data(), u.data(), v.data(), 8, 4, 4});
  const std::vector<uint8_t> expected_y = {235, 16, 144, 144, 128, 128, 0xAA, 0xAA,
                                           82,  41, 144, 144, 128, 128, 0xAA, 0xAA};
  EXPECT_EQ(y, expected_y);
  EXPECT_EQ(u, (std::vector<uint8_t>{146, 54, 129, 0xAA}));
  EXPECT_EQ(v, (std::vector<uint8_t>{151, 34, 129, 0xAA}));
}
