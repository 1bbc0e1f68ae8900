// Walks the records of one decompressed chunk in order and hands each to its handler.
// Receives the output buffer, the number of bytes written to it and the playback state; hands on
// whether playback goes on, and the walk's messages on standard output.
#pragma once
#include <cstdint>

#include "player/pacing.h"
#include "player/triangle_drawing.h"

// What the handlers keep across chunks and part files, from the end of start-up to the end.
struct PlaybackState {
  PacingServices services;
  PacingState pacing;
  TriangleDrawing drawing;
};

// Playback at the end of start-up: the time base taken now, no frame dropped, the drawing cache
// empty. Drawing without calls (the default) decodes triangles and draws nothing, for walks
// that look only at the records.
PlaybackState startPlayback(const PacingServices& services, const TriangleDrawing& drawing = {});

// Steps through the records from offset 0 to `length`. Point records, unknown kinds and a record
// cut off by the end of the data leave the rest of the chunk unwalked; a frame mark that says
// stop ends the walk with kStop. Nothing at or beyond `length` is read.
PlaybackStep walkRecords(PlaybackState& playback, const uint8_t* chunk, int64_t length);

// The handlers of the walk. Each receives its record's first byte; the walk has checked that the
// whole record lies within the chunk.
void drawTriangleRecord(PlaybackState& playback, const uint8_t* record);
PlaybackStep handleFrameMark(PlaybackState& playback, const uint8_t* record);
