// The Windows side of the runtime: performance-counter clock, Sleep, 64-bit seeking, the
// executable's folder and a raw console for the standard-input keyboard. Hands on plain values to
// the portable services.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
// After windows.h, which it needs. GetProcessMemoryInfo is kernel32's K32GetProcessMemoryInfo.
#include <psapi.h>

#include <cstdlib>
#include <string>

#include "runtime/platform.h"
#include "runtime/process.h"
#include "runtime/timing.h"

double timerSeconds() {
  static const LONGLONG frequency = [] {
    LARGE_INTEGER f{};
    return QueryPerformanceFrequency(&f) ? f.QuadPart : 0;
  }();
  LARGE_INTEGER counter{};
  if (frequency == 0 || !QueryPerformanceCounter(&counter)) return GetTickCount() * 0.001;
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency);
}

void sleepMilliseconds(int milliseconds) {
  if (milliseconds > 0) Sleep(static_cast<DWORD>(milliseconds));
}

void lowerThreadPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE); }

int seekFile(std::FILE* file, int64_t offset) { return _fseeki64(file, offset, SEEK_SET); }

int64_t tellFile(std::FILE* file) { return _ftelli64(file); }

int seekFileEnd(std::FILE* file) { return _fseeki64(file, 0, SEEK_END); }

std::FILE* createNewFile(const char* name) {
  const int fd = _open(name, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  std::FILE* file = _fdopen(fd, "wb");
  if (file == nullptr) _close(fd);
  return file;
}

namespace {

DWORD saved_console_mode = 0;

void restoreConsole() { SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), saved_console_mode); }

}  // namespace

void prepareStdinForKeys() {
  _setmode(_fileno(stdin), _O_BINARY);  // no CR-LF folding, no end at Ctrl+Z
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (!GetConsoleMode(input, &saved_console_mode)) return;  // not a console
  // Key by key without echo; Ctrl+C still interrupts (processed input stays on).
  DWORD raw = saved_console_mode & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT);
  if (SetConsoleMode(input, raw)) std::atexit(restoreConsole);
}

void openStandardStreams() {
  // A program started without a console or with a stream closed gets the null device there.
  if (_fileno(stdin) < 0) std::freopen("NUL", "rb", stdin);
  if (_fileno(stdout) < 0) std::freopen("NUL", "wb", stdout);
  if (_fileno(stderr) < 0) std::freopen("NUL", "wb", stderr);
}

std::string executableFolder() {
  char path[MAX_PATH + 1];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "";
  std::string folder(path, length);
  size_t separator = folder.find_last_of("\\/");
  if (separator == std::string::npos) return "";
  bool drive_root = separator == 2 && folder[1] == ':';  // "C:" alone would mean C's current folder
  return folder.substr(0, drive_root ? separator + 1 : separator);
}

int changeDirectory(const std::string& folder) {
  return SetCurrentDirectoryA(folder.c_str()) ? 0 : 1;
}

// A console only: _isatty also says yes for the null device and printers.
bool isTerminal(std::FILE* stream) {
  const intptr_t handle = _get_osfhandle(_fileno(stream));
  DWORD mode = 0;
  return handle != -1 && GetConsoleMode(reinterpret_cast<HANDLE>(handle), &mode) != 0;
}

int64_t peakMemoryBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return static_cast<int64_t>(counters.PeakWorkingSetSize);
}
