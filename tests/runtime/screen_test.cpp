// The screen service over the headless presenter: argument checks, the values it reports before
// and after opening, lock nesting, changed rows and what the presenter thread shows.
#include "runtime/screen.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "runtime/keyboard.h"
#include "runtime/presenter_headless.h"
#include "runtime/screen_state.h"
#include "tests/support/runtime_state.h"

namespace {

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetRuntimeState();
    saveVariable("KESTRUNE_DESKTOP", &saved_desktop_);
    saveVariable("KESTRUNE_PRESENTER", &saved_presenter_);
    setEnvironment("KESTRUNE_DESKTOP", nullptr);
    setEnvironment("KESTRUNE_PRESENTER", nullptr);
    setPreferredPresenter("headless");
  }
  void TearDown() override {
    resetRuntimeState();
    setEnvironment("KESTRUNE_DESKTOP", saved_desktop_.empty() ? nullptr : saved_desktop_.c_str());
    setEnvironment("KESTRUNE_PRESENTER",
                   saved_presenter_.empty() ? nullptr : saved_presenter_.c_str());
  }

  static void saveVariable(const char* name, std::string* saved) {
    const char* value = std::getenv(name);
    *saved = value != nullptr ? value : "";
  }

  std::string saved_desktop_;
  std::string saved_presenter_;
};

// The rows marked changed while the caller holds the lock, so that the presenter cannot take them.
bool changedSpan(int* first, int* last) { return takeChangedRows(screenState(), first, last); }

HeadlessFrame presentedFrame() {
  HeadlessFrame frame;
  EXPECT_TRUE(headlessPresented(&frame));
  return frame;
}

uint16_t pixelAt(const std::vector<uint8_t>& pixels, int pitch, int x, int y) {
  uint16_t value;
  std::memcpy(&value, pixels.data() + y * pitch + x * 2, 2);
  return value;
}

TEST_F(ScreenTest, IllegalArgumentsGiveOne) {
  EXPECT_EQ(openScreen(0, 10, 16, 1, 0, 0), 1);
  EXPECT_EQ(openScreen(10, 0, 16, 1, 0, 0), 1);
  EXPECT_EQ(openScreen(-3, 10, 16, 1, 0, 0), 1);
  for (int depth : {0, 3, 7, 12, 17, 31, 64}) {
    EXPECT_EQ(openScreen(10, 10, depth, 1, 0, 0), 1) << depth;
  }
  EXPECT_STREQ(presenterName(), "");
}

TEST_F(ScreenTest, EveryListedDepthOpensWithItsPixelSize) {
  struct Case {
    int depth, bytes;
  };
  for (Case c : {Case{1, 1}, Case{2, 1}, Case{4, 1}, Case{8, 1}, Case{15, 2}, Case{16, 2},
                 Case{24, 3}, Case{32, 4}}) {
    ASSERT_EQ(openScreen(5, 3, c.depth, 1, 0, 0), 0) << c.depth;
    ScreenInfo info = screenInfo();
    EXPECT_EQ(info.bytes_per_pixel, c.bytes) << c.depth;
    EXPECT_EQ(info.pitch, 5 * c.bytes) << c.depth;
    closeScreen();
  }
}

TEST_F(ScreenTest, BeforeOpeningTheDesktopModeIsReported) {
  ScreenInfo info = screenInfo();
  EXPECT_EQ(info.width, 1920);
  EXPECT_EQ(info.height, 1080);
  EXPECT_EQ(info.depth, 32);
  EXPECT_EQ(info.refresh, 60);
  EXPECT_EQ(info.bytes_per_pixel, 0);
  EXPECT_EQ(info.pitch, 0);
  EXPECT_STREQ(info.presenter, "");
  EXPECT_EQ(screenPixels(), nullptr);
  EXPECT_EQ(windowHandle(), 0u);
}

TEST_F(ScreenTest, DesktopSizeComesFromTheEnvironment) {
  setEnvironment("KESTRUNE_DESKTOP", "1280x720");
  EXPECT_EQ(screenInfo().width, 1280);
  EXPECT_EQ(screenInfo().height, 720);
  setEnvironment("KESTRUNE_DESKTOP", "640X480");
  EXPECT_EQ(screenInfo().width, 640);
  EXPECT_EQ(screenInfo().height, 480);
  for (const char* bad : {"", "1280", "1280x", "x720", "0x720", "1280x-2", "12a0x720"}) {
    setEnvironment("KESTRUNE_DESKTOP", bad);
    EXPECT_EQ(screenInfo().width, 1920) << bad;
    EXPECT_EQ(screenInfo().height, 1080) << bad;
  }
}

