// Which display the SDL presenter opens and what its desktop is. Receives the environment's
// display names (and SDL_VIDEODRIVER); hands on a started SDL video system or, once, the reason
// there is none on standard error, and the desktop's display mode.
#include "runtime/presenter_display_sdl.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace {

// Which thread may use SDL. The presenter thread does from SDL_Init to SDL_Quit; when no
// presenter runs, sdlDesktopMode probes on a short-lived thread of its own. The lock is held by a
// whole probe, so a probe and a presenter start never overlap, and while a presenter runs the
// desktop it saw is answered from here instead.
struct SdlSession {
  std::mutex lock;
  bool presenter_running = false;
  bool desktop_known = false;
  DisplayMode desktop;
};

SdlSession& sdlSession() {
  static SdlSession session;
  return session;
}

// The environment variables that name a display, and the SDL video driver that opens each.
struct DisplayVariable {
  const char* variable;
  const char* driver;
};
constexpr DisplayVariable kDisplayVariables[] = {{"DISPLAY", "x11"},
                                                 {"WAYLAND_DISPLAY", "wayland"}};

const char* namedDisplay(const DisplayVariable& display) {
  const char* value = std::getenv(display.variable);
  return value != nullptr && *value != '\0' ? value : nullptr;  // an empty value names none
}

// The displays the environment names, as "DISPLAY=:1", "WAYLAND_DISPLAY=wayland-0" or both
// joined by " and "; empty when it names none.
std::string namedDisplays() {
  std::string names;
  for (const DisplayVariable& display : kDisplayVariables) {
    const char* value = namedDisplay(display);
    if (value == nullptr) continue;
    if (!names.empty()) names += " and ";
    names += std::string(display.variable) + "=" + value;
  }
  return names;
}

// The drivers for the named displays, in SDL's list form ("x11,wayland"). Left to itself SDL
// would go on to a driver that shows nothing when the named display does not open, and say
// nothing about why.
std::string namedDisplayDrivers() {
  std::string drivers;
  for (const DisplayVariable& display : kDisplayVariables) {
    if (namedDisplay(display) == nullptr) continue;
    if (!drivers.empty()) drivers += ",";
    drivers += display.driver;
  }
  return drivers;
}

// The first display's desktop mode. Depths are counted by the bytes a pixel takes from 24 bits
// up (a 24-bit colour desktop with 32-bit pixels is a 32-bit desktop), as Windows reports them.
bool readDesktopMode(DisplayMode* mode) {
  SDL_DisplayMode desktop;
  if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return false;
  int bytes = SDL_BYTESPERPIXEL(desktop.format);
  mode->width = desktop.w;
  mode->height = desktop.h;
  mode->depth = bytes >= 3 ? bytes * 8 : static_cast<int>(SDL_BITSPERPIXEL(desktop.format));
  mode->refresh = desktop.refresh_rate;
  return true;
}

// Runs on the short-lived probe thread: a whole SDL session just to read the desktop.
bool probeDesktop(DisplayMode* mode) {
  if (!startSdlVideo()) return false;
  bool known = readDesktopMode(mode);
  SDL_Quit();
  return known;
}

}  // namespace

bool startSdlVideo(std::string* reason) {
  std::string drivers = namedDisplayDrivers();
  bool driver_chosen = std::getenv("SDL_VIDEODRIVER") != nullptr;
  // Without any display named, SDL would only probe its backends and print their complaints.
  if (drivers.empty() && !driver_chosen) return false;
  if (!driver_chosen) SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
  // Ctrl+C must still end the program instead of becoming an SDL_QUIT event, and closing the
  // window is reported once, as a window event.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    if (reason != nullptr) *reason = *SDL_GetError() != '\0' ? SDL_GetError() : "no reason given";
    SDL_Quit();
    return false;
  }
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr || std::strcmp(driver, "dummy") == 0 ||
      std::strcmp(driver, "offscreen") == 0) {
    SDL_Quit();
    return false;
  }
  return true;
}

// The next presenter (no window) then serves the screen. Quiet when no display is named: no window
// is then what was asked for.
void reportNoWindow(const char* failure, const std::string& reason) {
  static std::atomic<bool> said{false};
  std::string names = namedDisplays();
  if (names.empty() || said.exchange(true)) return;
  std::fprintf(stderr, "Playing without a window: %s %s (%s)\n", failure, names.c_str(),
               reason.c_str());
  std::fflush(stderr);
}

// Caller's thread. Probes on a thread of its own: SDL is used by one thread at a time.
bool sdlDesktopMode(DisplayMode* mode) {
  SdlSession& session = sdlSession();
  std::lock_guard<std::mutex> hold(session.lock);
  if (session.presenter_running) {
    if (session.desktop_known) *mode = session.desktop;
    return session.desktop_known;
  }
  DisplayMode found;
  bool known = false;
  std::thread probe([&found, &known] { known = probeDesktop(&found); });
  probe.join();
  if (known) *mode = found;
  return known;
}

// Presenter thread: keeps the desktop it sees for desktopMode calls while it runs.
void recordDesktop() {
  DisplayMode mode;
  bool known = readDesktopMode(&mode);
  SdlSession& session = sdlSession();
  std::lock_guard<std::mutex> hold(session.lock);
  session.desktop_known = known;
  if (known) session.desktop = mode;
}

void setPresenterRunning(bool running) {
  SdlSession& session = sdlSession();
  std::lock_guard<std::mutex> hold(session.lock);
  session.presenter_running = running;
  session.desktop_known = false;
}
