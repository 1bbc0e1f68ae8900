// The viewer's actions and its playing: each changes the state, writes its log line and a
// display message, and puts the seek engine's foreground on the frame to show.
#include "tools/view/viewer.h"

#include <algorithm>
#include <cstdarg>

#include "runtime/timing.h"
#include "tools/tool_frame_files.h"

namespace {

constexpr double kMessageSeconds = 2.0;
constexpr double kMinSpeed = 1.0 / 16;
constexpr double kMaxSpeed = 16;
// Frames later than this behind their time move the clock, as the player's pacing does, so that
// a speed the machine cannot draw at still shows a frame now and then.
constexpr double kLongestUnshown = 0.5;

// Tells the display how far drawing ahead has got while a seek waits for it, and answers the
// keys that stop waiting (any key cancels; quitting keys also quit).
void seekWaiting(void* context, int64_t reached, int64_t wanted);

// Told after every frame the foreground draws: keeps the keys answered during long drawing.
bool frameDrawn(void* context, FrameDrawer& drawer) {
  Viewer& viewer = *static_cast<Viewer*>(context);
  // A frame's triangles are the records walked since the frame before it (whether that one was
  // drawn here or restored from a snapshot taken right after it).
  const int64_t walked = drawer.playback.triangles_walked;
  viewer.triangles = drawer.frame == viewer.counted_frame + 1 ? walked - viewer.counted_walked : -1;
  viewer.counted_frame = drawer.frame;
  viewer.counted_walked = walked;
  if (timerSeconds() - viewer.last_poll >= 0.05) pollDuringDrawing(viewer, false);
  return true;
}

bool draw(Viewer& viewer, int64_t frame, bool playing) {
  SeekProgress progress{seekWaiting, &viewer.cancel_seek, &viewer};
  viewer.cancel_seek = false;
  viewer.engine.foreground.listener = {frameDrawn, &viewer};
  const SeekResult result = playing ? drawOnTo(viewer.engine, frame, progress)
                                    : seekFrame(viewer.engine, frame, progress);
  viewer.engine.foreground.listener = {};
  viewer.progress_line.clear();
  if (result == SeekResult::kFailed) {
    std::fprintf(stderr, "kestrune view: could not draw frame %lld\n",
                 static_cast<long long>(frame));
    viewer.failed = viewer.quit = true;
  }
  if (result != SeekResult::kDone) return false;
  viewer.rates.drawn += 1;
  return true;
}

void handleEnd(Viewer& viewer) {
  logEvent(viewer, "end %lld", static_cast<long long>(viewer.shown));
  if (viewer.options.exit_at_end) {
    viewer.quit = true;
  } else if (viewer.loop_all || viewer.options.loop) {
    seekTo(viewer, 0);
  } else {
    viewer.paused = viewer.at_end = true;
    say(viewer, "End of the recording");
  }
}

}  // namespace

void logEvent(Viewer& viewer, const char* format, ...) {
  if (viewer.log == nullptr) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(viewer.log, format, args);
  va_end(args);
  std::fputc('\n', viewer.log);
  std::fflush(viewer.log);
}

void say(Viewer& viewer, const std::string& text) {
  viewer.messages.push_back({text, timerSeconds() + kMessageSeconds});
  if (viewer.messages.size() > 4) viewer.messages.erase(viewer.messages.begin());
  viewer.redraw = true;
}

double timelinePosition(const Viewer& viewer) {
  if (viewer.paused) return viewer.clock_time;
  return viewer.clock_time + (timerSeconds() - viewer.clock_wall) * viewer.speed;
}

void setClock(Viewer& viewer, double timeline_seconds) {
  viewer.clock_time = timeline_seconds;
  viewer.clock_wall = timerSeconds();
}

void togglePause(Viewer& viewer) {
  if (viewer.paused && viewer.at_end) seekTo(viewer, 0);  // playing again from the start
  viewer.paused = !viewer.paused;
  viewer.at_end = false;
  logEvent(viewer, "%s %lld", viewer.paused ? "pause" : "resume",
           static_cast<long long>(viewer.shown));
  setClock(viewer, viewer.times.start[size_t(std::max<int64_t>(viewer.shown, 0))]);
  viewer.redraw = true;
}

void seekTo(Viewer& viewer, int64_t frame) {
  frame = std::clamp<int64_t>(frame, 0, viewer.last_frame);
  if (!draw(viewer, frame, false)) {
    if (!viewer.quit) say(viewer, "Seek cancelled");
    return;
  }
  logEvent(viewer, "seek %lld", static_cast<long long>(frame));
  say(viewer,
      "Frame " + std::to_string(frame) + "  " + clockText(viewer.times.start[size_t(frame)]));
  viewer.at_end = false;
  presentShown(viewer, true);
  setClock(viewer, viewer.times.start[size_t(frame)]);
}

