// The GDI presenter's display: receives the screen's mode and the screen window; hands on the
// display switched to that mode with the window over all of it, and back, and the desktop's mode.
#pragma once
#include <windows.h>

#include "runtime/screen_state.h"

// The screen window's full-screen state, kept by the presenter thread: whether it is in full
// screen, and the style and placement it returns to.
struct GdiFullScreen {
  bool full_screen = false;
  bool switching = false;  // inside a window/full-screen switch: the WM_SIZE it causes is ours
  LONG windowed_style = 0;
  WINDOWPLACEMENT windowed_place = {};
};

// Presenter thread. Switches the display to the screen's mode (its size, trying its depth and
// rate first) and makes the window cover it; false (and nothing changed) when the display mode
// cannot be set.
bool enterFullScreen(const ScreenState& screen, HWND window, GdiFullScreen& f);

// Presenter thread. Restores the desktop's mode and the window as it was before.
void leaveFullScreen(HWND window, GdiFullScreen& f);

void toggleFullScreen(const ScreenState& screen, HWND window, GdiFullScreen& f);

// Caller's thread. The desktop's display mode; false when Windows cannot tell it.
bool gdiDesktopMode(DisplayMode* mode);
