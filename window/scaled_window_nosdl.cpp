// The window module of a native build without SDL2: only the headless presenter exists there, so
// there is no window to stretch, toggle or take over. Receives the player's calls and opens the
// screen plainly; everything else records its arguments and does nothing.
#include "runtime/screen.h"
#include "window/geometry.h"
#include "window/scaled_window.h"

int openScaledScreen(int32_t width, int32_t height, int32_t depth, int32_t pages, int32_t flags,
                     int32_t refresh) {
  ScaledWindowState& state = scaledWindowState();
  const int code = openScreen(width, height, depth, pages, flags, refresh);
  if (code == 0) {
    state.modeWidth = width;
    state.modeHeight = height;
  }
  return code;
}

void setupScaledWindow(int32_t, int32_t, int32_t keepAspect, int32_t) {
  scaledWindowState().keepAspect = keepAspect;
}

void setBorderColour(int32_t red, int32_t green, int32_t blue) {
  scaledWindowState().borderColour = borderColourOf(red, green, blue);
}

// No cursor exists; a point outside the screen is refused as in the windowed builds.
int setScaledMouse(int32_t x, int32_t y, int32_t, int32_t) {
  const ScaledWindowState& state = scaledWindowState();
  const CursorPlacement placement =
      cursorPlacement(x, y, state.modeWidth, state.modeHeight, state.modeWidth, state.modeHeight);
  return placement.move == CursorMove::kRefuse ? 1 : 0;
}

// No window to make full screen.
void toggleScaledFullScreen() {}

bool scaledFullScreen() { return false; }

void hookCreation(int32_t) {}

void closeScaledWindow() {}
