// The subclassed screen window under Wine on a 1280 x 1024 display: set-up's size and border,
// the full-screen toggle with its margins and their painting, Alt keys, mouse mapping and the
// cursor placed and clipped in screen pixels.
#include "window/scaled_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <vector>

#include "runtime/keyboard.h"
#include "runtime/presenter_gdi_win32.h"
#include "runtime/screen.h"
#include "runtime/screen_state.h"
#include "tests/support/runtime_state.h"
#include "tests/win32/scaled_fixture.h"
#include "window/scaled_window_win32.h"

namespace {

constexpr LPARAM kAltHeld = 0x20000000;
constexpr LPARAM kRepeated = 0x40000000;
constexpr LPARAM kEnterKey = (0x1C << 16) | 1;
constexpr LPARAM kF5Key = (0x3F << 16) | 1;

class ScaledWindow : public ScaledWindowTest {
 protected:
  void SetUp() override {
    ScaledWindowTest::SetUp();
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
    ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), 1024);
    SetCursorPos(0, 0);  // away from the windows, so no real mouse move mixes in
  }
};

RECT windowRect(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return r;
}

RECT clientRect(HWND window) {
  RECT r;
  GetClientRect(window, &r);
  return r;
}

POINT clientOrigin(HWND window) {
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  return origin;
}

bool sameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != 0; }

void toggleAndWait(HWND window) {
  PostMessageA(window, toggleFullScreenMessage, 0, 0);
  flushPosted(window);
}

TEST_F(ScaledWindow, PlayerSetupGivesACentredClientOfExactlyThatSizeWithoutSizingBorder) {
  hookCreation(0);
  ASSERT_EQ(openScaledScreen(640, 512, 16, 1, 0, 0), 0);
  HWND window = reinterpret_cast<HWND>(windowHandle());
  ASSERT_NE(window, nullptr);
  EXPECT_NE(styleOf(window) & WS_THICKFRAME, 0u);  // created through the hook

  setupScaledWindow(640, 512, 1, 0);
  const ScaledWindowState& s = scaledWindowState();
  EXPECT_EQ(s.window.load(), reinterpret_cast<uintptr_t>(window));
  EXPECT_EQ(GetWindowLongA(window, GWL_WNDPROC), reinterpret_cast<LONG>(&scaledWindowProc));
  EXPECT_NE(s.screenProc.load(), 0u);
  EXPECT_NE(s.screenProc.load(), reinterpret_cast<uintptr_t>(&scaledWindowProc));
  EXPECT_EQ(styleOf(window) & WS_THICKFRAME, 0u);
  EXPECT_EQ(exStyleOf(window) & WS_EX_TOPMOST, 0u);
  const RECT client = clientRect(window);
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(client.bottom, 512);
  EXPECT_EQ(s.clientWidth.load(), 640);
  EXPECT_EQ(s.clientHeight.load(), 512);
  const RECT outer = windowRect(window);
  EXPECT_EQ(outer.left, (1280 - (outer.right - outer.left)) / 2);
  EXPECT_EQ(outer.top, (1024 - (outer.bottom - outer.top)) / 2);
  EXPECT_EQ(s.modeWidth.load(), 640);
  EXPECT_EQ(s.modeHeight.load(), 512);
  EXPECT_STREQ(s.activePresenter, "GDI");
  EXPECT_TRUE(s.openedWithHook.load());

  setupScaledWindow(640, 512, 1, 1);  // resizable: the border comes back, the client stays
  EXPECT_NE(styleOf(window) & WS_THICKFRAME, 0u);
  EXPECT_EQ(clientRect(window).right, 640);
  EXPECT_EQ(GetWindowLongA(window, GWL_WNDPROC), reinterpret_cast<LONG>(&scaledWindowProc));
}

TEST_F(ScaledWindow, OptionsCountOnlyWhenTheHookWasArmed) {
  ASSERT_EQ(openScaledScreen(64, 48, 16, 1, noFullScreenToggle | startFullScreen, 0), 0);
  EXPECT_EQ(scaledWindowState().options.load(), 0);
  EXPECT_FALSE(scaledWindowState().openedWithHook.load());
  EXPECT_EQ(screenState().flags, noFullScreenToggle | startFullScreen);
  closeScreen();

  hookCreation(0);
  scaledWindowState().borderColour = 0x00FFFFFF;
  ASSERT_EQ(openScaledScreen(64, 48, 16, 1, shapedWindow | startFullScreen, 0), 0);
  EXPECT_EQ(scaledWindowState().options.load(), shapedWindow | startFullScreen);
  EXPECT_EQ(scaledWindowState().borderColour.load(), 0u);
  EXPECT_EQ(screenState().flags, shapedWindow);  // the display mode never changes
  EXPECT_STREQ(scaledWindowState().activePresenter, "GDI");
}

