// The SDL presenter's display: receives the environment's display names; hands on a started SDL
// video system, the desktop's display mode and the reason, said once, why there is no window.
#pragma once
#include <string>

#include "runtime/screen_state.h"

// Starts SDL's video on the calling thread; false when no display can be opened. The dummy and
// offscreen drivers do not count: a window nobody sees would also never deliver a key. When SDL
// cannot start, its reason goes to *reason (if given). SDL_VIDEODRIVER, when set, chooses the
// driver as usual.
bool startSdlVideo(std::string* reason = nullptr);

// Says on standard error, once a process, that the screen goes on without a window although the
// environment names a display, what failed and SDL's reason. Quiet when no display is named.
void reportNoWindow(const char* failure, const std::string& reason);

// Caller's thread. The desktop's display mode: probed on a short-lived SDL session of its own
// while no presenter runs, else the one the running presenter saw; false when it is not known.
bool sdlDesktopMode(DisplayMode* mode);

// Presenter thread, SDL started: keeps the desktop it sees for sdlDesktopMode while it runs.
void recordDesktop();

// Caller's thread. Marks the presenter as running (waiting for a desktop probe still running)
// or stopped; either way the desktop it saw is forgotten.
void setPresenterRunning(bool running);
