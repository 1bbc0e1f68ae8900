// The scalable window over the "SDL" presenter: receives the screen's window through the
// presenter's event hook (taken over as a window procedure is subclassed) and its present
// routine; hands on a stretched picture (letterboxed in full screen, and windowed too with
// keepAspectWindowed), mouse positions in screen pixels and Alt+Enter (or
// toggleScaledFullScreen) as the module's own borderless full screen.
#include <SDL.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "runtime/presenter_sdl.h"
#include "runtime/screen.h"
#include "runtime/screen_state.h"
#include "window/geometry.h"
#include "window/scaled_window.h"

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

// hookResume's value while the creation hook is armed: there is no code address to resume at
// here, only the mark.
constexpr uintptr_t kCreationHookArmed = 1;

// How long the presenter thread waits for a window manager to answer a change of the window's
// decorations or state. A window manager answers within milliseconds; only one that never
// answers (or none at all where one was expected) makes the wait this long.
constexpr Uint64 kWindowManagerPatience = 2000;  // milliseconds

// The module's own events: calls made on the presenter thread for the caller's thread (as
// SendMessageA delivers to the window's thread), and the full-screen toggle.
enum ModuleEventCode : Sint32 { kPresenterCall = 1, kToggleFullScreen = 2 };

bool scaledEventHook(ScreenState& screen, const SDL_Event& event);

// Registered once, on first use; SDL hands out user event numbers without being started.
Uint32 moduleEventType() {
  static const Uint32 type = SDL_RegisterEvents(1);
  return type;
}

bool onPresenterThread(ScreenState& screen) {
  return std::this_thread::get_id() == screen.thread.get_id();
}

// The decision to take over the window names a presenter; it is made here only.
bool sdlServesScreen() { return SDL_strcasecmp(presenterName(), "SDL") == 0; }

// ---- Calls on the presenter thread ----

using PresenterJob = std::function<void(ScreenState&, SDL_Window*)>;

struct PresenterCall {
  const PresenterJob* job = nullptr;
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
};

void runCall(ScreenState& screen, PresenterCall& call) {
  SDL_Window* window = sdlWindowParts(screen).window;
  if (window != nullptr) (*call.job)(screen, window);
  std::lock_guard<std::mutex> hold(call.mutex);
  call.done = true;
  call.finished.notify_all();
}

bool windowStillOpen(uintptr_t window) {
  ScreenState& screen = screenState();
  Guard hold(screen.lock);
  return screen.open && screen.window == window;
}

// Waits for the presenter thread to run the call. A window that goes away meanwhile has taken
// its event queue (and the call) with it, so the wait ends then too.
bool waitForCall(PresenterCall& call, uintptr_t window) {
  for (;;) {
    {
      std::unique_lock<std::mutex> hold(call.mutex);
      if (call.finished.wait_for(hold, std::chrono::milliseconds(20),
                                 [&call] { return call.done; }))
        return true;
    }
    if (!windowStillOpen(window)) return false;
  }
}

void installEventHook() {
  SdlEventHook previous = setSdlEventHook(scaledEventHook);
  if (previous != scaledEventHook) {
    scaledWindowState().screenProc = reinterpret_cast<uintptr_t>(previous);
  }
}

// Runs the job on the presenter thread with the presenter's lock held and waits for it; false
// when it could not run (no SDL window, or the window closed first). The caller must not hold
// the screen lock: the presenter thread takes it to run the job.
bool callOnPresenter(const PresenterJob& job) {
  ScreenState& screen = screenState();
  uintptr_t window = windowHandle();
  if (window == 0 || !sdlServesScreen()) return false;
  if (onPresenterThread(screen)) {
    SDL_Window* sdl_window = sdlWindowParts(screen).window;
    if (sdl_window != nullptr) job(screen, sdl_window);
    return sdl_window != nullptr;
  }
  installEventHook();  // the module's events reach the presenter thread through it
  PresenterCall call;
  call.job = &job;
  SDL_Event event{};
  event.type = moduleEventType();
  event.user.code = kPresenterCall;
  event.user.data1 = &call;
  if (event.type == static_cast<Uint32>(-1) || SDL_PushEvent(&event) != 1) return false;
  return waitForCall(call, window);
}

