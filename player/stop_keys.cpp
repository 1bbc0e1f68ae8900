// Looks at the keyboard for Escape and the close key between chunks and frames.
// Receives key state from the keyboard service; hands on a stop decision.
#include "player/stop_keys.h"

#include "runtime/keyboard.h"

bool stopKeyLooked(int (*key_down)(int scancode), std::string (*read_key)()) {
  if (key_down(kEscapeScancode) != 0) return true;
  static const std::string close_key = {'\xFF', static_cast<char>(kCloseKeyCode >> 8)};
  return read_key() == close_key;
}

bool stopKeyPressed() { return stopKeyLooked(keyDownSinceLastLook, readKey); }
