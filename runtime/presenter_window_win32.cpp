// The GDI presenter's window and its messages. Receives the screen state and the messages of the
// presenter thread's queue; hands on the window it makes, key codes and held flags to the
// keyboard, the mouse to gdiMouse and the mouse queue, repaints to the present routine and
// Alt+Enter or maximising to full screen.
#include "runtime/presenter_window_win32.h"

#include <mutex>
#include <string>

#include "runtime/keyboard.h"
#include "runtime/mouse.h"
#include "runtime/presenter_keys_win32.h"
#include "runtime/screen.h"

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

// WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX: no sizing border, not yet visible.
constexpr DWORD kWindowedStyle = 0x00CB0000;
constexpr LPARAM kAltHeld = 0x20000000;      // context bit of WM_SYSKEYDOWN
constexpr LPARAM kRepeatedKey = 0x40000000;  // the key was already down: auto-repeat
constexpr COLORREF kMagenta = RGB(255, 0, 255);
const char kClassName[] = "KestruneScreen";
const char kTitle[] = "Kestrune Player";

bool mayToggle(const ScreenState& screen, const GdiWindow& w) {
  return w.active && !w.display.switching && (screen.flags & kScreenNoToggle) == 0;
}

// Alt+Enter toggles (once per press, not on auto-repeat); F10, which Windows sends as a system
// key, is queued like the other function keys. True when the message was handled here.
bool onSystemKey(const ScreenState& screen, GdiWindow& w, WPARAM key, LPARAM lparam) {
  if ((lparam & kAltHeld) == 0) {
    postKeyWithoutCharacter(key, lparam);
    return true;
  }
  if (key != VK_RETURN) return false;
  if ((lparam & kRepeatedKey) == 0 && mayToggle(screen, w)) {
    toggleFullScreen(screen, w.window, w.display);
  }
  return true;
}

bool cursorOverClient(HWND window) {
  POINT point;
  RECT client;
  if (!GetCursorPos(&point) || !ScreenToClient(window, &point)) return false;
  GetClientRect(window, &client);
  return PtInRect(&client, point) != 0;
}

// showMouse posts WM_SETCURSOR with wparam 0; the system sends it with the window under the
// cursor and the hit-test code.
void onSetCursor(const ScreenState& screen, HWND window, WPARAM wparam, LPARAM lparam) {
  const bool over_client = wparam == 0 ? cursorOverClient(window) : LOWORD(lparam) == HTCLIENT;
  SetCursor(screen.mouse_visible > 0 || !over_client ? LoadCursor(nullptr, IDC_ARROW) : nullptr);
}

// gdiMouse reads the position on the caller's thread, under the lock.
void onMouse(ScreenState& screen, GdiWindow& w, WPARAM wparam, LPARAM lparam) {
  Guard hold(screen.lock);
  w.mouse.x = static_cast<short>(LOWORD(lparam));
  w.mouse.y = static_cast<short>(HIWORD(lparam));
  w.mouse.buttons = static_cast<int>(wparam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON));
}

// What each client-area mouse message posts. The window class asks for double clicks, so a quick
// second press arrives as a DBLCLK message: for the left button it posts the press and then the
// double click, for the others only the press.
struct MouseMessage {
  UINT message;
  MouseKind kind;
  int button;
};

constexpr MouseMessage kMouseMessages[] = {
    {WM_MOUSEMOVE, MouseKind::kMove, 0},      {WM_LBUTTONDOWN, MouseKind::kPress, 1},
    {WM_LBUTTONUP, MouseKind::kRelease, 1},   {WM_LBUTTONDBLCLK, MouseKind::kPress, 1},
    {WM_MBUTTONDOWN, MouseKind::kPress, 2},   {WM_MBUTTONUP, MouseKind::kRelease, 2},
    {WM_MBUTTONDBLCLK, MouseKind::kPress, 2}, {WM_RBUTTONDOWN, MouseKind::kPress, 3},
    {WM_RBUTTONUP, MouseKind::kRelease, 3},   {WM_RBUTTONDBLCLK, MouseKind::kPress, 3},
};

// The position is in client pixels, which are screen pixels: the window's client area has the
// screen's size, or the window module maps the position before it gets here.
void postMouseMessage(UINT message, LPARAM lparam) {
  for (const MouseMessage& known : kMouseMessages) {
    if (known.message != message) continue;
    MouseEvent event;
    event.kind = known.kind;
    event.x = static_cast<short>(LOWORD(lparam));
    event.y = static_cast<short>(HIWORD(lparam));
    event.button = known.button;
    postMouseOnScreen(event);
    if (message == WM_LBUTTONDBLCLK) {
      event.kind = MouseKind::kDoubleClick;
      postMouseOnScreen(event);
    }
    return;
  }
}

