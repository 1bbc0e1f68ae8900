// The viewer's keys and mouse, in the conventions of video players (mpv's keys): each key or
// mouse event read from the queues becomes one of the viewer's actions.
#include <algorithm>

#include "runtime/keyboard.h"
#include "runtime/mouse.h"
#include "runtime/screen.h"
#include "runtime/timing.h"
#include "tools/view/viewer.h"
#include "window/scaled_window.h"

namespace {

constexpr char kExtended = char(0xFF);
constexpr char kBackspace = 8;
constexpr char kEscape = 27;

bool isQuitKey(const std::string& key) {
  if (key.size() == 2) return key[0] == kExtended && key[1] == 'k';  // the close button
  return key == "q" || key == std::string(1, kEscape);
}

void handleExtendedKey(Viewer& viewer, char code) {
  switch (code) {
    case 'M':
      return seekBy(viewer, 5);
    case 'K':
      return seekBy(viewer, -5);
    case 'H':
      return seekBy(viewer, 60);
    case 'P':
      return seekBy(viewer, -60);
    case 'G':
      return seekTo(viewer, 0);
    case 'O':
      return seekTo(viewer, viewer.last_frame);
    default:
      return;
  }
}

// The display's switches; the log tells their state, which no frame dump shows.
void toggle(Viewer& viewer, bool& flag, const char* name) {
  flag = !flag;
  viewer.redraw = true;
  logEvent(viewer, "%s %s", name, flag ? "on" : "off");
}

// Asks the window for full screen or back; the log tells that it was asked (a headless screen
// has nothing to change).
void toggleFullScreen(Viewer& viewer) {
  toggleScaledFullScreen();
  logEvent(viewer, "fullscreen");
}

void handleCharacter(Viewer& viewer, char key) {
  if (key >= '0' && key <= '9') return seekToFraction(viewer, (key - '0') / 10.0);
  switch (key) {
    case ' ':
    case 'p':
      return togglePause(viewer);
    case '.':
      return stepFrames(viewer, 1);
    case ',':
      return stepFrames(viewer, -1);
    case '[':
      return setSpeed(viewer, viewer.speed / 1.1);
    case ']':
      return setSpeed(viewer, viewer.speed * 1.1);
    case '{':
      return setSpeed(viewer, viewer.speed / 2);
    case '}':
      return setSpeed(viewer, viewer.speed * 2);
    case kBackspace:
      return setSpeed(viewer, 1);
    case 'l':
      return markLoop(viewer);
    case 'L':
      return toggleLoopAll(viewer);
    case 's':
      return saveShownFrame(viewer);
    case 'o':
      return toggle(viewer, viewer.osd_on, "osd");
    case 'i':
      return toggle(viewer, viewer.stats_on, "stats");
    case 'f':
      return toggleFullScreen(viewer);
    default:
      return;
  }
}

void handleKey(Viewer& viewer, const std::string& key) {
  if (isQuitKey(key)) {
    viewer.quit = true;
  } else if (key.size() == 2 && key[0] == kExtended) {
    handleExtendedKey(viewer, key[1]);
  } else if (key.size() == 1) {
    handleCharacter(viewer, key[0]);
  }
}

// The fraction of the recording under the mouse on the progress bar, below 0 off it (or when
// the display, and with it the bar, is hidden).
double barFraction(const Viewer& viewer, const MouseEvent& event) {
  if (!viewer.osd_on) return -1;
  const ScreenInfo screen = screenInfo();
  return osdBarFraction(screen.width, screen.height, event.x, event.y);
}

void handleMouse(Viewer& viewer, const MouseEvent& event) {
  switch (event.kind) {
    case MouseKind::kPress: {
      const double fraction = event.button == 1 ? barFraction(viewer, event) : -1;
      viewer.dragging = fraction >= 0;
      if (viewer.dragging) seekToFraction(viewer, fraction);
      return;
    }
    case MouseKind::kMove: {
      if (!viewer.dragging) return;
      const ScreenInfo screen = screenInfo();
      const OsdRect bar = osdBarRect(screen.width, screen.height);
      const double fraction = double(event.x - bar.x) / double(bar.width > 0 ? bar.width : 1);
      const int64_t frame =
          frameAt(viewer.times, std::clamp(fraction, 0.0, 1.0) * viewer.times.length);
      if (frame != viewer.shown) seekTo(viewer, frame);
      return;
    }
    case MouseKind::kRelease:
      viewer.dragging = false;
      return;
    case MouseKind::kWheel:
      return seekBy(viewer, 5.0 * event.wheel);
    case MouseKind::kDoubleClick:
      return toggleFullScreen(viewer);
  }
}

}  // namespace

void handleInput(Viewer& viewer) {
  std::vector<std::string> pending;
  pending.swap(viewer.pending_keys);
  for (const std::string& key : pending) {
    if (!viewer.quit) handleKey(viewer, key);
  }
  for (std::string key = readKey(); !key.empty() && !viewer.quit; key = readKey()) {
    handleKey(viewer, key);
  }
  // A drag posts moves faster than seeks finish: of moves in a row only the last one counts.
  std::vector<MouseEvent> events;
  for (MouseEvent event; readMouse(&event);) {
    const bool replaces =
        !events.empty() && events.back().kind == MouseKind::kMove && event.kind == MouseKind::kMove;
    if (replaces) events.pop_back();
    events.push_back(event);
  }
  for (const MouseEvent& event : events) {
    if (!viewer.quit) handleMouse(viewer, event);
  }
}

void pollDuringDrawing(Viewer& viewer, bool any_key_cancels) {
  viewer.last_poll = timerSeconds();
  for (std::string key = readKey(); !key.empty(); key = readKey()) {
    if (isQuitKey(key)) viewer.quit = true;
    if (viewer.quit || any_key_cancels) viewer.cancel_seek = true;
    viewer.pending_keys.push_back(key);
  }
  const bool waiting = !viewer.progress_line.empty();
  if (waiting && viewer.last_poll - viewer.last_osd_present > 0.1) presentShown(viewer, false);
}