// ---- Client area and picture ----

Margins currentMargins() {
  ScaledWindowState& state = scaledWindowState();
  return Margins{state.marginX.load(), state.marginY.load()};
}

// The client area inside an outer area: the fitted picture between the margins in full screen
// (and windowed with keepAspectWindowed), else all of it.
Rect32 clientArea(int outer_width, int outer_height) {
  bool open_top = (scaledWindowState().options.load() & openGlPresenter) != 0;
  return letterboxedClient(outer_width, outer_height, currentMargins(), open_top);
}

Rect32 windowClientArea(SDL_Window* window) {
  int width = 0;
  int height = 0;
  SDL_GetWindowSize(window, &width, &height);
  return clientArea(width, height);
}

// Windowed with keepAspectWindowed, the margins that fit the picture into the window's size.
void fitWindowedMargins(SDL_Window* window) {
  ScaledWindowState& state = scaledWindowState();
  int width = 0;
  int height = 0;
  SDL_GetWindowSize(window, &width, &height);
  Margins margins = letterboxMargins(state.modeWidth, state.modeHeight, width, height, true);
  state.marginX = margins.x;
  state.marginY = margins.y;
}

// What a size message does: the client size becomes the stretch target (the margins fitted to
// the new size first when the window keeps the picture's aspect).
void recordClientSize(SDL_Window* window) {
  ScaledWindowState& state = scaledWindowState();
  if (aspectKeptWindowed(state)) fitWindowedMargins(window);
  Rect32 client = windowClientArea(window);
  state.clientWidth = client.width;
  state.clientHeight = client.height;
}

// Margins in the border colour, the whole screen stretched to the client size. An empty target
// (no size known yet) draws nothing and leaves the window as it is.
void drawStretched(ScreenState& screen) {
  SdlWindowParts parts = sdlWindowParts(screen);
  ScaledWindowState& state = scaledWindowState();
  int32_t mode_width = state.modeWidth;
  int32_t mode_height = state.modeHeight;
  Rect32 picture = stretchRect(Rect32{0, 0, mode_width, mode_height}, state.clientWidth,
                               state.clientHeight, mode_width, mode_height);
  int out_width = 0;
  int out_height = 0;
  if (parts.renderer == nullptr || picture.width <= 0 || picture.height <= 0 ||
      SDL_GetRendererOutputSize(parts.renderer, &out_width, &out_height) != 0) {
    return;
  }
  Rect32 client = clientArea(out_width, out_height);
  uint32_t colour = state.borderColour;
  SDL_SetRenderDrawColor(parts.renderer, colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF,
                         255);
  SDL_RenderClear(parts.renderer);
  SDL_Rect target{client.x + picture.x, client.y + picture.y, picture.width, picture.height};
  SDL_RenderCopy(parts.renderer, parts.texture, nullptr, &target);
  SDL_RenderPresent(parts.renderer);
}

// The redirected present routine. Off the presenter thread SDL may not be used: the presenter's
// own routine then only marks the rows for the thread's next turn.
void stretchPresent(ScreenState& screen, int first_row, int last_row) {
  if (!onPresenterThread(screen)) {
    sdlPresentRows(screen, first_row, last_row);
    return;
  }
  sdlUploadRows(screen, first_row, last_row);
  drawStretched(screen);
}

// Presenter thread. A redraw the presenter queued before the take-over would paint its own
// aspect-kept picture on a later quiet turn; letting it paint now clears that, and the stretched
// picture follows at once. The present routine is shared state: it changes under the lock.
void redirectPresent(ScreenState& screen) {
  {
    std::lock_guard<std::recursive_mutex> hold(screen.lock);
    if (screen.present == stretchPresent) return;
    screen.present = stretchPresent;
  }
  sdlRenderPicture(screen);
}

// ---- The window manager's frame ----

// The frame a window manager draws around the client area, as SDL last heard of it (the
// window manager's _NET_FRAME_EXTENTS under X); all 0 without a window manager.
struct FrameSides {
  int top = 0, left = 0, bottom = 0, right = 0;
  bool operator==(const FrameSides&) const = default;
  bool none() const { return *this == FrameSides{}; }
};

