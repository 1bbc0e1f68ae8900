// Lays out and draws the on-screen display: receives the canvas, the baked font and what to show;
// hands on the canvas with the bottom band (bar, time, state), the action lines at the top left
// and the statistics box at the top right blended in. Also maps mouse points onto the bar.
#include <algorithm>
#include <cmath>

#include "tools/view/osd_font.h"
#include "tools/view/osd_paint.h"

namespace {

constexpr int kMinFontHeight = 9;
constexpr int kMaxFontHeight = 48;
constexpr int kKnobShadowAlpha = 128;

// A fraction of the recording made safe to draw: NaN as 0, the rest clamped to 0..1.
double sane(double fraction) { return std::isnan(fraction) ? 0.0 : std::clamp(fraction, 0.0, 1.0); }

// How far past the track a point still hits the bar.
int barSlack(const OsdLayout& layout) { return layout.knob_radius + layout.pad / 2; }

// The column centre the bar gives a fraction: 0 at the first column's centre, 1 at the last's
// (the inverse of osdBarFraction).
double barColumn(const OsdRect& bar, double fraction) {
  return bar.x + 0.5 + fraction * std::max(bar.width - 1, 0);
}

void drawLoopTick(OsdCanvas& canvas, const OsdLayout& layout, double fraction) {
  if (std::isnan(fraction) || fraction < 0) return;
  const int width = std::max(2, layout.font_height / 10);
  const int x = static_cast<int>(std::floor(barColumn(layout.bar, sane(fraction)) - width / 2.0));
  const int y = layout.bar.y + layout.bar.height / 2 - (layout.knob_radius - 1);
  osdFillRect(canvas, OsdRect{x, y, width, 2 * layout.knob_radius - 1}, kOsdLoopColor, 256);
}

// The track (dark), the part drawn ahead (grey) and the played part (white) over it, each with a
// smoothed end; the loop ticks; the knob with a soft shadow.
void drawBar(OsdCanvas& canvas, const OsdLayout& layout, const OsdContent& content) {
  const OsdRect& bar = layout.bar;
  const double position = sane(content.position);
  osdFillRect(canvas, bar, kOsdTrackColor, 256);
  const auto span = [&](double fraction) { return std::llround(fraction * bar.width * 256); };
  osdFillSpan(canvas, bar, span(sane(content.drawn_ahead)), kOsdAheadColor);
  osdFillSpan(canvas, bar, span(position), kOsdPlayedColor);
  drawLoopTick(canvas, layout, content.loop_a);
  drawLoopTick(canvas, layout, content.loop_b);
  const double cx = barColumn(bar, position);
  const double cy = bar.y + bar.height / 2.0;
  const double radius = layout.knob_radius;
  osdFillDisc(canvas, cx, cy, radius + 1, kOsdOutlineColor, kKnobShadowAlpha);
  osdFillDisc(canvas, cx, cy, radius, kOsdKnobColor, 256);
}

void drawBand(OsdCanvas& canvas, const OsdLayout& layout, const OsdFont& font,
              const OsdContent& content) {
  osdFillRect(canvas, layout.band, kOsdShadeColor, kOsdShadeAlpha);
  drawBar(canvas, layout, content);
  drawOsdText(canvas, font, layout.margin, layout.text_top, content.time_text, layout.outline);
  if (!content.state_text.empty()) {
    const int x = canvas.width - layout.margin - osdTextWidth(font, content.state_text);
    drawOsdText(canvas, font, x, layout.text_top, content.state_text, layout.outline);
  }
}

// The statistics in a shaded box whose right edge keeps the margin from the canvas's.
void drawStats(OsdCanvas& canvas, const OsdLayout& layout, const OsdFont& font,
               const std::vector<std::string>& stats) {
  if (stats.empty()) return;
  int widest = 0;
  for (const std::string& line : stats) widest = std::max(widest, osdTextWidth(font, line));
  const int count = static_cast<int>(std::min<size_t>(stats.size(), canvas.height));
  OsdRect box;
  box.width = widest + 2 * layout.pad;
  box.height = (count - 1) * layout.line_advance + layout.font_height + 2 * layout.pad;
  box.x = canvas.width - layout.margin - box.width;
  box.y = layout.margin;
  osdFillRect(canvas, box, kOsdShadeColor, kOsdShadeAlpha);
  for (int i = 0; i < count; ++i) {
    const int top = box.y + layout.pad + i * layout.line_advance;
    drawOsdText(canvas, font, box.x + layout.pad, top, stats[i], layout.outline);
  }
}

void drawLines(OsdCanvas& canvas, const OsdLayout& layout, const OsdFont& font,
               const std::vector<std::string>& lines) {
  for (size_t i = 0; i < lines.size(); ++i) {
    const int64_t top = layout.margin + static_cast<int64_t>(i) * layout.line_advance;
    if (top >= canvas.height) break;
    drawOsdText(canvas, font, layout.margin, static_cast<int>(top), lines[i], layout.outline);
  }
}

}  // namespace

int osdFontHeight(int canvas_height) {
  return std::clamp(canvas_height / 30, kMinFontHeight, kMaxFontHeight);
}

// From the bottom up: pad, the bar's row (as tall as the knob), half a pad, the text row, pad.
OsdLayout osdLayout(int canvas_width, int canvas_height) {
  OsdLayout l;
  const int f = osdFontHeight(canvas_height);
  l.font_height = f;
  l.margin = f / 2;
  l.line_advance = f + std::max(1, f / 6);
  l.outline = std::max(2, (f + 6) / 12);
  l.pad = std::max(2, f / 3);
  l.knob_radius = std::max(3, f / 3);
  const int band_height = l.pad + f + l.pad / 2 + 2 * l.knob_radius + 1 + l.pad;
  l.band = OsdRect{0, canvas_height - band_height, canvas_width, band_height};
  l.text_top = l.band.y + l.pad;
  const int bar_row = l.text_top + f + l.pad / 2;  // the knob's top row
  const int thickness = std::max(3, f / 4);
  l.bar = OsdRect{l.margin, bar_row + l.knob_radius - thickness / 2,
                  std::max(1, canvas_width - 2 * l.margin), thickness};
  return l;
}

OsdRect osdBarRect(int canvas_width, int canvas_height) {
  return osdLayout(canvas_width, canvas_height).bar;
}

double osdBarFraction(int canvas_width, int canvas_height, int x, int y) {
  const OsdLayout layout = osdLayout(canvas_width, canvas_height);
  const OsdRect& bar = layout.bar;
  const int slack = barSlack(layout);
  if (x < bar.x - slack || x >= bar.x + bar.width + slack) return -1;
  if (y < bar.y - slack || y >= bar.y + bar.height + slack) return -1;
  if (bar.width < 2) return 0;
  return std::clamp(static_cast<double>(x - bar.x) / (bar.width - 1), 0.0, 1.0);
}

void drawOsd(OsdCanvas& canvas, const OsdFont& font, const OsdContent& content) {
  if (!osdCanvasUsable(canvas)) return;
  const OsdLayout layout = osdLayout(canvas.width, canvas.height);
  if (content.show_bar) drawBand(canvas, layout, font, content);
  drawStats(canvas, layout, font, content.stats);
  drawLines(canvas, layout, font, content.lines);
}
