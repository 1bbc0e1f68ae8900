// The "SDL" presenter: a real window owned by the presenter thread, which makes every SDL call.
// Receives the screen's frame buffer and changed rows, copied out under the presenter's lock;
// hands on the picture to the window, key presses, the close button and held keys to the
// keyboard, and mouse events in screen pixels to the mouse queue. The thread shows the picture and
// handles the window's events without the lock, so that a present waiting for the display keeps no
// key or frame of the caller waiting.
#include "runtime/presenter_sdl.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "runtime/keyboard.h"
#include "runtime/mouse.h"
#include "runtime/presenter_display_sdl.h"
#include "runtime/presenter_keys_sdl.h"
#include "runtime/presenter_pixels_sdl.h"
#include "runtime/screen.h"
#include "runtime/screen_state.h"

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr const char* kWindowTitle = "Kestrune Player";
constexpr int kLoopSleepMilliseconds = 10;
constexpr int kCannotOpen = 2;

enum class StartState { kStarting, kReady, kFailed };

// Everything the presenter keeps per open screen (screen.presenter_data). The SDL objects and the
// fields below them belong to the presenter thread; the start handshake and the mouse request are
// shared with the caller's thread.
struct SdlPresenterData {
  PixelLayout layout;
  std::thread::id thread_id;

  std::mutex start_mutex;
  std::condition_variable start_changed;
  StartState start_state = StartState::kStarting;

  std::atomic<int> mouse_visible{1};
  std::atomic<bool> mouse_request{true};

  SdlWindowParts parts;
  TextureRows rows;     // the rows last copied out of the frame buffer for the texture
  bool redraw = false;  // the window lost its picture (exposed, resized)
  bool had_focus = false;
  bool full_screen = false;
};

std::atomic<SdlEventHook>& eventHook() {
  static std::atomic<SdlEventHook> hook{nullptr};
  return hook;
}

// Window flags the next created window gets added and removed, then forgotten.
struct CreationFlags {
  std::atomic<uint32_t> add{0};
  std::atomic<uint32_t> remove{0};
};

CreationFlags& creationFlags() {
  static CreationFlags flags;
  return flags;
}

Uint32 takeCreationFlags(Uint32 flags) {
  CreationFlags& pending = creationFlags();
  return (flags | pending.add.exchange(0)) & ~pending.remove.exchange(0);
}

SdlPresenterData* presenterData(ScreenState& screen) {
  if (screen.presenter != &kSdlPresenter) return nullptr;
  return static_cast<SdlPresenterData*>(screen.presenter_data);
}

bool onPresenterThread(const SdlPresenterData& data) {
  return std::this_thread::get_id() == data.thread_id;
}

// ---- The picture ----

// The largest rectangle of the picture's aspect that fits the output, centred.
SDL_Rect fittedRect(int picture_width, int picture_height, int out_width, int out_height) {
  int64_t across = static_cast<int64_t>(out_width) * picture_height;
  int64_t down = static_cast<int64_t>(out_height) * picture_width;
  SDL_Rect fitted{0, 0, out_width, out_height};
  if (across > down) {
    fitted.w = static_cast<int>(down / picture_height);  // bars left and right
  } else {
    fitted.h = static_cast<int>(across / picture_width);  // bars above and below
  }
  fitted.x = (out_width - fitted.w) / 2;
  fitted.y = (out_height - fitted.h) / 2;
  return fitted;
}

// Marks rows first..last (clamped to the screen) changed, for the presenter thread's next turn.
void markRows(ScreenState& screen, int first_row, int last_row) {
  Guard hold(screen.lock);
  int first = first_row < 0 ? 0 : first_row;
  int last = last_row >= screen.height ? screen.height - 1 : last_row;
  for (int row = first; row <= last; ++row) screen.row_changed[static_cast<size_t>(row)] = 1;
}

// ---- Events ----

void toggleFullScreen(SdlPresenterData& data) {
  data.full_screen = !data.full_screen;
  SDL_SetWindowFullscreen(data.parts.window, data.full_screen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  data.redraw = true;
}

void handleKeyDown(ScreenState& screen, SdlPresenterData& data, const SDL_Keysym& key) {
  bool alt_enter = (key.sym == SDLK_RETURN || key.sym == SDLK_KP_ENTER) && (key.mod & KMOD_ALT);
  if (alt_enter) {
    if ((screen.flags & kScreenNoToggle) == 0) toggleFullScreen(data);
    return;
  }
  if (int code = sdlKeyDownCode(key)) postKey(code);
}

void handleWindowEvent(SdlPresenterData& data, const SDL_WindowEvent& event) {
  switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:  // the close button: a key, and the window stays
      postKey(kCloseKeyCode);
      break;
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_RESTORED:
      data.redraw = true;
      break;
    default:
      break;
  }
}

