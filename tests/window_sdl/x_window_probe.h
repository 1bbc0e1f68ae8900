// What the window tests see of the screen's window through the X server, and the openbox window
// manager they run it under. Receives the X display named by DISPLAY (Xvfb, 1280 x 1024); hands
// on the window's place and size on the root, its size hints and pixels, the pictures the tests
// expect, messages a window manager's user would send, and an openbox child process.
#pragma once

// clang-format off
// gtest before Xlib, which defines None and Bool as macros that gtest uses as names.
#include <gtest/gtest.h>
#include <SDL.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on

#include <cstdint>
#include <thread>
#include <vector>

constexpr double kPatience = 10.0;  // seconds; only a failing test waits this long
constexpr int kRootWidth = 1280;
constexpr int kRootHeight = 1024;

// The test's own connection, open for the whole process (the server resets when its last client
// leaves). X errors fail the test instead of ending the process.
Display* testDisplay();
Window screenWindow();  // the open screen's window

struct XRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const XRect&) const = default;
};
std::ostream& operator<<(std::ostream& out, const XRect& rect);

// The window's client area on the root; a zero rectangle when the window is not viewable.
XRect clientOnRoot();
// The frame the window manager puts around the client: left, right, top and bottom widths from
// _NET_FRAME_EXTENTS, all 0 when there is none.
struct FrameExtents {
  long left = 0, right = 0, top = 0, bottom = 0;
  bool operator==(const FrameExtents&) const = default;
};
std::ostream& operator<<(std::ostream& out, const FrameExtents& frame);
FrameExtents frameExtents();
XSizeHints sizeHints();

// Pixels as 0xRRGGBB, rows top first: of the root window (what the screen shows) or of the
// screen's window in its own coordinates. Empty when they cannot be read.
std::vector<uint32_t> rootPixels(const XRect& area);

// A picture for a test to compare against, given as the colours each pixel may have: the blocks
// of the test screen stretched with nearest sampling may round either way where a pixel straddles
// two blocks, so such pixels accept both.
struct ExpectedPicture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> first;   // the colour every pixel should have
  std::vector<uint32_t> second;  // another it may have instead (equal to first where exact)
};

// The test screen: 320 x 240 in eight 80 x 120 blocks, four across and two down, each a 5-6-5
// colour whose 8-bit widening is exact.
constexpr int kBlocksWidth = 320;
constexpr int kBlocksHeight = 240;
extern const uint16_t kBlockPixels[8];
extern const uint32_t kBlockShown[8];

// An area of the given size in the border colour with the blocks stretched into `picture` (in
// the area's coordinates).
ExpectedPicture stretchedBlocks(int width, int height, const XRect& picture, uint32_t border);
// Every pixel of `area` of the root as `wanted` shows it, waited for; on failure says where.
void expectRootShows(const XRect& area, const ExpectedPicture& wanted);

// Fills the open 320 x 240 16-bit screen with the blocks and presents it.
void drawBlocks();

// A request a window manager's user makes: maximise the window (both directions) or undo it.
void askToMaximise(bool maximise);
bool windowMaximised();  // _NET_WM_STATE holds both maximised states
// The window's property (a list of atoms, as _NET_WM_ALLOWED_ACTIONS) holds the named atom.
bool windowListsAtom(const char* property, const char* name);

void pushSdlEvent(SDL_Event event);
SDL_Event keyDown(SDL_Scancode scancode, SDL_Keycode sym, Uint16 mod);
extern const SDL_Event kAltEnter;

// Puts the window module's record back to its state at process start.
void resetScaledWindowModule();

// openbox running on the test's display as a child process, from start() until stop().
class OpenboxSession {
 public:
  // Starts openbox and waits until it manages windows (the root names its check window and the
  // WM_S0 selection has an owner). False when it did not start.
  bool start();
  // Ends openbox and waits until it has let go of the display.
  void stop();
  // Stops openbox for `milliseconds` from now, on a thread of its own: the window manager then
  // answers late, as a busy one would. Join the thread when done.
  std::thread stall(int milliseconds) const;

 private:
  int pid_ = -1;
};
