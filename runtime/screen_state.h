// The process-wide screen state shared by the screen service, the keyboard and the presenters.
// Presenter files and the runtime use it; nothing outside runtime/ (and the window module) should.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "runtime/byte_buffer.h"
#include "runtime/mouse.h"

struct ScreenState;

// Copies rows first..last of the frame buffer to the window. It takes the presenter's lock itself
// while it reads the frame buffer (or other state the lock guards) and shows what it copied out
// without it: presenter threads call it without the lock, so that a slow show (a present that
// waits for the display, a frame file) keeps no key or frame waiting. Any thread may call it,
// holding the lock or not (it is recursive). The window module may redirect it.
using PresentRoutine = void (*)(ScreenState& screen, int first_row, int last_row);

struct DisplayMode {
  int width = 0;
  int height = 0;
  int depth = 0;
  int refresh = 0;
};

// One presenter: a backend that makes and serves the window. Presenters sit in one ordered table
// per build (presenterTable); open() returns non-zero when it cannot work here, and the next
// entry is tried.
struct Presenter {
  const char* name;
  // Caller's thread. The desktop's display mode; false when this presenter cannot tell it here.
  bool (*desktop_mode)(DisplayMode* mode);
  // Caller's thread, screen state filled in (size, pixels, flags). Starts the presenter thread and
  // returns 0 once the window is ready; non-zero (nothing left running) when it cannot open.
  int (*open)(ScreenState& screen);
  // Caller's thread, lock not held. Stops the presenter thread and destroys the window.
  void (*close)(ScreenState& screen);
  // Caller's thread, lock not held. Makes the window apply screen.mouse_visible.
  void (*show_mouse)(ScreenState& screen);
  // True when the window delivers keys (the keyboard is never closed while it is open).
  bool gives_keys;
};

// The build's presenters in their default order, ended by a null entry.
const Presenter* const* presenterTable();

// The presenters, each defined in its own file (presenter_<name>.cpp).
extern const Presenter kHeadlessPresenter;
extern const Presenter kSdlPresenter;  // native build with SDL2 only
extern const Presenter kGdiPresenter;  // Windows build only

constexpr int kKeyQueueSize = 16;
constexpr int kMouseQueueSize = 64;
constexpr int kScancodes = 128;

struct ScreenState {
  // The presenter's lock: frame buffer, changed rows, present routine, key queue, key-held
  // flags and mouse queue. Held only while they are read or written: presenters copy out what they
  // show under it, then show it, dispatch window events and write files without it.
  std::recursive_mutex lock;

  bool open = false;
  int width = 0;
  int height = 0;
  int depth = 0;
  int bytes_per_pixel = 0;
  int pitch = 0;
  int refresh = 0;
  int pages = 1;
  int flags = 0;
  ByteBuffer pixels;                 // the visible page, pitch * height bytes
  int lock_count = 0;                // caller's thread only
  std::vector<uint8_t> row_changed;  // one flag per row

  bool key_held[kScancodes] = {};
  bool key_went_down[kScancodes] = {};  // went down since keyDownSinceLastLook last asked
  int key_queue[kKeyQueueSize] = {};
  int key_head = 0;  // oldest entry
  int key_tail = 0;  // next free slot; head == tail means empty
  bool key_event = false;
  std::atomic<bool> stdin_closed{false};

  MouseEvent mouse_queue[kMouseQueueSize] = {};
  int mouse_head = 0;   // oldest entry
  int mouse_count = 0;  // entries held, up to kMouseQueueSize

  // The window's title, apart from the presenter's lock so that setting it never waits for a
  // frame being copied or shown. Titles are taken only while a screen is open.
  std::mutex title_lock;
  bool title_taken = false;    // a screen is open and takes titles
  std::string title;           // the last title set since the screen opened
  bool title_pending = false;  // the presenter has not applied `title` yet

  // Caller's thread, before openScreen: the folder setFrameDumpFolder chose for frame dumps.
  bool frame_dump_chosen = false;  // false: KESTRUNE_FRAME_DUMP decides
  std::string frame_dump_folder;   // "" for no dumps

  int mouse_visible = 1;

  const Presenter* presenter = nullptr;
  void* presenter_data = nullptr;    // owned by the presenter
  uintptr_t window = 0;              // native handle, 0 when none
  PresentRoutine present = nullptr;  // the presenter's present routine, redirectable
  std::thread thread;                // the presenter thread
  std::atomic<bool> quit{false};     // asks the presenter thread to stop
  // Set by a presenter that could not deliver a frame where it was asked to (a frame file that
  // could not be written); stays set until the process ends.
  std::atomic<bool> output_failed{false};
};

ScreenState& screenState();

// Takes the span of changed rows and clears all changed flags; false when no row changed.
// The caller holds the lock.
bool takeChangedRows(ScreenState& screen, int* first_row, int* last_row);

// Presenter thread. Takes a title set since the last call into *title; false when none is new.
bool takeWindowTitle(ScreenState& screen, std::string* title);

// Caller's thread, at open. The folder whole presented frames go to: the one setFrameDumpFolder
// chose, else KESTRUNE_FRAME_DUMP's value; "" for no frame files.
std::string frameDumpFolder(const ScreenState& screen);

// Takes the lock for a presenter's turn: the span of changed rows (their flags cleared) and the
// present routine to show them with, read together. False when no row changed or no routine is
// set; the rows are taken either way.
bool takePresentWork(ScreenState& screen, int* first_row, int* last_row, PresentRoutine* present);
