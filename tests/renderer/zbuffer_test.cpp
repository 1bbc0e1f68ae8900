// Tests of the drawing surface: opening and resizing, row layout, wide clears that spare row
// padding, and copy-out in the 16-, 32- and 24-bit modes. Expected bytes are worked out by hand
// from the 5-6-5 layout.
#include "renderer/zbuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/renderer/zbuffer_support.h"

namespace {

TEST(ZBufferPixel, RgbToPixelKeepsTheTopBitsOfEachChannel) {
  EXPECT_EQ(rgbToPixel(65535, 65535, 65535), 0xFFFF);
  EXPECT_EQ(rgbToPixel(0x8000, 0x8000, 0x8000), 0x8410);
  EXPECT_EQ(rgbToPixel(0, 0, 0), 0x0000);
  EXPECT_EQ(rgbToPixel(65535, 32767, 0), 0xFBE0);         // the clear colour (1, 0.5, 0)
  EXPECT_EQ(rgbToPixel(0x07FF, 0x03FF, 0x07FF), 0x0000);  // just below one step: truncated
  EXPECT_EQ(rgbToPixel(0x0800, 0x0400, 0x0800), 0x0821);
}

TEST(ZBufferOpen, LayoutOwnershipAndRefusals) {
  const int widths[] = {1, 2, 5, 6, 7, 1920};
  const int line_bytes[] = {4, 4, 12, 12, 16, 3840};
  for (int i = 0; i < 6; ++i) {
    ZBuffer* zb = zbOpen(widths[i], 3, kZbMode565, 0, nullptr, nullptr, nullptr);
    ASSERT_NE(zb, nullptr);
    EXPECT_EQ(zb->line_bytes, line_bytes[i]) << "width " << widths[i];
    EXPECT_EQ(zb->owns_pixels, 1);
    zbClose(zb);  // the sanitizer build reports a leak if the frame buffer stayed
  }
  std::vector<Pixel565> mine(4 * 3);
  ZBuffer* lent = zbOpen(4, 3, kZbModeRgb24, 0, nullptr, nullptr, mine.data());
  ASSERT_NE(lent, nullptr);
  EXPECT_EQ(lent->pixels, mine.data());
  EXPECT_EQ(lent->owns_pixels, 0);
  EXPECT_EQ(lent->texture, nullptr);
  zbClose(lent);  // and a bad free if it freed the caller's vector

  EXPECT_EQ(zbOpen(8, 8, 5, 0, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(zbOpen(8, 8, 0, 0, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(zbOpen(0, 8, kZbMode565, 0, nullptr, nullptr, nullptr), nullptr);
}

TEST(ZBufferResize, RoundsWidthDownAndDropsRowPadding) {
  std::vector<Pixel565> mine(8 * 2);
  ZBuffer* zb = zbOpen(5, 5, kZbMode565, 0, nullptr, nullptr, nullptr);
  ASSERT_NE(zb, nullptr);
  zbResize(zb, mine.data(), 11, 2);  // frees the owned buffer, lends the caller's
  EXPECT_EQ(zb->width, 8);
  EXPECT_EQ(zb->line_bytes, 16);
  EXPECT_EQ(zb->owns_pixels, 0);
  zbClear(zb, 1, 7, 1, 65535, 0, 0);
  for (Pixel565 p : mine) EXPECT_EQ(p, 0xF800);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(zb->depth[i], 7);
  zbResize(zb, nullptr, 4, 1);  // keeps the caller's buffer, allocates its own
  EXPECT_EQ(zb->owns_pixels, 1);
  EXPECT_NE(zb->pixels, mine.data());
  zbClose(zb);
}

// Width 5: rows of 12 bytes, the last two of each are padding.
TEST(ZBufferClear, ColourFillsRowsAndSparesPadding) {
  std::vector<uint8_t> frame(12 * 3, 0xAB);
  ZBuffer* zb = openOver(5, 3, kZbMode565, frame.data());
  zbClear(zb, 0, 0, 1, 65535, 32767, 0);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(frame[y * 12 + 2 * x], 0xE0) << x << "," << y;
      EXPECT_EQ(frame[y * 12 + 2 * x + 1], 0xFB) << x << "," << y;
    }
    EXPECT_EQ(frame[y * 12 + 10], 0xAB);
    EXPECT_EQ(frame[y * 12 + 11], 0xAB);
  }
  zbClose(zb);
}

// Widths that reach the sixteen-value steps, the eight-value block and the remainder, over a
// back-to-back buffer (20 x 3 = 60 values) and row by row (27 and 3: padded rows); values of
// unequal bytes take the wide stores, values of equal bytes memset. Each buffer is cleared alone.
TEST(ZBufferClear, EveryValueIsWrittenAndEachBufferAlone) {
  for (int width : {20, 27, 3}) {
    ZBuffer* zb = zbOpen(width, 3, kZbMode565, 0, nullptr, nullptr, nullptr);
    ASSERT_NE(zb, nullptr);
    zbClear(zb, 1, 0x12345, 1, 0x8000, 0x8000, 0x8000);
    for (int i = 0; i < width * 3; ++i) {
      EXPECT_EQ(pixelAt(zb, i % width, i / width), 0x8410) << width << ": " << i;
      EXPECT_EQ(zb->depth[i], 0x2345) << width << ": " << i;
    }
    zbClear(zb, 1, 0, 0, 0, 0, 0);                  // depth only
    zbClear(zb, 0, 32767, 1, 65535, 65535, 65535);  // colour only
    for (int i = 0; i < width * 3; ++i) {
      EXPECT_EQ(pixelAt(zb, i % width, i / width), 0xFFFF) << width << ": " << i;
      EXPECT_EQ(zb->depth[i], 0) << width << ": " << i;
    }
    zbClose(zb);
  }
}

// Width 3: source rows of 8 bytes with 2 padding bytes, which are not copied; destination rows
// 9 bytes apart, then packed (one block), then bottom-up (negative pitch).
TEST(ZBufferCopyOut, Mode1CopiesRowsAtTheDestinationPitch) {
  ZBuffer* zb = zbOpen(3, 2, kZbMode565, 0, nullptr, nullptr, nullptr);
  ASSERT_NE(zb, nullptr);
  setRow(zb, 0, {0x1234, 0xABCD, 0x0001});
  setRow(zb, 1, {0xF800, 0x07E0, 0x001F});
  std::vector<uint8_t> out(2 * 9, 0xEE);
  zbCopyOut(zb, out.data(), 9);
  const std::vector<uint8_t> expected = {0x34, 0x12, 0xCD, 0xAB, 0x01, 0x00, 0xEE, 0xEE, 0xEE,
                                         0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(out, expected);
  std::vector<uint8_t> flipped(12);
  zbCopyOut(zb, flipped.data() + 6, -6);
  EXPECT_EQ(flipped, (std::vector<uint8_t>{0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00,  //
                                           0x34, 0x12, 0xCD, 0xAB, 0x01, 0x00}));
  zbClose(zb);

  ZBuffer* packed = zbOpen(2, 2, kZbMode565, 0, nullptr, nullptr, nullptr);
  ASSERT_NE(packed, nullptr);
  setRow(packed, 0, {0x0102, 0x0304});
  setRow(packed, 1, {0x0506, 0x0708});
  std::vector<uint8_t> same(8);
  zbCopyOut(packed, same.data(), 4);
  EXPECT_EQ(same, (std::vector<uint8_t>{2, 1, 4, 3, 6, 5, 8, 7}));
  zbClose(packed);
}

// Ten pixels: one group of eight and two single ones; each channel's bits land at the top of its
// byte. Row pitch 44 bytes leaves four bytes after each 40-byte row.
TEST(ZBufferCopyOut, Mode3WritesRgbWords) {
  ZBuffer* zb = zbOpen(10, 2, kZbModeRgb32, 0, nullptr, nullptr, nullptr);
  ASSERT_NE(zb, nullptr);
  setRow(zb, 0, {0xFFFF, 0x8410, 0xF800, 0x07E0, 0x001F, 0x0841, 0x0000, 0x1234, 0xABCD, 0xFFFF});
  setRow(zb, 1, {0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0xF81F, 0x07FF});
  std::vector<uint32_t> out(2 * 11, 0xEEEEEEEE);
  zbCopyOut(zb, out.data(), 44);
  const std::vector<uint32_t> expected = {
      0x00F8FCF8, 0x00808080, 0x00F80000, 0x0000FC00, 0x000000F8, 0x00080808,
      0x00000000, 0x001044A0, 0x00A87868, 0x00F8FCF8, 0xEEEEEEEE,  // row 0 and gap
      0,          0,          0,          0,          0,          0,
      0,          0,          0x00F800F8, 0x0000FCF8, 0xEEEEEEEE};
  EXPECT_EQ(out, expected);
  zbClose(zb);
}

// Bytes blue, green, red per pixel. Width 5 (one group of four and one single pixel) has padded
// source rows; a row pitch of 6 means 18 destination bytes per row, 15 used.
TEST(ZBufferCopyOut, Mode4WritesBlueGreenRedBytes) {
  ZBuffer* zb = zbOpen(5, 2, kZbModeRgb24, 0, nullptr, nullptr, nullptr);
  ASSERT_NE(zb, nullptr);
  setRow(zb, 0, {0xF800, 0x07E0, 0x001F, 0x1234, 0xFFFF});
  setRow(zb, 1, {0x8410, 0x0000, 0x0841, 0xABCD, 0xF81F});
  std::vector<uint8_t> out(2 * 18, 0xEE);
  zbCopyOut(zb, out.data(), 6);
  const std::vector<uint8_t> expected = {
      0x00, 0x00, 0xF8, 0x00, 0xFC, 0x00, 0xF8, 0x00, 0x00,  // red, green, blue
      0xA0, 0x44, 0x10, 0xF8, 0xFC, 0xF8, 0xEE, 0xEE, 0xEE,  // 0x1234, white, gap
      0x80, 0x80, 0x80, 0x00, 0x00, 0x00, 0x08, 0x08, 0x08,  // grey, black, lowest bits
      0x68, 0x78, 0xA8, 0xF8, 0x00, 0xF8, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(out, expected);
  zbClose(zb);
}

// Sixteen pixels: the wide steps and the single pixels that end the row, whose last byte is
// followed by three bytes of the caller's (pitch 17 means 51 bytes, 48 used).
TEST(ZBufferCopyOut, Mode4WideRowsEndExactly) {
  const Pixel565 pixels[8] = {0xF800, 0x07E0, 0x001F, 0x1234, 0xFFFF, 0x8410, 0x0000, 0x0841};
  const uint8_t bgr[8][3] = {{0x00, 0x00, 0xF8}, {0x00, 0xFC, 0x00}, {0xF8, 0x00, 0x00},
                             {0xA0, 0x44, 0x10}, {0xF8, 0xFC, 0xF8}, {0x80, 0x80, 0x80},
                             {0x00, 0x00, 0x00}, {0x08, 0x08, 0x08}};
  ZBuffer* zb = zbOpen(16, 2, kZbModeRgb24, 0, nullptr, nullptr, nullptr);
  ASSERT_NE(zb, nullptr);
  std::vector<uint8_t> expected(2 * 51, 0xEE);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 16; ++x) {
      int which = y == 0 ? x % 8 : 7 - x % 8;  // row 1 in the opposite order
      std::memcpy(pixelBytes(zb, x, y), &pixels[which], 2);
      std::memcpy(&expected[y * 51 + 3 * x], bgr[which], 3);
    }
  }
  std::vector<uint8_t> out(2 * 51, 0xEE);
  zbCopyOut(zb, out.data(), 17);
  EXPECT_EQ(out, expected);
  zbClose(zb);
}

TEST(ZBufferDeathTest, CopyOutInAnUnknownModeFailsItsAssertion) {
  ZBuffer* zb = zbOpen(4, 1, kZbMode565, 0, nullptr, nullptr, nullptr);
  ASSERT_NE(zb, nullptr);
  zb->mode = 5;
  std::vector<uint8_t> out(64);
  EXPECT_DEATH(zbCopyOut(zb, out.data(), 16), assertionPattern("0", "zbuffer"));
  zb->mode = kZbMode565;
  zbClose(zb);
}

}  // namespace
