// Sleeping for the caller's thread: receives milliseconds and a mode, hands on an error code.
// Interruptible sleeps watch the key-event flag in 50 ms steps.
#include "runtime/timing.h"

#include "runtime/keyboard.h"
#include "runtime/platform.h"

namespace {

constexpr int kCheckMilliseconds = 50;
constexpr int kWaitForKey = -1;
constexpr int kShortestSteppedSleep = 100;

// Sleeps until a key event; returns at once when no key can come any more.
void waitForKeyEvent() {
  while (!keyboardClosed()) {
    sleepMilliseconds(kCheckMilliseconds);
    if (takeKeyEvent()) return;
  }
}

// Sleeps in 50 ms steps while more than 50 ms remain, stopping at the first key event, then
// sleeps what is left.
void steppedSleep(int milliseconds) {
  int left = milliseconds;
  while (left > kCheckMilliseconds) {
    sleepMilliseconds(kCheckMilliseconds);
    left -= kCheckMilliseconds;
    if (takeKeyEvent()) return;
  }
  sleepMilliseconds(left);
}

}  // namespace

int sleepFor(int milliseconds, int mode) {
  if (mode == 1) {
    sleepMilliseconds(milliseconds);
    return 0;
  }
  if (mode != 0) return 1;
  if (milliseconds == kWaitForKey) {
    waitForKeyEvent();
  } else if (milliseconds >= kShortestSteppedSleep) {
    steppedSleep(milliseconds);
  } else if (milliseconds >= 1) {
    sleepMilliseconds(milliseconds);
  }
  return 0;
}
