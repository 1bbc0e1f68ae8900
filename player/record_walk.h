// Walks the records of one decompressed chunk in order and hands each to its handler.
// Receives the output buffer, the number of bytes written to it and the playback state; hands on
// whether playback goes on, and tells the stream's sink of every record and record anomaly.
#pragma once
#include <cstdint>

#include "player/pacing.h"
#include "player/stream_events.h"
#include "player/triangle_drawing.h"

// Takes over frame marks from pacing, for callers that play without a clock (the tool draws
// every frame as fast as it can). Called with the mark's time stamp; its answer ends the walk or
// lets it go on. The context is the caller's own.
struct FrameMarkHandler {
  PlaybackStep (*handle)(void* context, float time_stamp) = nullptr;
  void* context = nullptr;
};

// What the handlers keep across chunks and part files, from the end of start-up to the end.
struct PlaybackState {
  PacingServices services = {};
  PacingState pacing;
  TriangleDrawing drawing;
  // When set, frame marks go here instead of to pacing: nothing is presented, nothing sleeps and
  // no frame is dropped.
  FrameMarkHandler frame_marks;
  int64_t triangles_walked = 0;  // triangle records met, drawn or not
  int64_t frames_walked = 0;     // frame marks met
};

// Where the walk tells what it meets: the stream's sink and the chunk the records lie in.
struct WalkReport {
  const StreamEvents* events = nullptr;
  int64_t chunk = 0;
  FilePlace chunk_place;
};

// Playback at the end of start-up: the time base taken now, no frame dropped, the drawing cache
// empty. Drawing without calls (the default) decodes triangles and draws nothing, for walks
// that look only at the records.
PlaybackState startPlayback(const PacingServices& services, const TriangleDrawing& drawing = {});

// Playback without pacing: every frame mark goes to `frame_marks`, and every triangle is drawn.
PlaybackState startUnpacedPlayback(const FrameMarkHandler& frame_marks,
                                   const TriangleDrawing& drawing);

// Steps through the records from offset `from` (0: the chunk's first record) to `length`, telling
// the sink of each before it is handled. Point records, unknown kinds and a record cut off by the
// end of the data are told as anomalies and leave the rest of the chunk unwalked; a frame mark that
// says stop, or a sink that does, ends the walk with kStop. Nothing at or beyond `length` is read.
PlaybackStep walkRecords(PlaybackState& playback, const uint8_t* chunk, int64_t length,
                         const WalkReport& report, int64_t from = 0);

// The same walk with the player's messages as the sink, for a chunk whose place is not known.
PlaybackStep walkRecords(PlaybackState& playback, const uint8_t* chunk, int64_t length);

// What the walk makes of the record at `record` with `bytes_left` bytes from its first one.
RecordClass classifyRecord(const uint8_t* record, int64_t bytes_left);

// The handlers of the walk. Each receives its record's first byte; the walk has checked that the
// whole record lies within the chunk.
void drawTriangleRecord(PlaybackState& playback, const uint8_t* record);
PlaybackStep handleFrameMark(PlaybackState& playback, const uint8_t* record);
