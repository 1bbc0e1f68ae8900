// The "GDI" presenter: a Win32 window made and owned by the presenter thread. Receives the screen
// state (frame buffer, changed rows, flags); hands on the changed rows to the window through
// SetDIBitsToDevice, and the window's messages to the key queue, key-held flags and mouse.
#include "runtime/presenter_gdi_win32.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "runtime/keyboard.h"
#include "runtime/screen.h"
#include "runtime/screen_state.h"

namespace {

// WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX: no sizing border, not yet visible.
constexpr DWORD kWindowedStyle = 0x00CB0000;
constexpr DWORD kFullScreenStyle = WS_POPUP | WS_VISIBLE;
constexpr LPARAM kAltHeld = 0x20000000;      // context bit of WM_SYSKEYDOWN
constexpr LPARAM kRepeatedKey = 0x40000000;  // the key was already down: auto-repeat
constexpr COLORREF kMagenta = RGB(255, 0, 255);
const char kClassName[] = "KestruneScreen";
const char kTitle[] = "Kestrune Player";

// Codes of open(): the request is one this presenter does not serve (the "OpenGL" flag, or a
// depth it cannot show), or the window could not be made.
constexpr int kRefused = 2;
constexpr int kNoWindow = 3;

// The one bitmap header that every present hands to SetDIBitsToDevice. After the header come
// the three colour masks (5-6-5) or the palette (8 bits and below).
struct BitmapHeader {
  BITMAPINFOHEADER header;
  RGBQUAD colours[256];
};

// Owned by the presenter through screen.presenter_data, from open() to close(). Written on the
// presenter thread; the caller's thread reads `mouse` under the screen lock.
struct GdiWindow {
  HWND window = nullptr;
  HANDLE ready = nullptr;  // signalled by the presenter thread once `window` holds its result
  BitmapHeader bitmap = {};
  int dib_pitch = 0;             // bytes per bitmap row: the screen's pitch rounded up to 4
  std::vector<uint8_t> staging;  // rows copied to that pitch when the screen's pitch differs
  bool active = false;           // the window is active (WM_ACTIVATE)
  bool full_screen = false;
  bool switching = false;  // inside a window/full-screen switch: the WM_SIZE it causes is ours
  LONG windowed_style = 0;
  WINDOWPLACEMENT windowed_place = {};
  GdiMouse mouse;
};

GdiWindow* gdiWindow(ScreenState& screen) { return static_cast<GdiWindow*>(screen.presenter_data); }

const BITMAPINFO* bitmapInfo(const GdiWindow& w) {
  return reinterpret_cast<const BITMAPINFO*>(&w.bitmap);
}

// ---- Frame buffer to bitmap ----------------------------------------------------------------

// Depths of 8 bits and below are shown as grey levels: pixel value v of a d-bit screen is the
// grey v * 255 / (2^d - 1), so 0 is black and the largest value white.
void fillGreyPalette(RGBQUAD* colours, int depth) {
  const int top = (1 << depth) - 1;
  for (int i = 0; i < 256; ++i) {
    const BYTE grey = static_cast<BYTE>((i < top ? i : top) * 255 / top);
    colours[i] = RGBQUAD{grey, grey, grey, 0};
  }
}

// Fills the bitmap header for the screen's format; false when this depth cannot be shown.
bool describeBitmap(const ScreenState& screen, GdiWindow& w) {
  BITMAPINFOHEADER& h = w.bitmap.header;
  h.biSize = sizeof h;
  h.biWidth = screen.width;
  h.biHeight = -screen.height;  // negative: rows run top row first
  h.biPlanes = 1;
  h.biCompression = BI_RGB;
  switch (screen.depth) {
    case 15:  // 16-bit BI_RGB is 5-5-5
    case 24:
    case 32:
      h.biBitCount = static_cast<WORD>(screen.depth == 15 ? 16 : screen.depth);
      break;
    case 16: {
      const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
      h.biBitCount = 16;
      h.biCompression = BI_BITFIELDS;
      std::memcpy(w.bitmap.colours, masks, sizeof masks);
      break;
    }
    case 1:
    case 2:
    case 4:
    case 8:
      h.biBitCount = 8;
      fillGreyPalette(w.bitmap.colours, screen.depth);
      break;
    default:
      return false;
  }
  if (screen.bytes_per_pixel * 8 != h.biBitCount) return false;
  w.dib_pitch = (screen.width * screen.bytes_per_pixel + 3) & ~3;
  if (w.dib_pitch != screen.pitch)
    w.staging.resize(static_cast<size_t>(w.dib_pitch) * screen.height);
  return true;
}

// The rows that one present copies: from `first`, `rows` of them (0: nothing to copy), as a
// bitmap of `rows` top-down rows beginning at `bits`.
struct Span {
  int first;
  int rows;
  const void* bits;
};

// Clamps first..last to the screen and sets the shared header's height to the span's. Rows go to
// the staging copy when bitmap rows (whole 32-bit words) cannot point into the frame buffer.
Span prepareSpan(ScreenState& screen, GdiWindow& w, int first, int last) {
  if (first < 0) first = 0;
  if (last >= screen.height) last = screen.height - 1;
  if (w.window == nullptr || first > last) return Span{first, 0, nullptr};
  const int rows = last - first + 1;
  w.bitmap.header.biHeight = -rows;
  const uint8_t* source = screen.pixels.data() + static_cast<size_t>(first) * screen.pitch;
  if (w.staging.empty()) return Span{first, rows, source};
  for (int r = 0; r < rows; ++r) {
    std::memcpy(w.staging.data() + static_cast<size_t>(r) * w.dib_pitch,
                source + static_cast<size_t>(r) * screen.pitch, screen.pitch);
  }
  return Span{first, rows, w.staging.data()};
}

// ---- Keys -----------------------------------------------------------------------------------

// The scancode of a key message (lParam bits 16-23), or the one its virtual key maps to when a
// sender left it 0. Keys sent with the extended prefix share the flag of the key they extend
// (right Ctrl with left Ctrl, the arrows with the keypad's 8, 4, 6 and 2).
int scancodeOf(WPARAM virtual_key, LPARAM lparam) {
  UINT scancode = static_cast<UINT>(lparam >> 16) & 0xFF;
  if (scancode == 0) scancode = MapVirtualKeyA(static_cast<UINT>(virtual_key), MAPVK_VK_TO_VSC);
  return static_cast<int>(scancode & 0xFF);
}

// Presenter thread, lock held. The key-held flags follow the key messages as this thread takes
// them from its queue, before they are dispatched: down and system-down set a key's flag, up and
// system-up clear it. A key pressed and released between two looks of the player is then still
// seen (the flag went up), and no key goes unseen because the keyboard state was read before its
// message arrived.
void followKeyMessage(const MSG& message) {
  switch (message.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      setKeyHeld(scancodeOf(message.wParam, message.lParam), true);
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      setKeyHeld(scancodeOf(message.wParam, message.lParam), false);
      break;
    default:
      break;
  }
}

// The key-ups of keys held now will go to another window (or nowhere): release them all.
void releaseHeldKeys() {
  for (int scancode = 0; scancode < kScancodes; ++scancode) setKeyHeld(scancode, false);
}

bool isModifierKey(WPARAM virtual_key) {
  switch (virtual_key) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_LMENU:
    case VK_RMENU:
    case VK_LWIN:
    case VK_RWIN:
    case VK_CAPITAL:
    case VK_NUMLOCK:
    case VK_SCROLL:
      return true;
    default:
      return false;
  }
}

