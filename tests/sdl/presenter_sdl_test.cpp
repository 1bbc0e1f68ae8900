// The "SDL" presenter in a real X server (Xvfb, 1280x1024 at 24 bits): opens its window, shows
// the frame buffer there (read back through the X server), turns the close button and key
// events into key codes, keeps no posted key waiting behind an event or a present it is
// handling, and gives way to "Headless" when no display opens.

// clang-format off
// gtest before Xlib, which defines None and Bool as macros that gtest uses as names.
#include <gtest/gtest.h>
#include <SDL.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
// clang-format on

#include "runtime/presenter_sdl.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "runtime/keyboard.h"
#include "runtime/screen.h"
#include "runtime/screen_state.h"
#include "tests/support/runtime_state.h"

namespace {

// The SDL presenter's thread and this test's thread both talk to the X server.
const bool kXlibThreaded = XInitThreads() != 0;

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr double kPatience = 10.0;  // seconds; only a failing test waits this long

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

// X errors (a window not mapped yet, say) are counted instead of ending the process.
int xErrors = 0;
int countXError(Display*, XErrorEvent*) {
  ++xErrors;
  return 0;
}

// The test's own connection to the X server, kept for the whole process: the server resets when
// its last client leaves and refuses connections while it does, so one that stays open keeps it
// steady for SDL's connections too. Only the first connection may meet a reset, so it retries.
Display* testDisplay() {
  static Display* const display = [] {
    Display* opened = nullptr;
    waitUntil([&opened] { return (opened = XOpenDisplay(nullptr)) != nullptr; }, kPatience);
    XSetErrorHandler(countXError);
    return opened;
  }();
  return display;
}

bool windowViewable(Display* display, Window window) {
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, window, &attributes) == 0) return false;
  return attributes.map_state == IsViewable;
}

// The window's pixels as the X server shows them, rows top first; empty when it cannot be read.
std::vector<Rgb> windowPixels(Display* display, Window window, int width, int height) {
  std::vector<Rgb> pixels;
  XImage* image = XGetImage(display, window, 0, 0, width, height, AllPlanes, ZPixmap);
  if (image == nullptr) return pixels;
  EXPECT_EQ(image->red_mask, 0xFF0000u);
  EXPECT_EQ(image->green_mask, 0x00FF00u);
  EXPECT_EQ(image->blue_mask, 0x0000FFu);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      unsigned long value = XGetPixel(image, x, y);
      pixels.push_back({static_cast<int>((value >> 16) & 0xFF),
                        static_cast<int>((value >> 8) & 0xFF), static_cast<int>(value & 0xFF)});
    }
  }
  XDestroyImage(image);
  return pixels;
}

struct Mismatch {
  int count = 0;
  int x = 0, y = 0;
  Rgb seen{}, wanted{};
};

Mismatch compare(const std::vector<Rgb>& seen, const std::vector<Rgb>& wanted) {
  Mismatch result;
  if (seen.size() != wanted.size()) {
    result.count = -1;
    return result;
  }
  for (size_t i = 0; i < seen.size(); ++i) {
    if (seen[i] == wanted[i]) continue;
    if (result.count++ == 0) {
      result.x = static_cast<int>(i % kWidth);
      result.y = static_cast<int>(i / kWidth);
      result.seen = seen[i];
      result.wanted = wanted[i];
    }
  }
  return result;
}

// Waits until the window shows the wanted picture; on failure says where it differs.
void expectWindowShows(Display* display, Window window, const std::vector<Rgb>& wanted) {
  Mismatch last;
  bool shown = waitUntil(
      [&] {
        last = compare(windowPixels(display, window, kWidth, kHeight), wanted);
        return last.count == 0;
      },
      kPatience);
  EXPECT_TRUE(shown) << last.count << " pixels differ; first at (" << last.x << ", " << last.y
                     << "): seen " << last.seen.r << "," << last.seen.g << "," << last.seen.b
                     << ", wanted " << last.wanted.r << "," << last.wanted.g << ","
                     << last.wanted.b;
}

