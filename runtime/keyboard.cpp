// The key queue and key-held flags of the screen state: receives key codes and held keys from
// the presenters and the standard-input keyboard, hands on key texts and held flags to callers.
// Everything runs under the presenter's lock.
#include "runtime/keyboard.h"

#include <mutex>

#include "runtime/screen_state.h"

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

int nextSlot(int slot) { return (slot + 1) % kKeyQueueSize; }

}  // namespace

void postKey(int code) {
  ScreenState& screen = screenState();
  Guard guard(screen.lock);
  screen.key_queue[screen.key_tail] = code;
  screen.key_tail = nextSlot(screen.key_tail);
  // The ring keeps one slot free so that head == tail means empty: a full ring loses its oldest.
  if (screen.key_tail == screen.key_head) screen.key_head = nextSlot(screen.key_head);
  screen.key_event = true;
}

std::string readKey() {
  ScreenState& screen = screenState();
  Guard guard(screen.lock);
  if (screen.key_head == screen.key_tail) return "";
  int code = screen.key_queue[screen.key_head];
  screen.key_head = nextSlot(screen.key_head);
  if (code >= 0 && code < 256) return std::string(1, static_cast<char>(code));
  return std::string{static_cast<char>(255), static_cast<char>((code >> 8) & 0xFF)};
}

int keyHeld(int scancode) {
  if (scancode < 0 || scancode >= kScancodes) return 0;
  ScreenState& screen = screenState();
  Guard guard(screen.lock);
  return screen.key_held[scancode] ? -1 : 0;
}

int keyDownSinceLastLook(int scancode) {
  if (scancode < 0 || scancode >= kScancodes) return 0;
  ScreenState& screen = screenState();
  Guard guard(screen.lock);
  const bool down = screen.key_held[scancode] || screen.key_went_down[scancode];
  screen.key_went_down[scancode] = false;
  return down ? -1 : 0;
}

void setKeyHeld(int scancode, bool held) {
  if (scancode < 0 || scancode >= kScancodes) return;
  ScreenState& screen = screenState();
  Guard guard(screen.lock);
  if (held && !screen.key_held[scancode]) screen.key_went_down[scancode] = true;
  screen.key_held[scancode] = held;
}

bool takeKeyEvent() {
  ScreenState& screen = screenState();
  Guard guard(screen.lock);
  bool event = screen.key_event;
  screen.key_event = false;
  return event;
}

bool keyboardClosed() {
  ScreenState& screen = screenState();
  if (!screen.stdin_closed) return false;
  Guard guard(screen.lock);
  bool window_gives_keys =
      screen.open && screen.presenter != nullptr && screen.presenter->gives_keys;
  return !window_gives_keys;
}
