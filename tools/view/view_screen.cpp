// What the viewer puts on the screen: the frame shown with the on-screen display over it, the
// window's title, and for tests each new frame as a raw file and a log line. Receives the
// viewer's state; hands on the window's frame buffer.
#include <algorithm>
#include <cstring>

#include "runtime/screen.h"
#include "runtime/timing.h"
#include "tools/tool_frame_files.h"
#include "tools/view/viewer.h"

namespace {

std::string speedText(double speed) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2fx", speed);
  return text;
}

std::string stateText(const Viewer& viewer) {
  std::string text;
  if (viewer.paused) text = viewer.at_end ? "end" : "paused";
  if (viewer.speed != 1) text += (text.empty() ? "" : "  ") + speedText(viewer.speed);
  if (viewer.loop_all || viewer.options.loop)
    text += (text.empty() ? "" : "  ") + std::string("loop");
  return text;
}

std::vector<std::string> statsLines(Viewer& viewer) {
  const StoreFigures store = storeFigures(viewer.engine.store);
  char line[7][96];
  std::snprintf(line[0], sizeof line[0], "frame %lld / %lld", static_cast<long long>(viewer.shown),
                static_cast<long long>(viewer.last_frame));
  std::snprintf(line[1], sizeof line[1], "time %s / %s",
                clockText(viewer.times.start[size_t(viewer.shown)]).c_str(),
                clockText(viewer.times.length).c_str());
  std::snprintf(line[2], sizeof line[2], "speed %s", speedText(viewer.speed).c_str());
  std::snprintf(line[3], sizeof line[3], "fps shown %.1f  drawn %.1f", viewer.rates.shown_rate,
                viewer.rates.drawn_rate);
  std::snprintf(line[4], sizeof line[4], "not presented %lld",
                static_cast<long long>(viewer.not_presented));
  if (viewer.triangles >= 0) {
    std::snprintf(line[5], sizeof line[5], "triangles %lld",
                  static_cast<long long>(viewer.triangles));
  } else {
    std::snprintf(line[5], sizeof line[5], "triangles -");
  }
  std::snprintf(line[6], sizeof line[6], "snapshots %lld, %.0f MiB of %.0f",
                static_cast<long long>(store.count), double(store.used) / (1 << 20),
                double(viewer.engine.store.budget) / (1 << 20));
  return {line[0], line[1], line[2], line[3], line[4], line[5], line[6]};
}

OsdContent osdContent(Viewer& viewer) {
  OsdContent content;
  const double length = std::max(viewer.times.length, 1e-9);
  const int64_t frames = viewer.last_frame + 1;
  content.position = viewer.times.start[size_t(viewer.shown)] / length;
  const DrawAhead* ahead = viewer.engine.ahead.get();
  const int64_t reached = ahead == nullptr  ? viewer.last_frame
                          : ahead->finished ? viewer.last_frame
                                            : ahead->reached.load();
  content.drawn_ahead = reached < 0 ? 0 : frameEnd(viewer.times, reached) / length;
  if (viewer.loop_a >= 0) content.loop_a = viewer.times.start[size_t(viewer.loop_a)] / length;
  if (viewer.loop_b >= 0) content.loop_b = frameEnd(viewer.times, viewer.loop_b) / length;
  content.time_text = clockText(viewer.times.start[size_t(viewer.shown)]) + " / " +
                      clockText(viewer.times.length) + "   frame " + std::to_string(viewer.shown) +
                      " / " + std::to_string(frames - 1);
  content.state_text = stateText(viewer);
  for (const OsdMessage& message : viewer.messages) content.lines.push_back(message.text);
  if (!viewer.progress_line.empty()) content.lines.push_back(viewer.progress_line);
  if (viewer.stats_on) content.stats = statsLines(viewer);
  return content;
}

void writeDump(Viewer& viewer) {
  if (viewer.dump_folder.empty()) return;
  const std::string path = viewer.dump_folder + "/" + frameFileName(viewer.presented, "raw");
  const FramePicture picture{viewer.shown_picture.data(), viewer.engine.foreground.target.width,
                             viewer.engine.foreground.target.height};
  std::string error;
  if (!writeRawFrame(path, picture, &error)) {
    std::fprintf(stderr, "kestrune view: %s\n", error.c_str());
    viewer.dump_folder.clear();  // said once; the viewer goes on
  }
}

void updateTitle(Viewer& viewer) {
  std::string title = viewer.name + " - frame " + std::to_string(viewer.shown) + " / " +
                      std::to_string(viewer.last_frame);
  const std::string state = stateText(viewer);
  if (!state.empty()) title += " - " + state;
  title += " - kestrune view";
  if (title == viewer.title) return;
  viewer.title = title;
  setWindowTitle(title.c_str());
}

void takeNewFrame(Viewer& viewer) {
  const RenderTarget& target = viewer.engine.foreground.target;
  const Pixel565* picture = seekPicture(viewer.engine);
  viewer.shown = viewer.engine.foreground.picture_frame;
  viewer.shown_picture.assign(picture, picture + size_t(target.width) * size_t(target.height));
  logEvent(viewer, "present %lld frame %lld", static_cast<long long>(viewer.presented),
           static_cast<long long>(viewer.shown));
  writeDump(viewer);
  viewer.presented += 1;
  viewer.rates.shown += 1;
}

}  // namespace

std::string clockText(double seconds) {
  const int64_t tenths = static_cast<int64_t>(seconds * 10 + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld.%lld", static_cast<long long>(tenths / 600),
                static_cast<long long>(tenths / 10 % 60), static_cast<long long>(tenths % 10));
  return text;
}

void presentShown(Viewer& viewer, bool new_frame) {
  if (new_frame) takeNewFrame(viewer);
  if (viewer.shown < 0) return;
  const RenderTarget& target = viewer.engine.foreground.target;
  const ScreenInfo screen = screenInfo();
  lockScreen();
  auto* pixels = static_cast<uint8_t*>(screenPixels());
  const bool fits = pixels != nullptr && screen.width == target.width &&
                    screen.height == target.height && screen.bytes_per_pixel == 2;
  if (fits) {
    for (int32_t y = 0; y < target.height; ++y) {
      std::memcpy(pixels + size_t(y) * size_t(screen.pitch),
                  viewer.shown_picture.data() + size_t(y) * size_t(target.width),
                  size_t(target.width) * 2);
    }
    if (viewer.osd_on && viewer.font) {
      OsdCanvas canvas{reinterpret_cast<Pixel565*>(pixels), screen.width, screen.height,
                       screen.pitch / 2};
      drawOsd(canvas, *viewer.font, osdContent(viewer));
    }
  }
  unlockScreen(0, -1);
  updateTitle(viewer);
  viewer.redraw = false;
  viewer.last_present = viewer.last_osd_present = timerSeconds();
}
