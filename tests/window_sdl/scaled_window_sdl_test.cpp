// The scalable window over the "SDL" presenter in a real X server (Xvfb 1280 x 1024, no window
// manager): set-up sizes and places the window, resizing and maximizing stretch the picture,
// Alt+Enter letterboxes it, and mouse and cursor positions go through the X server.

// clang-format off
// gtest before Xlib, which defines None and Bool as macros that gtest uses as names.
#include <gtest/gtest.h>
#include <SDL.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/keyboard.h"
#include "runtime/presenter_sdl.h"
#include "runtime/screen.h"
#include "runtime/screen_state.h"
#include "tests/support/runtime_state.h"
#include "window/geometry.h"
#include "window/scaled_window.h"

namespace {

const bool kXlibThreaded = XInitThreads() != 0;
constexpr double kPatience = 10.0;  // seconds; only a failing test waits this long

// The screen is 320 x 240 in eight 80 x 120 blocks, four across and two down, each a 5-6-5
// colour whose 8-bit widening is exact.
constexpr uint16_t kBlockPixels[8] = {0xF800, 0x07E0, 0x001F, 0xFFFF,
                                      0x0000, 0x1234, 0x8410, 0xACA9};
constexpr uint32_t kBlockShown[8] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF,
                                     0x000000, 0x1045A5, 0x848284, 0xAD964A};

// X errors (reading a window that is not all on the screen, say) fail the test, not the process.
int failOnXError(Display*, XErrorEvent* error) {
  ADD_FAILURE() << "X error " << static_cast<int>(error->error_code) << " on request "
                << static_cast<int>(error->request_code);
  return 0;
}

Display* testDisplay() {
  static Display* const display = [] {
    Display* opened = nullptr;
    waitUntil([&opened] { return (opened = XOpenDisplay(nullptr)) != nullptr; }, kPatience);
    XSetErrorHandler(failOnXError);
    return opened;
  }();
  return display;
}

Window screenWindow() { return static_cast<Window>(windowHandle()); }

XWindowAttributes windowAttributes() {
  XWindowAttributes attributes{};
  XGetWindowAttributes(testDisplay(), screenWindow(), &attributes);
  return attributes;
}

bool windowIs(int x, int y, int width, int height) {
  XWindowAttributes a = windowAttributes();
  return a.map_state == IsViewable && a.x == x && a.y == y && a.width == width &&
         a.height == height;
}

// The window's pixels as 0xRRGGBB, rows top first.
std::vector<uint32_t> windowPixels(int width, int height) {
  std::vector<uint32_t> pixels;
  XImage* image = XGetImage(testDisplay(), screenWindow(), 0, 0, width, height, AllPlanes, ZPixmap);
  if (image == nullptr) return pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFF);
  }
  XDestroyImage(image);
  return pixels;
}

// The blocks stretched to block_width x block_height each, from (left, top); the border colour
// (0xRRGGBB) everywhere else in a window of the given size.
std::vector<uint32_t> stretchedBlocks(int width, int height, int left, int top, int block_width,
                                      int block_height, uint32_t border) {
  std::vector<uint32_t> picture;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int column = x - left;
      int row = y - top;
      bool inside = column >= 0 && row >= 0 && column < 4 * block_width && row < 2 * block_height;
      picture.push_back(inside ? kBlockShown[row / block_height * 4 + column / block_width]
                               : border);
    }
  }
  return picture;
}

void expectWindowShows(int width, int height, const std::vector<uint32_t>& wanted) {
  size_t differing = 0;
  bool shown = waitUntil(
      [&] {
        std::vector<uint32_t> seen = windowPixels(width, height);
        differing = seen.size() != wanted.size() ? wanted.size() : 0;
        for (size_t i = 0; differing == 0 && i < seen.size(); ++i) {
          if (seen[i] != wanted[i]) differing = i + 1;
        }
        return differing == 0;
      },
      kPatience);
  EXPECT_TRUE(shown) << "first difference at pixel " << differing - 1 << " of " << width << " x "
                     << height;
}

