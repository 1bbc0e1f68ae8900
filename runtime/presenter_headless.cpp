// The "Headless" presenter: no window. Its thread copies the changed rows of the frame buffer
// into an in-memory picture every 10 ms, as a window would be painted, and standard input
// becomes the keyboard (and the mouse). With KESTRUNE_FRAME_DUMP set (or a folder given to
// setFrameDumpFolder), whole presented frames also go to files, written after the presenter's
// lock is let go. A window title set is only kept (windowTitle).
#include "runtime/presenter_headless.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "runtime/files.h"
#include "runtime/keyboard.h"
#include "runtime/platform.h"
#include "runtime/screen.h"
#include "runtime/screen_state.h"

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr int kLoopMilliseconds = 10;

bool stdin_keyboard = true;

// Owned by the presenter from open to close.
struct HeadlessData {
  ByteBuffer picture;       // what a window would show: pitch * height bytes
  HeadlessFrame frame;      // the counters of the last present (its pixels stay empty)
  std::string dump_folder;  // empty: no frame files
  int dumped = 0;           // frame files named so far
};

HeadlessData* dataOf(ScreenState& screen) {
  return static_cast<HeadlessData*>(screen.presenter_data);
}

// A whole frame on its way to its frame file: converted under the lock, written without it.
struct FrameFile {
  std::string path;  // empty: no file to write
  ByteBuffer bytes;  // empty when the memory for the frame could not be had
};

// Lock held. Only whole 16-bit frames are dumped: the player marks every row of each frame it
// presents, so each presented frame gives one file. The frame buffer goes into the file as
// little-endian 16-bit values, whatever the host's byte order.
void takeFrameFile(ScreenState& screen, HeadlessData& data, int first_row, int last_row,
                   FrameFile* file) {
  if (data.dump_folder.empty() || screen.bytes_per_pixel != 2) return;
  if (first_row != 0 || last_row != screen.height - 1) return;
  char name[32];
  file->path = data.dump_folder + "/" + headlessDumpName(data.dumped++, name);
  if (!file->bytes.allocate(screen.pixels.size())) return;
  uint8_t* out = file->bytes.data();
  for (size_t k = 0; k + 1 < file->bytes.size(); k += 2) {
    uint16_t pixel;
    std::memcpy(&pixel, screen.pixels.data() + k, 2);
    out[k] = static_cast<uint8_t>(pixel & 0xFF);
    out[k + 1] = static_cast<uint8_t>(pixel >> 8);
  }
}

// Lock not held while the file is written. A frame that cannot be written is reported once and
// ends the dumping: the screen's output has failed.
void writeFrameFile(ScreenState& screen, const FrameFile& file) {
  std::string error = "cannot write " + file.path + ": out of memory";
  if (file.bytes.size() > 0 &&
      writeOutputFile(file.path, file.bytes.data(), file.bytes.size(), &error)) {
    return;
  }
  bool first_failure = false;
  {
    Guard guard(screen.lock);
    HeadlessData* data = dataOf(screen);
    first_failure = data != nullptr && !data->dump_folder.empty();
    if (data != nullptr) data->dump_folder.clear();
  }
  if (!first_failure) return;
  std::fprintf(stderr, "Frame dump: %s\n", error.c_str());
  screen.output_failed = true;
}

// Presenter thread, or any thread through screen.present. The rows go to the in-memory window
// under the lock; a frame file is written after it is let go.
void presentToMemory(ScreenState& screen, int first_row, int last_row) {
  FrameFile file;
  {
    Guard guard(screen.lock);
    HeadlessData* data = dataOf(screen);
    HeadlessFrame& frame = data->frame;
    size_t offset = static_cast<size_t>(first_row) * static_cast<size_t>(screen.pitch);
    size_t bytes =
        static_cast<size_t>(last_row - first_row + 1) * static_cast<size_t>(screen.pitch);
    std::memcpy(data->picture.data() + offset, screen.pixels.data() + offset, bytes);
    frame.presents++;
    frame.first_row = first_row;
    frame.last_row = last_row;
    takeFrameFile(screen, *data, first_row, last_row, &file);
  }
  if (!file.path.empty()) writeFrameFile(screen, file);
}

// Lock not held. Shows the rows changed since the last present, if any.
void presentChangedRows(ScreenState& screen) {
  int first = 0;
  int last = 0;
  PresentRoutine present = nullptr;
  if (takePresentWork(screen, &first, &last, &present)) present(screen, first, last);
}

void presenterLoop(ScreenState* screen) {
  while (!screen->quit) {
    presentChangedRows(*screen);
    sleepMilliseconds(kLoopMilliseconds);
  }
}

bool headlessDesktopMode(DisplayMode* mode) {
  *mode = DisplayMode{1920, 1080, 32, 60};
  return true;
}

// No window to make, but the flag that asks for the "OpenGL" presenter is refused like every
// presenter other than that one refuses it.
int openHeadless(ScreenState& screen) {
  if ((screen.flags & kScreenOpenGL) != 0) return 1;
  HeadlessData* data = new HeadlessData;
  if (!data->picture.allocate(screen.pixels.size())) {
    delete data;
    return 1;
  }
  data->dump_folder = frameDumpFolder(screen);
  screen.presenter_data = data;
  screen.window = 0;
  screen.present = presentToMemory;
  screen.thread = std::thread(presenterLoop, &screen);
  if (stdin_keyboard) startStdinKeyboard();
  return 0;
}

// A frame presented just before the screen closes is still shown (and dumped), as a window's
// last paint would show it.
void closeHeadless(ScreenState& screen) {
  screen.quit = true;
  if (screen.thread.joinable()) screen.thread.join();
  presentChangedRows(screen);
  Guard guard(screen.lock);
  delete dataOf(screen);
  screen.presenter_data = nullptr;
}

}  // namespace

const Presenter kHeadlessPresenter = {
    "Headless", headlessDesktopMode, openHeadless, closeHeadless, nullptr, false,
};

bool headlessPresented(HeadlessFrame* frame) {
  ScreenState& screen = screenState();
  Guard guard(screen.lock);
  if (!screen.open || screen.presenter != &kHeadlessPresenter) return false;
  const HeadlessData& data = *dataOf(screen);
  *frame = data.frame;
  frame->pixels.assign(data.picture.data(), data.picture.data() + data.picture.size());
  return true;
}

void setHeadlessStdinKeyboard(bool enabled) { stdin_keyboard = enabled; }

const char* headlessDumpName(int index, char (&name)[32]) {
  std::snprintf(name, sizeof name, "frame_%06d.raw", index);
  return name;
}
