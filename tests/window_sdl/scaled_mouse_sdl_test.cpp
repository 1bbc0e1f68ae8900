// What a program reads and sets through the scalable window in a real X server (Xvfb 1280 x 1024,
// no window manager): mouse events from the X server in screen pixels, double clicks, the
// window's title, full screen toggled from the program, and a resized window that keeps the
// picture's aspect between bars.
#include <string>
#include <vector>

#include "runtime/mouse.h"
#include "runtime/presenter_sdl.h"
#include "runtime/screen.h"
#include "runtime/screen_state.h"
#include "tests/support/runtime_state.h"
#include "tests/window_sdl/x_window_probe.h"
#include "window/scaled_window.h"

namespace {

const bool kXlibThreaded = XInitThreads() != 0;

bool windowIs(int x, int y, int width, int height) {
  return clientOnRoot() == XRect{x, y, width, height};
}

// Warps the pointer to window position (x, y) and waits until the move arrives at screen pixel
// (want_x, want_y), taking every event before it out of the queue.
bool moveArrives(int x, int y, int want_x, int want_y) {
  XWarpPointer(testDisplay(), None, screenWindow(), 0, 0, 0, 0, x, y);
  XFlush(testDisplay());
  return waitUntil(
      [&] {
        MouseEvent event;
        while (readMouse(&event)) {
          if (event == MouseEvent{MouseKind::kMove, want_x, want_y, 0, 0}) return true;
        }
        return false;
      },
      kPatience);
}

// A button press or release sent to the window through the X server, where the pointer is.
void sendButton(unsigned button, bool press) {
  XEvent event{};
  event.xbutton.type = press ? ButtonPress : ButtonRelease;
  event.xbutton.display = testDisplay();
  event.xbutton.window = screenWindow();
  event.xbutton.root = DefaultRootWindow(testDisplay());
  event.xbutton.time = CurrentTime;
  event.xbutton.button = button;
  event.xbutton.same_screen = True;
  ASSERT_NE(XSendEvent(testDisplay(), screenWindow(), True,
                       press ? ButtonPressMask : ButtonReleaseMask, &event),
            0);
  XFlush(testDisplay());
}

// A left click where the pointer is arrives as a press at screen pixel (want_x, want_y).
bool pressArrives(int want_x, int want_y) {
  sendButton(Button1, true);
  sendButton(Button1, false);
  MouseEvent event;
  return waitUntil([&] { return readMouse(&event) && event.kind == MouseKind::kPress; },
                   kPatience) &&
         event == MouseEvent{MouseKind::kPress, want_x, want_y, 1, 0};
}

class ScaledMouseSdlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kXlibThreaded);
    resetRuntimeState();
    setEnvironment("SDL_VIDEODRIVER", nullptr);
    ASSERT_NE(testDisplay(), nullptr) << "no X server: run under xvfb-run";
    setPreferredPresenter("sdl");
    resetScaledWindowModule();
  }
  void TearDown() override {
    closeScaledWindow();
    setSdlEventHook(nullptr);
    resetRuntimeState();
    resetScaledWindowModule();
  }

  // The 320 x 240 blocks screen, set up with the given client size and placed at (x, y).
  void openStretched(int width, int height, int x, int y) {
    ASSERT_EQ(openScaledScreen(kBlocksWidth, kBlocksHeight, 16, 1, 0, 0), 0);
    drawBlocks();
    setupScaledWindow(width, height, 1, 1);
    ASSERT_TRUE(waitUntil([&] { return windowIs(x, y, width, height); }, kPatience));
  }

  // The blocks screen opened with `flags` and set up at its own size (hook armed as `armed`),
  // then resized from outside to 960 x 480 at the root's corner; margins in 0x123456.
  void openResized(bool armed, int32_t flags, int32_t keep_aspect) {
    if (armed) hookCreation(0);
    ASSERT_EQ(openScaledScreen(kBlocksWidth, kBlocksHeight, 16, 1, flags, 0), 0);
    EXPECT_EQ(screenState().flags, armed ? 0 : flags);  // a recorded option stays behind
    drawBlocks();
    setBorderColour(0x12, 0x34, 0x56);
    setupScaledWindow(kBlocksWidth, kBlocksHeight, keep_aspect, 1);
    ASSERT_TRUE(waitUntil([] { return windowIs(480, 392, 320, 240); }, kPatience));
    XMoveResizeWindow(testDisplay(), screenWindow(), 0, 0, 960, 480);
    XFlush(testDisplay());
    ASSERT_TRUE(waitUntil([] { return windowIs(0, 0, 960, 480); }, kPatience));
  }
};