// 800 x 600 on 1280 x 1024: fitWidth = 800 * 1024 / 600 = 1365 > 1280, so fitHeight =
// 600 * 1280 / 800 = 960 and marginY = (1024 - 960) / 2 = 32.
TEST_F(ScaledWindow, Message1114EntersLetterboxedFullScreenAndASecondRestores) {
  HWND window = openScaled(800, 600);
  ASSERT_NE(window, nullptr);
  const uint32_t windowed_style = styleOf(window);
  const RECT windowed_rect = windowRect(window);
  setBorderColour(0x10, 0x20, 0x130);
  EXPECT_EQ(scaledWindowState().borderColour.load(), 0x00302010u);

  toggleAndWait(window);
  const ScaledWindowState& s = scaledWindowState();
  EXPECT_TRUE(s.fullScreen.load());
  EXPECT_EQ(s.marginX.load(), 0);
  EXPECT_EQ(s.marginY.load(), 32);
  EXPECT_EQ(s.savedStyle.load(), windowed_style | WS_VISIBLE);
  // The system adds WS_CLIPSIBLINGS to every top-level window.
  EXPECT_EQ(styleOf(window) & ~WS_CLIPSIBLINGS, 0x91000000u);  // popup, visible, maximized
  EXPECT_NE(exStyleOf(window) & WS_EX_TOPMOST, 0u);
  EXPECT_TRUE(sameRect(windowRect(window), RECT{0, 0, 1280, 1024}));
  EXPECT_TRUE(sameRect(clientRect(window), RECT{0, 0, 1280, 960}));
  EXPECT_EQ(clientOrigin(window).y, 32);
  EXPECT_EQ(s.clientWidth.load(), 1280);
  EXPECT_EQ(s.clientHeight.load(), 960);
  const std::vector<uint32_t> pixels = windowPixels(window, 1280, 1024);
  EXPECT_EQ(pixels[5 * 1280 + 640], 0x102030u);
  EXPECT_EQ(pixels[1020 * 1280 + 3], 0x102030u);

  toggleAndWait(window);
  EXPECT_FALSE(s.fullScreen.load());
  EXPECT_EQ(s.savedStyle.load(), 0u);
  EXPECT_EQ(s.marginY.load(), 0);
  EXPECT_EQ(styleOf(window), windowed_style);
  EXPECT_EQ(exStyleOf(window) & WS_EX_TOPMOST, 0u);
  EXPECT_TRUE(sameRect(windowRect(window), windowed_rect));
  EXPECT_EQ(s.clientWidth.load(), 800);
}

// 400 x 400 on 1280 x 1024: fitWidth = 400 * 1024 / 400 = 1024, so marginX = 128.
TEST_F(ScaledWindow, StartFullScreenEntersAtSetupWithSideMargins) {
  HWND window = openScaled(400, 400, startFullScreen);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(screenState().flags, 0);
  EXPECT_TRUE(scaledWindowState().fullScreen.load());
  EXPECT_EQ(scaledWindowState().marginX.load(), 128);
  EXPECT_EQ(scaledWindowState().marginY.load(), 0);
  EXPECT_TRUE(sameRect(clientRect(window), RECT{0, 0, 1024, 1024}));
  EXPECT_EQ(clientOrigin(window).x, 128);
}

// The margins are repainted from WM_NCPAINT whether it carries the whole frame (1) or a region
// in screen coordinates; either way the client area is never painted over.
TEST_F(ScaledWindow, NcPaintFillsTheMarginsForTheWholeFrameOrARegion) {
  HWND window = openScaled(800, 600, startFullScreen);
  ASSERT_NE(window, nullptr);
  lockScreen();
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) putPixel16(x, y, 0xFFFF);
  }
  unlockScreen(0, -1);
  ASSERT_TRUE(waitForPixel(window, 1280, 960, 640, 0, 0xFFFFFF));

  scaledWindowState().borderColour = 0x000000FF;  // red
  SendMessageA(window, WM_NCPAINT, 1, 0);
  std::vector<uint32_t> pixels = windowPixels(window, 1280, 1024);
  EXPECT_EQ(pixels[0], 0xFF0000u);
  EXPECT_EQ(pixels[31 * 1280 + 1279], 0xFF0000u);
  EXPECT_EQ(pixels[992 * 1280 + 100], 0xFF0000u);
  EXPECT_EQ(pixels[32 * 1280 + 640], 0xFFFFFFu);

  scaledWindowState().borderColour = 0x0000FF00;  // green, asked for the top 100 rows only
  HRGN region = CreateRectRgn(0, 0, 1280, 100);
  SendMessageA(window, WM_NCPAINT, reinterpret_cast<WPARAM>(region), 0);
  DeleteObject(region);
  pixels = windowPixels(window, 1280, 1024);
  EXPECT_EQ(pixels[10 * 1280 + 10], 0x00FF00u);
  EXPECT_EQ(pixels[50 * 1280 + 10], 0xFFFFFFu);
  EXPECT_EQ(pixels[1000 * 1280 + 10], 0xFF0000u);
}