void pushEvent(SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError(); }

SDL_Event keyDown(SDL_Scancode scancode, SDL_Keycode sym, Uint16 mod) {
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.state = SDL_PRESSED;
  event.key.keysym.scancode = scancode;
  event.key.keysym.sym = sym;
  event.key.keysym.mod = mod;
  return event;
}

const SDL_Event kAltEnter = keyDown(SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT);

// Stands for the screen service's own handling below the module: records mouse positions.
std::atomic<int32_t> seenMouseX{-1};
std::atomic<int32_t> seenMouseY{-1};
std::atomic<int32_t> seenButtonX{-1};
bool recordMouse(ScreenState&, const SDL_Event& event) {
  if (event.type == SDL_MOUSEMOTION) {
    seenMouseX = event.motion.x;
    seenMouseY = event.motion.y;
  } else if (event.type == SDL_MOUSEBUTTONDOWN) {
    seenButtonX = event.button.x;
  }
  return false;
}

bool mouseSeenAt(int32_t x, int32_t y) { return seenMouseX == x && seenMouseY == y; }

void warpInWindow(int x, int y) {
  XWarpPointer(testDisplay(), None, screenWindow(), 0, 0, 0, 0, x, y);
  XFlush(testDisplay());
}

// The largest width the window asks the window manager for: its width unless it is resizable.
int largestWidth() {
  XSizeHints hints{};
  long supplied = 0;
  XGetWMNormalHints(testDisplay(), screenWindow(), &hints, &supplied);
  return hints.max_width;
}

// A window that may be resized carries no maximum size, or one above its minimum.
bool resizable() {
  XSizeHints hints{};
  long supplied = 0;
  XGetWMNormalHints(testDisplay(), screenWindow(), &hints, &supplied);
  return (hints.flags & PMaxSize) == 0 || hints.max_width > hints.min_width;
}

// The pointer relative to the window, or the root when in_root is set.
std::pair<int, int> pointerAt(bool in_root) {
  Window root = 0, child = 0;
  int root_x = 0, root_y = 0, x = 0, y = 0;
  unsigned mask = 0;
  XQueryPointer(testDisplay(), screenWindow(), &root, &child, &root_x, &root_y, &x, &y, &mask);
  return in_root ? std::pair{root_x, root_y} : std::pair{x, y};
}

void resetModule() {
  ScaledWindowState& state = scaledWindowState();
  state.window = 0;
  state.screenProc = 0;
  state.clientWidth = state.clientHeight = 0;
  state.modeWidth = state.modeHeight = 0;
  state.marginX = state.marginY = 0;
  state.keepAspect = 0;
  state.savedStyle = 0;
  state.fullScreen = state.styleGuard = state.openedWithHook = false;
  state.options = 0;
  state.borderColour = 0;
  state.hookResume = 0;
  std::memset(state.activePresenter, 0, sizeof state.activePresenter);
}

class ScaledWindowSdlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kXlibThreaded);
    resetRuntimeState();
    setEnvironment("SDL_VIDEODRIVER", nullptr);
    ASSERT_NE(testDisplay(), nullptr) << "no X server: run under xvfb-run";
    setPreferredPresenter("sdl");
    resetModule();
    seenMouseX = seenMouseY = seenButtonX = -1;
  }
  void TearDown() override {
    closeScaledWindow();
    setSdlEventHook(nullptr);
    XUngrabPointer(testDisplay(), CurrentTime);
    resetRuntimeState();
    resetModule();
  }

  // Opens the 320 x 240 screen with its blocks drawn and waits until its window is viewable. A
  // window made while the creation hook is armed starts hidden: set-up shows it.
  void openBlocks(int32_t flags) {
    const bool armed = scaledWindowState().hookResume != 0;
    ASSERT_EQ(openScaledScreen(320, 240, 16, 1, flags, 0), 0);
    ASSERT_STREQ(scaledWindowState().activePresenter, "SDL");
    lockScreen();
    auto* pixels = static_cast<uint16_t*>(screenPixels());
    for (int y = 0; y < 240; ++y) {
      for (int x = 0; x < 320; ++x) pixels[y * 320 + x] = kBlockPixels[y / 120 * 4 + x / 80];
    }
    unlockScreen(0, -1);
    if (armed) {
      EXPECT_NE(windowAttributes().map_state, IsViewable);
      return;
    }
    ASSERT_TRUE(waitUntil([] { return windowAttributes().map_state == IsViewable; }, kPatience));
  }
};

