// When each frame of a recording is on screen for someone watching it: the player shows a frame
// at its mark and holds it until the mark's time stamp is due, waiting at most 230 ms where the
// stamps are 0.25 s or more apart. Receives the frame index's stamps; hands on each frame's start
// on that timeline (frame 0 at 0 s) and the timeline's length, free of any machine's speed.
#pragma once
#include <cstdint>
#include <vector>

#include "seek/frame_index.h"

struct FrameTimes {
  std::vector<double> start;  // seconds; start[0] = 0, never decreasing
  double length = 0;          // when the last frame's hold ends
};

// The hold after a frame whose stamp lies `gap` seconds after the one before: the gap itself,
// 0 for a stamp not after it, 230 ms for a gap of 0.25 s or more.
double heldFor(double gap);

FrameTimes frameTimesOf(const FrameIndex& index);

// Where the frame's hold ends: the next frame's start, or the timeline's length for the last.
double frameEnd(const FrameTimes& times, int64_t frame);

// The frame on screen at `seconds`: the last one starting at or before it (0 before the start).
int64_t frameAt(const FrameTimes& times, double seconds);