// ---- Mouse ----

// A window position in screen pixels. While the presenter's own present routine draws the
// picture, it is the aspect-kept rectangle sdlRenderPicture fills; once the routine is redirected
// its owner draws the picture where it likes and hands events on in screen pixels already.
void toScreenPixels(ScreenState& screen, SdlPresenterData& data, int* x, int* y) {
  {
    Guard hold(screen.lock);
    if (screen.present != sdlPresentRows) return;
  }
  int width = 0;
  int height = 0;
  SDL_GetWindowSize(data.parts.window, &width, &height);
  SDL_Rect picture = fittedRect(screen.width, screen.height, width, height);
  if (picture.w <= 0 || picture.h <= 0) return;
  *x = static_cast<int>(int64_t{*x - picture.x} * screen.width / picture.w);
  *y = static_cast<int>(int64_t{*y - picture.y} * screen.height / picture.h);
}

void postSdlMouse(ScreenState& screen, SdlPresenterData& data, MouseEvent event) {
  toScreenPixels(screen, data, &event.x, &event.y);
  postMouseOnScreen(event);
}

// Left, middle and right keep SDL's numbers (1, 2, 3); other buttons post nothing. The second
// press of a left double click posts the press and then the double click.
void handleMouseButton(ScreenState& screen, SdlPresenterData& data,
                       const SDL_MouseButtonEvent& button) {
  if (button.button < SDL_BUTTON_LEFT || button.button > SDL_BUTTON_RIGHT) return;
  MouseEvent event;
  event.kind = button.state == SDL_PRESSED ? MouseKind::kPress : MouseKind::kRelease;
  event.x = button.x;
  event.y = button.y;
  event.button = button.button;
  postSdlMouse(screen, data, event);
  if (event.kind == MouseKind::kPress && button.button == SDL_BUTTON_LEFT && button.clicks == 2) {
    event.kind = MouseKind::kDoubleClick;
    postSdlMouse(screen, data, event);
  }
}

// Vertical notches only, above 0 away from the user whichever way the system flips them.
void handleMouseWheel(ScreenState& screen, SdlPresenterData& data,
                      const SDL_MouseWheelEvent& wheel) {
  int notches = wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -wheel.y : wheel.y;
  if (notches == 0) return;
  MouseEvent event;
  event.kind = MouseKind::kWheel;
  event.x = wheel.mouseX;
  event.y = wheel.mouseY;
  event.button = 0;
  event.wheel = notches;
  postSdlMouse(screen, data, event);
}

void handleMouseMotion(ScreenState& screen, SdlPresenterData& data,
                       const SDL_MouseMotionEvent& motion) {
  MouseEvent event;
  event.kind = MouseKind::kMove;
  event.x = motion.x;
  event.y = motion.y;
  event.button = 0;
  postSdlMouse(screen, data, event);
}

// A key that goes down is held from its event on, before anything else sees the event: the
// keyboard state read after the events would miss a press and release that come in one turn.
// The next refresh then follows the keyboard state again, focused or not.
void holdKeyOfEvent(SdlPresenterData& data, const SDL_Event& event) {
  if (event.type != SDL_KEYDOWN || event.key.repeat != 0) return;
  if (int code = sdlHeldScancode(event.key.keysym.scancode)) {
    setKeyHeld(code, true);
    data.had_focus = true;
  }
}

// Without the lock: polling reads the window system, and each handler takes the lock for the
// little it changes (posting a key, holding one).
void pollEvents(ScreenState& screen, SdlPresenterData& data) {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    holdKeyOfEvent(data, event);
    SdlEventHook hook = eventHook().load();
    if (hook != nullptr && hook(screen, event)) continue;
    sdlDefaultEvent(screen, event);
  }
}

// Held flags follow SDL's keyboard state while the window has the focus; on losing it they are
// all released, since the key-ups will go to another window. They change together, under the lock.
void refreshKeysHeld(ScreenState& screen, SdlPresenterData& data) {
  bool focused = (SDL_GetWindowFlags(data.parts.window) & SDL_WINDOW_INPUT_FOCUS) != 0;
  if (!focused && !data.had_focus) return;
  data.had_focus = focused;
  bool held[kScancodes] = {};
  if (focused) sdlHeldKeys(SDL_GetKeyboardState(nullptr), held);
  Guard hold(screen.lock);
  for (int code = 0; code < kScancodes; ++code) setKeyHeld(code, held[code]);
}

// ---- The presenter thread ----

void applyMouseRequest(SdlPresenterData& data) {
  if (!data.mouse_request.exchange(false)) return;
  // SDL hides the cursor only over its own windows: outside the client area it stays an arrow.
  SDL_ShowCursor(data.mouse_visible.load() != 0 ? SDL_ENABLE : SDL_DISABLE);
}