// The player's sequence on a 1280 x 1024 desktop: arm the hook, open at half the desktop, set up
// with keepAspect 1 and resizable 0.
TEST_F(ScaledWindowSdlTest, PlayersCallGivesHalfTheDesktopCentredAndFixed) {
  hookCreation(0);
  ASSERT_EQ(openScaledScreen(640, 512, 16, 1, 0, 0), 0);
  EXPECT_EQ(scaledWindowState().hookResume, 0u);  // one-shot
  EXPECT_TRUE(scaledWindowState().openedWithHook);
  EXPECT_TRUE(resizable());  // the hook's edit: resizable, and hidden until set-up
  EXPECT_NE(windowAttributes().map_state, IsViewable);
  setupScaledWindow(640, 512, 1, 0);
  EXPECT_TRUE(waitUntil([] { return windowAttributes().map_state == IsViewable; }, kPatience));
  // (1280 - 640) / 2, (1024 - 512) / 2; no window manager, so no frame.
  EXPECT_TRUE(waitUntil([] { return windowIs(320, 256, 640, 512); }, kPatience));
  EXPECT_EQ(scaledWindowState().clientWidth, 640);
  EXPECT_EQ(scaledWindowState().clientHeight, 512);
  EXPECT_TRUE(waitUntil([] { return largestWidth() == 640; }, kPatience));  // fixed again

  closeScreen();  // the next window is the presenter's own again
  ASSERT_EQ(openScaledScreen(640, 512, 16, 1, 0, 0), 0);
  EXPECT_EQ(largestWidth(), 640);
}

// Resized from outside (as a window manager would), the 80 x 120 blocks become 240 x 300.
TEST_F(ScaledWindowSdlTest, ResizedWindowStretchesThePicture) {
  openBlocks(0);
  setupScaledWindow(320, 240, 1, 1);
  expectWindowShows(320, 240, stretchedBlocks(320, 240, 0, 0, 80, 120, 0));
  XMoveResizeWindow(testDisplay(), screenWindow(), 0, 0, 960, 600);  // all of it on the screen
  XFlush(testDisplay());
  ASSERT_TRUE(waitUntil([] { return scaledWindowState().clientWidth == 960; }, kPatience));
  EXPECT_EQ(scaledWindowState().clientHeight, 600);
  expectWindowShows(960, 600, stretchedBlocks(960, 600, 0, 0, 240, 300, 0));

  // New frames go through the stretching present: the lower blocks turned cyan fill rows 300 on.
  lockScreen();
  auto* pixels = static_cast<uint16_t*>(screenPixels());
  std::fill(pixels + 120 * 320, pixels + 240 * 320, uint16_t{0x07FF});
  unlockScreen(120, 239);
  std::vector<uint32_t> wanted = stretchedBlocks(960, 600, 0, 0, 240, 300, 0);
  std::fill(wanted.begin() + 300 * 960, wanted.end(), 0x00FFFFu);
  expectWindowShows(960, 600, wanted);
}

// Size 0 x 0 is the desktop: the window covers it, blocks 320 x 512.
TEST_F(ScaledWindowSdlTest, DesktopSizedWindowStretchesThePicture) {
  openBlocks(0);
  setupScaledWindow(0, 0, 1, 1);
  ASSERT_TRUE(waitUntil([] { return windowIs(0, 0, 1280, 1024); }, kPatience));
  expectWindowShows(1280, 1024, stretchedBlocks(1280, 1024, 0, 0, 320, 512, 0));
}