// Eight 5-6-5 colours in 80 x 120 blocks, four across and two down, and what a 24-bit display
// shows for each: every channel widened by repeating its top bits (r8 = r5 << 3 | r5 >> 2,
// g8 = g6 << 2 | g6 >> 4). The channel values are ones where that equals rounding v * 255 / max,
// so the picture is the same whichever way the renderer widens.
struct BlockColour {
  uint16_t pixel;
  Rgb shown;
};
constexpr BlockColour kBlocks[8] = {
    {0xF800, {255, 0, 0}},      // r31 g0 b0
    {0x07E0, {0, 255, 0}},      // r0 g63 b0
    {0x001F, {0, 0, 255}},      // r0 g0 b31
    {0xFFFF, {255, 255, 255}},  // r31 g63 b31
    {0x0000, {0, 0, 0}},        // black
    {0x1234, {16, 69, 165}},    // r2 g17 b20: 16 | 0, 68 | 1, 160 | 5
    {0x8410, {132, 130, 132}},  // r16 g32 b16: 128 | 4, 128 | 2, 128 | 4
    {0xACA9, {173, 150, 74}},   // r21 g37 b9: 168 | 5, 148 | 2, 72 | 2
};
constexpr uint16_t kCyan = 0x07FF;  // r0 g63 b31
constexpr Rgb kCyanShown{0, 255, 255};

bool noRowMarked() {
  ScreenState& screen = screenState();
  std::lock_guard<std::recursive_mutex> hold(screen.lock);
  for (uint8_t marked : screen.row_changed) {
    if (marked != 0) return false;
  }
  return true;
}

int blockOf(int x, int y) { return (y / 120) * 4 + x / 80; }

void writeRows(uint16_t* pixels, int first, int last, uint16_t (*colour)(int x, int y)) {
  for (int y = first; y <= last; ++y) {
    for (int x = 0; x < kWidth; ++x) pixels[y * kWidth + x] = colour(x, y);
  }
}

std::vector<Rgb> blockPicture() {
  std::vector<Rgb> picture;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) picture.push_back(kBlocks[blockOf(x, y)].shown);
  }
  return picture;
}

class SdlPresenterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kXlibThreaded);
    resetRuntimeState();
    setEnvironment("KESTRUNE_DESKTOP", nullptr);
    setEnvironment("SDL_VIDEODRIVER", nullptr);
    ASSERT_NE(testDisplay(), nullptr) << "no X server: run under xvfb-run";
    setPreferredPresenter("sdl");
    xErrors = 0;
  }
  void TearDown() override { resetRuntimeState(); }

  // Opens the 320 x 240 16-bit screen and waits until its window is on the X server.
  Window openWindow() {
    EXPECT_EQ(openScreen(kWidth, kHeight, 16, 1, 0, 0), 0);
    auto window = static_cast<Window>(windowHandle());
    EXPECT_NE(window, 0u);
    EXPECT_TRUE(waitUntil([&] { return windowViewable(testDisplay(), window); }, kPatience));
    return window;
  }
};

TEST_F(SdlPresenterTest, BeforeOpeningScreenInfoGivesTheDesktop) {
  ScreenInfo info = screenInfo();
  EXPECT_EQ(info.width, 1280);
  EXPECT_EQ(info.height, 1024);
  EXPECT_EQ(info.depth, 32);  // 24 colour bits in 32-bit pixels
  EXPECT_EQ(info.bytes_per_pixel, 0);
  EXPECT_EQ(info.pitch, 0);
}

TEST_F(SdlPresenterTest, OpensACentredTitledWindowOfTheScreenSize) {
  Window window = openWindow();
  EXPECT_STREQ(presenterName(), "SDL");
  ScreenInfo info = screenInfo();
  EXPECT_EQ(info.width, 320);
  EXPECT_EQ(info.height, 240);
  EXPECT_EQ(info.depth, 16);
  EXPECT_EQ(info.bytes_per_pixel, 2);
  EXPECT_EQ(info.pitch, 640);
  EXPECT_STREQ(info.presenter, "SDL");

  Display* display = testDisplay();
  XWindowAttributes attributes;
  ASSERT_NE(XGetWindowAttributes(display, window, &attributes), 0);
  EXPECT_EQ(attributes.width, 320);
  EXPECT_EQ(attributes.height, 240);
  int x = -1;
  int y = -1;
  Window child;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
  EXPECT_EQ(x, (1280 - 320) / 2);
  EXPECT_EQ(y, (1024 - 240) / 2);
  char* title = nullptr;
  ASSERT_NE(XFetchName(display, window, &title), 0);
  EXPECT_STREQ(title, "Kestrune Player");
  XFree(title);

  // While the window is open the desktop is still known (from the presenter's own session).
  DisplayMode desktop;
  ASSERT_TRUE(kSdlPresenter.desktop_mode(&desktop));
  EXPECT_EQ(desktop.width, 1280);
  EXPECT_EQ(desktop.height, 1024);
  EXPECT_EQ(xErrors, 0);
}

