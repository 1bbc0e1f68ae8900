// The POSIX side of the runtime: monotonic clock, sleeping, 64-bit seeking, the executable's
// folder and a raw terminal for the standard-input keyboard. Hands on plain values to the
// portable services.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <string>

#include "runtime/platform.h"
#include "runtime/process.h"
#include "runtime/timing.h"

double timerSeconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void sleepMilliseconds(int milliseconds) {
  if (milliseconds <= 0) return;
  timespec left{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

// Linux gives each thread its own nice value, addressed by the thread's id.
void lowerThreadPriority() {
  setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
}

int seekFile(std::FILE* file, int64_t offset) {
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET);
}

int64_t tellFile(std::FILE* file) { return static_cast<int64_t>(ftello(file)); }

int seekFileEnd(std::FILE* file) { return fseeko(file, 0, SEEK_END); }

std::FILE* createNewFile(const char* name) {
  // O_EXCL fails on anything already there, a named pipe or a link included.
  const int fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "wb");
  if (file == nullptr) close(fd);
  return file;
}

namespace {

termios saved_terminal;

void restoreTerminal() { tcsetattr(STDIN_FILENO, TCSANOW, &saved_terminal); }

// The signals that end the program from a terminal or a session. Each gives the terminal back as
// it was (tcsetattr may be called from a handler), then ends the program as the signal would have.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void restoreTerminalAndEnd(int signal_number) {
  restoreTerminal();
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

void restoreTerminalOnEndingSignals() {
  struct sigaction action {};
  action.sa_handler = restoreTerminalAndEnd;
  sigemptyset(&action.sa_mask);
  for (int signal_number : kEndingSignals) {
    struct sigaction previous {};
    // A signal the caller chose to ignore stays ignored.
    if (sigaction(signal_number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) {
      continue;
    }
    sigaction(signal_number, &action, nullptr);
  }
}

}  // namespace

void prepareStdinForKeys() {
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved_terminal) != 0) return;
  termios raw = saved_terminal;
  // Byte by byte without echo; Enter arrives as 13 like a window's Enter, and Ctrl+C still
  // interrupts (ISIG stays on).
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_iflag &= static_cast<tcflag_t>(~(ICRNL | IXON));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  // The way back is in place before the terminal goes raw: a signal arriving in between would
  // otherwise end the program with the terminal left raw.
  std::atexit(restoreTerminal);
  restoreTerminalOnEndingSignals();
  tcsetattr(STDIN_FILENO, TCSANOW, &raw);
}

void openStandardStreams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    // open() takes the lowest free descriptor: the closed one. Opened for reading only, so that
    // input ends at once and a write fails as on the closed stream (EBADF), which the program
    // can still report.
    if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) open("/dev/null", O_RDONLY);
  }
}

std::string executableFolder() {
  char path[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "";
  std::string folder(path, static_cast<size_t>(length));
  size_t slash = folder.rfind('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? "/" : folder.substr(0, slash);
}

int changeDirectory(const std::string& folder) { return chdir(folder.c_str()) == 0 ? 0 : 1; }

bool isTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

int64_t peakMemoryBytes() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  return static_cast<int64_t>(usage.ru_maxrss) * 1024;  // kilobytes on Linux
}
