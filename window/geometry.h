// The scalable window's arithmetic, free of any platform: receives sizes and positions (the
// requested size, the screen's mode, the desktop, the client area) and hands on outer window
// sizes, letterbox margins, mapped mouse and cursor positions and stretch rectangles.
#pragma once
#include <cstdint>

// All arithmetic below is that of the 32-bit program: products wrap as signed 32-bit values and
// quotients are truncated toward zero. A zero divisor (a minimized window's client area, a mode
// that is not known yet) never divides; each function says what it gives then.

// Where and how big setupScaledWindow makes the window, and its SetWindowPos flags.
struct WindowPlacement {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;  // outer size
  int32_t height = 0;
  uint32_t flags = 0;  // kPlaceKeepZOrder or kPlaceTopmost
};

// SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW: both sizes given, the Z order stays.
constexpr uint32_t kPlaceKeepZOrder = 100;
// SWP_FRAMECHANGED | SWP_SHOWWINDOW: the window is made topmost.
constexpr uint32_t kPlaceTopmost = 96;

// The inputs of the outer-size table.
struct PlacementInputs {
  int32_t width = 0;  // requested: above 0 a client size, 0 the desktop, below 0 by aspect
  int32_t height = 0;
  int32_t mode_width = 0;  // the open screen's size
  int32_t mode_height = 0;
  int32_t desktop_width = 0;
  int32_t desktop_height = 0;
  int32_t frame_width = 0;  // outer size minus client size
  int32_t frame_height = 0;
};

// The outer size and centred position for a requested size. A side derived through the aspect
// ratio from a mode side of 0 comes out as just the frame (the quotient counts as 0).
WindowPlacement outerPlacement(const PlacementInputs& in);

// Letterbox margins: x left and right, y top and bottom.
struct Margins {
  int32_t x = 0;
  int32_t y = 0;
};

// The margins that fit the mode into the display with its aspect kept; both 0 when keepAspect
// is false or a mode side is 0.
Margins letterboxMargins(int32_t mode_width, int32_t mode_height, int32_t display_width,
                         int32_t display_height, bool keep_aspect);

struct Rect32 {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// The client area left inside an outer area of the given size once the margins are taken off
// its sides; without the top margin when no_top_margin is set (the "OpenGL" presenter).
Rect32 letterboxedClient(int32_t outer_width, int32_t outer_height, Margins margins,
                         bool no_top_margin);

struct Point32 {
  int32_t x = 0;
  int32_t y = 0;
};

// A client-area position in screen pixels: x * modeWidth / clientWidth, y likewise. A side whose
// client size is 0 (a minimized window) is left as it is: there is no client area to scale it
// from.
Point32 clientToScreenPixels(Point32 client, int32_t client_width, int32_t client_height,
                             int32_t mode_width, int32_t mode_height);

// The same mapping on a mouse message's lParam: x the signed low 16 bits, y the arithmetic high
// half; the result packs y' << 16 with x' & 0xFFFF.
int32_t mapMouseParam(int32_t lparam, int32_t client_width, int32_t client_height,
                      int32_t mode_width, int32_t mode_height);

// Passed for a setScaledMouse argument that is to stay as it is.
constexpr int32_t kScaledMouseUnchanged = -32768;

enum class CursorMove {
  kNone,    // x or y is kScaledMouseUnchanged: the cursor is not moved
  kPlace,   // move it to `client`
  kRefuse,  // x or y is outside the screen: setScaledMouse fails and changes nothing
};

struct CursorPlacement {
  CursorMove move = CursorMove::kNone;
  Point32 client;
};

// Where setScaledMouse puts the cursor for screen pixel (x, y): (x * cw / modeWidth,
// y * ch / modeHeight) in the client area. x and y taken unsigned must lie below the mode's size
// (so a mode side of 0 refuses every point).
CursorPlacement cursorPlacement(int32_t x, int32_t y, int32_t client_width, int32_t client_height,
                                int32_t mode_width, int32_t mode_height);

// Where stretchBlit draws a source rectangle of the screen in the client area: each of x, width
// scaled by clientWidth / modeWidth, each of y, height by clientHeight / modeHeight. A mode side
// of 0 gives 0 for that side's position and size (nothing is drawn).
Rect32 stretchRect(Rect32 source, int32_t client_width, int32_t client_height, int32_t mode_width,
                   int32_t mode_height);

// The margins' colour as a COLORREF, 0x00BBGGRR, each component taken modulo 256.
uint32_t borderColourOf(int32_t red, int32_t green, int32_t blue);
