// The GDI presenter under a real window: what the screen reports before and after opening, the
// window it makes, and the frame buffer's pixels as they arrive in the client area.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/screen.h"
#include "tests/win32/gdi_window.h"

namespace {

using GdiPresenterTest = GdiWindowTest;

// 5-6-5 pixels and the 8-bit channels GDI widens them to: each field's top bits repeated below
// it, so red 10010 becomes 10010100 and green 101010 becomes 10101010.
constexpr uint16_t kMixed565 = (0x12 << 11) | (0x2A << 5) | 0x05;  // 0x9545
constexpr uint32_t kMixedRgb = 0x94AA29;
constexpr uint16_t kRed565 = 0xF800;
constexpr uint32_t kRedRgb = 0xFF0000;
constexpr uint16_t kGreen565 = 0x07E0;
constexpr uint32_t kGreenRgb = 0x00FF00;
constexpr uint16_t kLowBits565 = (0x01 << 11) | (0x01 << 5) | 0x1E;  // 0x083E
constexpr uint32_t kLowBitsRgb = 0x0804F7;
constexpr uint16_t kWhite565 = 0xFFFF;

// The four quadrants of a 320 x 240 screen: mixed, red / green, low bits.
uint16_t quadrant565(int x, int y) {
  if (y < 120) return x < 160 ? kMixed565 : kRed565;
  return x < 160 ? kGreen565 : kLowBits565;
}

uint32_t quadrantRgb(int x, int y) {
  if (y < 120) return x < 160 ? kMixedRgb : kRedRgb;
  return x < 160 ? kGreenRgb : kLowBitsRgb;
}

void writeQuadrants() {
  lockScreen();
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) putPixel16(x, y, quadrant565(x, y));
  }
  unlockScreen(-1, -1);
}

// Counts client pixels that differ from the expected picture and reports the first one.
int mismatches(const std::vector<uint32_t>& seen, int width, uint32_t (*expected)(int, int)) {
  int count = 0;
  for (size_t i = 0; i < seen.size(); ++i) {
    const int x = static_cast<int>(i % width);
    const int y = static_cast<int>(i / width);
    if (seen[i] == expected(x, y)) continue;
    if (count++ == 0) {
      ADD_FAILURE() << "first difference at (" << x << ", " << y << "): 0x" << std::hex << seen[i]
                    << " instead of 0x" << expected(x, y);
    }
  }
  return count;
}

TEST_F(GdiPresenterTest, ReportsTheDesktopBeforeOpeningAndTheScreenAfter) {
  HDC desktop = GetDC(nullptr);
  const int desktop_bits = GetDeviceCaps(desktop, BITSPIXEL);
  ReleaseDC(nullptr, desktop);

  ScreenInfo before = screenInfo();
  EXPECT_EQ(before.width, 1280);
  EXPECT_EQ(before.height, 1024);
  EXPECT_EQ(before.depth, desktop_bits);
  EXPECT_EQ(before.bytes_per_pixel, 0);
  EXPECT_EQ(before.pitch, 0);
  EXPECT_STREQ(presenterName(), "");
  EXPECT_EQ(windowHandle(), 0u);

  ASSERT_NE(openWindow(320, 240), nullptr);
  ScreenInfo after = screenInfo();
  EXPECT_EQ(after.width, 320);
  EXPECT_EQ(after.height, 240);
  EXPECT_EQ(after.depth, 16);
  EXPECT_EQ(after.bytes_per_pixel, 2);
  EXPECT_EQ(after.pitch, 640);
  EXPECT_STREQ(after.presenter, "GDI");
}

TEST_F(GdiPresenterTest, MakesACentredCaptionWindowOfTheClientSize) {
  HWND window = openWindow(320, 240);
  ASSERT_NE(window, nullptr);
  // Windows adds WS_CLIPSIBLINGS to every top-level window by itself.
  const DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
  EXPECT_EQ(style & ~static_cast<DWORD>(WS_CLIPSIBLINGS), 0x00CB0000u | WS_VISIBLE);
  EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_LAYERED, 0);

  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 320);
  EXPECT_EQ(client.bottom, 240);

  RECT outer;
  GetWindowRect(window, &outer);
  EXPECT_EQ(outer.left, (1280 - (outer.right - outer.left)) / 2);
  EXPECT_EQ(outer.top, (1024 - (outer.bottom - outer.top)) / 2);
}

TEST_F(GdiPresenterTest, ClosingDestroysTheWindow) {
  HWND window = openWindow(320, 240);
  ASSERT_NE(window, nullptr);
  closeScreen();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(windowHandle(), 0u);
  EXPECT_STREQ(presenterName(), "");
}