TEST_F(SdlPresenterTest, ShowsTheFrameBufferAndThenOnlyTheChangedRows) {
  Window window = openWindow();
  lockScreen();
  auto* pixels = static_cast<uint16_t*>(screenPixels());
  ASSERT_NE(pixels, nullptr);
  writeRows(pixels, 0, kHeight - 1, [](int x, int y) { return kBlocks[blockOf(x, y)].pixel; });
  unlockScreen(-1, -1);
  std::vector<Rgb> picture = blockPicture();
  expectWindowShows(testDisplay(), window, picture);
  // The window may show the picture before the loop has taken the marks of this unlock.
  EXPECT_TRUE(waitUntil(noRowMarked, kPatience));

  // Rows 100..139 turn cyan and are marked; row 0 turns white unmarked and must stay as it was.
  lockScreen();
  writeRows(pixels, 100, 139, [](int, int) { return kCyan; });
  writeRows(pixels, 0, 0, [](int, int) { return uint16_t{0xFFFF}; });
  unlockScreen(100, 139);
  for (int i = 100 * kWidth; i < 140 * kWidth; ++i) picture[i] = kCyanShown;
  expectWindowShows(testDisplay(), window, picture);
  EXPECT_EQ(xErrors, 0);
}

// Other depths: the left half of the screen in one pixel value, the right half in another,
// each given as its bytes in memory.
struct DepthCase {
  int depth;
  std::vector<uint8_t> left, right;
  Rgb left_shown, right_shown;
};

TEST_F(SdlPresenterTest, ShowsEveryDepthWithItsOwnPixelLayout) {
  const DepthCase cases[] = {
      // 0x00123456 and 0x00FF8001 as little-endian words.
      {32, {0x56, 0x34, 0x12, 0x00}, {0x01, 0x80, 0xFF, 0x00}, {0x12, 0x34, 0x56}, {255, 128, 1}},
      // Blue, green, red bytes.
      {24, {0x56, 0x34, 0x12}, {0x01, 0x80, 0xFF}, {0x12, 0x34, 0x56}, {255, 128, 1}},
      // 0x0A34 is r2 g17 b20 in 5-5-5: 16 | 0, 136 | 4, 160 | 5; 0x7FFF is white.
      {15, {0x34, 0x0A}, {0xFF, 0x7F}, {16, 140, 165}, {255, 255, 255}},
      // Grey levels: index * 255 / 255.
      {8, {128}, {255}, {128, 128, 128}, {255, 255, 255}},
      // Grey levels: index * 255 / 15.
      {4, {5}, {15}, {85, 85, 85}, {255, 255, 255}},
  };
  for (const DepthCase& test : cases) {
    SCOPED_TRACE(test.depth);
    ASSERT_EQ(openScreen(kWidth, kHeight, test.depth, 1, 0, 0), 0);
    auto window = static_cast<Window>(windowHandle());
    ASSERT_STREQ(presenterName(), "SDL");
    int bytes = screenInfo().bytes_per_pixel;
    ASSERT_EQ(static_cast<size_t>(bytes), test.left.size());
    lockScreen();
    auto* pixels = static_cast<uint8_t*>(screenPixels());
    for (int i = 0; i < kWidth * kHeight; ++i) {
      const std::vector<uint8_t>& value = i % kWidth < kWidth / 2 ? test.left : test.right;
      std::memcpy(pixels + i * bytes, value.data(), value.size());
    }
    unlockScreen(-1, -1);
    std::vector<Rgb> picture;
    for (int i = 0; i < kWidth * kHeight; ++i) {
      picture.push_back(i % kWidth < kWidth / 2 ? test.left_shown : test.right_shown);
    }
    expectWindowShows(testDisplay(), window, picture);
    closeScreen();
  }
}

