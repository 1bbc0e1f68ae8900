// The mouse queue: presses, releases, moves, wheel turns and double clicks over the window, in
// screen pixels, fed by the presenter thread (and by standard input headless), read by the
// caller's thread. Everything here takes the presenter's lock.
#pragma once

enum class MouseKind { kPress, kRelease, kMove, kWheel, kDoubleClick };

struct MouseEvent {
  MouseKind kind = MouseKind::kMove;
  int x = 0;       // screen pixels (the open screen's size, whatever the window's size)
  int y = 0;
  int button = 1;  // 1 left, 2 middle, 3 right; 0 for moves and wheel turns
  int wheel = 0;   // wheel turns: above 0 away from the user (up), below 0 towards

  bool operator==(const MouseEvent&) const = default;
};

// Posts an event into a ring of 64, dropping the oldest when full.
void postMouse(const MouseEvent& event);

// Takes the oldest event; false when there is none.
bool readMouse(MouseEvent* event);

// Posts the event with its position clamped to the open screen, so that a position beyond the
// picture (a letterbox margin, a drag outside the window) lands on the picture's nearest edge.
// Window presenters post through this; without an open screen the position stays as it is.
void postMouseOnScreen(const MouseEvent& event);
