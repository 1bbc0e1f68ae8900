// The mouse queue of the screen state: receives events from the presenters and the
// standard-input keyboard, hands them on to the caller's thread oldest first. Everything runs
// under the presenter's lock.
#include "runtime/mouse.h"

#include <mutex>

#include "runtime/screen_state.h"

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

int clamped(int value, int size) {
  if (value >= size) value = size - 1;
  return value < 0 ? 0 : value;
}

}  // namespace

// The ring holds all 64 slots: a count tells a full ring from an empty one, and a full ring
// loses its oldest event to the new one.
void postMouse(const MouseEvent& event) {
  ScreenState& screen = screenState();
  Guard guard(screen.lock);
  int slot = (screen.mouse_head + screen.mouse_count) % kMouseQueueSize;
  screen.mouse_queue[slot] = event;
  if (screen.mouse_count < kMouseQueueSize) {
    screen.mouse_count++;
  } else {
    screen.mouse_head = (screen.mouse_head + 1) % kMouseQueueSize;
  }
}

bool readMouse(MouseEvent* event) {
  ScreenState& screen = screenState();
  Guard guard(screen.lock);
  if (screen.mouse_count == 0) return false;
  *event = screen.mouse_queue[screen.mouse_head];
  screen.mouse_head = (screen.mouse_head + 1) % kMouseQueueSize;
  screen.mouse_count--;
  return true;
}

void postMouseOnScreen(const MouseEvent& event) {
  ScreenState& screen = screenState();
  Guard guard(screen.lock);
  MouseEvent placed = event;
  if (screen.width > 0 && screen.height > 0) {  // set from the open request on
    placed.x = clamped(event.x, screen.width);
    placed.y = clamped(event.y, screen.height);
  }
  postMouse(placed);
}