// Closing the screen destroys the window; the X server then no longer knows it.
TEST_F(SdlPresenterTest, ClosingTheScreenDestroysTheWindow) {
  Window window = openWindow();
  closeScreen();
  EXPECT_EQ(windowHandle(), 0u);
  EXPECT_STREQ(presenterName(), "");
  XWindowAttributes attributes;
  EXPECT_TRUE(waitUntil(
      [&] { return XGetWindowAttributes(testDisplay(), window, &attributes) == 0; }, kPatience));
}

TEST_F(SdlPresenterTest, CloseButtonPostsTheCloseKeyAndTheWindowStays) {
  Window window = openWindow();
  Display* display = testDisplay();
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  ASSERT_NE(XSendEvent(display, window, False, NoEventMask, &event), 0);
  XFlush(display);

  std::string key;
  ASSERT_TRUE(waitUntil([&] { return !(key = readKey()).empty(); }, kPatience));
  EXPECT_EQ(key, std::string("\xFF"
                             "k"));
  EXPECT_STREQ(presenterName(), "SDL");
  EXPECT_TRUE(windowViewable(display, window));
  EXPECT_EQ(readKey(), "");  // posted once, not once more for a quit event
  EXPECT_EQ(xErrors, 0);
}

SDL_Event keyDown(SDL_Scancode scancode, SDL_Keycode sym, Uint16 mod) {
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.state = SDL_PRESSED;
  event.key.keysym.scancode = scancode;
  event.key.keysym.sym = sym;
  event.key.keysym.mod = mod;
  return event;
}

SDL_Event textInput(const char* text) {
  SDL_Event event{};
  event.type = SDL_TEXTINPUT;
  std::strncpy(event.text.text, text, sizeof event.text.text - 1);
  return event;
}

// Reads keys until the text "!" arrives, which ends each batch of events.
std::vector<std::string> keysUntilMark() {
  std::vector<std::string> keys;
  waitUntil(
      [&] {
        for (std::string key = readKey(); !key.empty(); key = readKey()) {
          if (key == "!") return true;
          keys.push_back(key);
        }
        return false;
      },
      kPatience);
  return keys;
}

// Events go into SDL's queue (SDL_PushEvent may be called from any thread) and the presenter
// thread translates them like events from the window.
TEST_F(SdlPresenterTest, KeyAndTextEventsBecomeKeyCodes) {
  openWindow();
  const SDL_Event events[] = {
      keyDown(SDL_SCANCODE_UP, SDLK_UP, KMOD_NONE),          // 255, 0x48
      keyDown(SDL_SCANCODE_F1, SDLK_F1, KMOD_NONE),          // 255, 0x3B
      keyDown(SDL_SCANCODE_F12, SDLK_F12, KMOD_NONE),        // 255, 0x86
      keyDown(SDL_SCANCODE_DELETE, SDLK_DELETE, KMOD_NONE),  // 255, 0x53
      keyDown(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, KMOD_NONE),  // 27
      keyDown(SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_NONE),  // 13
      keyDown(SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, KMOD_NONE),
      keyDown(SDL_SCANCODE_TAB, SDLK_TAB, KMOD_NONE),
      keyDown(SDL_SCANCODE_C, SDLK_c, KMOD_LCTRL),           // 3
      keyDown(SDL_SCANCODE_KP_2, SDLK_KP_2, KMOD_NONE),      // Num Lock off: Down
      keyDown(SDL_SCANCODE_KP_2, SDLK_KP_2, KMOD_NUM),       // Num Lock on: the digit comes as text
      keyDown(SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_NONE),  // nothing
      keyDown(SDL_SCANCODE_A, SDLK_a, KMOD_NONE),            // nothing: "a" comes as text
      keyDown(SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT),  // nothing: toggles full screen
      textInput("a\xC3\xA9\xE2\x82\xAC"
                "2"),  // a, e acute (0xE9), euro dropped, 2
      textInput("!"),
  };
  for (SDL_Event event : events) ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();

  std::vector<std::string> expected = {
      "\xFF\x48", "\xFF\x3B", "\xFF\x86", "\xFF\x53", "\x1B", "\r", "\b",
      "\t",       "\x03",     "\xFF\x50", "a",        "\xE9", "2",
  };
  EXPECT_EQ(keysUntilMark(), expected);
}