// 320 x 240 in a 960 x 480 window. With keepAspectWindowed: fitWidth 320 * 480 / 240 = 640 <= 960,
// so marginX = (960 - 640) / 2 = 160 and the blocks are 160 x 240 each from x = 160. Window
// (20, 100) on the left bar is ((20 - 160) / 2 = -70, 100 / 2 = 50), clamped to (0, 50); (401, 51)
// is (241 / 2 = 120.5, 25.5), truncated to (120, 25); (950, 479) on the right bar is (790 / 2 =
// 395, 239.5), clamped to (319, 239). Filling the window instead, x scales by 320 / 960: 6, 133
// and 316. The option counts only when the hook was armed and set-up keeps the aspect.
TEST_F(ScaledMouseSdlTest, ResizedWindowFillsOrKeepsTheAspectBetweenBars) {
  struct Case {
    bool armed;
    int32_t flags, keep_aspect, margin, x_left, x_inside, x_right;
  };
  for (const Case& c :
       {Case{true, keepAspectWindowed, 1, 160, 0, 120, 319}, Case{true, 0, 1, 0, 6, 133, 316},
        Case{false, keepAspectWindowed, 1, 0, 6, 133, 316},
        Case{true, keepAspectWindowed, 0, 0, 6, 133, 316}}) {
    SCOPED_TRACE(testing::Message() << c.armed << " " << c.flags << " " << c.keep_aspect);
    openResized(c.armed, c.flags, c.keep_aspect);
    XRect picture{c.margin, 0, 960 - 2 * c.margin, 480};
    EXPECT_TRUE(
        waitUntil([&] { return scaledWindowState().clientWidth == picture.width; }, kPatience));
    EXPECT_EQ(scaledWindowState().marginX, c.margin);
    expectRootShows(XRect{0, 0, 960, 480}, stretchedBlocks(960, 480, picture, 0x123456));
    EXPECT_TRUE(moveArrives(20, 100, c.x_left, 50) && pressArrives(c.x_left, 50));
    EXPECT_TRUE(moveArrives(401, 51, c.x_inside, 25) && pressArrives(c.x_inside, 25));
    EXPECT_TRUE(moveArrives(950, 479, c.x_right, 239) && pressArrives(c.x_right, 239));
    if (HasFailure()) return;
    TearDown();  // the next case starts as a fresh test does
    SetUp();
  }
}

// Full screen letterboxes as always (320 x 240 on 1280 x 1024: marginY 32); back in the window
// (set up at 960 x 480, centred at (160, 272)), the bars are fitted to its size again.
TEST_F(ScaledMouseSdlTest, LeavingFullScreenFitsTheWindowsBarsAgain) {
  hookCreation(0);
  ASSERT_EQ(openScaledScreen(kBlocksWidth, kBlocksHeight, 16, 1, keepAspectWindowed, 0), 0);
  drawBlocks();
  setBorderColour(0x12, 0x34, 0x56);
  setupScaledWindow(960, 480, 1, 1);
  toggleScaledFullScreen();
  ASSERT_TRUE(waitUntil([] { return windowIs(0, 0, 1280, 1024); }, kPatience));
  EXPECT_EQ(scaledWindowState().marginY, 32);
  expectRootShows(XRect{0, 0, 1280, 1024},
                  stretchedBlocks(1280, 1024, {0, 32, 1280, 960}, 0x123456));
  toggleScaledFullScreen();
  ASSERT_TRUE(waitUntil([] { return windowIs(160, 272, 960, 480); }, kPatience));
  EXPECT_TRUE(waitUntil([] { return scaledWindowState().marginX == 160; }, kPatience));
  expectRootShows(XRect{160, 272, 960, 480},
                  stretchedBlocks(960, 480, {160, 0, 640, 480}, 0x123456));
}

