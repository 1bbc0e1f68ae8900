// The "GDI" presenter: a Win32 window made and owned by the presenter thread. Receives the screen
// state (frame buffer, changed rows, flags); hands on the changed rows to the window through
// SetDIBitsToDevice, and the window's messages (presenter_window_win32.cpp) to the key queue,
// key-held flags and mouse. The lock is held while rows are blitted from the frame buffer and
// messages are taken from the queue, not while they are dispatched.
#include "runtime/presenter_gdi_win32.h"

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <thread>

#include "runtime/presenter_bitmap_win32.h"
#include "runtime/presenter_display_win32.h"
#include "runtime/presenter_keys_win32.h"
#include "runtime/presenter_window_win32.h"
#include "runtime/screen.h"
#include "runtime/screen_state.h"

namespace {

constexpr int kLoopSleepMilliseconds = 10;

// Codes of open(): the request is one this presenter does not serve (the "OpenGL" flag, or a
// depth it cannot show), or the window could not be made.
constexpr int kRefused = 2;
constexpr int kNoWindow = 3;

// ---- Presenting --------------------------------------------------------------------------------
// The present routine and the thread loop each call SetDIBitsToDevice through its import slot
// (`call [slot]`). The window module finds these two call sites by scanning forward from the
// present routine's address and redirects them, so the two routines sit in their own sections,
// which the linker sorts by name into .text: the present routine first, the loop right after.
// noipa keeps both out of inlining and cloning, so each call stays where it is written. Both
// blit with the screen lock held: the bitmap rows may be the frame buffer itself, and the window
// module rewrites the call sites under the lock.

// Any thread, through screen.present; takes the screen lock. Copies rows first..last of the frame
// buffer to the same rows of the client area.
__attribute__((noipa, section(".text$kestrune_gdi_1"))) void gdiPresentRows(ScreenState& screen,
                                                                            int first_row,
                                                                            int last_row) {
  std::lock_guard<std::recursive_mutex> hold(screen.lock);
  GdiWindow* w = gdiWindow(screen);
  if (w == nullptr || w->window == nullptr) return;
  const BitmapSpan span = prepareSpan(screen, w->bitmap, first_row, last_row);
  if (span.rows == 0) return;
  HDC dc = GetDC(w->window);
  SetDIBitsToDevice(dc, 0, span.first, static_cast<DWORD>(screen.width),
                    static_cast<DWORD>(span.rows), 0, 0, 0, static_cast<UINT>(span.rows), span.bits,
                    bitmapInfo(w->bitmap), DIB_RGB_COLORS);
  ReleaseDC(w->window, dc);
}

// Presenter thread, until the screen closes. Each turn, with the lock held, presents the changed
// rows and takes the window's queued messages; then dispatches them and applies a new window
// title without it. The loop sleeps 10 ms after a turn that found no message, and goes again at
// once after one that did, as the messages dispatched may have queued more.
__attribute__((noipa, section(".text$kestrune_gdi_2"))) void gdiPresenterLoop(ScreenState& screen,
                                                                              GdiWindow& w) {
  while (!screen.quit.load()) {
    screen.lock.lock();
    int first = 0;
    int last = 0;
    if (takeChangedRows(screen, &first, &last)) {
      const BitmapSpan span = prepareSpan(screen, w.bitmap, first, last);
      if (span.rows > 0) {
        HDC dc = GetDC(w.window);
        SetDIBitsToDevice(dc, 0, span.first, static_cast<DWORD>(screen.width),
                          static_cast<DWORD>(span.rows), 0, 0, 0, static_cast<UINT>(span.rows),
                          span.bits, bitmapInfo(w.bitmap), DIB_RGB_COLORS);
        ReleaseDC(w.window, dc);
      }
    }
    const bool took_messages = takeQueuedMessages(w);
    screen.lock.unlock();
    dispatchTakenMessages(w);
    applyWindowTitle(screen, w);
    if (!took_messages) Sleep(kLoopSleepMilliseconds);
  }
}

// The presenter thread: makes the window, reports it, serves it until the screen closes, then
// gives the display back and destroys the window. It owns the window throughout.
void presenterThread(ScreenState* screen) {
  GdiWindow& w = *gdiWindow(*screen);
  HWND window = createScreenWindow(*screen, w);
  if (window != nullptr && (screen->flags & kScreenFullScreen) != 0) {
    enterFullScreen(*screen, window, w.display);
  }
  screen->window = reinterpret_cast<uintptr_t>(window);
  SetEvent(w.ready);  // on failure open() frees `w` from here on
  if (window == nullptr) return;
  gdiPresenterLoop(*screen, w);
  if (w.display.full_screen) ChangeDisplaySettingsA(nullptr, 0);
  DestroyWindow(window);
  std::lock_guard<std::recursive_mutex> hold(screen->lock);
  w.active = false;
  releaseHeldKeys();  // keys held when the window goes are released with it
}

void forgetWindow(ScreenState& screen) {
  delete gdiWindow(screen);
  screen.presenter_data = nullptr;
  screen.present = nullptr;
  screen.window = 0;
}

// Caller's thread. Starts the presenter thread and waits until it reports the window.
int gdiOpen(ScreenState& screen) {
  if ((screen.flags & kScreenOpenGL) != 0) return kRefused;
  GdiWindow* w = new GdiWindow;
  if (!describeBitmap(screen, w->bitmap)) {
    delete w;
    return kRefused;
  }
  w->ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  screen.presenter_data = w;
  screen.present = gdiPresentRows;
  screen.quit = false;
  screen.thread = std::thread(presenterThread, &screen);
  WaitForSingleObject(w->ready, INFINITE);
  CloseHandle(w->ready);
  w->ready = nullptr;
  if (screen.window != 0) return 0;
  screen.thread.join();
  forgetWindow(screen);
  return kNoWindow;
}

// Caller's thread, lock not held: the presenter thread needs the lock to see `quit`.
void gdiClose(ScreenState& screen) {
  screen.quit = true;
  if (screen.thread.joinable()) screen.thread.join();
  forgetWindow(screen);
}

void gdiShowMouse(ScreenState& screen) {
  GdiWindow* w = gdiWindow(screen);
  if (w != nullptr) PostMessageA(w->window, WM_SETCURSOR, 0, 0);
}

}  // namespace

const Presenter kGdiPresenter = {
    "GDI", gdiDesktopMode, gdiOpen, gdiClose, gdiShowMouse, true,
};

OpenGlHooks& openGlHooks() {
  static OpenGlHooks hooks;
  return hooks;
}

GdiMouse gdiMouse() {
  ScreenState& screen = screenState();
  std::lock_guard<std::recursive_mutex> hold(screen.lock);
  GdiWindow* w = screen.presenter == &kGdiPresenter ? gdiWindow(screen) : nullptr;
  return w != nullptr ? w->mouse : GdiMouse{};
}