FrameSides frameOf(SDL_Window* window) {
  FrameSides sides;
  if (SDL_GetWindowBordersSize(window, &sides.top, &sides.left, &sides.bottom, &sides.right) != 0) {
    return FrameSides{};
  }
  return sides;
}

// Reads the window system's events into SDL's queue (the presenter's loop handles them later)
// until `done` holds; false when the window manager's patience ran out first.
template <typename Condition>
bool pumpUntil(Condition done) {
  Uint64 deadline = SDL_GetTicks64() + kWindowManagerPatience;
  for (;;) {
    SDL_PumpEvents();
    if (done()) return true;
    if (SDL_GetTicks64() >= deadline) return false;
    SDL_Delay(1);
  }
}

// SDL places a window by its client area and turns that into a place for the frame with the
// frame sides it knows; a window manager answers a change of decorations with new sides a little
// later. A move made before they arrive lands off by the old frame, so the change is waited for.
// `framed` is the frame the window has with decorations; none means nothing frames it, and
// nothing is waited for.
void setDecorated(SDL_Window* window, bool decorated, FrameSides framed) {
  bool was_decorated = (SDL_GetWindowFlags(window) & SDL_WINDOW_BORDERLESS) == 0;
  if (was_decorated == decorated) return;
  SDL_SetWindowBordered(window, decorated ? SDL_TRUE : SDL_FALSE);
  if (framed.none()) return;
  pumpUntil([window, decorated, framed] { return (frameOf(window) == framed) == decorated; });
}

// ---- Full screen ----

SDL_Rect displayBounds(SDL_Window* window) {
  SDL_Rect bounds{0, 0, 0, 0};
  int index = SDL_GetWindowDisplayIndex(window);
  if (SDL_GetDisplayBounds(index < 0 ? 0 : index, &bounds) != 0) bounds = SDL_Rect{0, 0, 0, 0};
  return bounds;
}

// The windowed placement full screen returns to, as a Windows window keeps its restore
// placement. Presenter thread only; there is one screen window at a time.
struct WindowedPlacement {
  SDL_Rect client{0, 0, 0, 0};
  FrameSides frame;
  bool maximised = false;
};

WindowedPlacement& windowedPlacement() {
  static WindowedPlacement kept;
  return kept;
}

// A maximised window stays maximised: the window manager keeps the placement a restore goes
// back to, and it fits a maximised window to the screen again when its decorations come and go.
void keepWindowedPlacement(SDL_Window* window) {
  WindowedPlacement& kept = windowedPlacement();
  kept.maximised = (SDL_GetWindowFlags(window) & SDL_WINDOW_MAXIMIZED) != 0;
  SDL_GetWindowPosition(window, &kept.client.x, &kept.client.y);
  SDL_GetWindowSize(window, &kept.client.w, &kept.client.h);
  kept.frame = frameOf(window);
}

void restoreWindowedPlacement(SDL_Window* window) {
  const WindowedPlacement& kept = windowedPlacement();
  if (kept.maximised) return;
  if (kept.client.w > 0 && kept.client.h > 0)
    SDL_SetWindowSize(window, kept.client.w, kept.client.h);
  SDL_SetWindowPosition(window, kept.client.x, kept.client.y);
}

// A borderless window over the display. The margins are set before the window changes, so that
// the sizes it reports already use them.
void enterFullScreen(SDL_Window* window) {
  ScaledWindowState& state = scaledWindowState();
  state.fullScreen = true;
  SDL_Rect display = displayBounds(window);
  Margins margins;
  if (state.keepAspect != 0) {
    ScreenInfo info = screenInfo();
    state.modeWidth = info.width;
    state.modeHeight = info.height;
    margins = letterboxMargins(info.width, info.height, display.w, display.h, true);
  }
  state.marginX = margins.x;
  state.marginY = margins.y;
  state.savedStyle = SDL_GetWindowFlags(window) | SDL_WINDOW_SHOWN;
  keepWindowedPlacement(window);
  setDecorated(window, false, windowedPlacement().frame);
  SDL_SetWindowPosition(window, display.x, display.y);
  SDL_SetWindowSize(window, display.w, display.h);
  SDL_SetWindowAlwaysOnTop(window, SDL_TRUE);
}

