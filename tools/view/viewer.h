// The viewer's state and its actions: playback on the viewing timeline at a speed, seeks, steps,
// loops, the event log and the on-screen display's messages. Receives the options and an open
// seek engine; hands on the frame to show, the lines of the log and what the display says.
#pragma once
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "seek/frame_times.h"
#include "seek/seek_engine.h"
#include "tools/view/osd.h"
#include "tools/view/view_options.h"

struct OsdMessage {
  std::string text;
  double until = 0;  // timer seconds
};

// Frames drawn and presented over the last whole second, for the statistics.
struct RateCounter {
  double since = 0;
  int64_t drawn = 0, shown = 0;
  double drawn_rate = 0, shown_rate = 0;
};

struct Viewer {
  ViewOptions options;
  SeekEngine engine;
  FrameTimes times;
  int64_t last_frame = 0;
  std::string name;  // the recording's file name without ".rec" and part number

  bool paused = false;
  bool at_end = false;  // paused on the last frame after playing to it
  double speed = 1;
  double clock_wall = 0;  // timer seconds at which the timeline stood at clock_time
  double clock_time = 0;

  int64_t shown = -1;                   // the frame presented last
  std::vector<Pixel565> shown_picture;  // its picture
  int64_t presented = 0;                // presentations so far (the log's SEQ)
  int64_t not_presented = 0;            // frames drawn while playing that were late
  int64_t triangles = -1;      // in the frame drawn last; -1 when not known (restored, say)
  int64_t counted_frame = -2;  // the frame drawn last, and the triangle records walked then
  int64_t counted_walked = 0;
  double last_present = 0;
  RateCounter rates;

  int64_t loop_a = -1, loop_b = -1;  // an A-B loop: A set, then B; both -1 when off
  bool loop_all = false;

  bool osd_on = true;
  bool stats_on = false;
  bool redraw = true;  // the display changed: present again even while paused
  std::vector<OsdMessage> messages;
  std::string progress_line;  // while a seek waits for drawing ahead

  std::vector<std::string> pending_keys;  // read while drawing, not handled yet
  double last_poll = 0;
  bool dragging = false;  // the mouse button went down on the progress bar
  std::atomic<bool> cancel_seek{false};
  bool quit = false;
  bool failed = false;  // drawing failed: quit with exit code 1

  FILE* log = nullptr;
  std::string dump_folder;  // KESTRUNE_FRAME_DUMP: each presented frame as a raw file
  std::string title;
  OsdFontPtr font{nullptr, nullptr};
  double last_osd_present = 0;
};

// Writes one line to the event log, flushed at once.
void logEvent(Viewer& viewer, const char* format, ...) __attribute__((format(printf, 2, 3)));
// A line on the on-screen display for a moment.
void say(Viewer& viewer, const std::string& text);

double timelinePosition(const Viewer& viewer);  // seconds on the timeline now
void setClock(Viewer& viewer, double timeline_seconds);

// The actions behind the keys and the mouse.
void togglePause(Viewer& viewer);
bool startAt(Viewer& viewer, int64_t frame);           // the first frame shown, not logged
void seekTo(Viewer& viewer, int64_t frame);            // exact: shows that frame
void seekBy(Viewer& viewer, double seconds);           // from the frame shown, on the timeline
void seekToFraction(Viewer& viewer, double fraction);  // of the timeline's length
void stepFrames(Viewer& viewer, int64_t frames);       // pauses first
void setSpeed(Viewer& viewer, double speed);           // clamped to 1/16..16
void markLoop(Viewer& viewer);                         // A, then B, then off
void toggleLoopAll(Viewer& viewer);
void saveShownFrame(Viewer& viewer);

// Playing: draws every frame due by now, presents the last of them, handles the end and loops.
void playDueFrames(Viewer& viewer);

// The keys and mouse events waiting, each turned into its action.
void handleInput(Viewer& viewer);
// While a frame is being drawn or a seek waits for drawing ahead: reads the keys (kept for
// handleInput), and a quitting key, or any key while a seek waits, cancels the drawing. The
// display's progress line is shown now and then.
void pollDuringDrawing(Viewer& viewer, bool any_key_cancels);

// "mm:ss.t", minutes and seconds to a tenth, for the display.
std::string clockText(double seconds);

// Shows the frame the foreground holds (with the on-screen display unless it is off).
void presentShown(Viewer& viewer, bool new_frame);
