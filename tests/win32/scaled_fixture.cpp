// Shared helpers of the scalable window's Windows tests: per-test reset of the module and the
// screen, whole-window read-back through the window DC, and a queue flush through the key queue.
#include "tests/win32/scaled_fixture.h"

#include <cstring>

#include "runtime/keyboard.h"
#include "runtime/presenter_gdi_win32.h"
#include "runtime/screen.h"
#include "window/scaled_window.h"

namespace {

constexpr WPARAM kFlushKey = VK_F6;
constexpr int kFlushScancode = 0x40;

void resetModule() {
  closeScaledWindow();
  resetScaledState();
  openGlHooks().gl_viewport = nullptr;
  ClipCursor(nullptr);
}

}  // namespace

void ScaledWindowTest::SetUp() {
  GdiWindowTest::SetUp();
  resetModule();
}

void ScaledWindowTest::TearDown() {
  resetModule();
  GdiWindowTest::TearDown();
}

HWND ScaledWindowTest::openScaled(int width, int height, int flags) {
  hookCreation(0);
  EXPECT_EQ(openScaledScreen(width, height, 16, 1, flags, 0), 0);
  EXPECT_STREQ(presenterName(), "GDI");
  setupScaledWindow(width, height, 1, 0);
  return reinterpret_cast<HWND>(windowHandle());
}

void resetScaledState() {
  ScaledWindowState& s = scaledWindowState();
  s.window = 0;
  s.screenProc = 0;
  s.clientWidth = 0;
  s.clientHeight = 0;
  s.modeWidth = 0;
  s.modeHeight = 0;
  s.marginX = 0;
  s.marginY = 0;
  s.keepAspect = 0;
  s.savedStyle = 0;
  s.fullScreen = false;
  s.styleGuard = false;
  s.options = 0;
  s.openedWithHook = false;
  s.borderColour = 0;
  std::memset(s.activePresenter, 0, sizeof s.activePresenter);
  s.savedViewport = 0;
}

std::vector<uint32_t> windowPixels(HWND window, int width, int height) {
  HDC window_dc = GetWindowDC(window);
  std::vector<uint32_t> pixels = devicePixels(window_dc, width, height);
  ReleaseDC(window, window_dc);
  return pixels;
}

void flushPosted(HWND window) {
  PostMessageA(window, WM_KEYDOWN, kFlushKey, (kFlushScancode << 16) | 1);
  EXPECT_EQ(waitForKey(), extendedKey(kFlushScancode));
}

std::vector<uint8_t> creationPrologue() {
  const uint8_t* target = reinterpret_cast<const uint8_t*>(
      GetProcAddress(GetModuleHandleA("user32.dll"), "CreateWindowExA"));
  return std::vector<uint8_t>(target, target + 8);
}

uint32_t styleOf(HWND window) { return static_cast<uint32_t>(GetWindowLongA(window, GWL_STYLE)); }

uint32_t exStyleOf(HWND window) {
  return static_cast<uint32_t>(GetWindowLongA(window, GWL_EXSTYLE));
}
