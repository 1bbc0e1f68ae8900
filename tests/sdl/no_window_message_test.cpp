// The real player (playing its demo) started with a display
// named that cannot be opened, no presenter preferred and standard input from /dev/null. Checks
// that it plays without a window and says so on standard error exactly once, naming the display
// and SDL's reason, and that it stays quiet when no display is named at all.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/process_runner.h"
#include "tests/support/recording_files.h"
#include "tests/support/runtime_state.h"

namespace {

// No X server listens there: its socket is checked to be missing.
constexpr const char* kNoDisplay = ":4321";
constexpr const char* kNoDisplaySocket = "/tmp/.X11-unix/X4321";

// An environment variable set or removed for the life of the object, then put back.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    setEnvironment(name, value);
  }
  ~ScopedVariable() { setEnvironment(name_, had_ ? old_.c_str() : nullptr); }

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

struct DisplayCase {
  const char* display;          // null: unset
  const char* wayland_display;  // null: unset
  std::string message;          // all of standard error
};

// Runs the player once for each case with that environment; it must end by itself after its
// demo, having printed exactly `message` on standard error.
void expectPlaysWith(const std::vector<DisplayCase>& cases) {
  TempFolder runtime_folder;  // libwayland's folder, so that its own complaints stay away
  chmod(runtime_folder.path().c_str(), 0700);
  ScopedVariable no_preference("KESTRUNE_PRESENTER", nullptr);
  ScopedVariable no_driver("SDL_VIDEODRIVER", nullptr);
  ScopedVariable runtime_dir("XDG_RUNTIME_DIR", runtime_folder.path().c_str());
  for (const DisplayCase& test : cases) {
    SCOPED_TRACE(test.display == nullptr ? "DISPLAY unset" : test.display);
    ScopedVariable display("DISPLAY", test.display);
    ScopedVariable wayland("WAYLAND_DISPLAY", test.wayland_display);
    ProcessOptions options;
    options.timeout_ms = 60000;
    ProcessResult result =
        runProcess(KESTRUNE_PLAYER_PATH, options, "");  // standard input at its end
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.err, test.message);
    ASSERT_GE(result.out.size(), 5u);
    EXPECT_EQ(result.out.substr(result.out.size() - 5), "Done.") << result.out;
  }
}

// SDL's own words for drivers that cannot start are "<driver list> not available". The player
// tries the display more than once (for the desktop's size, then for the window), and says it
// once.
TEST(NoWindowMessage, NamedDisplayThatDoesNotOpenIsReportedOnceAndPlaybackGoesOn) {
  struct stat info {};
  ASSERT_NE(stat(kNoDisplaySocket, &info), 0) << "an X server listens on " << kNoDisplay;
  expectPlaysWith({
      {kNoDisplay, nullptr,
       "Playing without a window: cannot open the display DISPLAY=:4321 (x11 not available)\n"},
      {kNoDisplay, "kestrune-none-0",
       "Playing without a window: cannot open the display DISPLAY=:4321 and "
       "WAYLAND_DISPLAY=kestrune-none-0 (x11,wayland not available)\n"},
  });
}

// No window is then what was asked for; an empty name names nothing.
TEST(NoWindowMessage, WithoutADisplayNamedThePlayerIsQuiet) {
  expectPlaysWith({{nullptr, nullptr, ""}, {"", nullptr, ""}});
}

}  // namespace
