// The screen: one window with a software frame buffer, served by a presenter thread.
// Callers open it, lock it, write pixels and unlock the rows they changed; the presenter thread
// copies changed rows to the window. Integer error codes: 0 = success, 1 = illegal call.
#pragma once
#include <cstdint>
#include <string>

struct ScreenInfo {
  int width = 0;
  int height = 0;
  int depth = 0;            // bits per pixel
  int bytes_per_pixel = 0;  // 0 before a screen is open
  int pitch = 0;            // bytes per row; 0 before a screen is open
  int refresh = 0;          // Hz
  const char* presenter = "";  // the active presenter's name, "" when none
};

// Flags of openScreen.
constexpr int kScreenFullScreen = 1;
constexpr int kScreenOpenGL = 2;
constexpr int kScreenNoToggle = 4;
constexpr int kScreenShaped = 16;

// Opens the screen window. Width and height above 0 and depth one of 1, 2, 4, 8, 15, 16, 24, 32,
// else 1; pages of 0 or less mean 1. Returns once the presenter thread reports the window ready;
// a non-zero code other than 1 when no presenter could open it (or one is open already).
int openScreen(int width, int height, int depth, int pages, int flags, int refresh);

// Closes the screen and stops the presenter thread; nothing happens when none is open.
void closeScreen();

// The open screen's values, or before opening the desktop's display mode (bytes per pixel and
// pitch 0).
ScreenInfo screenInfo();

// The window's native handle, 0 when there is none.
uintptr_t windowHandle();

// Locks nest by a count; the first lock takes the presenter's lock.
void lockScreen();
// The visible page's first pixel, rows top first; null without a screen.
void* screenPixels();
// Marks rows first..last as changed (negative first = 0, negative last = the last row) and
// releases the presenter's lock when the count returns to 0.
void unlockScreen(int first_row, int last_row);

// The presenter of that name (case-insensitive) is tried first by the next openScreen; an empty
// name (or null) restores the default order.
void setPreferredPresenter(const char* name);
// The active presenter's name as it spells it, "" when no screen is open.
const char* presenterName();

// True once a presenter could not deliver a frame where it was asked to (KESTRUNE_FRAME_DUMP set
// to a folder that cannot take the files, say); it has said so on standard error.
bool screenOutputFailed();

// 0 hides the cursor over the client area, above 0 shows it, below 0 leaves the setting.
void showMouse(int visible);

// Any thread. Sets the window's title to a copy of `title` (UTF-8, or ANSI on Windows, as given);
// the presenter applies it on its own thread on its next turn, so this never waits for a frame
// being shown. Nothing happens without an open screen, or for a null title.
void setWindowTitle(const char* title);
// The last title set since the open screen opened; "" when none was, or no screen is open.
std::string windowTitle();

// Caller's thread, before openScreen. Where the headless presenter writes every presented frame:
// null leaves it to KESTRUNE_FRAME_DUMP (the default), "" writes none, anything else is the
// folder.
void setFrameDumpFolder(const char* folder);
