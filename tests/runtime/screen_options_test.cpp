// What a program sets on the screen beside its pixels, served headless: the window title, full
// screen and the folder presented frames are dumped to.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "runtime/screen.h"
#include "tests/support/runtime_state.h"
#include "window/scaled_window.h"

namespace {

namespace fs = std::filesystem;

class ScreenOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetRuntimeState();
    setPreferredPresenter("headless");
  }
  void TearDown() override {
    setFrameDumpFolder(nullptr);
    setEnvironment("KESTRUNE_FRAME_DUMP", nullptr);
    resetRuntimeState();
  }
};

// Headless, a title is only kept, and there is no full screen: not even one a window of an
// earlier screen left in the window module's record.
TEST_F(ScreenOptionsTest, HeadlessKeepsTheTitleWhileOpenAndHasNoFullScreen) {
  setWindowTitle("before");
  ASSERT_EQ(openScreen(8, 8, 16, 1, 0, 0), 0);
  EXPECT_EQ(windowTitle(), "");
  setWindowTitle("Lap 2 \xE2\x80\x94 12.5 s");  // UTF-8 as given
  EXPECT_EQ(windowTitle(), "Lap 2 \xE2\x80\x94 12.5 s");
  setWindowTitle(nullptr);
  EXPECT_EQ(windowTitle(), "Lap 2 \xE2\x80\x94 12.5 s");
  scaledWindowState().fullScreen = true;
  toggleScaledFullScreen();
  EXPECT_FALSE(scaledFullScreen());
  scaledWindowState().fullScreen = false;
  closeScreen();
  EXPECT_EQ(windowTitle(), "");
  setWindowTitle("after");
  EXPECT_EQ(windowTitle(), "");
}

long filesIn(const fs::path& folder) {
  return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
}

// KESTRUNE_FRAME_DUMP names folder "env"; each case chooses (or not) before the screen opens
// and presents one whole frame, which lands in the folder in use.
TEST_F(ScreenOptionsTest, ChosenDumpFolderOverridesTheEnvironment) {
  // Other build trees may run this test at the same time: the folder's name is this run's own.
  const fs::path root =
      fs::temp_directory_path() /
      ("kestrune_dump_" +
       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  struct Case {
    const char* chosen;  // under root, but "" and null as they are
    long env_files;
    long chosen_files;
  };
  for (const Case& c : {Case{nullptr, 1, 0}, Case{"", 0, 0}, Case{"chosen", 0, 1}}) {
    fs::remove_all(root);
    fs::create_directories(root / "env");
    fs::create_directories(root / "chosen");
    setEnvironment("KESTRUNE_FRAME_DUMP", (root / "env").string().c_str());
    const std::string chosen =
        c.chosen != nullptr && *c.chosen != '\0' ? (root / c.chosen).string() : "";
    setFrameDumpFolder(c.chosen == nullptr ? nullptr : chosen.c_str());
    ASSERT_EQ(openScreen(8, 8, 16, 1, 0, 0), 0);
    lockScreen();
    unlockScreen(-1, -1);
    closeScreen();  // the last frame is still presented
    EXPECT_EQ(filesIn(root / "env"), c.env_files) << (c.chosen ? c.chosen : "null");
    EXPECT_EQ(filesIn(root / "chosen"), c.chosen_files) << (c.chosen ? c.chosen : "null");
  }
  fs::remove_all(root);
}

}  // namespace