void applyWindowTitle(ScreenState& screen, SdlPresenterData& data) {
  std::string title;
  if (takeWindowTitle(screen, &title)) SDL_SetWindowTitle(data.parts.window, title.c_str());
}

// The loop's turn: show what changed, then let the window speak. The changed rows and the present
// routine are taken under the lock; the routine copies the rows out under it and shows them
// without it.
void serviceWindow(ScreenState& screen, SdlPresenterData& data) {
  int first = 0;
  int last = 0;
  PresentRoutine present = nullptr;
  if (takePresentWork(screen, &first, &last, &present)) {
    present(screen, first, last);
  } else if (data.redraw) {
    sdlRenderPicture(screen);
  }
  pollEvents(screen, data);
  refreshKeysHeld(screen, data);
  applyMouseRequest(data);
  applyWindowTitle(screen, data);
}

void runLoop(ScreenState& screen, SdlPresenterData& data) {
  // The texture starts undefined: show the whole frame buffer once.
  PresentRoutine present = nullptr;
  {
    Guard hold(screen.lock);
    present = screen.present;
  }
  if (present != nullptr) present(screen, 0, screen.height - 1);
  while (!screen.quit.load()) {
    serviceWindow(screen, data);
    std::this_thread::sleep_for(std::chrono::milliseconds(kLoopSleepMilliseconds));
  }
}

// The X11 window when SDL runs on X11 (the handle anything outside SDL can address the window
// by); on other video systems SDL's window id, which is never 0.
uintptr_t nativeHandle(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
#if defined(SDL_VIDEO_DRIVER_X11)
  if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
    return static_cast<uintptr_t>(info.info.x11.window);
  }
#endif
  return SDL_GetWindowID(window);
}

bool createWindowParts(ScreenState& screen, SdlPresenterData& data) {
  Uint32 window_flags = SDL_WINDOW_SHOWN;
  data.full_screen = (screen.flags & kScreenFullScreen) != 0;
  if (data.full_screen) window_flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  window_flags = takeCreationFlags(window_flags);
  SdlWindowParts& parts = data.parts;
  parts.window = SDL_CreateWindow(kWindowTitle, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                  screen.width, screen.height, window_flags);
  if (parts.window == nullptr) return false;
  parts.renderer = SDL_CreateRenderer(parts.window, -1, 0);
  if (parts.renderer == nullptr) {
    parts.renderer = SDL_CreateRenderer(parts.window, -1, SDL_RENDERER_SOFTWARE);
  }
  if (parts.renderer == nullptr) return false;
  parts.texture = SDL_CreateTexture(parts.renderer, data.layout.texture_format,
                                    SDL_TEXTUREACCESS_STREAMING, screen.width, screen.height);
  return parts.texture != nullptr;
}

void destroyWindowParts(SdlPresenterData& data) {
  SdlWindowParts& parts = data.parts;
  if (parts.texture != nullptr) SDL_DestroyTexture(parts.texture);
  if (parts.renderer != nullptr) SDL_DestroyRenderer(parts.renderer);
  if (parts.window != nullptr) SDL_DestroyWindow(parts.window);
  parts = SdlWindowParts{};
}

void reportStart(SdlPresenterData& data, StartState state) {
  std::lock_guard<std::mutex> hold(data.start_mutex);
  data.start_state = state;
  data.start_changed.notify_all();
}

// Presenter thread: SDL from start to end. The caller's thread waits in sdlOpen until the
// window is ready or has failed, so screen.window and screen.present are set before it goes on.
void presenterThread(ScreenState* screen, SdlPresenterData* data) {
  data->thread_id = std::this_thread::get_id();
  std::string reason;
  if (!startSdlVideo(&reason)) {
    if (!reason.empty()) reportNoWindow("cannot open the display", reason);
    reportStart(*data, StartState::kFailed);
    return;
  }
  recordDesktop();
  bool ready = createWindowParts(*screen, *data);
  if (!ready) reportNoWindow("cannot make a window on the display", SDL_GetError());
  if (ready) {
    SDL_StartTextInput();
    uintptr_t handle = nativeHandle(data->parts.window);
    Guard hold(screen->lock);
    screen->window = handle;
    screen->present = sdlPresentRows;
  }
  reportStart(*data, ready ? StartState::kReady : StartState::kFailed);
  if (ready) runLoop(*screen, *data);
  destroyWindowParts(*data);
  SDL_Quit();
  // The window's key-ups will never arrive now.
  for (int code = 0; code < kScancodes; ++code) setKeyHeld(code, false);
}

StartState waitForStart(SdlPresenterData& data) {
  std::unique_lock<std::mutex> hold(data.start_mutex);
  data.start_changed.wait(hold, [&data] { return data.start_state != StartState::kStarting; });
  return data.start_state;
}