void leaveFullScreen(SDL_Window* window) {
  ScaledWindowState& state = scaledWindowState();
  state.fullScreen = false;
  state.marginX = 0;
  state.marginY = 0;
  uint32_t style = state.savedStyle;
  SDL_SetWindowAlwaysOnTop(window, SDL_FALSE);
  setDecorated(window, (style & SDL_WINDOW_BORDERLESS) == 0, windowedPlacement().frame);
  restoreWindowedPlacement(window);
  state.savedStyle = 0;
}

// The savedStyle field decides the direction.
void toggleFullScreen(ScreenState& screen, SDL_Window* window) {
  if (scaledWindowState().savedStyle == 0) {
    enterFullScreen(window);
  } else {
    leaveFullScreen(window);
  }
  recordClientSize(window);
  drawStretched(screen);
}

// ---- The taken-over event handling ----

// The screen service's handling: the hook that was there before, then the presenter's own.
// While the style guard is up nothing reaches it, as DefWindowProcA would take the message.
bool forward(ScreenState& screen, const SDL_Event& event) {
  ScaledWindowState& state = scaledWindowState();
  if (state.styleGuard) return true;
  auto previous = reinterpret_cast<SdlEventHook>(state.screenProc.load());
  if (previous != nullptr && previous(screen, event)) return true;
  sdlDefaultEvent(screen, event);
  return true;
}

// For windows the module has not taken over: only the hook before it sees the event.
bool passOn(ScreenState& screen, const SDL_Event& event) {
  auto previous = reinterpret_cast<SdlEventHook>(scaledWindowState().screenProc.load());
  return previous != nullptr && previous(screen, event);
}

void toggleAndForward(ScreenState& screen, SDL_Window* window) {
  toggleFullScreen(screen, window);
  SDL_Event event{};
  event.type = moduleEventType();
  event.user.code = kToggleFullScreen;
  forward(screen, event);
}

bool handleModuleEvent(ScreenState& screen, const SDL_Event& event) {
  if (event.user.code == kPresenterCall) {
    runCall(screen, *static_cast<PresenterCall*>(event.user.data1));
  } else if (event.user.code == kToggleFullScreen) {
    SDL_Window* window = sdlWindowParts(screen).window;
    if (window != nullptr) toggleAndForward(screen, window);
  }
  return true;
}

void postToggle() {
  SDL_Event event{};
  event.type = moduleEventType();
  event.user.code = kToggleFullScreen;
  SDL_PushEvent(&event);
}

// Size changes and exposure never reach the screen service, which would paint its own picture:
// the client size is taken and the stretched picture painted here.
bool handleWindowEvent(ScreenState& screen, const SDL_Event& event) {
  switch (event.window.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_RESIZED:
    case SDL_WINDOWEVENT_MAXIMIZED:
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_EXPOSED: {
      SDL_Window* window = sdlWindowParts(screen).window;
      if (window != nullptr) recordClientSize(window);
      drawStretched(screen);
      return true;
    }
    default:
      return forward(screen, event);
  }
}

Point32 toScreenPixels(ScreenState& screen, int x, int y) {
  ScaledWindowState& state = scaledWindowState();
  SDL_Window* window = sdlWindowParts(screen).window;
  Rect32 client = window != nullptr ? windowClientArea(window) : Rect32{};
  Point32 position{x - client.x, y - client.y};
  return clientToScreenPixels(position, client.width, client.height, state.modeWidth,
                              state.modeHeight);
}