// An event hook sees events first and may consume them; removing it brings the default back.
bool swallowTextA(ScreenState&, const SDL_Event& event) {
  return event.type == SDL_TEXTINPUT && std::strcmp(event.text.text, "a") == 0;
}

TEST_F(SdlPresenterTest, EventHookSeesEventsFirst) {
  openWindow();
  EXPECT_EQ(setSdlEventHook(swallowTextA), nullptr);
  SDL_Event a = textInput("a");
  SDL_Event b = textInput("b");
  SDL_Event mark = textInput("!");
  ASSERT_EQ(SDL_PushEvent(&a), 1);
  ASSERT_EQ(SDL_PushEvent(&b), 1);
  ASSERT_EQ(SDL_PushEvent(&mark), 1);
  EXPECT_EQ(keysUntilMark(), std::vector<std::string>{"b"});

  EXPECT_EQ(setSdlEventHook(nullptr), swallowTextA);
  ASSERT_EQ(SDL_PushEvent(&a), 1);
  ASSERT_EQ(SDL_PushEvent(&mark), 1);
  EXPECT_EQ(keysUntilMark(), std::vector<std::string>{"a"});
}

// A key pressed in the focused window, through the X server: the text arrives as a key and the
// key's set-1 scancode (A is 0x1E) is held until the key is released.
// Sends a key press or release of `keysym` to the window through the X server; false when the
// server refused it.
bool sendKey(Display* display, Window window, KeySym keysym, bool press) {
  XEvent event{};
  event.xkey.type = press ? KeyPress : KeyRelease;
  event.xkey.display = display;
  event.xkey.window = window;
  event.xkey.root = DefaultRootWindow(display);
  event.xkey.subwindow = None;
  event.xkey.time = CurrentTime;
  event.xkey.same_screen = True;
  event.xkey.keycode = XKeysymToKeycode(display, keysym);
  return XSendEvent(display, window, True, press ? KeyPressMask : KeyReleaseMask, &event) != 0;
}

// Gives the window the keyboard focus; hands the window back.
Window openFocusedWindow(Window window) {
  Display* display = testDisplay();
  XSetInputFocus(display, window, RevertToParent, CurrentTime);
  XSync(display, False);
  return window;
}

TEST_F(SdlPresenterTest, KeyFromTheXServerIsQueuedAndHeld) {
  Window window = openFocusedWindow(openWindow());
  Display* display = testDisplay();
  ASSERT_TRUE(sendKey(display, window, XK_a, true));
  XFlush(display);

  std::string key;
  ASSERT_TRUE(waitUntil([&] { return !(key = readKey()).empty(); }, kPatience));
  EXPECT_EQ(key, "a");
  EXPECT_TRUE(waitUntil([] { return keyHeld(0x1E) == -1; }, kPatience));

  ASSERT_TRUE(sendKey(display, window, XK_a, false));
  XFlush(display);
  EXPECT_TRUE(waitUntil([] { return keyHeld(0x1E) == 0; }, kPatience));
  EXPECT_EQ(xErrors, 0);
}

// Escape pressed and released at once (a 12 ms tap) comes within one turn of the presenter: the
// keyboard state after it says released, yet the next look must still see the press.
TEST_F(SdlPresenterTest, AQuickTapIsSeenByTheNextLook) {
  Window window = openFocusedWindow(openWindow());
  Display* display = testDisplay();
  EXPECT_EQ(keyDownSinceLastLook(kEscapeScancode), 0);
  ASSERT_TRUE(sendKey(display, window, XK_Escape, true));
  ASSERT_TRUE(sendKey(display, window, XK_Escape, false));
  XFlush(display);

  std::string key;
  ASSERT_TRUE(waitUntil([&] { return !(key = readKey()).empty(); }, kPatience));
  EXPECT_EQ(key, "\x1B");
  EXPECT_TRUE(waitUntil([] { return keyHeld(kEscapeScancode) == 0; }, kPatience));
  EXPECT_EQ(keyDownSinceLastLook(kEscapeScancode), -1);
  EXPECT_EQ(keyDownSinceLastLook(kEscapeScancode), 0);
  EXPECT_EQ(xErrors, 0);
}