void forgetPresenter(ScreenState& screen, SdlPresenterData* data) {
  delete data;
  screen.presenter_data = nullptr;
  screen.window = 0;
  screen.present = nullptr;
  setPresenterRunning(false);
}

// Caller's thread, screen state filled in.
int sdlOpen(ScreenState& screen) {
  PixelLayout layout;
  if ((screen.flags & kScreenOpenGL) != 0 || !choosePixelLayout(screen, &layout)) {
    return kCannotOpen;
  }
  setPresenterRunning(true);  // waits for a desktop probe still running
  auto* data = new SdlPresenterData;
  data->layout = layout;
  data->mouse_visible = screen.mouse_visible;
  screen.presenter_data = data;
  screen.quit = false;
  screen.thread = std::thread(presenterThread, &screen, data);
  if (waitForStart(*data) == StartState::kReady) return 0;
  screen.thread.join();
  forgetPresenter(screen, data);
  return kCannotOpen;
}

// Caller's thread, lock not held.
void sdlClose(ScreenState& screen) {
  auto* data = presenterData(screen);
  if (data == nullptr) return;
  screen.quit = true;
  if (screen.thread.joinable()) screen.thread.join();
  screen.quit = false;
  forgetPresenter(screen, data);
}

// Caller's thread: the presenter thread applies the request on its next turn.
void sdlShowMouse(ScreenState& screen) {
  auto* data = presenterData(screen);
  if (data == nullptr || screen.mouse_visible < 0) return;
  data->mouse_visible = screen.mouse_visible > 0 ? 1 : 0;
  data->mouse_request = true;
}

}  // namespace

const Presenter kSdlPresenter = {
    "SDL", sdlDesktopMode, sdlOpen, sdlClose, sdlShowMouse, /*gives_keys=*/true,
};

SdlEventHook setSdlEventHook(SdlEventHook hook) { return eventHook().exchange(hook); }

void setSdlCreationFlags(uint32_t add, uint32_t remove) {
  creationFlags().add = add;
  creationFlags().remove = remove;
}

void sdlDefaultEvent(ScreenState& screen, const SDL_Event& event) {
  auto* data = presenterData(screen);
  if (data == nullptr) return;
  switch (event.type) {
    case SDL_QUIT:  // asked to end from outside the window (the session, the desktop)
      postKey(kCloseKeyCode);
      break;
    case SDL_WINDOWEVENT:
      handleWindowEvent(*data, event.window);
      break;
    case SDL_KEYDOWN:
      handleKeyDown(screen, *data, event.key.keysym);
      break;
    case SDL_TEXTINPUT:
      sdlPostText(event.text.text);
      break;
    case SDL_MOUSEMOTION:
      handleMouseMotion(screen, *data, event.motion);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      handleMouseButton(screen, *data, event.button);
      break;
    case SDL_MOUSEWHEEL:
      handleMouseWheel(screen, *data, event.wheel);
      break;
    default:
      break;
  }
}

SdlWindowParts sdlWindowParts(ScreenState& screen) {
  auto* data = presenterData(screen);
  return data != nullptr ? data->parts : SdlWindowParts{};
}

// The rows are copied out of the frame buffer under the lock; the texture takes them without it.
void sdlUploadRows(ScreenState& screen, int first_row, int last_row) {
  auto* data = presenterData(screen);
  if (data == nullptr || data->parts.texture == nullptr) return;
  int first = first_row < 0 ? 0 : first_row;
  int last = last_row >= screen.height ? screen.height - 1 : last_row;
  if (first > last) return;
  int count = last - first + 1;
  {
    Guard hold(screen.lock);
    copyTextureRows(screen, data->layout.widening, first, count, &data->rows);
  }
  SDL_Rect rows{0, first, screen.width, count};
  SDL_UpdateTexture(data->parts.texture, &rows, data->rows.words.data(), data->rows.pitch);
}

void sdlRenderPicture(ScreenState& screen) {
  auto* data = presenterData(screen);
  if (data == nullptr || data->parts.renderer == nullptr) return;
  SDL_Renderer* renderer = data->parts.renderer;
  int out_width = 0;
  int out_height = 0;
  if (SDL_GetRendererOutputSize(renderer, &out_width, &out_height) != 0) return;
  SDL_Rect target = fittedRect(screen.width, screen.height, out_width, out_height);
  SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
  SDL_RenderClear(renderer);
  SDL_RenderCopy(renderer, data->parts.texture, nullptr, &target);
  SDL_RenderPresent(renderer);
  data->redraw = false;
}

void sdlPresentRows(ScreenState& screen, int first_row, int last_row) {
  auto* data = presenterData(screen);
  if (data == nullptr) return;
  if (!onPresenterThread(*data)) {
    markRows(screen, first_row, last_row);
    return;
  }
  sdlUploadRows(screen, first_row, last_row);
  sdlRenderPicture(screen);
}
