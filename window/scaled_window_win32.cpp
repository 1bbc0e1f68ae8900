// The scalable window on Windows: receives the screen service's window and its messages; hands on
// a subclassed window that is sized and placed from the shared geometry, letterboxed in full
// screen (Alt+Enter or toggleScaledFullScreen) and, with keepAspectWindowed, windowed too, and
// whose mouse messages reach the screen service in screen pixels.
#include "window/scaled_window_win32.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "runtime/screen.h"
#include "window/geometry.h"
#include "window/scaled_window.h"

namespace {

constexpr UINT kSetupFrameFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED;
constexpr UINT kToggleFrameFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED;
constexpr UINT kMarginRedraw =
    RDW_INVALIDATE | RDW_NOERASE | RDW_NOCHILDREN | RDW_UPDATENOW | RDW_FRAME;
constexpr DWORD kFullScreenStyle = WS_POPUP | WS_VISIBLE;
constexpr UINT kNcDrawCaption = 0x00AE;      // undocumented: themed caption drawing
constexpr LPARAM kRepeatedKey = 0x40000000;  // the key was already down: auto-repeat

RECT clientRect(HWND window) {
  RECT client = {0, 0, 0, 0};
  GetClientRect(window, &client);
  return client;
}

// The client rectangle before the margins were taken off it (letterboxedClient's outer area).
RECT unmarginedClient(const ScaledWindowState& state, RECT client) {
  const bool open_top = (state.options & openGlPresenter) != 0;
  client.left -= state.marginX;
  client.right += state.marginX;
  client.top -= open_top ? 0 : state.marginY.load();
  client.bottom += state.marginY;
  return client;
}

// ---- Opening and set-up ----------------------------------------------------------------------

// The flags that go on to openScreen, after recording the module's options.
int32_t recordOptions(ScaledWindowState& state, int32_t flags) {
  if (state.hookResume == 0) {
    state.options = 0;
    return flags;
  }
  state.openedWithHook = true;
  state.borderColour = 0;
  state.fullScreen = false;
  state.options = flags;
  return flags & ~(startFullScreen | keepAspectWindowed);  // the display mode never changes
}

// Subclasses once per window. The saved procedure is in place before the new one can be called,
// so no message finds screenProc unset.
void subclass(ScaledWindowState& state, HWND window) {
  const LONG current = GetWindowLongA(window, GWL_WNDPROC);
  state.window = reinterpret_cast<uintptr_t>(window);
  if (current == reinterpret_cast<LONG>(scaledWindowProc)) return;  // ours already
  state.screenProc = static_cast<uintptr_t>(current);
  const LONG previous =
      SetWindowLongA(window, GWL_WNDPROC, reinterpret_cast<LONG>(scaledWindowProc));
  if (previous != 0) state.screenProc = static_cast<uintptr_t>(previous);
}

// Sets or clears the sizing border; the frame change reaches the screen service's procedure as
// the default's, not its own.
void applySizingBorder(ScaledWindowState& state, HWND window, bool resizable) {
  const LONG style = GetWindowLongA(window, GWL_STYLE);
  state.styleGuard = true;
  SetWindowLongA(window, GWL_STYLE, resizable ? style | WS_THICKFRAME : style & ~WS_THICKFRAME);
  SetWindowPos(window, nullptr, 0, 0, 0, 0, kSetupFrameFlags);
  state.styleGuard = false;
}

WindowPlacement placementFor(const ScaledWindowState& state, HWND window, int32_t width,
                             int32_t height) {
  PlacementInputs in;
  in.width = width;
  in.height = height;
  in.mode_width = state.modeWidth;
  in.mode_height = state.modeHeight;
  in.desktop_width = GetSystemMetrics(SM_CXSCREEN);
  in.desktop_height = GetSystemMetrics(SM_CYSCREEN);
  RECT outer = {0, 0, 0, 0};
  GetWindowRect(window, &outer);
  RECT client = clientRect(window);
  // Windowed margins belong to the requested client size, not to the frame.
  if (aspectKeptWindowed(state)) client = unmarginedClient(state, client);
  client.right -= client.left;
  client.bottom -= client.top;
  in.frame_width = (outer.right - outer.left) - client.right;
  in.frame_height = (outer.bottom - outer.top) - client.bottom;
  return outerPlacement(in);
}

void recordClientSize(HWND window) {
  ScaledWindowState& state = scaledWindowState();
  const RECT client = clientRect(window);
  state.clientWidth = client.right;
  state.clientHeight = client.bottom;
}

// ---- Full screen -------------------------------------------------------------------------------

// Maximizes the window over the display. It is given the display's size first: under X without
// a window manager (Wine), a maximized window keeps its old size, as only a window manager would
// resize it. The windowed position is kept as the one that SW_RESTORE goes back to.
void maximizeOverDisplay(HWND window, int32_t display_width, int32_t display_height) {
  WINDOWPLACEMENT windowed = {};
  windowed.length = sizeof windowed;
  GetWindowPlacement(window, &windowed);
  SetWindowPos(window, nullptr, 0, 0, display_width, display_height, SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(window, SW_SHOWMAXIMIZED);
  WINDOWPLACEMENT maximized = {};
  maximized.length = sizeof maximized;
  GetWindowPlacement(window, &maximized);
  maximized.rcNormalPosition = windowed.rcNormalPosition;
  SetWindowPlacement(window, &maximized);
}

void enterFullScreen(ScaledWindowState& state, HWND window) {
  state.fullScreen = true;
  const int32_t display_width = GetSystemMetrics(SM_CXSCREEN);
  const int32_t display_height = GetSystemMetrics(SM_CYSCREEN);
  if (state.keepAspect != 0) {
    const ScreenInfo info = screenInfo();
    state.modeWidth = info.width;
    state.modeHeight = info.height;
  }
  const Margins margins = letterboxMargins(state.modeWidth, state.modeHeight, display_width,
                                           display_height, state.keepAspect != 0);
  // Set before the style changes, so the frame calculations they cause already use them.
  state.marginX = margins.x;
  state.marginY = margins.y;
  state.savedStyle = static_cast<uint32_t>(GetWindowLongA(window, GWL_STYLE)) | WS_VISIBLE;
  SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(kFullScreenStyle));
  maximizeOverDisplay(window, display_width, display_height);
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, kToggleFrameFlags);
  if (margins.x != 0 || margins.y != 0) RedrawWindow(window, nullptr, nullptr, kMarginRedraw);
}

