// What a program reads and sets through the subclassed screen window under Wine (1280 x 1024):
// mouse messages as queued mouse events in screen pixels, double clicks, the window's title,
// and full screen toggled from the program.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "runtime/mouse.h"
#include "runtime/screen.h"
#include "tests/support/runtime_state.h"
#include "tests/win32/scaled_fixture.h"
#include "window/scaled_window.h"

namespace {

std::vector<MouseEvent> readAllMouse() {
  std::vector<MouseEvent> events;
  MouseEvent event;
  while (readMouse(&event)) events.push_back(event);
  return events;
}

RECT clientRect(HWND window) {
  RECT r;
  GetClientRect(window, &r);
  return r;
}

class ScaledMouse : public ScaledWindowTest {
 protected:
  void SetUp() override {
    ScaledWindowTest::SetUp();
    SetCursorPos(0, 0);  // away from the windows, so no real mouse move mixes in
    readAllMouse();
  }
};

// Client 320 x 240 over a 160 x 120 screen: positions halve, then clamp to the screen. The
// wheel's position is on the desktop: client (200, 100) is screen pixel (100, 50); -240 is two
// notches towards the user.
TEST_F(ScaledMouse, MessagesQueueScreenPixelsAndDoubleClicks) {
  HWND window = openScaled(160, 120);
  ASSERT_NE(window, nullptr);
  setupScaledWindow(320, 240, 1, 0);
  EXPECT_NE(GetClassLongA(window, GCL_STYLE) & CS_DBLCLKS, 0u);
  POINT wheel_at = {200, 100};
  ClientToScreen(window, &wheel_at);
  PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(101, 51));
  PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(101, 51));
  PostMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(319, 239));
  PostMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(-3, -5));              // (-1, -2): clamped
  PostMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(400, 10));  // (200, 5): clamped
  PostMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, -240), MAKELPARAM(wheel_at.x, wheel_at.y));
  flushPosted(window);
  EXPECT_EQ(readAllMouse(), (std::vector<MouseEvent>{{MouseKind::kPress, 50, 25, 1, 0},
                                                     {MouseKind::kRelease, 50, 25, 1, 0},
                                                     {MouseKind::kPress, 159, 119, 1, 0},
                                                     {MouseKind::kDoubleClick, 159, 119, 1, 0},
                                                     {MouseKind::kMove, 0, 0, 0, 0},
                                                     {MouseKind::kPress, 159, 5, 3, 0},
                                                     {MouseKind::kWheel, 100, 50, 0, -2}}));
}

// 160 x 120 full screen on 1280 x 1024: a 1280 x 960 client between margins of 32 rows.
TEST_F(ScaledMouse, ProgramTogglesFullScreenAndSetsTheTitle) {
  HWND window = openScaled(160, 120);
  ASSERT_NE(window, nullptr);
  setupScaledWindow(320, 240, 1, 0);
  EXPECT_FALSE(scaledFullScreen());
  toggleScaledFullScreen();
  flushPosted(window);
  EXPECT_TRUE(scaledFullScreen());
  EXPECT_EQ(clientRect(window).bottom, 960);
  toggleScaledFullScreen();
  flushPosted(window);
  EXPECT_FALSE(scaledFullScreen());
  EXPECT_EQ(clientRect(window).bottom, 240);

  setWindowTitle("Kestrune View - frame 12");
  char title[64] = {};
  EXPECT_TRUE(waitUntil(
      [&] {
        GetWindowTextA(window, title, sizeof title);
        return std::string(title) == "Kestrune View - frame 12";
      },
      5.0))
      << title;
}

}  // namespace
