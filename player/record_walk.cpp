// The record walk of one chunk and the seams where triangles and frame marks are handled.
// Receives a decompressed chunk and the playback state; hands triangles to drawing and frame marks
// to pacing, and prints "Points Not implemented!" and the bad-kind message.
#include "player/record_walk.h"

#include "player/player_output.h"
#include "player/stream_records.h"

PlaybackState startPlayback(const PacingServices& services, const TriangleDrawing& drawing) {
  PlaybackState playback;
  playback.services = services;
  playback.pacing = startPacing(services);
  playback.drawing = drawing;
  return playback;
}

PlaybackState startUnpacedPlayback(const FrameMarkHandler& frame_marks,
                                   const TriangleDrawing& drawing) {
  PlaybackState playback;
  playback.drawing = drawing;
  playback.frame_marks = frame_marks;
  return playback;
}

// Triangles of a dropped frame are not drawn and leave the cache alone, so the next drawn
// triangle compares against the last one actually drawn.
void drawTriangleRecord(PlaybackState& playback, const uint8_t* record) {
  if (playback.pacing.skip || playback.drawing.calls == nullptr) return;
  drawTriangle(playback.drawing, readTriangleRecord(record));
}

PlaybackStep handleFrameMark(PlaybackState& playback, const uint8_t* record) {
  const float time_stamp = readFrameMark(record).time_stamp;
  const FrameMarkHandler& handler = playback.frame_marks;
  if (handler.handle != nullptr) return handler.handle(handler.context, time_stamp);
  return paceFrameMark(playback.pacing, playback.services, time_stamp);
}

// The bad-kind message shows the record's first two bytes as a little-endian number. A second
// byte beyond the data counts as 0. The rest of the chunk is skipped.
static PlaybackStep reportBadKind(const uint8_t* record, int64_t bytes_left) {
  const unsigned next = bytes_left > 1 ? record[1] : 0;
  printMessage("Bad ID %u(%s)!\n", record[0] + 256u * next, "");
  return PlaybackStep::kGoOn;
}

// A record that does not fit in the bytes left is not read; the rest of the chunk is skipped.
static PlaybackStep reportCutOffRecord(const uint8_t* record) {
  printMessage("Record %u cut off at the end of the chunk!\n", static_cast<unsigned>(record[0]));
  return PlaybackStep::kGoOn;
}

PlaybackStep walkRecords(PlaybackState& playback, const uint8_t* chunk, int64_t length) {
  int64_t offset = 0;
  while (offset < length) {
    const uint8_t* record = chunk + offset;
    const int64_t bytes_left = length - offset;
    switch (record[0]) {
      case kTriangleKind:
        if (bytes_left < kTriangleRecordSize) return reportCutOffRecord(record);
        drawTriangleRecord(playback, record);
        ++playback.triangles_walked;
        offset += kTriangleRecordSize;
        break;
      case kFrameMarkKind:
        if (bytes_left < kFrameMarkSize) return reportCutOffRecord(record);
        if (handleFrameMark(playback, record) == PlaybackStep::kStop) return PlaybackStep::kStop;
        offset += kFrameMarkSize;
        break;
      case kPointKindA:
      case kPointKindB:
        printMessage("Points Not implemented!\n");
        return PlaybackStep::kGoOn;  // their length is unknown: the rest of the chunk is skipped
      default:
        return reportBadKind(record, bytes_left);
    }
  }
  return PlaybackStep::kGoOn;
}
