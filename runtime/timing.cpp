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
void waitForKeyEvent(const SleepServices& services) {
  while (!services.keyboard_closed()) {
    services.sleep(kCheckMilliseconds);
    if (services.take_key_event()) return;
  }
}

// Sleeps in 50 ms steps while more than 50 ms remain, stopping at the first key event, then
// sleeps what is left.
void steppedSleep(const SleepServices& services, int milliseconds) {
  int left = milliseconds;
  while (left > kCheckMilliseconds) {
    services.sleep(kCheckMilliseconds);
    left -= kCheckMilliseconds;
    if (services.take_key_event()) return;
  }
  services.sleep(left);
}

}  // namespace

int sleepForWith(const SleepServices& services, int milliseconds, int mode) {
  if (mode == 1) {
    if (milliseconds > 0) services.sleep(milliseconds);
    return 0;
  }
  if (mode != 0) return 1;
  if (milliseconds == kWaitForKey) {
    waitForKeyEvent(services);
  } else if (milliseconds >= kShortestSteppedSleep) {
    steppedSleep(services, milliseconds);
  } else if (milliseconds >= 1) {
    services.sleep(milliseconds);
  }
  return 0;
}

int sleepFor(int milliseconds, int mode) {
  static const SleepServices real = {sleepMilliseconds, takeKeyEvent, keyboardClosed};
  return sleepForWith(real, milliseconds, mode);
}
