// The scalable window over the "SDL" presenter in a real X server (Xvfb 1280 x 1024, no window
// manager): set-up sizes and places the window, resizing and maximizing stretch the picture,
// Alt+Enter letterboxes it, and mouse and cursor positions go through the X server.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "runtime/keyboard.h"
#include "runtime/presenter_sdl.h"
#include "runtime/screen.h"
#include "runtime/screen_state.h"
#include "tests/support/runtime_state.h"
#include "tests/window_sdl/x_window_probe.h"
#include "window/geometry.h"
#include "window/scaled_window.h"

namespace {

const bool kXlibThreaded = XInitThreads() != 0;

bool windowIs(int x, int y, int width, int height) {
  return clientOnRoot() == XRect{x, y, width, height};
}

// The blocks stretched to block_width x block_height each, from (left, top); the border colour
// (0xRRGGBB) everywhere else in a window of the given size.
ExpectedPicture blocksIn(int width, int height, int left, int top, int block_width,
                         int block_height, uint32_t border) {
  return stretchedBlocks(width, height, XRect{left, top, 4 * block_width, 2 * block_height},
                         border);
}

// The window's client area, once it has the picture's size, shows `wanted` at its place on the
// root.
void expectWindowShows(const ExpectedPicture& wanted) {
  XRect client;
  ASSERT_TRUE(waitUntil(
      [&] {
        client = clientOnRoot();
        return client.width == wanted.width && client.height == wanted.height;
      },
      kPatience))
      << "the client area is " << client;
  expectRootShows(client, wanted);
}

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

// A window that may be resized carries no maximum size, or one above its minimum.
bool resizable() {
  XSizeHints hints = sizeHints();
  return (hints.flags & PMaxSize) == 0 || hints.max_width > hints.min_width;
}

bool viewable() {
  XWindowAttributes attributes{};
  XGetWindowAttributes(testDisplay(), screenWindow(), &attributes);
  return attributes.map_state == IsViewable;
}

// The pointer relative to the window, or the root when in_root is set.
std::pair<int, int> pointerAt(bool in_root) {
  Window root = 0, child = 0;
  int root_x = 0, root_y = 0, x = 0, y = 0;
  unsigned mask = 0;
  XQueryPointer(testDisplay(), screenWindow(), &root, &child, &root_x, &root_y, &x, &y, &mask);
  return in_root ? std::pair{root_x, root_y} : std::pair{x, y};
}

class ScaledWindowSdlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kXlibThreaded);
    resetRuntimeState();
    setEnvironment("SDL_VIDEODRIVER", nullptr);
    ASSERT_NE(testDisplay(), nullptr) << "no X server: run under xvfb-run";
    setPreferredPresenter("sdl");
    resetScaledWindowModule();
    seenMouseX = seenMouseY = seenButtonX = -1;
  }
  void TearDown() override {
    closeScaledWindow();
    setSdlEventHook(nullptr);
    XUngrabPointer(testDisplay(), CurrentTime);
    resetRuntimeState();
    resetScaledWindowModule();
  }

  // Opens the 320 x 240 screen with its blocks drawn and waits until its window is viewable. A
  // window made while the creation hook is armed starts hidden: set-up shows it.
  void openBlocks(int32_t flags) {
    const bool armed = scaledWindowState().hookResume != 0;
    ASSERT_EQ(openScaledScreen(kBlocksWidth, kBlocksHeight, 16, 1, flags, 0), 0);
    ASSERT_STREQ(scaledWindowState().activePresenter, "SDL");
    drawBlocks();
    if (armed) {
      EXPECT_FALSE(viewable());
      return;
    }
    ASSERT_TRUE(waitUntil(viewable, kPatience));
  }
};

// The player's sequence on a 1280 x 1024 desktop: arm the hook, open at half the desktop, set up
// with keepAspect 1 and resizable 0. Without a window manager nothing frames the window; it stays
// resizable, as a window manager would only let a resizable window be maximised.
TEST_F(ScaledWindowSdlTest, PlayersCallGivesHalfTheDesktopCentredAndResizable) {
  hookCreation(0);
  ASSERT_EQ(openScaledScreen(640, 512, 16, 1, 0, 0), 0);
  EXPECT_EQ(scaledWindowState().hookResume, 0u);  // one-shot
  EXPECT_TRUE(scaledWindowState().openedWithHook);
  EXPECT_TRUE(resizable());  // the hook's edit: resizable, and hidden until set-up
  EXPECT_FALSE(viewable());
  setupScaledWindow(640, 512, 1, 0);
  EXPECT_TRUE(waitUntil(viewable, kPatience));
  // (1280 - 640) / 2, (1024 - 512) / 2; no window manager, so no frame.
  EXPECT_TRUE(waitUntil([] { return windowIs(320, 256, 640, 512); }, kPatience));
  EXPECT_EQ(scaledWindowState().clientWidth, 640);
  EXPECT_EQ(scaledWindowState().clientHeight, 512);
  EXPECT_TRUE(resizable());

  closeScreen();  // the next window is the presenter's own again: fixed at the screen's size
  ASSERT_EQ(openScaledScreen(640, 512, 16, 1, 0, 0), 0);
  EXPECT_FALSE(resizable());
  EXPECT_EQ(sizeHints().max_width, 640);
}