TEST_F(ScreenTest, AfterOpeningTheScreensValuesAreReported) {
  ASSERT_EQ(openScreen(320, 200, 16, 0, 0, 0), 0);
  ScreenInfo info = screenInfo();
  EXPECT_EQ(info.width, 320);
  EXPECT_EQ(info.height, 200);
  EXPECT_EQ(info.depth, 16);
  EXPECT_EQ(info.bytes_per_pixel, 2);
  EXPECT_EQ(info.pitch, 640);
  EXPECT_EQ(info.refresh, 60);  // refresh 0: the desktop's rate
  EXPECT_STREQ(info.presenter, "Headless");
  EXPECT_STREQ(presenterName(), "Headless");
  EXPECT_EQ(screenState().pages, 1);  // 0 pages mean 1
  EXPECT_EQ(windowHandle(), 0u);      // no window
  EXPECT_NE(screenPixels(), nullptr);
  EXPECT_EQ(openScreen(10, 10, 16, 1, 0, 0), 3);  // already open
  closeScreen();
  EXPECT_STREQ(presenterName(), "");
  EXPECT_EQ(screenPixels(), nullptr);
  ASSERT_EQ(openScreen(8, 4, 32, 2, 0, 75), 0);
  EXPECT_EQ(screenInfo().refresh, 75);
  EXPECT_EQ(screenInfo().pitch, 32);
}

TEST_F(ScreenTest, PreferredPresenterNameIgnoresCase) {
  setPreferredPresenter("HEADLESS");
  ASSERT_EQ(openScreen(4, 4, 16, 1, 0, 0), 0);
  EXPECT_STREQ(presenterName(), "Headless");
  closeScreen();
  setPreferredPresenter(nullptr);
  setEnvironment("KESTRUNE_PRESENTER", "hEaDlEsS");
  ASSERT_EQ(openScreen(4, 4, 16, 1, 0, 0), 0);
  EXPECT_STREQ(presenterName(), "Headless");
}

TEST_F(ScreenTest, NoPresenterTakesTheOpenGLFlag) {
  EXPECT_EQ(openScreen(4, 4, 16, 1, kScreenOpenGL, 0), 2);
  EXPECT_STREQ(presenterName(), "");
  EXPECT_EQ(screenPixels(), nullptr);
  EXPECT_EQ(openScreen(4, 4, 16, 1, 0, 0), 0);  // a failed open leaves nothing behind
}

TEST_F(ScreenTest, LocksNestAndOnlyTheLastUnlockReleases) {
  ASSERT_EQ(openScreen(4, 3, 16, 1, 0, 0), 0);
  lockScreen();
  lockScreen();
  unlockScreen(0, 0);
  std::atomic<int> other_thread_locked{-1};
  std::thread([&] {
    bool got = screenState().lock.try_lock();
    if (got) screenState().lock.unlock();
    other_thread_locked = got ? 1 : 0;
  }).join();
  EXPECT_EQ(other_thread_locked, 0);
  unlockScreen(0, 0);
  // The presenter thread may hold the lock for a moment to show the unlocked rows; a blocking
  // lock from another thread returns once nobody holds it.
  std::thread([&] {
    screenState().lock.lock();
    screenState().lock.unlock();
    other_thread_locked = 1;
  }).join();
  EXPECT_EQ(other_thread_locked, 1);
  unlockScreen(0, 0);  // not locked: ignored, must not release anything twice
}

TEST_F(ScreenTest, UnlockMarksRowsWithNegativeAndOutOfRangeBounds) {
  ASSERT_EQ(openScreen(4, 3, 16, 1, 0, 0), 0);
  int first = -9;
  int last = -9;
  lockScreen();
  lockScreen();
  unlockScreen(-5, -1);
  ASSERT_TRUE(changedSpan(&first, &last));
  EXPECT_EQ(first, 0);
  EXPECT_EQ(last, 2);
  lockScreen();
  unlockScreen(1, 99);
  ASSERT_TRUE(changedSpan(&first, &last));
  EXPECT_EQ(first, 1);
  EXPECT_EQ(last, 2);
  lockScreen();
  unlockScreen(2, 1);
  lockScreen();
  unlockScreen(3, 5);
  EXPECT_FALSE(changedSpan(&first, &last));
  lockScreen();
  unlockScreen(2, -1);
  lockScreen();
  unlockScreen(1, 1);  // the span runs from the first to the last changed row
  ASSERT_TRUE(changedSpan(&first, &last));
  EXPECT_EQ(first, 1);
  EXPECT_EQ(last, 2);
  unlockScreen(3, 3);
}

TEST_F(ScreenTest, HeadlessPresenterShowsTheChangedSpan) {
  ASSERT_EQ(openScreen(4, 3, 16, 1, 0, 0), 0);
  lockScreen();
  auto* pixels = static_cast<uint8_t*>(screenPixels());
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      uint16_t value = static_cast<uint16_t>(0x1000 * (y + 1) + x);
      std::memcpy(pixels + y * 8 + x * 2, &value, 2);
    }
  }
  unlockScreen(1, 2);
  ASSERT_TRUE(waitUntil([] { return presentedFrame().presents >= 1; }, 5.0));
  HeadlessFrame frame = presentedFrame();
  EXPECT_EQ(frame.presents, 1);
  EXPECT_EQ(frame.first_row, 1);
  EXPECT_EQ(frame.last_row, 2);
  EXPECT_EQ(pixelAt(frame.pixels, 8, 3, 0), 0u);  // row 0 was not marked
  EXPECT_EQ(pixelAt(frame.pixels, 8, 0, 1), 0x2000u);
  EXPECT_EQ(pixelAt(frame.pixels, 8, 3, 2), 0x3003u);

  lockScreen();
  unlockScreen(0, -1);
  ASSERT_TRUE(waitUntil([] { return presentedFrame().presents >= 2; }, 5.0));
  frame = presentedFrame();
  EXPECT_EQ(frame.first_row, 0);
  EXPECT_EQ(frame.last_row, 2);
  EXPECT_EQ(pixelAt(frame.pixels, 8, 3, 0), 0x1003u);
}