bool handleMouseEvent(ScreenState& screen, const SDL_Event& event) {
  SDL_Event mapped = event;
  if (event.type == SDL_MOUSEMOTION) {
    Point32 pixel = toScreenPixels(screen, event.motion.x, event.motion.y);
    mapped.motion.x = pixel.x;
    mapped.motion.y = pixel.y;
  } else if (event.type == SDL_MOUSEWHEEL) {
    Point32 pixel = toScreenPixels(screen, event.wheel.mouseX, event.wheel.mouseY);
    mapped.wheel.mouseX = pixel.x;
    mapped.wheel.mouseY = pixel.y;
  } else {
    Point32 pixel = toScreenPixels(screen, event.button.x, event.button.y);
    mapped.button.x = pixel.x;
    mapped.button.y = pixel.y;
  }
  return forward(screen, mapped);
}

// Alt+Enter belongs to the module: the screen service never sees it, so its own full-screen
// switch never runs. A held key's repeats do not toggle again.
bool handleKeyDown(ScreenState& screen, const SDL_Event& event) {
  const SDL_Keysym& key = event.key.keysym;
  bool enter = key.sym == SDLK_RETURN || key.sym == SDLK_KP_ENTER;
  if (!enter || (key.mod & KMOD_ALT) == 0) return forward(screen, event);
  bool allowed = (scaledWindowState().options.load() & noFullScreenToggle) == 0;
  if (allowed && event.key.repeat == 0) postToggle();
  return true;
}

bool subclassed(const ScreenState& screen) {
  uintptr_t window = scaledWindowState().window;
  return window != 0 && screen.window == window;
}

// The hook that stands for the subclassing window procedure.
bool scaledEventHook(ScreenState& screen, const SDL_Event& event) {
  if (event.type == moduleEventType()) return handleModuleEvent(screen, event);
  if (!subclassed(screen)) return passOn(screen, event);
  switch (event.type) {
    case SDL_WINDOWEVENT:
      return handleWindowEvent(screen, event);
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEWHEEL:
      return handleMouseEvent(screen, event);
    case SDL_KEYDOWN:
      return handleKeyDown(screen, event);
    default:
      return forward(screen, event);
  }
}

// ---- Set-up ----

struct SetupRequest {
  int32_t width;
  int32_t height;
  int32_t keep_aspect;
};

// Under X a window manager offers resizing and maximising only to a window whose size hints let
// its size change; there is no maximisable window of fixed size as on Windows. The window is
// therefore made resizable whatever the set-up asks: maximising and resizing must stretch the
// picture. (The sizing border the request is about is the window manager's to draw.)
void applyStyle(SDL_Window* window) {
  ScaledWindowState& state = scaledWindowState();
  state.styleGuard = true;
  SDL_SetWindowResizable(window, SDL_TRUE);
  state.styleGuard = false;
}

// The outer placement from the table; SDL places and sizes the client area, so the frame the
// window manager draws (none without one) is taken off again.
void placeWindow(SDL_Window* window, const SetupRequest& request) {
  ScaledWindowState& state = scaledWindowState();
  SDL_Rect desktop = displayBounds(window);
  FrameSides frame = frameOf(window);
  PlacementInputs in{.width = request.width,
                     .height = request.height,
                     .mode_width = state.modeWidth,
                     .mode_height = state.modeHeight,
                     .desktop_width = desktop.w,
                     .desktop_height = desktop.h,
                     .frame_width = frame.left + frame.right,
                     .frame_height = frame.top + frame.bottom};
  WindowPlacement placement = outerPlacement(in);
  if (placement.flags == kPlaceTopmost) SDL_SetWindowAlwaysOnTop(window, SDL_TRUE);
  int client_width = placement.width - in.frame_width;
  int client_height = placement.height - in.frame_height;
  if (client_width > 0 && client_height > 0) {  // SDL refuses empty and negative sizes
    SDL_SetWindowSize(window, client_width, client_height);
    SDL_SetWindowPosition(window, desktop.x + placement.x + frame.left,
                          desktop.y + placement.y + frame.top);
  }
}

