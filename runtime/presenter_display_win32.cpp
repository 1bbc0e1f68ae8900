// Full screen for the GDI window, and the desktop's mode. Receives the screen's size, depth and
// rate and the screen window; hands on the display switched to that mode with the window covering
// it (and the desktop and window as they were on leaving), and the desktop's mode when asked.
#include "runtime/presenter_display_win32.h"

namespace {

constexpr DWORD kFullScreenStyle = WS_POPUP | WS_VISIBLE;

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

}  // namespace

bool enterFullScreen(const ScreenState& screen, HWND window, GdiFullScreen& f) {
  f.windowed_place.length = sizeof f.windowed_place;
  GetWindowPlacement(window, &f.windowed_place);
  f.windowed_style = GetWindowLongA(window, GWL_STYLE);
  if (!setDisplayMode(screen)) return false;
  f.switching = true;
  f.full_screen = true;
  SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(kFullScreenStyle));
  SetWindowPos(window, HWND_TOPMOST, 0, 0, screen.width, screen.height,
               SWP_FRAMECHANGED | SWP_SHOWWINDOW);
  f.switching = false;
  return true;
}

void leaveFullScreen(HWND window, GdiFullScreen& f) {
  ChangeDisplaySettingsA(nullptr, 0);
  f.switching = true;
  f.full_screen = false;
  SetWindowLongA(window, GWL_STYLE, (f.windowed_style & ~WS_MAXIMIZE) | WS_VISIBLE);
  f.windowed_place.flags = 0;
  f.windowed_place.showCmd = SW_SHOWNORMAL;
  SetWindowPlacement(window, &f.windowed_place);
  SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_FRAMECHANGED);
  f.switching = false;
}

void toggleFullScreen(const ScreenState& screen, HWND window, GdiFullScreen& f) {
  if (f.full_screen) {
    leaveFullScreen(window, f);
  } else {
    enterFullScreen(screen, window, f);
  }
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