void leaveFullScreen(ScaledWindowState& state, HWND window) {
  state.fullScreen = false;
  state.marginX = 0;
  state.marginY = 0;
  ShowWindow(window, SW_RESTORE);
  SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(state.savedStyle.load()));
  state.savedStyle = 0;
  SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, kToggleFrameFlags);
}

void toggleFullScreen(HWND window) {
  ScaledWindowState& state = scaledWindowState();
  if (state.savedStyle == 0) {
    enterFullScreen(state, window);
  } else {
    leaveFullScreen(state, window);
  }
}

// ---- Margins -----------------------------------------------------------------------------------

// Windowed with keepAspectWindowed, fits the margins to the client area the frame leaves; an
// empty one (a minimized window) has none.
void fitWindowedMargins(ScaledWindowState& state, int32_t width, int32_t height) {
  Margins margins;
  if (width > 0 && height > 0) {
    margins = letterboxMargins(state.modeWidth, state.modeHeight, width, height, true);
  }
  state.marginX = margins.x;
  state.marginY = margins.y;
}

// Takes the margins off the proposed client rectangle (the first of NCCALCSIZE_PARAMS).
LRESULT calculateMarginedClient(HWND window, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = DefWindowProcA(window, WM_NCCALCSIZE, wParam, lParam);
  ScaledWindowState& state = scaledWindowState();
  RECT& proposed = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0];
  const int32_t width = proposed.right - proposed.left;
  const int32_t height = proposed.bottom - proposed.top;
  if (aspectKeptWindowed(state)) fitWindowedMargins(state, width, height);
  const Margins margins{state.marginX, state.marginY};
  const Rect32 client =
      letterboxedClient(width, height, margins, (state.options & openGlPresenter) != 0);
  proposed.left += client.x;
  proposed.top += client.y;
  proposed.right = proposed.left + client.width;
  proposed.bottom = proposed.top + client.height;
  return result;
}

// The part of the window outside its client area, in window coordinates; windowed, only the
// margins inside the window's own frame and caption. WM_NCPAINT's region is in screen coordinates
// and may be 1 (the whole frame) instead of a region; both are turned into this frame region, so
// the fill never covers the client area (nor the caption) and never gets a bad handle.
HRGN marginRegion(HWND window, WPARAM update) {
  const ScaledWindowState& state = scaledWindowState();
  RECT outer;
  GetWindowRect(window, &outer);
  RECT client = clientRect(window);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
  OffsetRect(&client, -outer.left, -outer.top);
  HRGN frame = CreateRectRgn(0, 0, outer.right - outer.left, outer.bottom - outer.top);
  if (aspectKeptWindowed(state)) {
    const RECT margined = unmarginedClient(state, client);
    SetRectRgn(frame, margined.left, margined.top, margined.right, margined.bottom);
  }
  HRGN inside = CreateRectRgnIndirect(&client);
  CombineRgn(frame, frame, inside, RGN_DIFF);
  DeleteObject(inside);
  if (update > 1) {
    HRGN asked = CreateRectRgn(0, 0, 0, 0);
    if (CombineRgn(asked, reinterpret_cast<HRGN>(update), nullptr, RGN_COPY) != ERROR) {
      OffsetRgn(asked, -outer.left, -outer.top);
      CombineRgn(frame, frame, asked, RGN_AND);
    }
    DeleteObject(asked);
  }
  return frame;
}