TEST_F(GdiPresenterTest, ShowsTheFrameBufferInTheClientArea) {
  HWND window = openWindow(320, 240);
  ASSERT_NE(window, nullptr);
  writeQuadrants();
  ASSERT_TRUE(waitForPixel(window, 320, 240, 319, 239, kLowBitsRgb));
  EXPECT_EQ(mismatches(clientPixels(window, 320, 240), 320, quadrantRgb), 0);
}

uint32_t quadrantsWithWhiteBand(int x, int y) {
  return y >= 100 && y <= 109 ? 0xFFFFFF : quadrantRgb(x, y);
}

// Rows 100..109 alone are presented: they must land on rows 100..109 of the client area, and the
// rows around them keep the earlier frame.
TEST_F(GdiPresenterTest, PresentsAChangedSpanAtItsOwnRows) {
  HWND window = openWindow(320, 240);
  ASSERT_NE(window, nullptr);
  writeQuadrants();
  ASSERT_TRUE(waitForPixel(window, 320, 240, 319, 239, kLowBitsRgb));

  lockScreen();
  for (int y = 100; y <= 109; ++y) {
    for (int x = 0; x < 320; ++x) putPixel16(x, y, kWhite565);
  }
  unlockScreen(100, 109);
  ASSERT_TRUE(waitForPixel(window, 320, 240, 0, 109, 0xFFFFFF));
  EXPECT_EQ(mismatches(clientPixels(window, 320, 240), 320, quadrantsWithWhiteBand), 0);
}

// 101 pixels of 2 bytes make rows of 202 bytes, which bitmap rows (whole 32-bit words) cannot
// describe: each row must still land straight below the one before.
uint32_t stripesRgb(int x, int y) {
  if (x == 100) return kGreenRgb;
  return y % 2 == 0 ? kRedRgb : kLowBitsRgb;
}

TEST_F(GdiPresenterTest, ShowsRowsWhoseLengthIsNotAWholeNumberOfWords) {
  HWND window = openWindow(101, 7);
  ASSERT_NE(window, nullptr);
  lockScreen();
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 101; ++x) {
      putPixel16(x, y, x == 100 ? kGreen565 : y % 2 == 0 ? kRed565 : kLowBits565);
    }
  }
  unlockScreen(-1, -1);
  ASSERT_TRUE(waitForPixel(window, 101, 7, 100, 6, kGreenRgb));
  EXPECT_EQ(mismatches(clientPixels(window, 101, 7), 101, stripesRgb), 0);
}

// One pixel value per depth and the colour it must show as: 15 bits are 5-5-5, 24 bits are
// blue, green, red bytes, depths of 8 and below are grey levels from black to white.
struct DepthCase {
  int depth;
  std::vector<uint8_t> pixel;
  uint32_t rgb;
};

class GdiDepthTest : public GdiWindowTest, public ::testing::WithParamInterface<DepthCase> {};

TEST_P(GdiDepthTest, ShowsThePixelFormatOfTheDepth) {
  const DepthCase& c = GetParam();
  HWND window = openWindow(64, 8, c.depth);
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(screenInfo().bytes_per_pixel, static_cast<int>(c.pixel.size()));
  lockScreen();
  uint8_t* pixels = static_cast<uint8_t*>(screenPixels());
  for (int i = 0; i < 64 * 8; ++i)
    std::memcpy(pixels + i * c.pixel.size(), c.pixel.data(), c.pixel.size());
  unlockScreen(-1, -1);
  EXPECT_TRUE(waitForPixel(window, 64, 8, 63, 7, c.rgb));
  EXPECT_EQ(clientPixels(window, 64, 8)[0], c.rgb);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, GdiDepthTest,
    ::testing::Values(DepthCase{15, {0x45, 0x49}, 0x945229},  // 0x4945: 10010 01010 00101
                      DepthCase{24, {0x56, 0x34, 0x12}, 0x123456},
                      DepthCase{32, {0x56, 0x34, 0x12, 0x00}, 0x123456},
                      DepthCase{8, {0x80}, 0x808080},  // 128 of 255
                      DepthCase{4, {0x05}, 0x555555},  // 5 of 15: 85
                      DepthCase{1, {0x01}, 0xFFFFFF}));

TEST_F(GdiPresenterTest, ShapedWindowIsLayeredWithAMagentaKey) {
  HWND window = openWindow(320, 240, 16, kScreenShaped);
  ASSERT_NE(window, nullptr);
  EXPECT_NE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(window, &key, &alpha, &flags));
  EXPECT_EQ(key, 0xFF00FFu);
  EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY));
}

TEST_F(GdiPresenterTest, RefusesTheOpenGlFlag) {
  EXPECT_NE(openScreen(320, 240, 16, 1, kScreenOpenGL, 0), 0);
  EXPECT_EQ(windowHandle(), 0u);
  EXPECT_STREQ(presenterName(), "");
}

}  // namespace