// Doubled to 640 x 480: window (101, 51) is screen pixel (50, 25). Two quick clicks there are a
// double click; X buttons 4 and 5 are the wheel.
TEST_F(ScaledMouseSdlTest, ClicksOnAStretchedWindowArriveInScreenPixels) {
  openStretched(640, 480, 320, 272);
  ASSERT_TRUE(moveArrives(101, 51, 50, 25));
  for (bool press : {true, false, true, false}) sendButton(Button1, press);
  sendButton(Button4, true);
  sendButton(Button5, true);
  const std::vector<MouseEvent> wanted = {
      {MouseKind::kPress, 50, 25, 1, 0},   {MouseKind::kRelease, 50, 25, 1, 0},
      {MouseKind::kPress, 50, 25, 1, 0},   {MouseKind::kDoubleClick, 50, 25, 1, 0},
      {MouseKind::kRelease, 50, 25, 1, 0}, {MouseKind::kWheel, 50, 25, 0, 1},
      {MouseKind::kWheel, 50, 25, 0, -1},
  };
  std::vector<MouseEvent> got;
  waitUntil(
      [&] {
        MouseEvent event;
        while (readMouse(&event)) {
          if (event.kind != MouseKind::kMove) got.push_back(event);
        }
        return got.size() >= wanted.size();
      },
      kPatience);
  EXPECT_EQ(got, wanted);
}

// 320 x 240 full screen on 1280 x 1024: the picture is 1280 x 960 from row 32. Root (640, 10)
// maps to (160, -5) and root (1279, 1020) to (319, 988 * 240 / 960 = 247): both margins clamp
// to the picture's edge.
TEST_F(ScaledMouseSdlTest, ProgramTogglesFullScreenWhoseMarginsClampTheMouse) {
  openStretched(320, 240, 480, 392);
  EXPECT_FALSE(scaledFullScreen());
  toggleScaledFullScreen();
  ASSERT_TRUE(waitUntil([] { return windowIs(0, 0, 1280, 1024); }, kPatience));
  EXPECT_TRUE(scaledFullScreen());
  EXPECT_TRUE(moveArrives(640, 10, 160, 0));
  EXPECT_TRUE(moveArrives(1279, 1020, 319, 239));
  toggleScaledFullScreen();
  ASSERT_TRUE(waitUntil([] { return windowIs(480, 392, 320, 240); }, kPatience));
  EXPECT_FALSE(scaledFullScreen());
}

// Without the window module the presenter maps through its own aspect-kept picture: 320 x 240 in
// a 640 x 360 window is 480 x 360 from x = 80. (100, 90) is ((100 - 80) * 320 / 480 = 13.3,
// 90 * 240 / 360 = 60); (20, 359) in the left bar is (-40, 239.3), clamped to (0, 239).
TEST_F(ScaledMouseSdlTest, PresentersOwnPictureMapsTheMouseToo) {
  setSdlCreationFlags(SDL_WINDOW_RESIZABLE, 0);
  ASSERT_EQ(openScreen(kBlocksWidth, kBlocksHeight, 16, 1, 0, 0), 0);
  ASSERT_TRUE(waitUntil([] { return windowIs(480, 392, 320, 240); }, kPatience));
  XMoveResizeWindow(testDisplay(), screenWindow(), 0, 0, 640, 360);
  ASSERT_TRUE(waitUntil([] { return windowIs(0, 0, 640, 360); }, kPatience));
  EXPECT_TRUE(moveArrives(100, 90, 13, 60));
  EXPECT_TRUE(moveArrives(20, 359, 0, 239));
}

TEST_F(ScaledMouseSdlTest, TitleReachesTheXWindow) {
  openStretched(320, 240, 480, 392);
  setWindowTitle("Kestrune View - frame 12");
  std::string title;
  EXPECT_TRUE(waitUntil(
      [&] {
        char* name = nullptr;
        if (XFetchName(testDisplay(), screenWindow(), &name) == 0) return false;
        title = name;
        XFree(name);
        return title == "Kestrune View - frame 12";
      },
      kPatience))
      << title;
}

}  // namespace