void paintMargins(HWND window, WPARAM update) {
  const ScaledWindowState& state = scaledWindowState();
  if (state.marginX == 0 && state.marginY == 0) return;
  HDC dc = GetWindowDC(window);
  HBRUSH brush = CreateSolidBrush(state.borderColour);
  HRGN region = marginRegion(window, update);
  FillRgn(dc, region, brush);
  DeleteObject(region);
  DeleteObject(brush);
  ReleaseDC(window, dc);
}

// Windowed margins move with every size change: painted again at once, with the frame.
void repaintWindowedMargins(HWND window) {
  const ScaledWindowState& state = scaledWindowState();
  const bool margins = state.marginX != 0 || state.marginY != 0;
  if (aspectKeptWindowed(state) && margins) {
    RedrawWindow(window, nullptr, nullptr, kMarginRedraw);
  }
}

// ---- Messages ----------------------------------------------------------------------------------

LPARAM mapMouse(HWND window, LPARAM lParam) {
  const ScaledWindowState& state = scaledWindowState();
  const RECT client = clientRect(window);
  return mapMouseParam(static_cast<int32_t>(lParam), client.right, client.bottom, state.modeWidth,
                       state.modeHeight);
}

// A wheel message carries the cursor in desktop coordinates. The position is mapped in the client
// area and handed on in desktop coordinates again, so that the screen service's own conversion to
// its client area lands on screen pixels.
LPARAM mapWheel(HWND window, LPARAM lParam) {
  POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  ScreenToClient(window, &point);
  const LPARAM mapped = mapMouse(window, MAKELPARAM(point.x, point.y));
  point = {static_cast<short>(LOWORD(mapped)), static_cast<short>(HIWORD(mapped))};
  ClientToScreen(window, &point);
  return MAKELPARAM(point.x, point.y);
}

bool isMouseMessage(UINT message) {
  return message == WM_MOUSEMOVE || (message >= WM_LBUTTONDOWN && message <= WM_MBUTTONDBLCLK);
}

// Messages that the screen service never sees: they go to the default procedure only.
bool keptFromScreen(UINT message) {
  switch (message) {
    case WM_SETCURSOR:
    case WM_GETMINMAXINFO:
    case WM_SETTEXT:
    case WM_NCHITTEST:
    case WM_NCMOUSEMOVE:
    case kNcDrawCaption:
      return true;
    default:
      return false;
  }
}

LRESULT forward(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const ScaledWindowState& state = scaledWindowState();
  const auto screen_proc = reinterpret_cast<WNDPROC>(state.screenProc.load());
  if (state.styleGuard || screen_proc == nullptr) {
    return DefWindowProcA(window, message, wParam, lParam);
  }
  return CallWindowProcA(screen_proc, window, message, wParam, lParam);
}

// Windowed, the frame and caption are the screen service's (the default's) to paint; the margins
// inside them are filled after that, so that nothing it paints covers them.
LRESULT paintFrameThenMargins(HWND window, WPARAM update) {
  const LRESULT result = forward(window, WM_NCPAINT, update, 0);
  paintMargins(window, update);
  return result;
}

// Alt+Enter toggles the module's full screen (once per press) instead of the screen service's;
// other keys with Alt held reach the screen service as plain key presses too.
LRESULT onSystemKeyDown(HWND window, WPARAM wParam, LPARAM lParam) {
  if (wParam != VK_RETURN) {
    SendMessageA(window, WM_KEYDOWN, wParam, lParam);
    return forward(window, WM_SYSKEYDOWN, wParam, lParam);
  }
  const bool repeated = (lParam & kRepeatedKey) != 0;
  if ((scaledWindowState().options & noFullScreenToggle) == 0 && !repeated) {
    PostMessageA(window, toggleFullScreenMessage, 0, 0);
  }
  return DefWindowProcA(window, WM_SYSKEYDOWN, VK_RETURN, lParam);
}

}  // namespace

int openScaledScreen(int32_t width, int32_t height, int32_t depth, int32_t pages, int32_t flags,
                     int32_t refresh) {
  ScaledWindowState& state = scaledWindowState();
  const int32_t passed = recordOptions(state, flags);
  state.clientWidth = 0;
  state.clientHeight = 0;
  int code;
  if ((passed & shapedWindow) != 0) {
    setPreferredPresenter("GDI");
    code = openScreen(width, height, depth, pages, passed, refresh);
    setPreferredPresenter("");
  } else {
    code = openScreen(width, height, depth, pages, passed, refresh);
  }
  std::strncpy(state.activePresenter, presenterName(), kPresenterNameSize - 1);
  state.activePresenter[kPresenterNameSize - 1] = '\0';
  return code;
}

