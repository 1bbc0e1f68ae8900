// Walks the records of one decompressed chunk in order and hands each to its handler.
// Receives the output buffer, the number of bytes written to it and the playback state; hands on
// whether playback goes on, and the walk's messages on standard output.
#pragma once
#include <cstdint>

#include "player/pacing.h"
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
};

// Playback at the end of start-up: the time base taken now, no frame dropped, the drawing cache
// empty. Drawing without calls (the default) decodes triangles and draws nothing, for walks
// that look only at the records.
PlaybackState startPlayback(const PacingServices& services, const TriangleDrawing& drawing = {});

// Playback without pacing: every frame mark goes to `frame_marks`, and every triangle is drawn.
PlaybackState startUnpacedPlayback(const FrameMarkHandler& frame_marks,
                                   const TriangleDrawing& drawing);

// Steps through the records from offset 0 to `length`. Point records, unknown kinds and a record
// cut off by the end of the data leave the rest of the chunk unwalked; a frame mark that says
// stop ends the walk with kStop. Nothing at or beyond `length` is read.
PlaybackStep walkRecords(PlaybackState& playback, const uint8_t* chunk, int64_t length);

// The handlers of the walk. Each receives its record's first byte; the walk has checked that the
// whole record lies within the chunk.
void drawTriangleRecord(PlaybackState& playback, const uint8_t* record);
PlaybackStep handleFrameMark(PlaybackState& playback, const uint8_t* record);
