// The screen service: receives open requests, locks and changed rows from the caller's thread,
// chooses a presenter from the build's table (a preferred name first) and hands the frame buffer
// and the changed-row span on to that presenter's thread.
#include "runtime/screen.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/desktop_size.h"
#include "runtime/screen_state.h"

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr int kAlreadyOpen = 3;
constexpr int kNoPresenter = 2;
constexpr DisplayMode kFallbackDesktop{1920, 1080, 32, 60};

// The preferred presenter: named by setPreferredPresenter, otherwise taken from
// KESTRUNE_PRESENTER so that any program can be steered from its environment.
struct PresenterPreference {
  bool set_explicitly = false;
  std::string name;
};

PresenterPreference& preference() {
  static PresenterPreference chosen;
  return chosen;
}

std::string preferredName() {
  if (preference().set_explicitly) return preference().name;
  const char* from_environment = std::getenv("KESTRUNE_PRESENTER");
  return from_environment != nullptr ? from_environment : "";
}

bool sameNameIgnoringCase(const char* a, const std::string& b) {
  size_t i = 0;
  for (; a[i] != '\0' && i < b.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return a[i] == '\0' && i == b.size();
}

// The presenters in the order to try: the preferred one (when the table has it), then the table.
std::vector<const Presenter*> presenterOrder() {
  std::string preferred = preferredName();
  std::vector<const Presenter*> order;
  const Presenter* const* table = presenterTable();
  for (int i = 0; table[i] != nullptr; ++i) {
    if (!preferred.empty() && sameNameIgnoringCase(table[i]->name, preferred)) {
      order.insert(order.begin(), table[i]);
    } else {
      order.push_back(table[i]);
    }
  }
  return order;
}

// KESTRUNE_DESKTOP's sides start at 1: a desktop of one pixel is taken, and the window of half
// its size then fails to open, which start-up reports as such.
constexpr int32_t kDesktopOverrideSideMin = 1;

// Says on standard error that KESTRUNE_DESKTOP holds `text`, which is no desktop size. Once for
// each such value: start-up asks for the desktop's mode more than once.
void reportBadDesktopOverride(const std::string& text) {
  static std::mutex mutex;
  static std::string reported;  // the value last reported
  std::lock_guard<std::mutex> lock(mutex);
  if (text == reported) return;
  reported = text;
  std::fprintf(stderr,
               "KESTRUNE_DESKTOP=\"%s\" is not a desktop size (want %s); using the real desktop "
               "size instead\n",
               text.c_str(), desktopSizeWanted(kDesktopOverrideSideMin).c_str());
  std::fflush(stderr);
}

// KESTRUNE_DESKTOP=WxH: the desktop size a program sees, whatever the display says. A value that
// readDesktopSize refuses is reported and leaves the display's size; an empty one counts as unset.
void applyDesktopOverride(DisplayMode* mode) {
  const char* text = std::getenv("KESTRUNE_DESKTOP");
  if (text == nullptr || *text == '\0') return;
  int32_t width = 0;
  int32_t height = 0;
  if (!readDesktopSize(text, kDesktopOverrideSideMin, &width, &height)) {
    reportBadDesktopOverride(text);
    return;
  }
  mode->width = width;
  mode->height = height;
}

DisplayMode desktopMode() {
  DisplayMode mode = kFallbackDesktop;
  for (const Presenter* presenter : presenterOrder()) {
    DisplayMode asked;
    if (presenter->desktop_mode != nullptr && presenter->desktop_mode(&asked)) {
      mode = asked;
      break;
    }
  }
  applyDesktopOverride(&mode);
  return mode;
}

bool validDepth(int depth) {
  switch (depth) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 15:
    case 16:
    case 24:
    case 32:
      return true;
    default:
      return false;
  }
}

// Depths below 8 still take one byte per pixel: the frame buffer is addressed by whole bytes.
int bytesPerPixel(int depth) { return depth <= 8 ? 1 : (depth + 7) / 8; }

