// The "SDL" presenter: a real window owned by the presenter thread, which makes every SDL call.
// Receives the screen's frame buffer and changed rows under the presenter's lock; hands on the
// picture to the window, and key presses, the close button and held keys to the keyboard.
#include "runtime/presenter_sdl.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "runtime/keyboard.h"
#include "runtime/screen.h"
#include "runtime/screen_state.h"

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr const char* kWindowTitle = "Kestrune Player";
constexpr int kLoopSleepMilliseconds = 10;
constexpr int kCannotOpen = 2;

// How the frame buffer's bytes become texture pixels. 24- and 32-bit pixels have SDL formats
// with the same memory layout and are copied as they are. 15- and 16-bit pixels are widened to
// 8 bits a channel here, by repeating each channel's top bits, because SDL's own conversion
// shows full green (63) as 254: white would not be white. Depths of 8 and below (one byte a
// pixel, no palette in the screen) are shown as grey levels.
enum class Widening { kNone, kFrom565, kFrom555, kGreyLevels };

struct PixelLayout {
  Uint32 texture_format = SDL_PIXELFORMAT_UNKNOWN;
  Widening widening = Widening::kNone;
};

enum class StartState { kStarting, kReady, kFailed };

// Everything the presenter keeps per open screen (screen.presenter_data). The SDL objects and the
// flags below them belong to the presenter thread; the start handshake and the mouse request are
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
  std::vector<uint32_t> widened;  // rows of 0x00RRGGBB words, when the depth needs widening
  bool redraw = false;            // the window lost its picture (exposed, resized)
  bool had_focus = false;
  bool full_screen = false;
};

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

// ---- SDL start and the desktop ----

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

