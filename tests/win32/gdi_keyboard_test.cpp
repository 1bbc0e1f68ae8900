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

// A press and release queued together reach the window in one turn of the presenter: the held
// flag went up and down within it, and the next look still sees the press, once.
TEST_F(GdiKeyboardTest, AKeyTappedWithinOneTurnIsSeenByTheNextLook) {
  HWND window = openWindow(320, 240);
  ASSERT_NE(window, nullptr);
  lockScreen();  // the presenter thread takes both messages in its next turn
  PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, keyParameter(0x01));
  PostMessageA(window, WM_KEYUP, VK_ESCAPE, keyParameter(0x01) | 0xC0000000);
  unlockScreen(0, -1);
  EXPECT_EQ(waitForKey(), "\x1B");
  EXPECT_EQ(keyHeld(kEscapeScancode), 0);
  EXPECT_EQ(keyDownSinceLastLook(kEscapeScancode), -1);
  EXPECT_EQ(keyDownSinceLastLook(kEscapeScancode), 0);
}

// Keys pressed on the keyboard (injected input to the foreground window) show as held by scancode
// while down, from the moment their messages arrive, and are queued as they would be typed.
class GdiHeldKeyTest : public GdiKeyboardTest {
 protected:
  HWND openForegroundWindow() {
    HWND window = openWindow(320, 240);
    if (window == nullptr) return nullptr;
    SetForegroundWindow(window);
    return waitUntil([&] { return GetForegroundWindow() == window; }, 5.0) ? window : nullptr;
  }
  void press(BYTE key, BYTE scancode, DWORD extended, bool down) {
    keybd_event(key, scancode, extended | (down ? 0 : KEYEVENTF_KEYUP), 0);
  }
  bool heldBecomes(int scancode, int value) {
    return waitUntil([&] { return keyHeld(scancode) == value; }, 5.0);
  }
};

TEST_F(GdiHeldKeyTest, HeldKeysFollowTheKeyboard) {
  ASSERT_NE(openForegroundWindow(), nullptr);

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

// Keys held when the window goes inactive, or when it closes, are released: their key-ups will
// go elsewhere.
TEST_F(GdiHeldKeyTest, KeysHeldWhenTheWindowLosesTheKeyboardAreReleased) {
  HWND window = openForegroundWindow();
  ASSERT_NE(window, nullptr);
  press('W', 0x11, 0, true);
  EXPECT_TRUE(heldBecomes(0x11, -1));
  HWND other = CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100,
                               100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(other, nullptr);
  SetForegroundWindow(other);
  EXPECT_TRUE(heldBecomes(0x11, 0));
  press('W', 0x11, 0, false);
  DestroyWindow(other);

  SetForegroundWindow(window);
  ASSERT_TRUE(waitUntil([&] { return GetForegroundWindow() == window; }, 5.0));
  press('E', 0x12, 0, true);
  EXPECT_TRUE(heldBecomes(0x12, -1));
  closeScreen();
  EXPECT_EQ(keyHeld(0x12), 0);
  press('E', 0x12, 0, false);
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