// A handler that stays inside until the test lets it go, as an event handler waiting for a
// window manager or a present waiting for the display would.
struct Gate {
  std::mutex mutex;
  std::condition_variable changed;
  bool entered = false;  // since the gate was last shut
  bool inside = false;
  bool open = true;
};
Gate gate;

void waitInGate() {
  std::unique_lock<std::mutex> hold(gate.mutex);
  gate.entered = gate.inside = true;
  gate.changed.wait(hold, [] { return gate.open; });
  gate.inside = false;
}

bool gateEntered() {
  std::lock_guard<std::mutex> hold(gate.mutex);
  return gate.entered;
}

bool gateEmpty() {
  std::lock_guard<std::mutex> hold(gate.mutex);
  return !gate.inside;
}

void setGate(bool open) {
  std::lock_guard<std::mutex> hold(gate.mutex);
  gate.open = open;
  if (!open) gate.entered = false;
  gate.changed.notify_all();
}

// Shuts the gate, and lets the presenter thread out of it however the test ends, waiting until
// it has left (so that shutting it again cannot catch the thread still on its way out).
struct ShutGate {
  ShutGate() { setGate(false); }
  ~ShutGate() {
    setGate(true);
    EXPECT_TRUE(waitUntil(gateEmpty, kPatience));
  }
};

bool gatedHook(ScreenState&, const SDL_Event& event) {
  if (event.type != SDL_TEXTINPUT || std::strcmp(event.text.text, "#") != 0) return false;
  waitInGate();
  return true;
}

void gatedPresent(ScreenState&, int, int) { waitInGate(); }

// Posts a key from another thread while the presenter thread is inside the gate; true when the
// post went through before the gate opened (a key held behind the presenter never does).
bool keyPostedInsideGate() {
  if (!waitUntil(gateEntered, kPatience)) return false;
  std::atomic<bool> posted{false};
  std::thread poster([&posted] {
    postKey('k');
    posted = true;
  });
  bool inside = waitUntil([&posted] { return posted.load(); }, kPatience);
  setGate(true);
  poster.join();
  return inside;
}

TEST_F(SdlPresenterTest, AKeyPostedWhileAnEventOrAPresentIsHandledIsNotHeldBehindIt) {
  openWindow();
  struct Case {
    const char* handler;
    void (*start)();
    void (*finish)();
  };
  const Case cases[] = {
      {"event hook",
       [] {
         setSdlEventHook(gatedHook);
         SDL_Event mark = textInput("#");
         SDL_PushEvent(&mark);
       },
       [] { setSdlEventHook(nullptr); }},
      {"present routine",
       [] {
         lockScreen();
         screenState().present = gatedPresent;
         unlockScreen(0, 0);
       },
       [] {
         lockScreen();
         screenState().present = sdlPresentRows;
         unlockScreen(0, -1);
       }},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.handler);
    {
      ShutGate shut;
      test.start();
      EXPECT_TRUE(keyPostedInsideGate());
    }
    test.finish();
    EXPECT_EQ(readKey(), "k");
    EXPECT_EQ(readKey(), "");
  }
}

// Without a display SDL cannot start: the desktop comes from elsewhere and the screen opens
// with the next presenter.
TEST_F(SdlPresenterTest, WithoutADisplayTheScreenFallsBackToHeadless) {
  std::string display_name = std::getenv("DISPLAY");
  setEnvironment("DISPLAY", nullptr);
  setEnvironment("WAYLAND_DISPLAY", nullptr);
  DisplayMode desktop;
  EXPECT_FALSE(kSdlPresenter.desktop_mode(&desktop));
  EXPECT_EQ(openScreen(kWidth, kHeight, 16, 1, 0, 0), 0);
  EXPECT_STREQ(presenterName(), "Headless");
  closeScreen();
  setEnvironment("DISPLAY", display_name.c_str());
}

}  // namespace