// A key that types no character is queued as 255 with its scancode in the high byte, the PC's
// extended key codes: F1 is 255 ";" (59), Up 255 "H" (72), Delete 255 "S" (83). Keys that type a
// character arrive as WM_CHAR instead; modifier and lock keys queue nothing.
void postKeyWithoutCharacter(WPARAM virtual_key, LPARAM lparam) {
  if (isModifierKey(virtual_key)) return;
  if (MapVirtualKeyA(static_cast<UINT>(virtual_key), MAPVK_VK_TO_CHAR) != 0) return;
  UINT scancode = static_cast<UINT>(lparam >> 16) & 0xFF;
  if (scancode == 0) scancode = MapVirtualKeyA(static_cast<UINT>(virtual_key), MAPVK_VK_TO_VSC);
  scancode &= 0xFF;
  if (scancode != 0) postKey(255 | static_cast<int>(scancode << 8));
}

// ---- Window and full screen ------------------------------------------------------------------

int displayBits(int depth) { return depth <= 8 ? 8 : depth == 15 ? 16 : depth; }

// Switches the display to the screen's size, trying the screen's depth and rate first and then
// dropping what the display refuses.
bool setDisplayMode(const ScreenState& screen) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  mode.dmPelsWidth = static_cast<DWORD>(screen.width);
  mode.dmPelsHeight = static_cast<DWORD>(screen.height);
  mode.dmBitsPerPel = static_cast<DWORD>(displayBits(screen.depth));
  mode.dmDisplayFrequency = static_cast<DWORD>(screen.refresh);
  const DWORD size = DM_PELSWIDTH | DM_PELSHEIGHT;
  const DWORD tries[] = {size | DM_BITSPERPEL | DM_DISPLAYFREQUENCY, size | DM_BITSPERPEL, size};
  for (DWORD fields : tries) {
    if ((fields & DM_DISPLAYFREQUENCY) != 0 && screen.refresh <= 0) continue;
    mode.dmFields = fields;
    if (ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL) return true;
  }
  return false;
}

