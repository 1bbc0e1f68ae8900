// Key messages of the GDI window as the keyboard sees them. Receives virtual keys and the
// scancodes in key messages' lParam; hands on key-held flags by set-1 scancode and the extended
// key codes of keys that type no character.
#include "runtime/presenter_keys_win32.h"

#include "runtime/keyboard.h"
#include "runtime/screen_state.h"

namespace {

// The scancode of a key message (lParam bits 16-23), or the one its virtual key maps to when a
// sender left it 0. Keys sent with the extended prefix share the flag of the key they extend
// (right Ctrl with left Ctrl, the arrows with the keypad's 8, 4, 6 and 2).
int scancodeOf(WPARAM virtual_key, LPARAM lparam) {
  UINT scancode = static_cast<UINT>(lparam >> 16) & 0xFF;
  if (scancode == 0) scancode = MapVirtualKeyA(static_cast<UINT>(virtual_key), MAPVK_VK_TO_VSC);
  return static_cast<int>(scancode & 0xFF);
}

bool isModifierKey(WPARAM virtual_key) {
  switch (virtual_key) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_LMENU:
    case VK_RMENU:
    case VK_LWIN:
    case VK_RWIN:
    case VK_CAPITAL:
    case VK_NUMLOCK:
    case VK_SCROLL:
      return true;
    default:
      return false;
  }
}

}  // namespace

void followKeyMessage(const MSG& message) {
  switch (message.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      setKeyHeld(scancodeOf(message.wParam, message.lParam), true);
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      setKeyHeld(scancodeOf(message.wParam, message.lParam), false);
      break;
    default:
      break;
  }
}

// The key-ups of keys held now will go to another window (or nowhere): release them all.
void releaseHeldKeys() {
  for (int scancode = 0; scancode < kScancodes; ++scancode) setKeyHeld(scancode, false);
}

void postKeyWithoutCharacter(WPARAM virtual_key, LPARAM lparam) {
  if (isModifierKey(virtual_key)) return;
  if (MapVirtualKeyA(static_cast<UINT>(virtual_key), MAPVK_VK_TO_CHAR) != 0) return;
  UINT scancode = static_cast<UINT>(lparam >> 16) & 0xFF;
  if (scancode == 0) scancode = MapVirtualKeyA(static_cast<UINT>(virtual_key), MAPVK_VK_TO_VSC);
  scancode &= 0xFF;
  if (scancode != 0) postKey(255 | static_cast<int>(scancode << 8));
}