// True when an exposure of the window waits in SDL's queue: the window system has made it
// viewable, and what is drawn from now on reaches the screen.
bool exposurePending(SDL_Window* window) {
  int count = SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
  if (count <= 0) return false;
  std::vector<SDL_Event> events(static_cast<size_t>(count));
  count = SDL_PeepEvents(events.data(), count, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
  Uint32 id = SDL_GetWindowID(window);
  for (int i = 0; i < count; ++i) {
    const SDL_WindowEvent& event = events[static_cast<size_t>(i)].window;
    if (event.windowID == id && event.event == SDL_WINDOWEVENT_EXPOSED) return true;
  }
  return false;
}

// A hidden window has no frame yet: a window manager frames it when it is shown, and names the
// frame's sides before it maps the client, so they are among the events read after the map. A
// window that was hidden is placed without a frame, shown, and placed once more when a frame
// came, now centred with it.
//
// The map SDL waits for is the client's own. Under a window manager the client becomes viewable
// only with its frame, which the window manager maps in its own time; a picture drawn before
// that is lost, and the window would stay empty until something draws again. The set-up's first
// picture therefore waits until the window system has exposed the window.
void showAndPlace(SDL_Window* window, const SetupRequest& request) {
  bool hidden = (SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN) == 0;
  if (hidden) {
    placeWindow(window, request);
    SDL_ShowWindow(window);
  }
  SDL_PumpEvents();
  if (!hidden || !frameOf(window).none()) placeWindow(window, request);
  if (hidden) pumpUntil([window] { return exposurePending(window); });
}

// A new set-up is windowed as far as the record goes, even from full screen (no style is
// restored): the toggle comes first for that.
void startWindowed(int32_t keep_aspect) {
  ScaledWindowState& state = scaledWindowState();
  state.marginX = 0;
  state.marginY = 0;
  state.savedStyle = 0;
  state.keepAspect = keep_aspect;
}

void setupOnPresenter(ScreenState& screen, SDL_Window* window, const SetupRequest& request) {
  applyStyle(window);
  startWindowed(request.keep_aspect);
  redirectPresent(screen);
  showAndPlace(window, request);
  recordClientSize(window);
  drawStretched(screen);
}

// ---- Cursor ----

struct MouseRequest {
  int32_t x;
  int32_t y;
  int32_t visibility;
  int32_t clip;
};

// The size of a 32-bit value as the 32-bit program takes it: the most negative value stays
// negative, which showMouse reads as "leave the setting".
int32_t magnitude(int32_t value) {
  uint32_t bits = static_cast<uint32_t>(value);
  return static_cast<int32_t>(value < 0 ? 0u - bits : bits);
}

// The grab keeps the cursor in the window and the mouse rectangle in its client area, as
// ClipCursor would with the client rectangle.
void clipCursor(SDL_Window* window, Rect32 client, bool clip) {
  SDL_Rect area{client.x, client.y, client.width, client.height};
  SDL_SetWindowMouseRect(window, clip ? &area : nullptr);
  SDL_SetWindowMouseGrab(window, clip ? SDL_TRUE : SDL_FALSE);
}

// 0, or 1 for a point outside the screen, which changes nothing.
int applyScaledMouse(SDL_Window* window, const MouseRequest& request) {
  ScaledWindowState& state = scaledWindowState();
  Rect32 client = windowClientArea(window);
  CursorPlacement placement = cursorPlacement(request.x, request.y, client.width, client.height,
                                              state.modeWidth, state.modeHeight);
  if (placement.move == CursorMove::kRefuse) return 1;
  if (placement.move == CursorMove::kPlace) {
    SDL_WarpMouseInWindow(window, client.x + placement.client.x, client.y + placement.client.y);
  }
  if (request.visibility != kScaledMouseUnchanged) showMouse(magnitude(request.visibility));
  if (request.clip != kScaledMouseUnchanged) clipCursor(window, client, request.clip != 0);
  return 0;
}

void closeAtExit() { closeScaledWindow(); }

// The presenter's own present routine comes back, and the hook before the module's.
void restorePresenter() {
  ScreenState& screen = screenState();
  {
    Guard hold(screen.lock);
    if (screen.present == stretchPresent) screen.present = sdlPresentRows;
  }
  ScaledWindowState& state = scaledWindowState();
  auto previous = reinterpret_cast<SdlEventHook>(state.screenProc.load());
  SdlEventHook current = setSdlEventHook(previous);
  if (current != scaledEventHook) setSdlEventHook(current);  // someone else's: leave it
}

}  // namespace

