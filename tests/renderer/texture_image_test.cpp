// Texture images: uploads of any size stored as 256 x 256 nearest-pixel resamples in 5-6-5, the
// upload's refusals, and the texture settings that are accepted or end the process.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "renderer/gl.h"
#include "renderer/image_convert.h"
#include "renderer/stages.h"
#include "tests/renderer/render_support.h"

namespace {

using ::testing::Eq;
using ::testing::ExitedWithCode;

// A width x height RGB image of packed rows, every pixel `fill`.
struct RgbImage {
  int width;
  int height;
  std::vector<uint8_t> bytes;

  RgbImage(int w, int h, uint8_t fill = 0)
      : width(w), height(h), bytes(size_t(w) * size_t(h) * 3, fill) {}

  void set(int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t* p = &bytes[(size_t(y) * size_t(width) + size_t(x)) * 3];
    p[0] = r;
    p[1] = g;
    p[2] = b;
  }
};

void upload(const RgbImage& image) {
  glTexImage2D(GL_TEXTURE_2D, 0, 3, image.width, image.height, 0, GL_RGB, GL_UNSIGNED_BYTE,
               image.bytes.data());
}

class TextureImageTest : public RenderTest {
 protected:
  // Texel (column, row) of the bound texture's image.
  Pixel565 texel(int column, int row) const {
    return c->bound_texture->images[0].pixels[row * 256 + column];
  }
};

// Source pixels carry their 5-6-5 code in the top bits of each byte; the low bits, which the
// conversion drops, are set so that a rounding conversion would show.
TEST_F(TextureImageTest, A256By256ImageIsConvertedTexelForTexel) {
  RgbImage image(256, 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      int code = y * 256 + x;
      image.set(x, y, uint8_t((code >> 11) << 3 | 7), uint8_t(((code >> 5) & 63) << 2 | 3),
                uint8_t((code & 31) << 3 | 7));
    }
  }
  upload(image);
  const TextureImage& level0 = c->bound_texture->images[0];
  ASSERT_NE(level0.pixels, nullptr);
  EXPECT_EQ(level0.width, 256);
  EXPECT_EQ(level0.height, 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) ASSERT_EQ(texel(x, y), y * 256 + x) << x << "," << y;
  }
}

TEST_F(TextureImageTest, ConvertsTheTopBitsOfEachChannel) {
  RgbImage image(2, 2);
  image.set(0, 0, 255, 255, 255);
  image.set(1, 0, 255, 0, 0);
  image.set(0, 1, 8, 4, 8);
  image.set(1, 1, 7, 3, 7);  // below one step of every channel
  upload(image);
  EXPECT_EQ(texel(0, 0), 0xFFFF);
  EXPECT_EQ(texel(127, 127), 0xFFFF);
  EXPECT_EQ(texel(128, 0), 0xF800);
  EXPECT_EQ(texel(255, 127), 0xF800);
  EXPECT_EQ(texel(0, 128), 0x0821);
  EXPECT_EQ(texel(127, 255), 0x0821);
  EXPECT_EQ(texel(128, 128), 0x0000);
  EXPECT_EQ(texel(255, 255), 0x0000);
  EXPECT_EQ(rgbBytesToPixel(0, 255, 0), 0x07E0);
  EXPECT_EQ(rgbBytesToPixel(0, 0, 255), 0x001F);
  EXPECT_EQ(rgbBytesToPixel(200, 100, 50), 0xCB26);
}

// Source pixel (x, y) has red code y and green code x, so each texel names its source.
TEST_F(TextureImageTest, A64By32ImageRepeatsEachPixelFourAcrossAndEightDown) {
  RgbImage image(64, 32);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 64; ++x) image.set(x, y, uint8_t(y << 3), uint8_t(x << 2), 0x18);
  }
  upload(image);
  for (int j = 0; j < 256; ++j) {
    for (int i = 0; i < 256; ++i) {
      ASSERT_EQ(texel(i, j), (j / 8) << 11 | (i / 4) << 5 | 3) << i << "," << j;
    }
  }
}

// Odd source rows and columns are white; even ones carry half their row and column as codes.
TEST_F(TextureImageTest, A512By512ImageKeepsItsEvenRowsAndColumns) {
  RgbImage image(512, 512, 255);
  for (int y = 0; y < 512; y += 2) {
    for (int x = 0; x < 512; x += 2) {
      image.set(x, y, uint8_t(((y / 2) & 31) << 3), uint8_t(((x / 2) & 63) << 2), 0);
    }
  }
  upload(image);
  for (int j = 0; j < 256; ++j) {
    for (int i = 0; i < 256; ++i) {
      ASSERT_EQ(texel(i, j), (j & 31) << 11 | (i & 63) << 5) << i << "," << j;
    }
  }
}

