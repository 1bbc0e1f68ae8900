// Standard input as a keyboard: a reader thread turns each byte into a key press (255 then b is
// the extended key b; Escape is also held for a while) and marks the keyboard closed when the
// input ends, so that nothing waits for a key that cannot come.
#include "runtime/stdin_keyboard.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "runtime/keyboard.h"
#include "runtime/platform.h"
#include "runtime/screen_state.h"

namespace {

constexpr int kExtendedPrefix = 255;
constexpr int kEscapeByte = 27;

// Each Escape byte starts a new hold; only the newest hold's timer releases the key, so quick
// repeats keep Escape held until 300 ms after the last one.
std::atomic<unsigned> escape_hold_generation{0};

void holdEscape() {
  unsigned generation = ++escape_hold_generation;
  setKeyHeld(kEscapeScancode, true);
  std::thread([generation] {
    sleepMilliseconds(kEscapeHoldMilliseconds);
    if (escape_hold_generation == generation) setKeyHeld(kEscapeScancode, false);
  }).detach();
}

}  // namespace

void readKeysFrom(std::FILE* in) {
  bool extended = false;  // the previous byte was the 255 prefix
  for (int byte = std::getc(in); byte != EOF; byte = std::getc(in)) {
    if (extended) {
      postKey((byte << 8) | kExtendedPrefix);
      extended = false;
    } else if (byte == kExtendedPrefix) {
      extended = true;
    } else {
      postKey(byte);
      if (byte == kEscapeByte) holdEscape();
    }
  }
  screenState().stdin_closed = true;
}

void startStdinKeyboard() {
  static std::once_flag started;
  std::call_once(started, [] {
    prepareStdinForKeys();
    std::thread([] { readKeysFrom(stdin); }).detach();
  });
}
