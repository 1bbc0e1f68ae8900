// Builds the viewing timeline from the frame index's time stamps: each frame starts when the
// one before it has been held for its (shortened) gap, as the player's pacing holds it.
#include "seek/frame_times.h"

#include <algorithm>

double heldFor(double gap) {
  if (gap >= 0.25) return 0.23;
  return gap > 0 ? gap : 0;
}

FrameTimes frameTimesOf(const FrameIndex& index) {
  FrameTimes times;
  times.start.reserve(index.frames.size());
  double now = 0;
  double previous_stamp = 0;  // playback starts at recording time 0
  for (const IndexedFrame& frame : index.frames) {
    times.start.push_back(now);
    now += heldFor(double(frame.time_stamp) - previous_stamp);
    previous_stamp = frame.time_stamp;
  }
  times.length = now;
  return times;
}

int64_t frameAt(const FrameTimes& times, double seconds) {
  const auto after = std::upper_bound(times.start.begin(), times.start.end(), seconds);
  if (after == times.start.begin()) return 0;
  return int64_t(after - times.start.begin()) - 1;
}

double frameEnd(const FrameTimes& times, int64_t frame) {
  if (frame + 1 >= int64_t(times.start.size())) return times.length;
  return times.start[size_t(frame + 1)];
}
