// Switching the GDI window between a window and a full-screen display mode. The test display
// has one mode, 1280 x 1024, so the screens here have that size: a switch to any other size is
// refused by the display and leaves the window as it is.
#include <gtest/gtest.h>
#include <windows.h>

#include "runtime/screen.h"
#include "tests/support/runtime_state.h"
#include "tests/win32/gdi_window.h"

namespace {

class GdiFullScreenTest : public GdiWindowTest {
 protected:
  HWND openActive(int width, int height, int flags) {
    HWND window = openWindow(width, height, 16, flags);
    if (window == nullptr) return nullptr;
    SetForegroundWindow(window);
    EXPECT_TRUE(waitUntil([&] { return GetForegroundWindow() == window; }, 5.0));
    return window;
  }
};

// Windows adds WS_CLIPSIBLINGS to every top-level window by itself.
DWORD styleOf(HWND window) {
  return static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) &
         ~static_cast<DWORD>(WS_CLIPSIBLINGS);
}

constexpr DWORD kWindowed = 0x00CB0000 | WS_VISIBLE;
constexpr DWORD kFullScreen = WS_POPUP | WS_VISIBLE;

// Waits until the window has handled every message posted before: the close key it posts for
// WM_CLOSE arrives only after them.
void waitForWindow(HWND window) {
  PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_EQ(waitForKey(), extendedKey('k'));
}

void pressAltEnter(HWND window) {
  PostMessageA(window, WM_SYSKEYDOWN, VK_RETURN, 0x20000000 | (0x1C << 16) | 1);
}

TEST_F(GdiFullScreenTest, FullScreenFlagOpensAPopupOverTheDisplay) {
  HWND window = openActive(1280, 1024, kScreenFullScreen);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(styleOf(window), kFullScreen);
  EXPECT_NE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  RECT outer;
  GetWindowRect(window, &outer);
  EXPECT_EQ(outer.left, 0);
  EXPECT_EQ(outer.top, 0);
  EXPECT_EQ(outer.right, 1280);
  EXPECT_EQ(outer.bottom, 1024);
}

TEST_F(GdiFullScreenTest, AltEnterSwitchesBackAndForth) {
  HWND window = openActive(1280, 1024, 0);
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(styleOf(window), kWindowed);
  RECT windowed;
  GetWindowRect(window, &windowed);

  pressAltEnter(window);
  waitForWindow(window);
  EXPECT_EQ(styleOf(window), kFullScreen);
  RECT outer;
  GetWindowRect(window, &outer);
  EXPECT_EQ(outer.left, 0);
  EXPECT_EQ(outer.top, 0);

  pressAltEnter(window);
  waitForWindow(window);
  EXPECT_EQ(styleOf(window), kWindowed);
  EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  GetWindowRect(window, &outer);
  EXPECT_EQ(outer.left, windowed.left);
  EXPECT_EQ(outer.top, windowed.top);
  EXPECT_EQ(outer.right, windowed.right);
  EXPECT_EQ(outer.bottom, windowed.bottom);
}

TEST_F(GdiFullScreenTest, MaximizingSwitchesToFullScreen) {
  HWND window = openActive(1280, 1024, 0);
  ASSERT_NE(window, nullptr);
  PostMessageA(window, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  waitForWindow(window);
  EXPECT_EQ(styleOf(window), kFullScreen);
}

// With switching forbidden, Alt+Enter leaves the window as it is.
TEST_F(GdiFullScreenTest, NoToggleFlagKeepsTheWindow) {
  HWND window = openActive(1280, 1024, kScreenNoToggle);
  ASSERT_NE(window, nullptr);
  pressAltEnter(window);
  waitForWindow(window);
  EXPECT_EQ(styleOf(window), kWindowed);
}

// A size the display does not have: the window stays a window.
TEST_F(GdiFullScreenTest, RefusedDisplayModeKeepsTheWindow) {
  HWND window = openActive(320, 240, kScreenFullScreen);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(styleOf(window), kWindowed);
  pressAltEnter(window);
  waitForWindow(window);
  EXPECT_EQ(styleOf(window), kWindowed);
}

}  // namespace
