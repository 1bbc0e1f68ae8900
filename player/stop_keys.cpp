// Polls the keyboard for Escape and the close key between chunks and frames.
// Receives key state from the keyboard service; hands on a stop decision.
#include "player/stop_keys.h"

#include <string>

#include "runtime/keyboard.h"

bool stopKeyPressed() {
  if (keyHeld(kEscapeScancode) != 0) return true;
  static const std::string close_key = {'\xFF', static_cast<char>(kCloseKeyCode >> 8)};
  return readKey() == close_key;
}