// The wheel's position comes in desktop coordinates; each 120 of its delta is one notch, above 0
// away from the user.
void postWheel(HWND window, WPARAM wparam, LPARAM lparam) {
  const int notches = GET_WHEEL_DELTA_WPARAM(wparam) / WHEEL_DELTA;
  if (notches == 0) return;
  POINT point = {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
  ScreenToClient(window, &point);
  MouseEvent event;
  event.kind = MouseKind::kWheel;
  event.x = point.x;
  event.y = point.y;
  event.button = 0;
  event.wheel = notches;
  postMouseOnScreen(event);
}

// Repaints the whole client area through the present routine held in the screen state, which
// takes the lock itself.
void onPaint(ScreenState& screen, HWND window) {
  PAINTSTRUCT paint;
  BeginPaint(window, &paint);
  EndPaint(window, &paint);
  PresentRoutine present = nullptr;
  {
    Guard hold(screen.lock);
    present = screen.present;
  }
  if (present != nullptr) present(screen, 0, screen.height - 1);
}

// Presenter thread, lock not held: the handlers take it where they change what other threads
// read (postKey and setKeyHeld take it themselves), and switch the display without it.
LRESULT CALLBACK screenWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  ScreenState& screen = screenState();
  GdiWindow* w = gdiWindow(screen);
  if (w == nullptr) return DefWindowProcA(window, message, wparam, lparam);
  switch (message) {
    case WM_CLOSE:  // the close button is a key; the window stays open
      postKey(kCloseKeyCode);
      return 0;
    case WM_CHAR:
      if (wparam < 256) postKey(static_cast<int>(wparam));
      return 0;
    case WM_KEYDOWN:
      postKeyWithoutCharacter(wparam, lparam);
      return 0;
    case WM_SYSKEYDOWN:
      if (onSystemKey(screen, *w, wparam, lparam)) return 0;
      break;
    case WM_SYSCOMMAND:  // the keyboard menu would hold the presenter thread in a modal loop
      if ((wparam & 0xFFF0) == SC_KEYMENU) return 0;
      break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      onMouse(screen, *w, wparam, lparam);
      postMouseMessage(message, lparam);
      return 0;
    case WM_MOUSEWHEEL:
      postWheel(window, wparam, lparam);
      return 0;
    case WM_SETCURSOR:
      onSetCursor(screen, window, wparam, lparam);
      return TRUE;
    case WM_ACTIVATE:
      w->active = LOWORD(wparam) != WA_INACTIVE;
      if (!w->active) releaseHeldKeys();
      break;
    case WM_SIZE:
      if (wparam == SIZE_MAXIMIZED && !w->display.full_screen && mayToggle(screen, *w)) {
        enterFullScreen(screen, window, w->display);
      }
      break;
    case WM_ERASEBKGND:  // every present covers the whole width; erasing would only flicker
      return 1;
    case WM_PAINT:
      onPaint(screen, window);
      return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

bool registerWindowClass() {
  WNDCLASSA window_class = {};
  window_class.style = CS_DBLCLKS;
  window_class.lpfnWndProc = screenWindowProc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.lpszClassName = kClassName;
  return RegisterClassA(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// The colour that a shaped window leaves transparent: magenta, or palette colour 0.
COLORREF colourKey(const ScreenState& screen, const GdiWindow& w) {
  if (screen.depth > 8) return kMagenta;
  const RGBQUAD& c = w.bitmap.bitmap.colours[0];
  return RGB(c.rgbRed, c.rgbGreen, c.rgbBlue);
}

}  // namespace

GdiWindow* gdiWindow(ScreenState& screen) { return static_cast<GdiWindow*>(screen.presenter_data); }

HWND createScreenWindow(const ScreenState& screen, GdiWindow& w) {
  if (!registerWindowClass()) return nullptr;
  RECT outer = {0, 0, screen.width, screen.height};
  AdjustWindowRect(&outer, kWindowedStyle, FALSE);
  const int cx = outer.right - outer.left;
  const int cy = outer.bottom - outer.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - cx) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - cy) / 2;
  const DWORD ex_style = (screen.flags & kScreenShaped) != 0 ? WS_EX_LAYERED : 0;
  HWND window = CreateWindowExA(ex_style, kClassName, kTitle, kWindowedStyle, x, y, cx, cy, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
  if (window == nullptr) return nullptr;
  if (ex_style != 0) SetLayeredWindowAttributes(window, colourKey(screen, w), 0, LWA_COLORKEY);
  w.window = window;
  ShowWindow(window, SW_SHOWNORMAL);
  return window;
}

bool takeQueuedMessages(GdiWindow& w) {
  MSG message;
  bool took = false;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    followKeyMessage(message);
    TranslateMessage(&message);
    w.messages.push_back(message);
    took = true;
    // A window in need of paint is handed WM_PAINT by every look until the paint is dispatched.
    if (message.message == WM_PAINT) break;
  }
  return took;
}

void dispatchTakenMessages(GdiWindow& w) {
  for (const MSG& message : w.messages) DispatchMessageA(&message);
  w.messages.clear();
}

void applyWindowTitle(ScreenState& screen, GdiWindow& w) {
  std::string title;
  if (takeWindowTitle(screen, &title)) SetWindowTextA(w.window, title.c_str());
}