// Presenter thread. False (and nothing changed) when the display mode cannot be set.
bool enterFullScreen(const ScreenState& screen, GdiWindow& w) {
  w.windowed_place.length = sizeof w.windowed_place;
  GetWindowPlacement(w.window, &w.windowed_place);
  w.windowed_style = GetWindowLongA(w.window, GWL_STYLE);
  if (!setDisplayMode(screen)) return false;
  w.switching = true;
  w.full_screen = true;
  SetWindowLongA(w.window, GWL_STYLE, static_cast<LONG>(kFullScreenStyle));
  SetWindowPos(w.window, HWND_TOPMOST, 0, 0, screen.width, screen.height,
               SWP_FRAMECHANGED | SWP_SHOWWINDOW);
  w.switching = false;
  return true;
}

// Presenter thread. Restores the desktop's mode and the window as it was before.
void leaveFullScreen(GdiWindow& w) {
  ChangeDisplaySettingsA(nullptr, 0);
  w.switching = true;
  w.full_screen = false;
  SetWindowLongA(w.window, GWL_STYLE, (w.windowed_style & ~WS_MAXIMIZE) | WS_VISIBLE);
  w.windowed_place.flags = 0;
  w.windowed_place.showCmd = SW_SHOWNORMAL;
  SetWindowPlacement(w.window, &w.windowed_place);
  SetWindowPos(w.window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_FRAMECHANGED);
  w.switching = false;
}

bool mayToggle(const ScreenState& screen, const GdiWindow& w) {
  return w.active && !w.switching && (screen.flags & kScreenNoToggle) == 0;
}

void toggleFullScreen(const ScreenState& screen, GdiWindow& w) {
  if (w.full_screen) {
    leaveFullScreen(w);
  } else {
    enterFullScreen(screen, w);
  }
}

// Alt+Enter toggles (once per press, not on auto-repeat); F10, which Windows sends as a system
// key, is queued like the other function keys. True when the message was handled here.
bool onSystemKey(const ScreenState& screen, GdiWindow& w, WPARAM key, LPARAM lparam) {
  if ((lparam & kAltHeld) == 0) {
    postKeyWithoutCharacter(key, lparam);
    return true;
  }
  if (key != VK_RETURN) return false;
  if ((lparam & kRepeatedKey) == 0 && mayToggle(screen, w)) toggleFullScreen(screen, w);
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

void onMouse(GdiWindow& w, WPARAM wparam, LPARAM lparam) {
  w.mouse.x = static_cast<short>(LOWORD(lparam));
  w.mouse.y = static_cast<short>(HIWORD(lparam));
  w.mouse.buttons = static_cast<int>(wparam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON));
}

// Repaints the whole client area through the present routine held in the screen state.
void onPaint(ScreenState& screen, HWND window) {
  PAINTSTRUCT paint;
  BeginPaint(window, &paint);
  EndPaint(window, &paint);
  if (screen.present != nullptr) screen.present(screen, 0, screen.height - 1);
}

// Presenter thread: everything the loop dispatches runs with the screen lock held.
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
      onMouse(*w, wparam, lparam);
      return 0;
    case WM_SETCURSOR:
      onSetCursor(screen, window, wparam, lparam);
      return TRUE;
    case WM_ACTIVATE:
      w->active = LOWORD(wparam) != WA_INACTIVE;
      if (!w->active) releaseHeldKeys();
      break;
    case WM_SIZE:
      if (wparam == SIZE_MAXIMIZED && !w->full_screen && mayToggle(screen, *w)) {
        enterFullScreen(screen, *w);
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
  const RGBQUAD& c = w.bitmap.colours[0];
  return RGB(c.rgbRed, c.rgbGreen, c.rgbBlue);
}

