// The "Headless" presenter: no window. Its thread copies the changed rows of the frame buffer
// into an in-memory picture every 10 ms, as a window would be painted, and standard input
// becomes the keyboard. With KESTRUNE_FRAME_DUMP set, whole presented frames also go to files.
#include "runtime/presenter_headless.h"

#include <cstdio>
#include <cstdlib>
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
  int dumped = 0;           // frame files written so far
};

HeadlessData* dataOf(ScreenState& screen) {
  return static_cast<HeadlessData*>(screen.presenter_data);
}

// The frame buffer as little-endian 16-bit values, whatever the host's byte order. A frame that
// cannot be written is reported once and ends the dumping: the screen's output has failed.
void writeDump(ScreenState& screen, HeadlessData& data) {
  char name[32];
  const std::string path = data.dump_folder + "/" + headlessDumpName(data.dumped++, name);
  ByteBuffer bytes;
  std::string error = "cannot write " + path + ": out of memory";
  if (bytes.allocate(screen.pixels.size())) {
    uint8_t* out = bytes.data();
    for (size_t k = 0; k + 1 < bytes.size(); k += 2) {
      uint16_t pixel;
      std::memcpy(&pixel, screen.pixels.data() + k, 2);
      out[k] = static_cast<uint8_t>(pixel & 0xFF);
      out[k + 1] = static_cast<uint8_t>(pixel >> 8);
    }
    if (writeOutputFile(path, bytes.data(), bytes.size(), &error)) return;
  }
  std::fprintf(stderr, "Frame dump: %s\n", error.c_str());
  data.dump_folder.clear();
  screen.output_failed = true;
}

// Only whole 16-bit frames are dumped: the player marks every row of each frame it presents,
// so each presented frame gives one file.
void dumpIfWhole(ScreenState& screen, HeadlessData& data, int first_row, int last_row) {
  if (data.dump_folder.empty() || screen.bytes_per_pixel != 2) return;
  if (first_row == 0 && last_row == screen.height - 1) writeDump(screen, data);
}

// Lock held; presenter thread, or the caller's thread through screen.present.
void presentToMemory(ScreenState& screen, int first_row, int last_row) {
  HeadlessData* data = dataOf(screen);
  HeadlessFrame& frame = data->frame;
  size_t offset = static_cast<size_t>(first_row) * static_cast<size_t>(screen.pitch);
  size_t bytes = static_cast<size_t>(last_row - first_row + 1) * static_cast<size_t>(screen.pitch);
  std::memcpy(data->picture.data() + offset, screen.pixels.data() + offset, bytes);
  frame.presents++;
  frame.first_row = first_row;
  frame.last_row = last_row;
  dumpIfWhole(screen, *data, first_row, last_row);
}

// Lock held. Shows the rows changed since the last present, if any.
void presentChangedRows(ScreenState& screen) {
  int first = 0;
  int last = 0;
  if (takeChangedRows(screen, &first, &last)) screen.present(screen, first, last);
}

void presenterLoop(ScreenState* screen) {
  while (!screen->quit) {
    {
      Guard guard(screen->lock);
      presentChangedRows(*screen);
    }
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
  const char* dump_folder = std::getenv("KESTRUNE_FRAME_DUMP");
  if (dump_folder != nullptr) data->dump_folder = dump_folder;
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
  Guard guard(screen.lock);
  presentChangedRows(screen);
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