TEST_F(ScaledWindow, AltEnterPostsTheToggleOncePerPress) {
  HWND window = openScaled(320, 240);
  ASSERT_NE(window, nullptr);
  SendMessageA(window, WM_SYSKEYDOWN, VK_RETURN, kAltHeld | kEnterKey);
  flushPosted(window);
  EXPECT_TRUE(scaledWindowState().fullScreen.load());
  SendMessageA(window, WM_SYSKEYDOWN, VK_RETURN, kAltHeld | kRepeated | kEnterKey);
  flushPosted(window);
  EXPECT_TRUE(scaledWindowState().fullScreen.load());
}

TEST_F(ScaledWindow, NoToggleOptionKeepsTheWindowWhileAltKeysStillArrive) {
  HWND window = openScaled(320, 240, noFullScreenToggle);
  ASSERT_NE(window, nullptr);
  const uint32_t style = styleOf(window);
  const RECT outer = windowRect(window);
  SendMessageA(window, WM_SYSKEYDOWN, VK_RETURN, kAltHeld | kEnterKey);
  flushPosted(window);
  EXPECT_FALSE(scaledWindowState().fullScreen.load());
  EXPECT_EQ(scaledWindowState().savedStyle.load(), 0u);
  EXPECT_EQ(styleOf(window), style);
  EXPECT_TRUE(sameRect(windowRect(window), outer));

  // Alt+F5 reaches the screen service as a WM_KEYDOWN for F5, queued once.
  SendMessageA(window, WM_SYSKEYDOWN, VK_F5, kAltHeld | kF5Key);
  EXPECT_EQ(readKey(), extendedKey(0x3F));
  EXPECT_EQ(readKey(), "");
}

// Client 320 x 240 over a 160 x 120 screen: (319, 239) -> (159, 119), (101, 51) -> (50, 25),
// and (-3, -5) -> (-480 / 320, -600 / 240) = (-1, -2), truncated toward zero.
TEST_F(ScaledWindow, MouseMessagesReachTheScreenInScreenPixels) {
  HWND window = openScaled(160, 120);
  ASSERT_NE(window, nullptr);
  setupScaledWindow(320, 240, 1, 0);
  struct Case {
    UINT message;
    int x, y;
    int screen_x, screen_y;
  };
  for (const Case& c :
       {Case{WM_MOUSEMOVE, 319, 239, 159, 119}, Case{WM_LBUTTONDOWN, 101, 51, 50, 25},
        Case{WM_MOUSEMOVE, -3, -5, -1, -2}}) {
    PostMessageA(window, c.message, 0, MAKELPARAM(c.x, c.y));
    flushPosted(window);
    const GdiMouse mouse = gdiMouse();
    EXPECT_EQ(mouse.x, c.screen_x) << c.x;
    EXPECT_EQ(mouse.y, c.screen_y) << c.y;
  }
}

// Screen pixel (80, 60) of a 160 x 120 screen in a 320 x 240 client is client pixel (160, 120).
TEST_F(ScaledWindow, ScaledMousePlacesAndClipsInScreenPixels) {
  HWND window = openScaled(160, 120);
  ASSERT_NE(window, nullptr);
  setupScaledWindow(320, 240, 1, 0);
  const POINT origin = clientOrigin(window);
  RECT unclipped;
  GetClipCursor(&unclipped);

  EXPECT_EQ(setScaledMouse(160, 0, 0, 1), 1);  // x = modeWidth: refused, nothing changes
  EXPECT_EQ(setScaledMouse(0, -1, 0, 1), 1);
  EXPECT_EQ(screenState().mouse_visible, 1);
  RECT clip;
  GetClipCursor(&clip);
  EXPECT_TRUE(sameRect(clip, unclipped));

  EXPECT_EQ(setScaledMouse(80, 60, -32768, 1), 0);
  POINT cursor;
  GetCursorPos(&cursor);
  EXPECT_EQ(cursor.x, origin.x + 160);
  EXPECT_EQ(cursor.y, origin.y + 120);
  GetClipCursor(&clip);
  EXPECT_TRUE(sameRect(clip, RECT{origin.x, origin.y, origin.x + 320, origin.y + 240}));

  EXPECT_EQ(setScaledMouse(-32768, -32768, 0, 0), 0);
  EXPECT_EQ(screenState().mouse_visible, 0);
  GetClipCursor(&clip);
  EXPECT_TRUE(sameRect(clip, unclipped));
  EXPECT_EQ(setScaledMouse(-32768, -32768, -5, -32768), 0);
  EXPECT_EQ(screenState().mouse_visible, 1);

  closeScreen();
  EXPECT_EQ(setScaledMouse(0, 0, -32768, -32768), 1);
}

}  // namespace
