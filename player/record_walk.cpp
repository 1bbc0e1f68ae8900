// The record walk of one chunk and the seams where triangles and frame marks are handled.
// Receives a decompressed chunk and the playback state; hands triangles to drawing and frame marks
// to pacing, and tells the stream's sink of every record and of those it cannot step over.
#include "player/record_walk.h"

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

RecordClass classifyRecord(const uint8_t* record, int64_t bytes_left) {
  switch (record[0]) {
    case kFrameMarkKind:
      return bytes_left < kFrameMarkSize ? RecordClass::kCutOff : RecordClass::kFrameMark;
    case kTriangleKind:
      return bytes_left < kTriangleRecordSize ? RecordClass::kCutOff : RecordClass::kTriangle;
    case kPointKindA:
    case kPointKindB:
      return RecordClass::kPoints;
    default:
      return RecordClass::kBadKind;
  }
}

namespace {

StreamRecord recordAt(const PlaybackState& playback, const WalkReport& report, const uint8_t* chunk,
                      int64_t offset, int64_t length) {
  StreamRecord record;
  record.chunk = report.chunk;
  record.chunk_place = report.chunk_place;
  record.offset = offset;
  record.frame = playback.frames_walked;
  record.bytes = chunk + offset;
  record.bytes_left = length - offset;
  record.what = classifyRecord(record.bytes, record.bytes_left);
  return record;
}

// A record the walk cannot step over: points (their length is unknown), an unknown kind, or one
// cut off by the end of the data. The bad-kind anomaly carries the record's first two bytes as a
// little-endian number, a second byte beyond the data counting as 0.
void tellStuckRecord(const WalkReport& report, const StreamRecord& record) {
  StreamAnomaly anomaly = anomalyAt(AnomalyKind::kPoints, report.chunk, report.chunk_place,
                                    record.offset, record.bytes[0]);
  if (record.what == RecordClass::kBadKind) {
    anomaly.kind = AnomalyKind::kBadKind;
    anomaly.count = record.bytes[0] + 256 * (record.bytes_left > 1 ? record.bytes[1] : 0);
  } else if (record.what == RecordClass::kCutOff) {
    anomaly.kind = AnomalyKind::kCutOffRecord;
    anomaly.count = record.bytes_left;
  }
  tellAnomaly(*report.events, anomaly);
}

}  // namespace

PlaybackStep walkRecords(PlaybackState& playback, const uint8_t* chunk, int64_t length,
                         const WalkReport& report, int64_t from) {
  const StreamEvents& events = *report.events;
  int64_t offset = from;
  while (offset < length) {
    const StreamRecord record = recordAt(playback, report, chunk, offset, length);
    if (events.record != nullptr && !events.record(events.context, record)) {
      return PlaybackStep::kStop;
    }
    switch (record.what) {
      case RecordClass::kTriangle:
        drawTriangleRecord(playback, record.bytes);
        ++playback.triangles_walked;
        offset += kTriangleRecordSize;
        break;
      case RecordClass::kFrameMark:
        ++playback.frames_walked;
        if (handleFrameMark(playback, record.bytes) == PlaybackStep::kStop) {
          return PlaybackStep::kStop;
        }
        offset += kFrameMarkSize;
        break;
      default:
        tellStuckRecord(report, record);
        return PlaybackStep::kGoOn;  // the rest of the chunk is skipped
    }
  }
  return PlaybackStep::kGoOn;
}

PlaybackStep walkRecords(PlaybackState& playback, const uint8_t* chunk, int64_t length) {
  static const StreamEvents kMessages = playerMessageEvents();
  return walkRecords(playback, chunk, length, WalkReport{&kMessages, 0, {}});
}
