// The viewer's on-screen display: a progress bar, the time and frame, the state and short action
// lines, drawn over a copy of the window picture in DejaVu Sans (built into the program, drawn
// with stb_truetype). Receives 5-6-5 pixels and what to show; hands on the pixels with the display
// blended over them. Never used on the pictures the viewer saves or dumps.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "renderer/zbuffer.h"  // Pixel565

// Pixels to draw into: width x height, rows top first, `pitch` pixels from one row to the next.
struct OsdCanvas {
  Pixel565* pixels = nullptr;
  int width = 0;
  int height = 0;
  int pitch = 0;
};

// Glyphs rasterised once at a pixel height chosen for the canvas height.
struct OsdFont;
using OsdFontPtr = std::unique_ptr<OsdFont, void (*)(OsdFont*)>;
// Null only when the built-in font cannot be read (it always can in a good build).
OsdFontPtr makeOsdFont(int pixel_height);
// The pixel height the display uses on a canvas of this height (readable from 120 rows to 4K).
int osdFontHeight(int canvas_height);

// What the display shows. Fractions are of the recording's length, 0..1.
struct OsdContent {
  bool show_bar = true;    // the progress bar with the time line (off: only `lines` and `stats`)
  double position = 0;     // where the frame shown lies
  double drawn_ahead = 0;  // how far drawing ahead has reached
  double loop_a = -1;      // A-B loop marks, below 0 when not set
  double loop_b = -1;
  std::string time_text;   // "01:23.4 / 10:00.0  frame 2500 / 18000", left of the bar's line
  std::string state_text;  // "paused", "2x", "paused  0.5x", right of the bar's line; may be empty
  std::vector<std::string> lines;  // action lines, top left, newest last
  std::vector<std::string> stats;  // statistics lines, top right (the `i` key), may be empty
};

// Blends the display over the canvas.
void drawOsd(OsdCanvas& canvas, const OsdFont& font, const OsdContent& content);

// The progress bar's place on a canvas of this size (for mouse hits): x, y, width, height.
struct OsdRect {
  int x = 0, y = 0, width = 0, height = 0;
};
OsdRect osdBarRect(int canvas_width, int canvas_height);
// The fraction of the recording a point on the canvas stands for when it hits the bar (a little
// slack above and below it); below 0 when it misses.
double osdBarFraction(int canvas_width, int canvas_height, int x, int y);
