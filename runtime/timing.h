// The seconds timer and sleeping, interruptible by key events.
// Receives durations in milliseconds; hands on seconds as doubles and integer error codes.
#pragma once

// Seconds since an arbitrary origin, from a monotonic clock.
double timerSeconds();

// Mode 1 sleeps the whole time and ignores keys (a negative time sleeps not at all).
// Mode 0 is interruptible: -1 waits for the next key event, checking every 50 ms (and returns
// at once when the keyboard is closed); 100 ms or more sleeps in 50 ms steps while more than
// 50 ms remain, returning at the first key event, then sleeps the rest; 1 to 99 ms sleeps
// plainly; other values return at once. Each check reads and clears the key-event flag.
// 0 on success, 1 for any other mode.
int sleepFor(int milliseconds, int mode);

// What sleeping works through: the platform's sleep and the keyboard's key-event flag. sleepFor
// uses the real ones; tests use substitutes that count the steps instead of waiting.
struct SleepServices {
  void (*sleep)(int milliseconds);
  bool (*take_key_event)();   // reads and clears the key-event flag
  bool (*keyboard_closed)();  // no key can come any more
};

// sleepFor through the given services.
int sleepForWith(const SleepServices& services, int milliseconds, int mode);
