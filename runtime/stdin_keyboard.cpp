// Standard input as a keyboard and mouse: a reader thread turns each byte into a key press (255
// then b is the extended key b, 255 254 starts a mouse event; Escape is also held for a while)
// and marks the keyboard closed when the input ends, so that nothing waits for a key that cannot
// come.
#include "runtime/stdin_keyboard.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "runtime/keyboard.h"
#include "runtime/mouse.h"
#include "runtime/platform.h"
#include "runtime/screen_state.h"

namespace {

constexpr int kExtendedPrefix = 255;
constexpr int kMousePrefix = 254;  // after kExtendedPrefix: a mouse event follows
constexpr int kEscapeByte = 27;

// A mouse event's kind letter and what it stands for.
struct MouseLetter {
  int letter;
  MouseKind kind;
  int button;
  int wheel;
};

constexpr MouseLetter kMouseLetters[] = {
    {'p', MouseKind::kPress, 1, 0},  {'r', MouseKind::kRelease, 1, 0},
    {'m', MouseKind::kMove, 0, 0},   {'u', MouseKind::kWheel, 0, 1},
    {'d', MouseKind::kWheel, 0, -1}, {'c', MouseKind::kDoubleClick, 1, 0},
};

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

// The rest of a mouse event after 255 254: the kind letter, then x and y as 16-bit
// little-endian values. The event is posted when its letter is known (an unknown one drops it,
// its five bytes read all the same); false when the input ends inside it.
bool readMouseEvent(std::FILE* in) {
  int bytes[5];
  for (int& byte : bytes) {
    byte = std::getc(in);
    if (byte == EOF) return false;
  }
  for (const MouseLetter& letter : kMouseLetters) {
    if (letter.letter != bytes[0]) continue;
    MouseEvent event;
    event.kind = letter.kind;
    event.x = bytes[1] | (bytes[2] << 8);
    event.y = bytes[3] | (bytes[4] << 8);
    event.button = letter.button;
    event.wheel = letter.wheel;
    postMouse(event);
  }
  return true;
}

}  // namespace

void readKeysFrom(std::FILE* in) {
  for (int byte = std::getc(in); byte != EOF; byte = std::getc(in)) {
    if (byte != kExtendedPrefix) {
      postKey(byte);
      if (byte == kEscapeByte) holdEscape();
      continue;
    }
    int code = std::getc(in);
    if (code == EOF) break;
    if (code != kMousePrefix) {
      postKey((code << 8) | kExtendedPrefix);
    } else if (!readMouseEvent(in)) {
      break;
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