// Sizes that are neither divisors nor multiples of 256 take source column floor(i x w / 256):
// for 300 x 200, columns 1, 2, 128, 255 -> 1, 2, 150, 298 and rows 1, 2, 128, 255 -> 0, 1, 100,
// 199. Source pixel (x, y) has green code x & 63, blue code x >> 6 and red code y & 31.
TEST_F(TextureImageTest, OtherSizesTakeTheNearestSourcePixelBelow) {
  RgbImage image(300, 200);
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 300; ++x) {
      image.set(x, y, uint8_t((y & 31) << 3), uint8_t((x & 63) << 2), uint8_t((x >> 6) << 3));
    }
  }
  upload(image);
  EXPECT_EQ(texel(0, 0), 0);
  EXPECT_EQ(texel(1, 1), 0 << 11 | 1 << 5 | 0);
  EXPECT_EQ(texel(2, 2), 1 << 11 | 2 << 5 | 0);
  EXPECT_EQ(texel(128, 128), 4 << 11 | 22 << 5 | 2);  // source (150, 100)
  EXPECT_EQ(texel(255, 255), 7 << 11 | 42 << 5 | 4);  // source (298, 199)
  EXPECT_EQ(texel(255, 0), 0 << 11 | 42 << 5 | 4);

  // 3 pixels across: column 85 is the last of pixel 0 (85 x 3 = 255), 170 of pixel 1 (510).
  RgbImage three(3, 1);
  three.set(0, 0, 255, 0, 0);
  three.set(1, 0, 0, 255, 0);
  three.set(2, 0, 0, 0, 255);
  upload(three);
  EXPECT_EQ(texel(85, 0), 0xF800);
  EXPECT_EQ(texel(86, 0), 0x07E0);
  EXPECT_EQ(texel(170, 255), 0x07E0);
  EXPECT_EQ(texel(171, 255), 0x001F);
}

// 2^20 rows: texel row j reads source row j x 4096 and none of its white neighbours.
TEST_F(TextureImageTest, ATallImageIsReadOnlyAtItsSampledRows) {
  RgbImage image(1, 1 << 20, 255);
  for (int j = 0; j < 256; ++j)
    image.set(0, j * 4096, uint8_t((j & 31) << 3), uint8_t(j >> 5 << 2), 0);
  upload(image);
  for (int j = 0; j < 256; ++j) {
    ASSERT_EQ(texel(0, j), (j & 31) << 11 | (j >> 5) << 5) << j;
    ASSERT_EQ(texel(255, j), texel(0, j)) << j;
  }
}

TEST(ResampleIndexTest, HoldsForEveryPositiveSize) {
  EXPECT_EQ(resampleIndex(255, 32767), 32639);  // the largest size 16.16 steps can express
  EXPECT_EQ(resampleIndex(1, INT_MAX), 8388607);
  EXPECT_EQ(resampleIndex(255, INT_MAX), 2139095039);
  EXPECT_EQ(resampleIndex(255, 1), 0);
}

TEST(ReadableImageTest, NeedsPositiveSidesAndAnAddressableByteCount) {
  EXPECT_TRUE(isReadableRgbImage(1, 1));
  EXPECT_FALSE(isReadableRgbImage(0, 1));
  EXPECT_FALSE(isReadableRgbImage(1, 0));
  EXPECT_FALSE(isReadableRgbImage(-1, 4));
  EXPECT_FALSE(isReadableRgbImage(4, INT_MIN));
  EXPECT_FALSE(isReadableRgbImage(INT_MAX, INT_MAX));
  // 3 GiB: more than a 32-bit process can address.
  EXPECT_EQ(isReadableRgbImage(32768, 32768), sizeof(void*) == 8);
}

TEST_F(TextureImageTest, UploadsGoToTheBoundTextureAndReplaceItsImage) {
  RgbImage red(1, 1);
  red.set(0, 0, 255, 0, 0);
  const std::vector<uint8_t> before = red.bytes;
  glBindTexture(GL_TEXTURE_2D, 3);
  upload(red);
  EXPECT_EQ(red.bytes, before);  // the caller's pixels are not changed
  red.set(0, 0, 0, 0, 255);      // nor kept
  EXPECT_EQ(texel(200, 200), 0xF800);

  glBindTexture(GL_TEXTURE_2D, 4);
  EXPECT_EQ(c->bound_texture->images[0].pixels, nullptr);
  glBindTexture(GL_TEXTURE_2D, 3);
  RgbImage green(4, 4);
  for (int k = 0; k < 16; ++k) green.set(k % 4, k / 4, 0, 255, 0);
  upload(green);  // the first image is freed (the sanitizer build checks for the leak)
  EXPECT_EQ(texel(0, 0), 0x07E0);
  EXPECT_EQ(texel(255, 255), 0x07E0);
}

