// Test helpers over the runtime's process-wide state: resetting the screen and keyboard,
// setting environment variables portably, and polling for another thread's work.
#include "tests/support/runtime_state.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "runtime/keyboard.h"
#include "runtime/screen.h"
#include "runtime/screen_state.h"

namespace {

// Screens opened in tests start the standard-input keyboard. Reading the null device instead of
// the real input makes it end at once and for good, so that it cannot close the keyboard in the
// middle of a later test or take bytes from a terminal.
void quietStandardInput() {
  static const bool quiet = [] {
#ifdef _WIN32
    std::freopen("NUL", "rb", stdin);
#else
    std::freopen("/dev/null", "rb", stdin);
#endif
    startStdinKeyboard();
    return waitUntil([] { return screenState().stdin_closed.load(); }, 10.0);
  }();
  (void)quiet;
}

}  // namespace

void resetRuntimeState() {
  quietStandardInput();
  closeScreen();
  setPreferredPresenter("");
  while (!readKey().empty()) {
  }
  for (int scancode = 0; scancode < kScancodes; ++scancode) {
    setKeyHeld(scancode, false);
    keyDownSinceLastLook(scancode);  // forgets presses of the test before
  }
  takeKeyEvent();
  screenState().stdin_closed = false;
}

void setEnvironment(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value != nullptr ? value : "");
#else
  if (value != nullptr) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
#endif
}

bool waitUntil(const std::function<bool()>& condition, double seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}
