// The scalable window under a window manager: openbox runs on the Xvfb display (1280 x 1024) and
// frames the window. Checks that the player's window is centred with its frame and may be
// resized and maximised with the picture stretched into the new client area, that full screen
// covers exactly the whole screen with the picture letterboxed, that Alt+Enter round trips bring
// the window back to exactly where it was, and that the first frame reaches every new window.
#include <thread>

#include "runtime/presenter_sdl.h"
#include "runtime/screen.h"
#include "tests/support/runtime_state.h"
#include "tests/window_sdl/x_window_probe.h"
#include "window/scaled_window.h"

namespace {

const bool kXlibThreaded = XInitThreads() != 0;

const XRect kWholeScreen{0, 0, kRootWidth, kRootHeight};

// The window manager offers the user this action on the window.
bool offered(const char* action) { return windowListsAtom("_NET_WM_ALLOWED_ACTIONS", action); }

// The client area of a window whose frame covers the screen: the screen less the frame's sides.
XRect clientOfWholeScreenFrame(const FrameExtents& frame) {
  return XRect{static_cast<int>(frame.left), static_cast<int>(frame.top),
               kRootWidth - static_cast<int>(frame.left + frame.right),
               kRootHeight - static_cast<int>(frame.top + frame.bottom)};
}

// The blocks stretched over the whole client area, in the client's place on the root.
void expectClientShowsBlocks(const XRect& client) {
  expectRootShows(client, stretchedBlocks(client.width, client.height,
                                          XRect{0, 0, client.width, client.height}, 0));
}

// Waits until the window's client area is `wanted`; on failure says where it is.
void expectClientAt(const XRect& wanted) {
  XRect seen;
  EXPECT_TRUE(waitUntil([&] { return (seen = clientOnRoot()) == wanted; }, kPatience))
      << "the client area is " << seen << ", wanted " << wanted;
}

void pressAltEnterFor(bool full_screen) {
  pushSdlEvent(kAltEnter);
  ASSERT_TRUE(waitUntil([=] { return scaledWindowState().fullScreen == full_screen; }, kPatience));
}

// Asks the window manager to maximise the window and waits until the client area fills the
// screen inside the frame; false (with the reason) when it does not.
::testing::AssertionResult maximise(XRect* client) {
  askToMaximise(true);
  if (!waitUntil(windowMaximised, kPatience)) {
    return ::testing::AssertionFailure() << "the window was not maximised";
  }
  if (waitUntil(
          [&] { return clientOnRoot() == (*client = clientOfWholeScreenFrame(frameExtents())); },
          kPatience)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "the client area is " << clientOnRoot() << ", wanted " << *client;
}

class OpenboxWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { openbox_running = openbox.start(); }
  static void TearDownTestSuite() { openbox.stop(); }

  void SetUp() override {
    ASSERT_TRUE(kXlibThreaded);
    ASSERT_NE(testDisplay(), nullptr) << "no X server: run under xvfb-run";
    ASSERT_TRUE(openbox_running) << "openbox did not start";
    resetRuntimeState();
    setEnvironment("SDL_VIDEODRIVER", nullptr);
    setEnvironment("KESTRUNE_DESKTOP", nullptr);
    setPreferredPresenter("sdl");
    resetScaledWindowModule();
  }
  void TearDown() override {
    closeScaledWindow();
    setSdlEventHook(nullptr);
    resetRuntimeState();
    resetScaledWindowModule();
  }

  // The player's sequence for the 320 x 240 test screen: arm the creation hook, open, set up at
  // the screen's size with keepAspect 1 and resizable 0, draw the blocks. Waits until openbox
  // has framed the window, and gives its client area.
  static XRect openLikeThePlayer() {
    hookCreation(0);
    EXPECT_EQ(openScaledScreen(kBlocksWidth, kBlocksHeight, 16, 1, 0, 0), 0);
    EXPECT_STREQ(scaledWindowState().activePresenter, "SDL");
    setupScaledWindow(kBlocksWidth, kBlocksHeight, 1, 0);
    drawBlocks();
    EXPECT_TRUE(waitUntil([] { return !(frameExtents() == FrameExtents{}); }, kPatience));
    XRect client;
    EXPECT_TRUE(waitUntil([&] { return (client = clientOnRoot()).width > 0; }, kPatience));
    return client;
  }

  static OpenboxSession openbox;
  static bool openbox_running;
};

OpenboxSession OpenboxWindowTest::openbox;
bool OpenboxWindowTest::openbox_running = false;

// The outer window, client plus frame, is centred: (1280 - outer width) / 2 and likewise down.
TEST_F(OpenboxWindowTest, PlayersWindowIsCentredWithItsFrameAndMayBeResizedAndMaximised) {
  openLikeThePlayer();
  FrameExtents frame = frameExtents();
  int outer_width = kBlocksWidth + static_cast<int>(frame.left + frame.right);
  int outer_height = kBlocksHeight + static_cast<int>(frame.top + frame.bottom);
  XRect centred{(kRootWidth - outer_width) / 2 + static_cast<int>(frame.left),
                (kRootHeight - outer_height) / 2 + static_cast<int>(frame.top), kBlocksWidth,
                kBlocksHeight};
  expectClientAt(centred);
  expectClientShowsBlocks(centred);

  XSizeHints hints = sizeHints();
  bool fixed = (hints.flags & PMaxSize) != 0 && hints.max_width <= hints.min_width;
  EXPECT_FALSE(fixed) << "minimum " << hints.min_width << ", maximum " << hints.max_width;
  EXPECT_TRUE(waitUntil([] { return offered("_NET_WM_ACTION_RESIZE"); }, kPatience));
  EXPECT_TRUE(offered("_NET_WM_ACTION_MAXIMIZE_HORZ"));
  EXPECT_TRUE(offered("_NET_WM_ACTION_MAXIMIZE_VERT"));
}

// Resized by the user to 960 x 480 with the frame's corner at (0, 0): the 80 x 120 blocks become
// 240 x 240, exactly.
TEST_F(OpenboxWindowTest, ResizeStretchesThePictureIntoTheNewClientArea) {
  openLikeThePlayer();
  FrameExtents frame = frameExtents();
  XMoveResizeWindow(testDisplay(), screenWindow(), 0, 0, 960, 480);
  XFlush(testDisplay());
  XRect resized{static_cast<int>(frame.left), static_cast<int>(frame.top), 960, 480};
  expectClientAt(resized);
  EXPECT_TRUE(waitUntil([] { return scaledWindowState().clientWidth == 960; }, kPatience));
  EXPECT_EQ(scaledWindowState().clientHeight, 480);
  expectClientShowsBlocks(resized);
}

// Maximised, the frame covers the screen and the picture the client area inside it; restored,
// the window is back where it was with the picture at its own size.
TEST_F(OpenboxWindowTest, MaximiseStretchesThePictureAndRestoreBringsItBack) {
  XRect windowed = openLikeThePlayer();
  XRect maximised;
  ASSERT_TRUE(maximise(&maximised));
  EXPECT_TRUE(
      waitUntil([&] { return scaledWindowState().clientWidth == maximised.width; }, kPatience));
  EXPECT_EQ(scaledWindowState().clientHeight, maximised.height);
  expectClientShowsBlocks(maximised);

  askToMaximise(false);
  expectClientAt(windowed);
  expectClientShowsBlocks(windowed);
}

// 320 x 240 on 1280 x 1024: fitWidth 1365 > 1280, fitHeight 960, marginY 32. The whole screen
// shows the blocks at 320 x 480 each between two bands of 32 rows in the border colour; nothing
// of the frame and nothing outside the window is left.
TEST_F(OpenboxWindowTest, FullScreenCoversTheWholeScreenLetterboxed) {
  XRect windowed = openLikeThePlayer();
  FrameExtents frame = frameExtents();
  setBorderColour(0x12, 0x34, 0x56);
  pressAltEnterFor(true);
  expectClientAt(kWholeScreen);
  EXPECT_EQ(scaledWindowState().marginY, 32);
  expectRootShows(kWholeScreen,
                  stretchedBlocks(kRootWidth, kRootHeight, XRect{0, 32, 1280, 960}, 0x123456));

  pressAltEnterFor(false);
  expectClientAt(windowed);
  EXPECT_TRUE(waitUntil([&] { return frameExtents() == frame; }, kPatience));
  expectClientShowsBlocks(windowed);
}

// The option makes set-up end in full screen at once, while the window manager is still framing
// the newly shown window.
TEST_F(OpenboxWindowTest, StartFullScreenOptionCoversTheWholeScreen) {
  hookCreation(0);
  ASSERT_EQ(openScaledScreen(kBlocksWidth, kBlocksHeight, 16, 1, startFullScreen, 0), 0);
  setupScaledWindow(kBlocksWidth, kBlocksHeight, 1, 0);
  drawBlocks();
  EXPECT_TRUE(scaledWindowState().fullScreen);
  expectClientAt(kWholeScreen);
  expectRootShows(kWholeScreen,
                  stretchedBlocks(kRootWidth, kRootHeight, XRect{0, 32, 1280, 960}, 0));
}

// Moved by the user first, so that the place to come back to is not the centred one.
TEST_F(OpenboxWindowTest, AltEnterRoundTripsComeBackToExactlyTheSamePlace) {
  openLikeThePlayer();
  FrameExtents frame = frameExtents();
  XMoveWindow(testDisplay(), screenWindow(), 200, 150);  // the frame's corner goes there
  XFlush(testDisplay());
  XRect moved{200 + static_cast<int>(frame.left), 150 + static_cast<int>(frame.top), kBlocksWidth,
              kBlocksHeight};
  expectClientAt(moved);
  for (int trip = 1; trip <= 5; ++trip) {
    SCOPED_TRACE(trip);
    pressAltEnterFor(true);
    expectClientAt(kWholeScreen);
    pressAltEnterFor(false);
    expectClientAt(moved);
    EXPECT_EQ(frameExtents(), frame);
  }
  expectClientShowsBlocks(moved);
}

// Full screen from a maximised window comes back to the maximised window, and restoring that
// still goes back to the window before it was maximised.
TEST_F(OpenboxWindowTest, AltEnterFromMaximisedComesBackMaximised) {
  XRect windowed = openLikeThePlayer();
  XRect maximised;
  ASSERT_TRUE(maximise(&maximised));
  for (int trip = 1; trip <= 2; ++trip) {
    SCOPED_TRACE(trip);
    pressAltEnterFor(true);
    expectClientAt(kWholeScreen);
    expectRootShows(kWholeScreen,
                    stretchedBlocks(kRootWidth, kRootHeight, XRect{0, 32, 1280, 960}, 0));
    pressAltEnterFor(false);
    EXPECT_TRUE(waitUntil(windowMaximised, kPatience));
    expectClientAt(maximised);
  }
  expectClientShowsBlocks(maximised);
  askToMaximise(false);
  expectClientAt(windowed);
}

// A screen opened, set up and given one frame, forty times over; every new window must show that
// frame, and nothing presents it again. Even runs draw the frame before the set-up (into the
// hidden window), odd ones after it. openbox is stopped for a while as the set-up begins, longer
// from run to run, so that its answers to the map come at other moments.
TEST_F(OpenboxWindowTest, FirstFrameReachesEveryNewWindow) {
  for (int run = 0; run < 40; ++run) {
    SCOPED_TRACE(run);
    hookCreation(0);
    ASSERT_EQ(openScaledScreen(kBlocksWidth, kBlocksHeight, 16, 1, 0, 0), 0);
    if (run % 2 == 0) drawBlocks();
    std::thread stall = openbox.stall(run % 10 * 5);
    setupScaledWindow(kBlocksWidth, kBlocksHeight, 1, 0);
    if (run % 2 == 1) drawBlocks();
    stall.join();
    XRect client;
    ASSERT_TRUE(waitUntil([&] { return (client = clientOnRoot()).width > 0; }, kPatience));
    expectClientShowsBlocks(client);
    if (HasFailure()) return;
    closeScaledWindow();
    closeScreen();
  }
}

}  // namespace