// Resized from outside (as a window manager would), the 80 x 120 blocks become 240 x 300.
TEST_F(ScaledWindowSdlTest, ResizedWindowStretchesThePicture) {
  openBlocks(0);
  setupScaledWindow(320, 240, 1, 1);
  expectWindowShows(blocksIn(320, 240, 0, 0, 80, 120, 0));
  XMoveResizeWindow(testDisplay(), screenWindow(), 0, 0, 960, 600);  // all of it on the screen
  XFlush(testDisplay());
  ASSERT_TRUE(waitUntil([] { return scaledWindowState().clientWidth == 960; }, kPatience));
  EXPECT_EQ(scaledWindowState().clientHeight, 600);
  expectWindowShows(blocksIn(960, 600, 0, 0, 240, 300, 0));

  // New frames go through the stretching present: the lower blocks turned cyan fill rows 300 on.
  lockScreen();
  auto* pixels = static_cast<uint16_t*>(screenPixels());
  std::fill(pixels + 120 * 320, pixels + 240 * 320, uint16_t{0x07FF});
  unlockScreen(120, 239);
  ExpectedPicture wanted = blocksIn(960, 600, 0, 0, 240, 300, 0);
  std::fill(wanted.first.begin() + 300 * 960, wanted.first.end(), 0x00FFFFu);
  std::fill(wanted.second.begin() + 300 * 960, wanted.second.end(), 0x00FFFFu);
  expectWindowShows(wanted);
}

// Size 0 x 0 is the desktop: the window covers it, blocks 320 x 512.
TEST_F(ScaledWindowSdlTest, DesktopSizedWindowStretchesThePicture) {
  openBlocks(0);
  setupScaledWindow(0, 0, 1, 1);
  ASSERT_TRUE(waitUntil([] { return windowIs(0, 0, 1280, 1024); }, kPatience));
  expectWindowShows(blocksIn(1280, 1024, 0, 0, 320, 512, 0));
}

// 320 x 240 on 1280 x 1024: fitWidth 1365 > 1280, fitHeight 960, marginY 32; the blocks become
// 320 x 480 between bands of the border colour.
TEST_F(ScaledWindowSdlTest, AltEnterLetterboxesInTheBorderColourAndBack) {
  openBlocks(0);
  setupScaledWindow(320, 240, 1, 0);
  setBorderColour(0x12, 0x34, 0x156);
  pushSdlEvent(kAltEnter);
  ASSERT_TRUE(waitUntil([] { return windowIs(0, 0, 1280, 1024); }, kPatience));
  EXPECT_TRUE(scaledWindowState().fullScreen);
  EXPECT_EQ(scaledWindowState().marginX, 0);
  EXPECT_EQ(scaledWindowState().marginY, 32);
  expectWindowShows(blocksIn(1280, 1024, 0, 32, 320, 480, 0x123456));
  setBorderColour(255, 128, 0);  // the margins are repainted at once
  expectWindowShows(blocksIn(1280, 1024, 0, 32, 320, 480, 0xFF8000));

  pushSdlEvent(kAltEnter);
  ASSERT_TRUE(waitUntil([] { return windowIs(480, 392, 320, 240); }, kPatience));
  EXPECT_FALSE(scaledWindowState().fullScreen);
  EXPECT_EQ(scaledWindowState().marginY, 0);
  EXPECT_EQ(scaledWindowState().savedStyle, 0u);
  expectWindowShows(blocksIn(320, 240, 0, 0, 80, 120, 0));
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
  pushSdlEvent(kAltEnter);
  pushSdlEvent(keyDown(SDL_SCANCODE_F1, SDLK_F1, KMOD_LALT));
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

  pushSdlEvent(kAltEnter);
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
  pushSdlEvent(press);
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