// 320 x 240 on 1280 x 1024: fitWidth 1365 > 1280, fitHeight 960, marginY 32; the blocks become
// 320 x 480 between bands of the border colour.
TEST_F(ScaledWindowSdlTest, AltEnterLetterboxesInTheBorderColourAndBack) {
  openBlocks(0);
  setupScaledWindow(320, 240, 1, 0);
  setBorderColour(0x12, 0x34, 0x156);
  pushEvent(kAltEnter);
  ASSERT_TRUE(waitUntil([] { return windowIs(0, 0, 1280, 1024); }, kPatience));
  EXPECT_TRUE(scaledWindowState().fullScreen);
  EXPECT_EQ(scaledWindowState().marginX, 0);
  EXPECT_EQ(scaledWindowState().marginY, 32);
  expectWindowShows(1280, 1024, stretchedBlocks(1280, 1024, 0, 32, 320, 480, 0x123456));
  setBorderColour(255, 128, 0);  // the margins are repainted at once
  expectWindowShows(1280, 1024, stretchedBlocks(1280, 1024, 0, 32, 320, 480, 0xFF8000));

  pushEvent(kAltEnter);
  ASSERT_TRUE(waitUntil([] { return windowIs(480, 392, 320, 240); }, kPatience));
  EXPECT_FALSE(scaledWindowState().fullScreen);
  EXPECT_EQ(scaledWindowState().marginY, 0);
  EXPECT_EQ(scaledWindowState().savedStyle, 0u);
  expectWindowShows(320, 240, stretchedBlocks(320, 240, 0, 0, 80, 120, 0));
}

TEST_F(ScaledWindowSdlTest, StartFullScreenOptionEndsSetUpInFullScreen) {
  hookCreation(0);
  openBlocks(startFullScreen);
  EXPECT_EQ(screenState().flags & kScreenFullScreen, 0);  // the display mode never changes
  setupScaledWindow(320, 240, 1, 0);
  EXPECT_TRUE(scaledWindowState().fullScreen);
  EXPECT_TRUE(waitUntil([] { return windowIs(0, 0, 1280, 1024); }, kPatience));
  EXPECT_EQ(scaledWindowState().clientHeight, 960);
}

// Alt+Enter is swallowed without a toggle; Alt with another key still reaches the screen.
TEST_F(ScaledWindowSdlTest, NoToggleOptionKeepsTheWindowAndPassesOtherAltKeys) {
  hookCreation(0);
  openBlocks(noFullScreenToggle);
  setupScaledWindow(320, 240, 1, 0);
  pushEvent(kAltEnter);
  pushEvent(keyDown(SDL_SCANCODE_F1, SDLK_F1, KMOD_LALT));
  std::string key;
  ASSERT_TRUE(waitUntil([&] { return !(key = readKey()).empty(); }, kPatience));
  EXPECT_EQ(key, "\xFF\x3B");
  EXPECT_FALSE(scaledWindowState().fullScreen);
  EXPECT_TRUE(windowIs(480, 392, 320, 240));
}

// The window doubled to 640 x 480 at (320, 272): positions halve. In full screen the client
// starts 32 rows down and scales by 4.
TEST_F(ScaledWindowSdlTest, MousePositionsReachTheScreenInScreenPixels) {
  openBlocks(0);
  setSdlEventHook(recordMouse);
  setupScaledWindow(640, 480, 1, 1);
  ASSERT_TRUE(waitUntil([] { return windowIs(320, 272, 640, 480); }, kPatience));
  warpInWindow(639, 479);
  EXPECT_TRUE(waitUntil([] { return mouseSeenAt(319, 239); }, kPatience));
  warpInWindow(101, 51);
  EXPECT_TRUE(waitUntil([] { return mouseSeenAt(50, 25); }, kPatience));

  pushEvent(kAltEnter);
  ASSERT_TRUE(waitUntil([] { return windowIs(0, 0, 1280, 1024); }, kPatience));
  warpInWindow(1279, 991);  // client (1279, 959): 1279 / 4 = 319.75, 959 / 4 = 239.75
  EXPECT_TRUE(waitUntil([] { return mouseSeenAt(319, 239); }, kPatience));
  warpInWindow(640, 10);  // above the client: -22 / 4 = -5.5, truncated to -5
  EXPECT_TRUE(waitUntil([] { return mouseSeenAt(160, -5); }, kPatience));
  SDL_Event press{};
  press.type = SDL_MOUSEBUTTONDOWN;
  press.button.button = SDL_BUTTON_LEFT;
  press.button.x = 402;  // client 402 / 4 = 100.5
  press.button.y = 500;
  pushEvent(press);
  EXPECT_TRUE(waitUntil([] { return seenButtonX == 100; }, kPatience));
}