// Fills in everything a presenter needs before it opens; false when the frame buffer cannot be
// had (its rows would not fit an int pitch, or the memory is not there).
bool prepareScreen(ScreenState& screen, int width, int height, int depth, int pages, int flags,
                   int refresh) {
  Guard guard(screen.lock);
  const int bytes_per_pixel = bytesPerPixel(depth);
  if (int64_t(width) * bytes_per_pixel > INT32_MAX) return false;
  screen.width = width;
  screen.height = height;
  screen.depth = depth;
  screen.bytes_per_pixel = bytes_per_pixel;
  screen.pitch = width * bytes_per_pixel;
  screen.refresh = refresh > 0 ? refresh : desktopMode().refresh;
  screen.pages = pages > 0 ? pages : 1;
  screen.flags = flags;
  if (!screen.pixels.allocate(static_cast<size_t>(screen.pitch) * static_cast<size_t>(height))) {
    return false;
  }
  screen.row_changed.assign(static_cast<size_t>(height), 0);
  return true;
}

// A new screen takes titles from its opening on; a closed one takes none and forgets its title.
void takeTitles(ScreenState& screen, bool taken) {
  std::lock_guard<std::mutex> hold(screen.title_lock);
  screen.title_taken = taken;
  screen.title.clear();
  screen.title_pending = false;
}

// Back to "no screen", keeping the keyboard's state.
void clearScreen(ScreenState& screen) {
  takeTitles(screen, false);
  Guard guard(screen.lock);
  screen.open = false;
  screen.width = screen.height = screen.depth = 0;
  screen.bytes_per_pixel = screen.pitch = screen.refresh = 0;
  screen.pages = 1;
  screen.flags = 0;
  screen.pixels.release();
  screen.row_changed = std::vector<uint8_t>();
  screen.presenter = nullptr;
  screen.presenter_data = nullptr;
  screen.window = 0;
  screen.present = nullptr;
}

// Tries each presenter in turn; true once one has its window ready.
bool startPresenter(ScreenState& screen) {
  for (const Presenter* presenter : presenterOrder()) {
    screen.presenter = presenter;
    screen.quit = false;
    if (presenter->open(screen) == 0) return true;
    screen.presenter_data = nullptr;
    screen.window = 0;
    screen.present = nullptr;
  }
  return false;
}

void closeScreenAtExit() { closeScreen(); }

}  // namespace

ScreenState& screenState() {
  // Never destroyed: the presenter and keyboard threads may still touch it while the process ends.
  static ScreenState* const state = new ScreenState;
  return *state;
}

bool takeChangedRows(ScreenState& screen, int* first_row, int* last_row) {
  int first = -1;
  int last = -1;
  for (size_t row = 0; row < screen.row_changed.size(); ++row) {
    if (screen.row_changed[row] == 0) continue;
    if (first < 0) first = static_cast<int>(row);
    last = static_cast<int>(row);
    screen.row_changed[row] = 0;
  }
  if (first < 0) return false;
  *first_row = first;
  *last_row = last;
  return true;
}

bool takeWindowTitle(ScreenState& screen, std::string* title) {
  std::lock_guard<std::mutex> hold(screen.title_lock);
  if (!screen.title_pending) return false;
  *title = screen.title;
  screen.title_pending = false;
  return true;
}

std::string frameDumpFolder(const ScreenState& screen) {
  if (screen.frame_dump_chosen) return screen.frame_dump_folder;
  const char* from_environment = std::getenv("KESTRUNE_FRAME_DUMP");
  return from_environment != nullptr ? from_environment : "";
}

bool takePresentWork(ScreenState& screen, int* first_row, int* last_row, PresentRoutine* present) {
  Guard guard(screen.lock);
  if (!takeChangedRows(screen, first_row, last_row) || screen.present == nullptr) return false;
  *present = screen.present;
  return true;
}