int openScaledScreen(int32_t width, int32_t height, int32_t depth, int32_t pages, int32_t flags,
                     int32_t refresh) {
  ScaledWindowState& state = scaledWindowState();
  bool armed = state.hookResume != 0;
  int32_t passed = flags;
  state.options = 0;
  if (armed) {
    state.openedWithHook = true;
    state.borderColour = 0;
    state.fullScreen = false;
    state.options = flags;
    passed = flags & ~(startFullScreen | keepAspectWindowed);
  }
  state.clientWidth = 0;
  state.clientHeight = 0;
  // The creation hook's edit: the window starts hidden (set-up shows it once it is placed) and
  // resizable. Used by the next window only, as the hook is one-shot.
  if (armed) {
    state.hookResume = 0;
    setSdlCreationFlags(SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE, SDL_WINDOW_SHOWN);
  }
  // There is no "GDI" presenter here to prefer for a shaped window: the flags go on as they are.
  int code = openScreen(width, height, depth, pages, passed, refresh);
  setSdlCreationFlags(0, 0);  // a presenter that made no SDL window leaves nothing pending
  std::strncpy(state.activePresenter, presenterName(), kPresenterNameSize - 1);
  return code;
}

void setupScaledWindow(int32_t width, int32_t height, int32_t keepAspect, int32_t resizable) {
  ScaledWindowState& state = scaledWindowState();
  uintptr_t handle = windowHandle();
  ScreenInfo info = screenInfo();
  state.modeWidth = info.width;
  state.modeHeight = info.height;
  if (handle == 0 || !sdlServesScreen()) {  // no window to take over (the headless presenter)
    startWindowed(keepAspect);
    return;
  }
  if (handle != state.window) {
    state.window = handle;
    installEventHook();
  }
  (void)resizable;  // the window is resizable either way: see applyStyle
  SetupRequest request{width, height, keepAspect};
  callOnPresenter([&request](ScreenState& screen, SDL_Window* window) {
    setupOnPresenter(screen, window, request);
  });
  bool start_full = (state.options.load() & startFullScreen) != 0;
  if (!state.fullScreen && state.openedWithHook && start_full) callOnPresenter(toggleAndForward);
}

void setBorderColour(int32_t red, int32_t green, int32_t blue) {
  ScaledWindowState& state = scaledWindowState();
  state.borderColour = borderColourOf(red, green, blue);
  bool margins = state.marginX != 0 || state.marginY != 0;
  if (state.keepAspect != 0 && margins && windowHandle() != 0) {
    callOnPresenter([](ScreenState& screen, SDL_Window*) { drawStretched(screen); });
  }
}

int setScaledMouse(int32_t x, int32_t y, int32_t visibility, int32_t clip) {
  if (windowHandle() == 0) return 1;
  MouseRequest request{x, y, visibility, clip};
  int result = 1;
  callOnPresenter([&request, &result](ScreenState&, SDL_Window* window) {
    result = applyScaledMouse(window, request);
  });
  return result;
}

// The toggle Alt+Enter posts, for the window the module has taken over.
void toggleScaledFullScreen() {
  if (windowHandle() == 0 || scaledWindowState().window != windowHandle() || !sdlServesScreen()) {
    return;
  }
  postToggle();
}

bool scaledFullScreen() {
  const ScaledWindowState& state = scaledWindowState();
  return state.fullScreen && state.window != 0 && state.window == windowHandle();
}

void hookCreation(int32_t disarm) {
  ScaledWindowState& state = scaledWindowState();
  if (disarm != 0) {
    state.hookResume = 0;
    return;
  }
  if (state.hookResume != 0) return;
  [[maybe_unused]] static const bool registered = std::atexit(closeAtExit) == 0;
  state.hookResume = kCreationHookArmed;
}

// Unlike a subclass, the event hook outlives the window, so it is taken back here too, and the
// window is forgotten: a later set-up takes the window over afresh.
void closeScaledWindow() {
  ScaledWindowState& state = scaledWindowState();
  state.hookResume = 0;
  restorePresenter();
  state.screenProc = 0;
  state.window = 0;
}