// Starts SDL's video on the calling thread; false when no display can be opened. The dummy and
// offscreen drivers do not count: a window nobody sees would also never deliver a key. When SDL
// cannot start, its reason goes to *reason (if given). SDL_VIDEODRIVER, when set, chooses the
// driver as usual.
bool startSdlVideo(std::string* reason = nullptr) {
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

// Says on standard error, once a process, that the screen goes on without a window although the
// environment names a display, what failed and SDL's reason; the next presenter (no window) then
// serves the screen. Quiet when no display is named: no window is then what was asked for.
void reportNoWindow(const char* failure, const std::string& reason) {
  static std::atomic<bool> said{false};
  std::string names = namedDisplays();
  if (names.empty() || said.exchange(true)) return;
  std::fprintf(stderr, "Playing without a window: %s %s (%s)\n", failure, names.c_str(),
               reason.c_str());
  std::fflush(stderr);
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

// Caller's thread.
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

// ---- Pixels ----

bool choosePixelLayout(const ScreenState& screen, PixelLayout* layout) {
  int depth = screen.depth;
  int bytes = screen.bytes_per_pixel;
  layout->texture_format = SDL_PIXELFORMAT_RGB888;  // 0x00RRGGBB little-endian words
  if (depth == 15 && bytes == 2) {
    layout->widening = Widening::kFrom555;
  } else if (depth == 16 && bytes == 2) {
    layout->widening = Widening::kFrom565;
  } else if (depth == 24 && bytes == 3) {
    layout->texture_format = SDL_PIXELFORMAT_BGR24;  // bytes blue, green, red, like a DIB
  } else if (depth == 32 && bytes == 4) {
    layout->widening = Widening::kNone;
  } else if (depth <= 8 && bytes == 1) {
    layout->widening = Widening::kGreyLevels;
  } else {
    return false;
  }
  return true;
}

// A channel of the given bits widened to 8: its top bits fill the low end, so 0 stays 0 and
// the top value becomes 255.
uint32_t widen(uint32_t value, int bits) {
  return (value << (8 - bits)) | (value >> (2 * bits - 8));
}

uint32_t rgbWord(uint32_t r, uint32_t g, uint32_t b) { return (r << 16) | (g << 8) | b; }

uint32_t fromPixel565(uint16_t pixel) {
  return rgbWord(widen(pixel >> 11, 5), widen((pixel >> 5) & 0x3F, 6), widen(pixel & 0x1F, 5));
}

uint32_t fromPixel555(uint16_t pixel) {
  return rgbWord(widen((pixel >> 10) & 0x1F, 5), widen((pixel >> 5) & 0x1F, 5),
                 widen(pixel & 0x1F, 5));
}

// The top index is white.
uint32_t fromGreyLevel(uint8_t index, int depth) {
  uint32_t top = (1u << depth) - 1;
  uint32_t grey = (index & top) * 255 / top;
  return rgbWord(grey, grey, grey);
}

template <typename Widen>
void widenPixels16(const uint8_t* source, int width, uint32_t* out, Widen widen_pixel) {
  for (int x = 0; x < width; ++x) {
    uint16_t pixel = 0;
    std::memcpy(&pixel, source + x * 2, sizeof pixel);  // little-endian, maybe unaligned
    out[x] = widen_pixel(pixel);
  }
}

// One frame-buffer row as 0x00RRGGBB words.
void widenRow(const uint8_t* source, const ScreenState& screen, Widening widening, uint32_t* out) {
  if (widening == Widening::kFrom565) {
    widenPixels16(source, screen.width, out, fromPixel565);
  } else if (widening == Widening::kFrom555) {
    widenPixels16(source, screen.width, out, fromPixel555);
  } else {
    for (int x = 0; x < screen.width; ++x) out[x] = fromGreyLevel(source[x], screen.depth);
  }
}

// Copies rows first..last into the texture, widened first when the layout asks for it.
void uploadSpan(ScreenState& screen, SdlPresenterData& data, int first, int last) {
  SDL_Rect rows{0, first, screen.width, last - first + 1};
  const uint8_t* source = screen.pixels.data() + static_cast<size_t>(first) * screen.pitch;
  if (data.layout.widening == Widening::kNone) {
    SDL_UpdateTexture(data.parts.texture, &rows, source, screen.pitch);
    return;
  }
  size_t row_words = static_cast<size_t>(screen.width);
  data.widened.resize(row_words * rows.h);
  for (int row = 0; row < rows.h; ++row) {
    widenRow(source + static_cast<size_t>(row) * screen.pitch, screen, data.layout.widening,
             data.widened.data() + row * row_words);
  }
  SDL_UpdateTexture(data.parts.texture, &rows, data.widened.data(),
                    static_cast<int>(row_words * 4));
}

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

bool onPresenterThread(const SdlPresenterData& data) {
  return std::this_thread::get_id() == data.thread_id;
}

// ---- Keys ----

struct ScancodePair {
  SDL_Scancode sdl;
  uint8_t code;
};

// SDL's scancodes (USB usage numbers) to the PC's set-1 scancodes used by the key-held flags.
// Keys that set 1 sends with an E0 prefix share the flag of the key they extend (right Ctrl with
// left Ctrl, the arrows with keypad 8, 4, 6 and 2), as in the Windows scancode-to-key table.
// clang-format off
constexpr ScancodePair kHeldScancodes[] = {
    {SDL_SCANCODE_ESCAPE, 0x01},         {SDL_SCANCODE_1, 0x02},
    {SDL_SCANCODE_2, 0x03},              {SDL_SCANCODE_3, 0x04},
    {SDL_SCANCODE_4, 0x05},              {SDL_SCANCODE_5, 0x06},
    {SDL_SCANCODE_6, 0x07},              {SDL_SCANCODE_7, 0x08},
    {SDL_SCANCODE_8, 0x09},              {SDL_SCANCODE_9, 0x0A},
    {SDL_SCANCODE_0, 0x0B},              {SDL_SCANCODE_MINUS, 0x0C},
    {SDL_SCANCODE_EQUALS, 0x0D},         {SDL_SCANCODE_BACKSPACE, 0x0E},
    {SDL_SCANCODE_TAB, 0x0F},            {SDL_SCANCODE_Q, 0x10},
    {SDL_SCANCODE_W, 0x11},              {SDL_SCANCODE_E, 0x12},
    {SDL_SCANCODE_R, 0x13},              {SDL_SCANCODE_T, 0x14},
    {SDL_SCANCODE_Y, 0x15},              {SDL_SCANCODE_U, 0x16},
    {SDL_SCANCODE_I, 0x17},              {SDL_SCANCODE_O, 0x18},
    {SDL_SCANCODE_P, 0x19},              {SDL_SCANCODE_LEFTBRACKET, 0x1A},
    {SDL_SCANCODE_RIGHTBRACKET, 0x1B},   {SDL_SCANCODE_RETURN, 0x1C},
    {SDL_SCANCODE_KP_ENTER, 0x1C},       {SDL_SCANCODE_LCTRL, 0x1D},
    {SDL_SCANCODE_RCTRL, 0x1D},          {SDL_SCANCODE_A, 0x1E},
    {SDL_SCANCODE_S, 0x1F},              {SDL_SCANCODE_D, 0x20},
    {SDL_SCANCODE_F, 0x21},              {SDL_SCANCODE_G, 0x22},
    {SDL_SCANCODE_H, 0x23},              {SDL_SCANCODE_J, 0x24},
    {SDL_SCANCODE_K, 0x25},              {SDL_SCANCODE_L, 0x26},
    {SDL_SCANCODE_SEMICOLON, 0x27},      {SDL_SCANCODE_APOSTROPHE, 0x28},
    {SDL_SCANCODE_GRAVE, 0x29},          {SDL_SCANCODE_LSHIFT, 0x2A},
    {SDL_SCANCODE_BACKSLASH, 0x2B},      {SDL_SCANCODE_NONUSHASH, 0x2B},
    {SDL_SCANCODE_Z, 0x2C},              {SDL_SCANCODE_X, 0x2D},
    {SDL_SCANCODE_C, 0x2E},              {SDL_SCANCODE_V, 0x2F},
    {SDL_SCANCODE_B, 0x30},              {SDL_SCANCODE_N, 0x31},
    {SDL_SCANCODE_M, 0x32},              {SDL_SCANCODE_COMMA, 0x33},
    {SDL_SCANCODE_PERIOD, 0x34},         {SDL_SCANCODE_SLASH, 0x35},
    {SDL_SCANCODE_KP_DIVIDE, 0x35},      {SDL_SCANCODE_RSHIFT, 0x36},
    {SDL_SCANCODE_KP_MULTIPLY, 0x37},    {SDL_SCANCODE_PRINTSCREEN, 0x37},
    {SDL_SCANCODE_LALT, 0x38},           {SDL_SCANCODE_RALT, 0x38},
    {SDL_SCANCODE_SPACE, 0x39},          {SDL_SCANCODE_CAPSLOCK, 0x3A},
    {SDL_SCANCODE_F1, 0x3B},             {SDL_SCANCODE_F2, 0x3C},
    {SDL_SCANCODE_F3, 0x3D},             {SDL_SCANCODE_F4, 0x3E},
    {SDL_SCANCODE_F5, 0x3F},             {SDL_SCANCODE_F6, 0x40},
    {SDL_SCANCODE_F7, 0x41},             {SDL_SCANCODE_F8, 0x42},
    {SDL_SCANCODE_F9, 0x43},             {SDL_SCANCODE_F10, 0x44},
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x45},   {SDL_SCANCODE_SCROLLLOCK, 0x46},
    {SDL_SCANCODE_KP_7, 0x47},           {SDL_SCANCODE_HOME, 0x47},
    {SDL_SCANCODE_KP_8, 0x48},           {SDL_SCANCODE_UP, 0x48},
    {SDL_SCANCODE_KP_9, 0x49},           {SDL_SCANCODE_PAGEUP, 0x49},
    {SDL_SCANCODE_KP_MINUS, 0x4A},       {SDL_SCANCODE_KP_4, 0x4B},
    {SDL_SCANCODE_LEFT, 0x4B},           {SDL_SCANCODE_KP_5, 0x4C},
    {SDL_SCANCODE_KP_6, 0x4D},           {SDL_SCANCODE_RIGHT, 0x4D},
    {SDL_SCANCODE_KP_PLUS, 0x4E},        {SDL_SCANCODE_KP_1, 0x4F},
    {SDL_SCANCODE_END, 0x4F},            {SDL_SCANCODE_KP_2, 0x50},
    {SDL_SCANCODE_DOWN, 0x50},           {SDL_SCANCODE_KP_3, 0x51},
    {SDL_SCANCODE_PAGEDOWN, 0x51},       {SDL_SCANCODE_KP_0, 0x52},
    {SDL_SCANCODE_INSERT, 0x52},         {SDL_SCANCODE_KP_PERIOD, 0x53},
    {SDL_SCANCODE_DELETE, 0x53},         {SDL_SCANCODE_NONUSBACKSLASH, 0x56},
    {SDL_SCANCODE_F11, 0x57},            {SDL_SCANCODE_F12, 0x58},
    {SDL_SCANCODE_LGUI, 0x5B},           {SDL_SCANCODE_RGUI, 0x5C},
    {SDL_SCANCODE_APPLICATION, 0x5D},
};
// clang-format on

// Keys that type no text post 255 with an extended code above it, the code a PC console program
// reads after its 0 or 0xE0 prefix: the key's set-1 scancode ("H" for Up, ";" for F1, "S" for
// Delete), except F11 and F12, whose console codes are 0x85 and 0x86.
constexpr ScancodePair kExtendedKeys[] = {
    {SDL_SCANCODE_F1, 0x3B},     {SDL_SCANCODE_F2, 0x3C},       {SDL_SCANCODE_F3, 0x3D},
    {SDL_SCANCODE_F4, 0x3E},     {SDL_SCANCODE_F5, 0x3F},       {SDL_SCANCODE_F6, 0x40},
    {SDL_SCANCODE_F7, 0x41},     {SDL_SCANCODE_F8, 0x42},       {SDL_SCANCODE_F9, 0x43},
    {SDL_SCANCODE_F10, 0x44},    {SDL_SCANCODE_F11, 0x85},      {SDL_SCANCODE_F12, 0x86},
    {SDL_SCANCODE_HOME, 0x47},   {SDL_SCANCODE_UP, 0x48},       {SDL_SCANCODE_PAGEUP, 0x49},
    {SDL_SCANCODE_LEFT, 0x4B},   {SDL_SCANCODE_RIGHT, 0x4D},    {SDL_SCANCODE_END, 0x4F},
    {SDL_SCANCODE_DOWN, 0x50},   {SDL_SCANCODE_PAGEDOWN, 0x51}, {SDL_SCANCODE_INSERT, 0x52},
    {SDL_SCANCODE_DELETE, 0x53},
};

// With Num Lock off the keypad types no digits and acts as the navigation keys it is marked with.
constexpr ScancodePair kKeypadNavigation[] = {
    {SDL_SCANCODE_KP_7, 0x47},      {SDL_SCANCODE_KP_8, 0x48}, {SDL_SCANCODE_KP_9, 0x49},
    {SDL_SCANCODE_KP_4, 0x4B},      {SDL_SCANCODE_KP_6, 0x4D}, {SDL_SCANCODE_KP_1, 0x4F},
    {SDL_SCANCODE_KP_2, 0x50},      {SDL_SCANCODE_KP_3, 0x51}, {SDL_SCANCODE_KP_0, 0x52},
    {SDL_SCANCODE_KP_PERIOD, 0x53},
};

template <size_t N>
int findCode(const ScancodePair (&table)[N], SDL_Scancode scancode) {
  for (const ScancodePair& pair : table) {
    if (pair.sdl == scancode) return pair.code;
  }
  return 0;
}

int extendedKey(int code) { return 255 | (code << 8); }

// The key code a key-down posts, 0 when it posts none (its text arrives as SDL_TEXTINPUT, or
// it is a modifier). Control characters come from here because SDL sends no text for them.
int keyDownCode(const SDL_Keysym& key) {
  switch (key.sym) {
    case SDLK_ESCAPE:
      return 27;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return 13;
    case SDLK_BACKSPACE:
      return 8;
    case SDLK_TAB:
      return 9;
    default:
      break;
  }
  bool control = (key.mod & KMOD_CTRL) != 0 && (key.mod & KMOD_ALT) == 0;
  if (control && key.sym >= SDLK_a && key.sym <= SDLK_z) return key.sym - SDLK_a + 1;
  if (int code = findCode(kExtendedKeys, key.scancode)) return extendedKey(code);
  if ((key.mod & KMOD_NUM) == 0) {
    if (int code = findCode(kKeypadNavigation, key.scancode)) return extendedKey(code);
  }
  return 0;
}

// Decodes UTF-8 text and posts each character that Latin-1 holds; others cannot be expressed
// in a one-byte key code and are dropped, as are malformed bytes.
void postText(const char* text) {
  const auto* byte = reinterpret_cast<const unsigned char*>(text);
  while (*byte != 0) {
    int length = *byte < 0x80 ? 1 : (*byte >> 5) == 6 ? 2 : (*byte >> 4) == 14 ? 3 : 4;
    int character = length == 1 ? *byte : length == 2 ? *byte & 0x1F : -1;
    for (int i = 1; i < length; ++i) {
      if ((byte[i] & 0xC0) != 0x80) {
        character = -1;
        length = i;
        break;
      }
      if (character >= 0) character = (character << 6) | (byte[i] & 0x3F);
    }
    if (character >= 0 && character < 256) postKey(character);
    byte += length;
  }
}

// Held flags follow SDL's keyboard state while the window has the focus; on losing it they are
// all released, since the key-ups will go to another window.
void refreshKeysHeld(SdlPresenterData& data) {
  bool focused = (SDL_GetWindowFlags(data.parts.window) & SDL_WINDOW_INPUT_FOCUS) != 0;
  if (!focused && !data.had_focus) return;
  data.had_focus = focused;
  bool held[kScancodes] = {};
  if (focused) {
    const Uint8* state = SDL_GetKeyboardState(nullptr);
    for (const ScancodePair& pair : kHeldScancodes) held[pair.code] |= state[pair.sdl] != 0;
  }
  for (int code = 0; code < kScancodes; ++code) setKeyHeld(code, held[code]);
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
  if (int code = keyDownCode(key)) postKey(code);
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

// A key that goes down is held from its event on, before anything else sees the event: the
// keyboard state read after the events would miss a press and release that come in one turn.
// The next refresh then follows the keyboard state again, focused or not.
void holdKeyOfEvent(SdlPresenterData& data, const SDL_Event& event) {
  if (event.type != SDL_KEYDOWN || event.key.repeat != 0) return;
  if (int code = findCode(kHeldScancodes, event.key.keysym.scancode)) {
    setKeyHeld(code, true);
    data.had_focus = true;
  }
}

void pollEvents(ScreenState& screen, SdlPresenterData& data) {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    holdKeyOfEvent(data, event);
    SdlEventHook hook = eventHook().load();
    if (hook != nullptr && hook(screen, event)) continue;
    sdlDefaultEvent(screen, event);
  }
}

// ---- The presenter thread ----

void applyMouseRequest(SdlPresenterData& data) {
  if (!data.mouse_request.exchange(false)) return;
  // SDL hides the cursor only over its own windows: outside the client area it stays an arrow.
  SDL_ShowCursor(data.mouse_visible.load() != 0 ? SDL_ENABLE : SDL_DISABLE);
}

// The loop's turn, lock held: show what changed, then let the window speak.
void serviceWindow(ScreenState& screen, SdlPresenterData& data) {
  int first = 0;
  int last = 0;
  if (takeChangedRows(screen, &first, &last) && screen.present != nullptr) {
    screen.present(screen, first, last);
  } else if (data.redraw) {
    sdlRenderPicture(screen);
  }
  pollEvents(screen, data);
  refreshKeysHeld(data);
  applyMouseRequest(data);
}

void runLoop(ScreenState& screen, SdlPresenterData& data) {
  {
    // The texture starts undefined: show the whole frame buffer once.
    Guard hold(screen.lock);
    if (screen.present != nullptr) screen.present(screen, 0, screen.height - 1);
  }
  while (!screen.quit.load()) {
    {
      Guard hold(screen.lock);
      serviceWindow(screen, data);
    }
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
    screen->window = nativeHandle(data->parts.window);
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
      postText(event.text.text);
      break;
    default:  // mouse and the rest: nothing to do yet
      break;
  }
}

SdlWindowParts sdlWindowParts(ScreenState& screen) {
  auto* data = presenterData(screen);
  return data != nullptr ? data->parts : SdlWindowParts{};
}

void sdlUploadRows(ScreenState& screen, int first_row, int last_row) {
  auto* data = presenterData(screen);
  if (data == nullptr || data->parts.texture == nullptr) return;
  int first = first_row < 0 ? 0 : first_row;
  int last = last_row >= screen.height ? screen.height - 1 : last_row;
  if (first > last) return;
  uploadSpan(screen, *data, first, last);
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
    int first = first_row < 0 ? 0 : first_row;
    int last = last_row >= screen.height ? screen.height - 1 : last_row;
    for (int row = first; row <= last; ++row) screen.row_changed[static_cast<size_t>(row)] = 1;
    return;
  }
  sdlUploadRows(screen, first_row, last_row);
  sdlRenderPicture(screen);
}
