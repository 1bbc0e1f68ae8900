// The GDI window's input: the close button, characters, keys without a character, keys held on
// the real keyboard, the mouse position and the cursor over the client area.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "runtime/keyboard.h"
#include "runtime/presenter_gdi_win32.h"
#include "runtime/screen.h"
#include "tests/support/runtime_state.h"
#include "tests/win32/gdi_window.h"

namespace {

using GdiKeyboardTest = GdiWindowTest;

// lParam of a key message: repeat count 1 and the scancode, with the extended-key bit for the
// keys of the second block.
LPARAM keyParameter(int scancode, bool extended = false) {
  return 1 | (scancode << 16) | (extended ? 1 << 24 : 0);
}

TEST_F(GdiKeyboardTest, CloseButtonQueuesAKeyAndKeepsTheWindow) {
  HWND window = openWindow(320, 240);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(PostMessageA(window, WM_CLOSE, 0, 0));
  EXPECT_EQ(waitForKey(), extendedKey('k'));
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(windowHandle(), reinterpret_cast<uintptr_t>(window));
}

TEST_F(GdiKeyboardTest, CharactersArriveInOrder) {
  HWND window = openWindow(320, 240);
  ASSERT_NE(window, nullptr);
  for (char c : std::string("Az9 "))
    PostMessageA(window, WM_CHAR, static_cast<unsigned char>(c), 1);
  EXPECT_EQ(waitForKey(), "A");
  EXPECT_EQ(waitForKey(), "z");
  EXPECT_EQ(waitForKey(), "9");
  EXPECT_EQ(waitForKey(), " ");
  EXPECT_EQ(readKey(), "");
}

// F1 (scancode 59, ";"), Delete (83, "S") and Up (72, "H") type nothing: they arrive as 255 and
// their scancode. Shift queues nothing; "A" comes only as its character, once. (Its character is
// posted behind the messages already queued, so "A" goes last.)
TEST_F(GdiKeyboardTest, KeysWithoutACharacterArriveAsExtendedCodes) {
  HWND window = openWindow(320, 240);
  ASSERT_NE(window, nullptr);
  PostMessageA(window, WM_KEYDOWN, VK_F1, keyParameter(0x3B));
  PostMessageA(window, WM_KEYDOWN, VK_SHIFT, keyParameter(0x2A));
  PostMessageA(window, WM_KEYDOWN, VK_DELETE, keyParameter(0x53, true));
  PostMessageA(window, WM_KEYDOWN, VK_UP, keyParameter(0x48, true));
  PostMessageA(window, WM_KEYDOWN, 'A', keyParameter(0x1E));
  EXPECT_EQ(waitForKey(), extendedKey(';'));
  EXPECT_EQ(waitForKey(), extendedKey('S'));
  EXPECT_EQ(waitForKey(), extendedKey('H'));
  EXPECT_EQ(waitForKey(), "a");
  EXPECT_EQ(readKey(), "");
}

// Keys pressed on the keyboard (injected input to the active window) show as held by scancode
// while down, and are queued as they would be typed.
class GdiHeldKeyTest : public GdiKeyboardTest {
 protected:
  static HWND activeWindowOfItsThread(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndActive;
  }
  void press(BYTE key, BYTE scancode, DWORD extended, bool down) {
    keybd_event(key, scancode, extended | (down ? 0 : KEYEVENTF_KEYUP), 0);
  }
  bool heldBecomes(int scancode, int value) {
    return waitUntil([&] { return keyHeld(scancode) == value; }, 5.0);
  }
};

TEST_F(GdiHeldKeyTest, HeldKeysFollowTheKeyboard) {
  HWND window = openWindow(320, 240);
  ASSERT_NE(window, nullptr);
  SetForegroundWindow(window);
  ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == window; }, 5.0));
  // The presenter thread reads held keys only once it has taken the activation itself; a key
  // pressed before that would be missed.
  ASSERT_TRUE(waitUntil([&] { return activeWindowOfItsThread(window) == window; }, 5.0));

  press('Q', 0x10, 0, true);
  EXPECT_TRUE(heldBecomes(0x10, -1));
  EXPECT_EQ(keyHeld(0x11), 0);
  press('Q', 0x10, 0, false);
  EXPECT_TRUE(heldBecomes(0x10, 0));
  EXPECT_EQ(waitForKey(), "q");

  press(VK_UP, 0x48, KEYEVENTF_EXTENDEDKEY, true);
  EXPECT_TRUE(heldBecomes(0x48, -1));
  press(VK_UP, 0x48, KEYEVENTF_EXTENDEDKEY, false);
  EXPECT_TRUE(heldBecomes(0x48, 0));
  EXPECT_EQ(waitForKey(), extendedKey('H'));

  press(VK_ESCAPE, 0x01, 0, true);
  EXPECT_TRUE(heldBecomes(kEscapeScancode, -1));
  press(VK_ESCAPE, 0x01, 0, false);
  EXPECT_TRUE(heldBecomes(kEscapeScancode, 0));
  EXPECT_EQ(waitForKey(), "\x1B");
}

TEST_F(GdiHeldKeyTest, KeysHeldWhenTheWindowClosesAreReleased) {
  HWND window = openWindow(320, 240);
  ASSERT_NE(window, nullptr);
  SetForegroundWindow(window);
  ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == window; }, 5.0));
  ASSERT_TRUE(waitUntil([&] { return activeWindowOfItsThread(window) == window; }, 5.0));
  press('W', 0x11, 0, true);
  EXPECT_TRUE(heldBecomes(0x11, -1));
  closeScreen();
  EXPECT_EQ(keyHeld(0x11), 0);
  press('W', 0x11, 0, false);
}

TEST_F(GdiKeyboardTest, MouseMessagesGiveThePositionInClientPixels) {
  HWND window = openWindow(320, 240);
  ASSERT_NE(window, nullptr);
  PostMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(12, 34));
  EXPECT_TRUE(waitUntil([] { return gdiMouse().x == 12; }, 5.0));
  GdiMouse mouse = gdiMouse();
  EXPECT_EQ(mouse.y, 34);
  EXPECT_EQ(mouse.buttons, MK_LBUTTON);

  // Outside the client area to the left and above, as while dragging: negative positions.
  PostMessageA(window, WM_RBUTTONUP, 0, MAKELPARAM(static_cast<WORD>(-5), static_cast<WORD>(-7)));
  EXPECT_TRUE(waitUntil([] { return gdiMouse().x == -5; }, 5.0));
  mouse = gdiMouse();
  EXPECT_EQ(mouse.y, -7);
  EXPECT_EQ(mouse.buttons, 0);
}

HCURSOR currentCursor() {
  CURSORINFO info = {};
  info.cbSize = sizeof info;
  GetCursorInfo(&info);
  return info.hCursor;
}

// showMouse hides the cursor over the client area and shows the arrow again.
TEST_F(GdiKeyboardTest, ShowMouseHidesAndShowsTheCursorOverTheClientArea) {
  HWND window = openWindow(320, 240);
  ASSERT_NE(window, nullptr);
  SetForegroundWindow(window);
  POINT centre = {160, 120};
  ClientToScreen(window, &centre);
  SetCursorPos(centre.x, centre.y);
  const HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);

  showMouse(0);
  EXPECT_TRUE(waitUntil([] { return currentCursor() == nullptr; }, 5.0));
  showMouse(1);
  EXPECT_TRUE(waitUntil([&] { return currentCursor() == arrow; }, 5.0));
}

}  // namespace
