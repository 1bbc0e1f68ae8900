// The keepAspectWindowed option on the subclassed "GDI" window under Wine: a window resized to a
// wider client area gets its margins from WM_SIZE on, the blit fills the fitted picture between
// them, the margins show the border colour, and mouse messages map through the picture.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <vector>

#include "runtime/presenter_gdi_win32.h"
#include "runtime/screen.h"
#include "runtime/screen_state.h"
#include "tests/support/runtime_state.h"
#include "tests/win32/scaled_fixture.h"
#include "window/scaled_window.h"

namespace {

// The client area's top-left corner relative to the window's.
POINT clientOffset(HWND window) {
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  RECT outer;
  GetWindowRect(window, &outer);
  return POINT{origin.x - outer.left, origin.y - outer.top};
}

using ScaledLetterbox = ScaledWindowTest;

// 320 x 240 set up at its own size (no margins), then resized to a 640 x 360 client area:
// fitWidth 320 * 360 / 240 = 480 <= 640, so marginX = (640 - 480) / 2 = 80 and the client area is
// the 480 x 360 picture, 80 pixels in. The white lower half (rows 120 on) begins at client row
// 120 * 360 / 240 = 180; on row 200 the columns 0 to 79 and 560 to 639 of the area the frame
// leaves are margin (red), 80 and 559 picture. Client (240, 180) is screen pixel (240 * 320 / 480,
// 180 * 240 / 360) = (160, 120), and (479, 359) is (319.3, 239.3), truncated to (319, 239).
TEST_F(ScaledLetterbox, ResizedWindowFitsThePictureBetweenMargins) {
  hookCreation(0);
  ASSERT_EQ(openScaledScreen(320, 240, 16, 1, keepAspectWindowed, 0), 0);
  EXPECT_EQ(screenState().flags, 0);  // the option stays with the module
  setupScaledWindow(320, 240, 1, 1);
  HWND window = reinterpret_cast<HWND>(windowHandle());
  ASSERT_NE(window, nullptr);
  const ScaledWindowState& s = scaledWindowState();
  EXPECT_EQ(s.marginX.load(), 0);
  setBorderColour(255, 0, 0);

  RECT outer;
  GetWindowRect(window, &outer);
  const POINT frame = clientOffset(window);
  const int outer_width = outer.right - outer.left + 320;
  const int outer_height = outer.bottom - outer.top + 120;
  SetWindowPos(window, nullptr, 0, 0, outer_width, outer_height,
               SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  EXPECT_EQ(s.marginX.load(), 80);
  EXPECT_EQ(s.marginY.load(), 0);
  EXPECT_EQ(s.clientWidth.load(), 480);
  EXPECT_EQ(s.clientHeight.load(), 360);
  EXPECT_EQ(clientOffset(window).x, frame.x + 80);
  EXPECT_EQ(clientOffset(window).y, frame.y);

  lockScreen();
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) putPixel16(x, y, y < 120 ? 0x0000 : 0xFFFF);
  }
  unlockScreen(0, -1);
  ASSERT_TRUE(waitForPixel(window, 480, 360, 479, 359, 0xFFFFFF));
  const std::vector<uint32_t> picture = clientPixels(window, 480, 360);
  EXPECT_EQ(picture[179 * 480 + 240], 0x000000u);
  EXPECT_EQ(picture[180 * 480], 0xFFFFFFu);
  std::vector<uint32_t> row;
  const std::vector<uint32_t> wanted = {0xFF0000, 0xFF0000, 0xFFFFFF, 0xFFFFFF, 0xFF0000, 0xFF0000};
  EXPECT_TRUE(waitUntil(
      [&] {
        const std::vector<uint32_t> pixels = windowPixels(window, outer_width, outer_height);
        row.clear();
        for (int x : {0, 79, 80, 559, 560, 639}) {
          row.push_back(pixels[(frame.y + 200) * outer_width + frame.x + x]);
        }
        return row == wanted;
      },
      5.0))
      << std::hex << row[0] << " " << row[1] << " " << row[4] << " " << row[5];

  const struct {
    int x, y, screen_x, screen_y;
  } clicks[] = {{240, 180, 160, 120}, {479, 359, 319, 239}};
  for (const auto& click : clicks) {
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(click.x, click.y));
    flushPosted(window);
    const GdiMouse mouse = gdiMouse();
    EXPECT_EQ(mouse.x, click.screen_x) << click.x;
    EXPECT_EQ(mouse.y, click.screen_y) << click.y;
  }
}

}  // namespace
