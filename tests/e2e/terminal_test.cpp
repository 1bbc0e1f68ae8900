// The player on a terminal: it reads keys raw (no echo, no line editing) while it plays, and
// gives the terminal back as it was when it ends, also when Ctrl+C or SIGTERM ends it.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/e2e/player_run.h"
#include "tests/support/runtime_state.h"

namespace {

// A pseudo-terminal whose far side becomes the player's standard streams.
struct Terminal {
  int controller = -1;
  int device = -1;  // kept open here to read the terminal's modes

  bool open() {
    controller = posix_openpt(O_RDWR | O_NOCTTY);
    if (controller < 0 || grantpt(controller) != 0 || unlockpt(controller) != 0) return false;
    device = ::open(ptsname(controller), O_RDWR | O_NOCTTY);
    return device >= 0;
  }
  ~Terminal() {
    if (device >= 0) close(device);
    if (controller >= 0) close(controller);
  }
  bool echoes() const {
    termios modes{};
    return tcgetattr(device, &modes) == 0 && (modes.c_lflag & (ECHO | ICANON)) == (ECHO | ICANON);
  }
};

// Starts the player headless with the terminal as its standard streams; -1 on failure.
pid_t startOnTerminal(const Terminal& terminal, const std::string& recording) {
  const pid_t child = fork();
  if (child != 0) return child;
  setsid();
  dup2(terminal.device, 0);
  dup2(terminal.device, 1);
  dup2(terminal.device, 2);
  setenv("KESTRUNE_PRESENTER", "headless", 1);
  execl(KESTRUNE_PLAYER_PATH, KESTRUNE_PLAYER_PATH, recording.c_str(), static_cast<char*>(nullptr));
  _exit(127);
}

}  // namespace

TEST_F(PlayerRun, TheTerminalIsGivenBackWhenASignalEndsPlayback) {
  // Marks a second apart: each is a long pause of 230 ms, so playback lasts about nine seconds.
  Bytes stream = headerBytes();
  for (int mark = 1; mark <= 40; ++mark) {
    appendBytes(stream, compressedChunk(frameMarkBytes(static_cast<float>(mark))));
  }
  const std::string path = writeRecording("long.rec", stream);
  for (const int signal_number : {SIGINT, SIGTERM}) {
    Terminal terminal;
    ASSERT_TRUE(terminal.open());
    ASSERT_TRUE(terminal.echoes());
    const pid_t player = startOnTerminal(terminal, path);
    ASSERT_GT(player, 0);
    EXPECT_TRUE(waitUntil([&] { return !terminal.echoes(); }, 20.0)) << "never read keys raw";
    kill(player, signal_number);
    int status = 0;
    ASSERT_EQ(waitpid(player, &status, 0), player);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << signal_number;
    EXPECT_TRUE(terminal.echoes()) << "signal " << signal_number << " left the terminal raw";
  }
}