// Screen pixels to the 640 x 480 client: doubled. Out of range changes nothing.
TEST_F(ScaledWindowSdlTest, ScaledMousePlacesShowsAndClipsTheCursor) {
  openBlocks(0);
  setupScaledWindow(640, 480, 1, 1);
  ASSERT_TRUE(waitUntil([] { return windowIs(320, 272, 640, 480); }, kPatience));
  EXPECT_EQ(setScaledMouse(160, 120, kScaledMouseUnchanged, kScaledMouseUnchanged), 0);
  EXPECT_TRUE(waitUntil([] { return pointerAt(false) == std::pair{320, 240}; }, kPatience));

  EXPECT_EQ(setScaledMouse(320, 0, 0, 1), 1);  // x equal to modeWidth
  EXPECT_EQ(screenState().mouse_visible, 1);
  EXPECT_EQ(pointerAt(false), (std::pair{320, 240}));
  XWarpPointer(testDisplay(), None, DefaultRootWindow(testDisplay()), 0, 0, 0, 0, 5, 5);
  EXPECT_TRUE(waitUntil([] { return pointerAt(true) == std::pair{5, 5}; }, kPatience));

  XSetInputFocus(testDisplay(), screenWindow(), RevertToParent, CurrentTime);
  XSync(testDisplay(), False);
  EXPECT_EQ(setScaledMouse(319, 239, 0, 1), 0);  // placed at (638, 478), hidden, clipped
  EXPECT_EQ(screenState().mouse_visible, 0);
  EXPECT_TRUE(waitUntil(
      [] {
        XWarpPointer(testDisplay(), None, DefaultRootWindow(testDisplay()), 0, 0, 0, 0, 0, 0);
        return pointerAt(true) == std::pair{320, 272};  // held at the client's corner
      },
      kPatience));
  EXPECT_EQ(setScaledMouse(kScaledMouseUnchanged, 0, 1, 0), 0);
  EXPECT_TRUE(waitUntil(
      [] {
        XWarpPointer(testDisplay(), None, DefaultRootWindow(testDisplay()), 0, 0, 0, 0, 0, 0);
        return pointerAt(true) == std::pair{0, 0};
      },
      kPatience));
}

TEST_F(ScaledWindowSdlTest, CloseGivesThePresenterBackItsPresentAndHook) {
  openBlocks(0);
  setSdlEventHook(recordMouse);
  setupScaledWindow(320, 240, 1, 0);
  EXPECT_NE(screenState().present, sdlPresentRows);
  hookCreation(0);
  closeScaledWindow();
  EXPECT_EQ(scaledWindowState().hookResume, 0u);
  EXPECT_EQ(screenState().present, sdlPresentRows);
  EXPECT_EQ(setSdlEventHook(nullptr), recordMouse);
}

TEST_F(ScaledWindowSdlTest, WithoutAWindowThereIsNothingToTakeOver) {
  setPreferredPresenter("headless");
  ASSERT_EQ(openScaledScreen(320, 240, 16, 1, 0, 0), 0);
  PresentRoutine own = screenState().present;
  setupScaledWindow(640, 480, 1, 1);
  EXPECT_EQ(scaledWindowState().modeWidth, 320);
  EXPECT_EQ(scaledWindowState().window, 0u);
  EXPECT_EQ(setScaledMouse(0, 0, 1, 1), 1);
  EXPECT_EQ(screenState().present, own);
}

}  // namespace