void setupScaledWindow(int32_t width, int32_t height, int32_t keepAspect, int32_t resizable) {
  ScaledWindowState& state = scaledWindowState();
  HWND window = reinterpret_cast<HWND>(windowHandle());
  if (window == nullptr) return;  // no screen open: nothing to take over
  const ScreenInfo info = screenInfo();
  state.modeWidth = info.width;
  state.modeHeight = info.height;
  subclass(state, window);
  applySizingBorder(state, window, resizable != 0);
  const WindowPlacement place = placementFor(state, window, width, height);
  state.marginX = 0;
  state.marginY = 0;
  state.savedStyle = 0;
  state.keepAspect = keepAspect;
  redirectPresenter();
  SetWindowPos(window, HWND_TOPMOST, place.x, place.y, place.width, place.height, place.flags);
  // A window whose client size did not change gets no WM_SIZE; the blit needs the size anyway.
  recordClientSize(window);
  if (!state.fullScreen && state.openedWithHook && (state.options & startFullScreen) != 0) {
    SendMessageA(window, toggleFullScreenMessage, 0, 0);
  }
}

void setBorderColour(int32_t red, int32_t green, int32_t blue) {
  ScaledWindowState& state = scaledWindowState();
  state.borderColour = borderColourOf(red, green, blue);
  HWND window = reinterpret_cast<HWND>(windowHandle());
  const bool margins = state.marginX != 0 || state.marginY != 0;
  if (state.keepAspect != 0 && margins && window != nullptr) {
    RedrawWindow(window, nullptr, nullptr, kMarginRedraw);
  }
}

int setScaledMouse(int32_t x, int32_t y, int32_t visibility, int32_t clip) {
  const ScaledWindowState& state = scaledWindowState();
  HWND window = reinterpret_cast<HWND>(windowHandle());
  if (window == nullptr) return 1;
  const RECT client = clientRect(window);
  const CursorPlacement cursor =
      cursorPlacement(x, y, client.right, client.bottom, state.modeWidth, state.modeHeight);
  if (cursor.move == CursorMove::kRefuse) return 1;
  if (cursor.move == CursorMove::kPlace) {
    POINT point = {cursor.client.x, cursor.client.y};
    ClientToScreen(window, &point);
    SetCursorPos(point.x, point.y);
  }
  // The magnitude counts: any non-zero visibility shows the cursor, 0 hides it.
  if (visibility != kScaledMouseUnchanged) showMouse(visibility != 0 ? 1 : 0);
  if (clip != kScaledMouseUnchanged) {
    RECT area = client;
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&area), 2);
    ClipCursor(clip != 0 ? &area : nullptr);
  }
  return 0;
}

// The message Alt+Enter posts, for the window the module has taken over.
void toggleScaledFullScreen() {
  const uintptr_t window = windowHandle();
  if (window == 0 || scaledWindowState().window != window) return;
  PostMessageA(reinterpret_cast<HWND>(window), toggleFullScreenMessage, 0, 0);
}

bool scaledFullScreen() {
  const ScaledWindowState& state = scaledWindowState();
  return state.fullScreen && state.window != 0 && state.window == windowHandle();
}

LRESULT CALLBACK scaledWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (keptFromScreen(message)) return DefWindowProcA(window, message, wParam, lParam);
  if (isMouseMessage(message)) return forward(window, message, wParam, mapMouse(window, lParam));
  if (message == WM_MOUSEWHEEL) return forward(window, message, wParam, mapWheel(window, lParam));
  switch (message) {
    case WM_SIZE:
      recordClientSize(window);
      repaintWindowedMargins(window);
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_SIZING:
      recordClientSize(window);
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_NCCALCSIZE:
      if (wParam != 0) return calculateMarginedClient(window, wParam, lParam);
      break;
    case WM_NCPAINT:
      if (aspectKeptWindowed(scaledWindowState())) return paintFrameThenMargins(window, wParam);
      paintMargins(window, wParam);
      break;
    case WM_PAINT:
      ValidateRect(window, nullptr);
      break;
    case WM_SYSKEYDOWN:
      return onSystemKeyDown(window, wParam, lParam);
    case WM_SYSKEYUP:
      if (wParam != VK_RETURN) SendMessageA(window, WM_KEYUP, wParam, lParam);
      break;
    case toggleFullScreenMessage:
      toggleFullScreen(window);
      break;
  }
  return forward(window, message, wParam, lParam);
}
