// The GDI presenter's window: receives the screen state and the messages of the presenter
// thread's queue; hands on a made window, its key, mouse and paint messages handled, and the
// presenter's per-screen record (screen.presenter_data).
#pragma once
#include <windows.h>

#include <vector>

#include "runtime/presenter_bitmap_win32.h"
#include "runtime/presenter_display_win32.h"
#include "runtime/presenter_gdi_win32.h"
#include "runtime/screen_state.h"

// Owned by the presenter through screen.presenter_data, from open() to close(). Written on the
// presenter thread; the caller's thread reads `mouse` under the screen lock.
struct GdiWindow {
  HWND window = nullptr;
  HANDLE ready = nullptr;  // signalled by the presenter thread once `window` holds its result
  GdiBitmap bitmap;
  GdiFullScreen display;
  bool active = false;        // the window is active (WM_ACTIVATE)
  std::vector<MSG> messages;  // taken from the queue under the lock, dispatched without it
  GdiMouse mouse;
};

GdiWindow* gdiWindow(ScreenState& screen);

// Presenter thread. Creates the window with the client size of the screen, centred on the
// desktop, and shows it; null when it cannot be made.
HWND createScreenWindow(const ScreenState& screen, GdiWindow& w);

// Presenter thread, lock held. Takes the messages queued for the thread into w.messages, each
// as it is taken followed by the key-held flags and translated (the characters of a key come
// from the keyboard state as the key message is taken). Ends early at a paint message, which
// stays queued until it is dispatched. Messages other threads send to the window (SendMessage)
// are handled by the look itself, so under the lock. False when the queue was empty.
bool takeQueuedMessages(GdiWindow& w);

// Presenter thread, lock not held: the window procedure takes it for the little it changes.
// Dispatches the messages takeQueuedMessages took, in order, and forgets them.
void dispatchTakenMessages(GdiWindow& w);

// Presenter thread, lock not held. Gives the window the title last set, when one is new.
void applyWindowTitle(ScreenState& screen, GdiWindow& w);
