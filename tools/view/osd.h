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

// Where the display puts things on a canvas of a given size. Every size follows the font height,
// which follows the canvas height, so the display keeps its proportions from 48 rows to 4K.
struct OsdLayout {
  int font_height = 0;   // osdFontHeight(canvas height): the rows of one text line
  int margin = 0;        // from the canvas edges to the text, the bar and the stats box
  int line_advance = 0;  // from one text line's top to the next one's
  int outline = 0;       // radius of the dark outline around text, in pixels
  int pad = 0;           // around the contents of the band and of the stats box
  OsdRect band;          // the dark band at the bottom (full width)
  int text_top = 0;      // the top row of the time and state text in the band
  OsdRect bar;           // the bar's track (osdBarRect)
  int knob_radius = 0;   // the position knob's radius; it is centred on the track
};
OsdLayout osdLayout(int canvas_width, int canvas_height);

// Colours and opacities. Opacities (alpha) run from 0 (nothing) to 256 (fully covering).
constexpr Pixel565 osdRgb(int r, int g, int b) {  // 8-bit channels, truncated to 5-6-5
  return static_cast<Pixel565>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}
constexpr Pixel565 kOsdShadeColor = 0x0000;  // the band and the stats box: black ...
constexpr int kOsdShadeAlpha = 160;          // ... at 160/256
constexpr Pixel565 kOsdTextColor = 0xFFFF;
constexpr Pixel565 kOsdOutlineColor = 0x0000;
constexpr int kOsdOutlineAlpha = 224;
// The bar is opaque: played part, part drawn ahead, the rest; loop ticks; the knob.
constexpr Pixel565 kOsdPlayedColor = osdRgb(255, 255, 255);
constexpr Pixel565 kOsdAheadColor = osdRgb(136, 136, 136);
constexpr Pixel565 kOsdTrackColor = osdRgb(64, 64, 64);
constexpr Pixel565 kOsdLoopColor = osdRgb(255, 192, 0);
constexpr Pixel565 kOsdKnobColor = osdRgb(255, 255, 255);

// Blends `over` onto `under` at `alpha` (0..256), each channel on its own 5- or 6-bit scale:
// (under * (256 - alpha) + over * alpha + 128) / 256, rounded down. Alpha 0 keeps `under`,
// 256 gives `over`; alpha outside 0..256 is clamped.
constexpr Pixel565 osdBlend(Pixel565 under, Pixel565 over, int alpha) {
  const int a = alpha < 0 ? 0 : (alpha > 256 ? 256 : alpha);
  const int r = ((under >> 11) * (256 - a) + (over >> 11) * a + 128) >> 8;
  const int g = (((under >> 5) & 0x3F) * (256 - a) + ((over >> 5) & 0x3F) * a + 128) >> 8;
  const int b = ((under & 0x1F) * (256 - a) + (over & 0x1F) * a + 128) >> 8;
  return static_cast<Pixel565>((r << 11) | (g << 5) | b);
}

// The width in pixels of `text` in `font` (advances and kerning); characters outside printable
// ASCII count as '?'.
int osdTextWidth(const OsdFont& font, const std::string& text);
// Draws one line of text with its outline, its top row at `top` and its pen starting at `x`,
// clipped to the canvas; `outline` is the outline's radius (0: none).
void drawOsdText(OsdCanvas& canvas, const OsdFont& font, int x, int top, const std::string& text,
                 int outline);