bool startAt(Viewer& viewer, int64_t frame) {
  frame = std::clamp<int64_t>(frame, 0, viewer.last_frame);
  if (!draw(viewer, frame, false)) return false;
  presentShown(viewer, true);
  setClock(viewer, viewer.times.start[size_t(frame)]);
  return true;
}

void seekBy(Viewer& viewer, double seconds) {
  const double from = viewer.times.start[size_t(viewer.shown)];
  const double to = std::clamp(from + seconds, 0.0, viewer.times.length);
  seekTo(viewer, frameAt(viewer.times, to));
}

void seekToFraction(Viewer& viewer, double fraction) {
  seekTo(viewer, frameAt(viewer.times, std::clamp(fraction, 0.0, 1.0) * viewer.times.length));
}

void stepFrames(Viewer& viewer, int64_t frames) {
  if (!viewer.paused) togglePause(viewer);
  const int64_t target = std::clamp<int64_t>(viewer.shown + frames, 0, viewer.last_frame);
  if (target != viewer.shown) seekTo(viewer, target);
}

void setSpeed(Viewer& viewer, double speed) {
  const double now = timelinePosition(viewer);
  viewer.speed = std::clamp(speed, kMinSpeed, kMaxSpeed);
  setClock(viewer, now);
  logEvent(viewer, "speed %g", viewer.speed);
  char text[32];
  std::snprintf(text, sizeof text, "Speed %.2fx", viewer.speed);
  say(viewer, text);
}

void markLoop(Viewer& viewer) {
  if (viewer.loop_a < 0) {
    viewer.loop_a = viewer.shown;
    say(viewer, "Loop A: frame " + std::to_string(viewer.shown));
  } else if (viewer.loop_b < 0) {
    viewer.loop_b = std::max(viewer.loop_a, viewer.shown);
    viewer.loop_a = std::min(viewer.loop_a, viewer.shown);
    logEvent(viewer, "loop %lld %lld", static_cast<long long>(viewer.loop_a),
             static_cast<long long>(viewer.loop_b));
    say(viewer, "Loop A-B: frames " + std::to_string(viewer.loop_a) + " to " +
                    std::to_string(viewer.loop_b));
  } else {
    viewer.loop_a = viewer.loop_b = -1;
    logEvent(viewer, "loop off");
    say(viewer, "Loop A-B cleared");
  }
}

void toggleLoopAll(Viewer& viewer) {
  viewer.loop_all = !viewer.loop_all;
  if (viewer.loop_all) {
    logEvent(viewer, "loop 0 %lld", static_cast<long long>(viewer.last_frame));
  } else {
    logEvent(viewer, "loop off");
  }
  say(viewer, viewer.loop_all ? "Loop: the whole recording" : "Loop off");
}

void saveShownFrame(Viewer& viewer) {
  const std::string path = viewer.name + "_" + frameFileName(viewer.shown, "png");
  const FramePicture picture{viewer.shown_picture.data(), viewer.engine.foreground.target.width,
                             viewer.engine.foreground.target.height};
  std::string error;
  if (!writePngFrame(path, picture, &error)) {
    std::fprintf(stderr, "kestrune view: %s\n", error.c_str());
    say(viewer, "Could not save " + path);
    return;
  }
  logEvent(viewer, "saved %s", path.c_str());
  say(viewer, "Saved " + path);
}

void playDueFrames(Viewer& viewer) {
  double now = timelinePosition(viewer);
  const bool looping_ab = viewer.loop_b >= 0;
  if (looping_ab && viewer.shown >= viewer.loop_b && now >= frameEnd(viewer.times, viewer.loop_b)) {
    return seekTo(viewer, viewer.loop_a);
  }
  if (viewer.shown >= viewer.last_frame && now >= viewer.times.length) return handleEnd(viewer);
  const int64_t limit = looping_ab ? viewer.loop_b : viewer.last_frame;
  int64_t due = std::min(frameAt(viewer.times, now), limit);
  if (due <= viewer.shown) return;
  int64_t frame = viewer.engine.foreground.frame;
  while (frame < due) {
    frame = std::max(frame + 1, viewer.shown + 1);
    if (!draw(viewer, frame, true)) return;
    due = std::min(frameAt(viewer.times, timelinePosition(viewer)), limit);
    if (frame >= due) break;
    viewer.not_presented += 1;  // drawn, but the next frame is due already
    if (timerSeconds() - viewer.last_present > kLongestUnshown) {
      setClock(viewer, viewer.times.start[size_t(frame)]);
      break;
    }
  }
  presentShown(viewer, true);
}

namespace {

void seekWaiting(void* context, int64_t reached, int64_t wanted) {
  Viewer& viewer = *static_cast<Viewer*>(context);
  char text[96];
  const double share =
      100.0 * double(std::max<int64_t>(reached, 0)) / double(std::max<int64_t>(wanted, 1));
  std::snprintf(text, sizeof text, "Drawing ahead to frame %lld: %.0f%% (any key cancels)",
                static_cast<long long>(wanted), share);
  viewer.progress_line = text;
  pollDuringDrawing(viewer, true);
}

}  // namespace
