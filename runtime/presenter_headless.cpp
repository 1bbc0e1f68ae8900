// The "Headless" presenter: no window. Its thread copies the changed rows of the frame buffer
// into an in-memory picture every 10 ms, as a window would be painted, and standard input
// becomes the keyboard.
#include "runtime/presenter_headless.h"

#include <cstring>
#include <mutex>

#include "runtime/keyboard.h"
#include "runtime/platform.h"
#include "runtime/screen.h"
#include "runtime/screen_state.h"

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr int kLoopMilliseconds = 10;

HeadlessFrame* frameOf(ScreenState& screen) {
  return static_cast<HeadlessFrame*>(screen.presenter_data);
}

// Lock held; presenter thread, or the caller's thread through screen.present.
void presentToMemory(ScreenState& screen, int first_row, int last_row) {
  HeadlessFrame* frame = frameOf(screen);
  size_t offset = static_cast<size_t>(first_row) * static_cast<size_t>(screen.pitch);
  size_t bytes = static_cast<size_t>(last_row - first_row + 1) * static_cast<size_t>(screen.pitch);
  std::memcpy(frame->pixels.data() + offset, screen.pixels.data() + offset, bytes);
  frame->presents++;
  frame->first_row = first_row;
  frame->last_row = last_row;
}

void presenterLoop(ScreenState* screen) {
  while (!screen->quit) {
    {
      Guard guard(screen->lock);
      int first = 0;
      int last = 0;
      if (takeChangedRows(*screen, &first, &last)) screen->present(*screen, first, last);
    }
    sleepMilliseconds(kLoopMilliseconds);
  }
}

bool headlessDesktopMode(DisplayMode* mode) {
  *mode = DisplayMode{1920, 1080, 32, 60};
  return true;
}

// No window to make, but the flag that asks for the "OpenGL" presenter is refused like every
// presenter other than that one refuses it.
int openHeadless(ScreenState& screen) {
  if ((screen.flags & kScreenOpenGL) != 0) return 1;
  HeadlessFrame* frame = new HeadlessFrame;
  frame->pixels.assign(screen.pixels.size(), 0);
  screen.presenter_data = frame;
  screen.window = 0;
  screen.present = presentToMemory;
  screen.thread = std::thread(presenterLoop, &screen);
  startStdinKeyboard();
  return 0;
}

void closeHeadless(ScreenState& screen) {
  screen.quit = true;
  if (screen.thread.joinable()) screen.thread.join();
  Guard guard(screen.lock);
  delete frameOf(screen);
  screen.presenter_data = nullptr;
}

}  // namespace

const Presenter kHeadlessPresenter = {
    "Headless", headlessDesktopMode, openHeadless, closeHeadless, nullptr, false,
};

bool headlessPresented(HeadlessFrame* frame) {
  ScreenState& screen = screenState();
  Guard guard(screen.lock);
  if (!screen.open || screen.presenter != &kHeadlessPresenter) return false;
  *frame = *frameOf(screen);
  return true;
}