// Presenter thread. Creates the window with the client size of the screen, centred on the
// desktop, and shows it; null when it cannot be made.
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

void runQueuedMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    followKeyMessage(message);
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// ---- Presenting --------------------------------------------------------------------------------
// The present routine and the thread loop each call SetDIBitsToDevice through its import slot
// (`call [slot]`). The window module finds these two call sites by scanning forward from the
// present routine's address and redirects them, so the two routines sit in their own sections,
// which the linker sorts by name into .text: the present routine first, the loop right after.
// noipa keeps both out of inlining and cloning, so each call stays where it is written.

// Any thread, through screen.present; takes the screen lock (the presenter thread already holds
// it). Copies rows first..last of the frame buffer to the same rows of the client area.
__attribute__((noipa, section(".text$kestrune_gdi_1"))) void gdiPresentRows(ScreenState& screen,
                                                                            int first_row,
                                                                            int last_row) {
  std::lock_guard<std::recursive_mutex> hold(screen.lock);
  GdiWindow* w = gdiWindow(screen);
  if (w == nullptr) return;
  const Span span = prepareSpan(screen, *w, first_row, last_row);
  if (span.rows == 0) return;
  HDC dc = GetDC(w->window);
  SetDIBitsToDevice(dc, 0, span.first, static_cast<DWORD>(screen.width),
                    static_cast<DWORD>(span.rows), 0, 0, 0, static_cast<UINT>(span.rows), span.bits,
                    bitmapInfo(*w), DIB_RGB_COLORS);
  ReleaseDC(w->window, dc);
}

// Presenter thread, until the screen closes: every 10 ms, with the lock held, present the changed
// rows and run the window's queued messages.
__attribute__((noipa, section(".text$kestrune_gdi_2"))) void gdiPresenterLoop(ScreenState& screen,
                                                                              GdiWindow& w) {
  while (!screen.quit.load()) {
    screen.lock.lock();
    int first = 0;
    int last = 0;
    if (takeChangedRows(screen, &first, &last)) {
      const Span span = prepareSpan(screen, w, first, last);
      if (span.rows > 0) {
        HDC dc = GetDC(w.window);
        SetDIBitsToDevice(dc, 0, span.first, static_cast<DWORD>(screen.width),
                          static_cast<DWORD>(span.rows), 0, 0, 0, static_cast<UINT>(span.rows),
                          span.bits, bitmapInfo(w), DIB_RGB_COLORS);
        ReleaseDC(w.window, dc);
      }
    }
    runQueuedMessages();
    screen.lock.unlock();
    Sleep(10);
  }
}

// The presenter thread: makes the window, reports it, serves it until the screen closes, then
// gives the display back and destroys the window. It owns the window throughout.
void presenterThread(ScreenState* screen) {
  GdiWindow& w = *gdiWindow(*screen);
  HWND window = createScreenWindow(*screen, w);
  if (window != nullptr && (screen->flags & kScreenFullScreen) != 0) enterFullScreen(*screen, w);
  screen->window = reinterpret_cast<uintptr_t>(window);
  SetEvent(w.ready);  // on failure open() frees `w` from here on
  if (window == nullptr) return;
  gdiPresenterLoop(*screen, w);
  if (w.full_screen) ChangeDisplaySettingsA(nullptr, 0);
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
  if (!describeBitmap(screen, *w)) {
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

bool gdiDesktopMode(DisplayMode* mode) {
  DEVMODEA current = {};
  current.dmSize = sizeof current;
  if (EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &current)) {
    *mode = DisplayMode{
        static_cast<int>(current.dmPelsWidth), static_cast<int>(current.dmPelsHeight),
        static_cast<int>(current.dmBitsPerPel), static_cast<int>(current.dmDisplayFrequency)};
    return true;
  }
  HDC desktop = GetDC(nullptr);
  *mode = DisplayMode{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                      GetDeviceCaps(desktop, BITSPIXEL), GetDeviceCaps(desktop, VREFRESH)};
  ReleaseDC(nullptr, desktop);
  return mode->width > 0 && mode->height > 0;
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