int openScreen(int width, int height, int depth, int pages, int flags, int refresh) {
  if (width <= 0 || height <= 0 || !validDepth(depth)) return 1;
  ScreenState& screen = screenState();
  if (screen.open) return kAlreadyOpen;
  static std::once_flag exit_routine;
  std::call_once(exit_routine, [] { std::atexit(closeScreenAtExit); });
  if (!prepareScreen(screen, width, height, depth, pages, flags, refresh) ||
      !startPresenter(screen)) {
    clearScreen(screen);
    return kNoPresenter;
  }
  takeTitles(screen, true);
  Guard guard(screen.lock);
  screen.open = true;
  return 0;
}

void closeScreen() {
  ScreenState& screen = screenState();
  if (!screen.open) return;
  // A caller that still holds the lock would keep the presenter thread from ever stopping. Nested
  // lockScreen calls took the mutex once, so it is released once.
  if (screen.lock_count > 0) {
    screen.lock_count = 0;
    screen.lock.unlock();
  }
  screen.presenter->close(screen);
  clearScreen(screen);
}

ScreenInfo screenInfo() {
  ScreenState& screen = screenState();
  ScreenInfo info;
  if (!screen.open) {
    DisplayMode desktop = desktopMode();
    info.width = desktop.width;
    info.height = desktop.height;
    info.depth = desktop.depth;
    info.refresh = desktop.refresh;
    return info;
  }
  info.width = screen.width;
  info.height = screen.height;
  info.depth = screen.depth;
  info.bytes_per_pixel = screen.bytes_per_pixel;
  info.pitch = screen.pitch;
  info.refresh = screen.refresh;
  info.presenter = screen.presenter->name;
  return info;
}

uintptr_t windowHandle() { return screenState().window; }

void lockScreen() {
  ScreenState& screen = screenState();
  if (screen.lock_count++ == 0) screen.lock.lock();
}

void* screenPixels() {
  ScreenState& screen = screenState();
  return screen.open ? screen.pixels.data() : nullptr;
}

void unlockScreen(int first_row, int last_row) {
  ScreenState& screen = screenState();
  if (screen.lock_count == 0) return;  // not locked: nothing to release
  if (screen.open) {
    int last_screen_row = screen.height - 1;
    int first = first_row < 0 ? 0 : first_row;
    int last = last_row < 0 || last_row > last_screen_row ? last_screen_row : last_row;
    for (int row = first; row <= last; ++row) screen.row_changed[static_cast<size_t>(row)] = 1;
  }
  if (--screen.lock_count == 0) screen.lock.unlock();
}

// An empty name goes back to the default order, which KESTRUNE_PRESENTER may still steer.
void setPreferredPresenter(const char* name) {
  preference().name = name != nullptr ? name : "";
  preference().set_explicitly = !preference().name.empty();
}

const char* presenterName() {
  ScreenState& screen = screenState();
  return screen.open ? screen.presenter->name : "";
}

bool screenOutputFailed() { return screenState().output_failed.load(); }

void showMouse(int visible) {
  ScreenState& screen = screenState();
  if (visible >= 0) screen.mouse_visible = visible > 0 ? 1 : 0;
  if (screen.open && screen.presenter->show_mouse != nullptr) screen.presenter->show_mouse(screen);
}

void setWindowTitle(const char* title) {
  ScreenState& screen = screenState();
  std::lock_guard<std::mutex> hold(screen.title_lock);
  if (!screen.title_taken || title == nullptr) return;
  screen.title = title;
  screen.title_pending = true;
}

std::string windowTitle() {
  ScreenState& screen = screenState();
  std::lock_guard<std::mutex> hold(screen.title_lock);
  return screen.title;
}

void setFrameDumpFolder(const char* folder) {
  ScreenState& screen = screenState();
  screen.frame_dump_chosen = folder != nullptr;
  screen.frame_dump_folder = folder != nullptr ? folder : "";
}