int redirected_presents = 0;
int redirected_first = -1;
int redirected_last = -1;

// A present routine takes the lock for what it shares; the presenter thread calls it without.
void countingPresent(ScreenState& screen, int first_row, int last_row) {
  std::lock_guard<std::recursive_mutex> guard(screen.lock);
  ++redirected_presents;
  redirected_first = first_row;
  redirected_last = last_row;
}

TEST_F(ScreenTest, PresenterThreadCallsThePresentRoutineInTheScreenState) {
  ASSERT_EQ(openScreen(4, 6, 16, 1, 0, 0), 0);
  lockScreen();
  redirected_presents = 0;
  screenState().present = countingPresent;  // as a window module would redirect it
  unlockScreen(4, 5);
  ASSERT_TRUE(waitUntil(
      [] {
        std::lock_guard<std::recursive_mutex> guard(screenState().lock);
        return redirected_presents >= 1;
      },
      5.0));
  std::lock_guard<std::recursive_mutex> guard(screenState().lock);
  EXPECT_EQ(redirected_presents, 1);
  EXPECT_EQ(redirected_first, 4);
  EXPECT_EQ(redirected_last, 5);
  EXPECT_EQ(presentedFrame().presents, 0);  // the headless copy was bypassed
}

// A present routine that stays inside until the test lets it go, as a present waiting for the
// display (or a frame file being written) would.
struct PresentGate {
  std::mutex mutex;
  std::condition_variable changed;
  bool entered = false;
  bool released = false;
};
PresentGate gate;

void gatedPresent(ScreenState&, int, int) {
  std::unique_lock<std::mutex> hold(gate.mutex);
  gate.entered = true;
  gate.changed.notify_all();
  gate.changed.wait(hold, [] { return gate.released; });
}

void openGate() {
  std::lock_guard<std::mutex> hold(gate.mutex);
  gate.released = true;
  gate.changed.notify_all();
}

// Lets the gated present go however the test ends, so that closing the screen can stop the
// presenter thread.
struct GateOpener {
  ~GateOpener() { openGate(); }
};

TEST_F(ScreenTest, KeyPostedWhileAPresentIsUnderWayIsNotHeldBehindIt) {
  ASSERT_EQ(openScreen(4, 3, 16, 1, 0, 0), 0);
  {
    std::lock_guard<std::mutex> hold(gate.mutex);
    gate.entered = gate.released = false;
  }
  GateOpener opener;
  lockScreen();
  screenState().present = gatedPresent;
  unlockScreen(0, 2);
  ASSERT_TRUE(waitUntil(
      [] {
        std::lock_guard<std::mutex> hold(gate.mutex);
        return gate.entered;
      },
      5.0));

  std::atomic<bool> posted{false};
  std::thread poster([&posted] {
    postKey('k');
    posted = true;
  });
  // The present cannot end before the gate opens: a key held behind it is never posted here.
  const bool posted_during_present = waitUntil([&posted] { return posted.load(); }, 5.0);
  openGate();
  poster.join();
  EXPECT_TRUE(posted_during_present);
  EXPECT_EQ(readKey(), "k");
  EXPECT_EQ(readKey(), "");
}

TEST_F(ScreenTest, ClosingWhileLockedDoesNotHang) {
  ASSERT_EQ(openScreen(4, 3, 16, 1, 0, 0), 0);
  lockScreen();
  lockScreen();
  closeScreen();
  EXPECT_EQ(screenState().lock_count, 0);
  EXPECT_STREQ(presenterName(), "");
  ASSERT_EQ(openScreen(4, 3, 16, 1, 0, 0), 0);
  lockScreen();
  unlockScreen(0, 0);
  EXPECT_TRUE(waitUntil([] { return presentedFrame().presents >= 1; }, 5.0));
}

TEST_F(ScreenTest, ShowMouseRecordsTheSetting) {
  ASSERT_EQ(openScreen(4, 3, 16, 1, 0, 0), 0);
  showMouse(0);
  EXPECT_EQ(screenState().mouse_visible, 0);
  showMouse(-1);
  EXPECT_EQ(screenState().mouse_visible, 0);
  showMouse(5);
  EXPECT_EQ(screenState().mouse_visible, 1);
  showMouse(-1);
  EXPECT_EQ(screenState().mouse_visible, 1);
}

}  // namespace