TEST_F(TextureImageTest, SupportedSettingsAreAcceptedWithoutEffect) {
  RgbImage red(1, 1);
  red.set(0, 0, 255, 0, 0);
  upload(red);
  const Pixel565* texels = c->bound_texture->images[0].pixels;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  EXPECT_EQ(c->bound_texture->images[0].pixels, texels);
  EXPECT_EQ(texel(0, 0), 0xF800);
  EXPECT_EQ(texel(255, 255), 0xF800);
}

using TextureImageDeathTest = TextureImageTest;

constexpr char kUploadRefused[] =
    "Rasterkit: fatal error: glTexImage2D: combinaison of parameters not handled\n";
constexpr char kOptionRefused[] = "Rasterkit: fatal error: glTexParameter: unsupported option\n";
constexpr char kPixelStoreRefused[] = "Rasterkit: fatal error: glPixelStore: unsupported option\n";

TEST_F(TextureImageDeathTest, UploadsOtherThanLevelZeroRgbBytesAreFatal) {
  const uint8_t rgba[4] = {1, 2, 3, 4};
  EXPECT_EXIT(glTexImage2D(GL_TEXTURE_2D, 0, 3, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba),
              ExitedWithCode(1), Eq(kUploadRefused));
  EXPECT_EXIT(glTexImage2D(GL_TEXTURE_2D, 0, 4, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, rgba),
              ExitedWithCode(1), Eq(kUploadRefused));
  EXPECT_EXIT(glTexImage2D(GL_TEXTURE_2D, 1, 3, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, rgba),
              ExitedWithCode(1), Eq(kUploadRefused));
  EXPECT_EXIT(glTexImage2D(GL_TEXTURE_2D, 0, 3, 1, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgba),
              ExitedWithCode(1), Eq(kUploadRefused));
  EXPECT_EXIT(glTexImage2D(GL_TEXTURE, 0, 3, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, rgba),
              ExitedWithCode(1), Eq(kUploadRefused));
  EXPECT_EXIT(glTexImage2D(GL_TEXTURE_2D, 0, 3, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE + 1, rgba),
              ExitedWithCode(1), Eq(kUploadRefused));
}

// Nothing to sample: the upload stops before reading the pixels or touching the texture.
TEST_F(TextureImageDeathTest, UploadsOfNoReadableImageAreFatal) {
  const uint8_t rgb[3] = {1, 2, 3};
  EXPECT_EXIT(glTexImage2D(GL_TEXTURE_2D, 0, 3, 0, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb),
              ExitedWithCode(1), Eq(kUploadRefused));
  EXPECT_EXIT(glTexImage2D(GL_TEXTURE_2D, 0, 3, 1, -1, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb),
              ExitedWithCode(1), Eq(kUploadRefused));
  EXPECT_EXIT(glTexImage2D(GL_TEXTURE_2D, 0, 3, INT_MAX, INT_MAX, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb),
              ExitedWithCode(1), Eq(kUploadRefused));
  EXPECT_EXIT(glTexImage2D(GL_TEXTURE_2D, 0, 3, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr),
              ExitedWithCode(1), Eq(kUploadRefused));
}

TEST_F(TextureImageDeathTest, WrapModesOtherThanRepeatAndOtherTargetsAreFatal) {
  EXPECT_EXIT(glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP), ExitedWithCode(1),
              Eq(kOptionRefused));
  EXPECT_EXIT(glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP), ExitedWithCode(1),
              Eq(kOptionRefused));
  EXPECT_EXIT(glTexParameteri(GL_TEXTURE, GL_TEXTURE_MIN_FILTER, GL_LINEAR), ExitedWithCode(1),
              Eq(kOptionRefused));
}

TEST_F(TextureImageDeathTest, EnvironmentsOtherThanDecalAreFatal) {
  EXPECT_EXIT(glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE), ExitedWithCode(1),
              Eq(kOptionRefused));
  EXPECT_EXIT(glTexEnvi(GL_TEXTURE_2D, GL_TEXTURE_ENV_MODE, GL_DECAL), ExitedWithCode(1),
              Eq(kOptionRefused));
  EXPECT_EXIT(glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_WRAP_S, GL_DECAL), ExitedWithCode(1),
              Eq(kOptionRefused));
}

TEST_F(TextureImageDeathTest, PixelStoreOtherThanUnpackAlignmentOneIsFatal) {
  constexpr int kPackAlignment = 0x0D05;
  EXPECT_EXIT(glPixelStorei(GL_UNPACK_ALIGNMENT, 4), ExitedWithCode(1), Eq(kPixelStoreRefused));
  EXPECT_EXIT(glPixelStorei(kPackAlignment, 1), ExitedWithCode(1), Eq(kPixelStoreRefused));
}

}  // namespace
