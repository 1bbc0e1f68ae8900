// Builds the frame index through the stream's event sink: every frame mark ends a frame, whose
// successor begins right behind it. Receives a recording path; hands on the entries.
#include "seek/frame_index.h"

#include "player/chunk_loop.h"
#include "player/stream_records.h"

namespace {

struct Indexing {
  FrameIndex* index = nullptr;
  IndexedFrame next;  // the frame whose records come next
};

bool noteRecord(void* context, const StreamRecord& record) {
  Indexing& indexing = *static_cast<Indexing*>(context);
  if (record.what != RecordClass::kFrameMark) return true;
  IndexedFrame& frame = indexing.next;
  frame.time_stamp = readFrameMark(record.bytes).time_stamp;
  indexing.index->frames.push_back(frame);
  frame.chunk = record.chunk;
  frame.part = record.chunk_place.part;
  frame.chunk_offset = record.chunk_place.offset;
  frame.record_offset = static_cast<int32_t>(record.offset + kFrameMarkSize);
  return true;
}

void noteAnomaly(void* context, const StreamAnomaly& anomaly) {
  FrameIndex& index = *static_cast<Indexing*>(context)->index;
  index.anomalies += 1;
  if (endsStream(anomaly.kind)) index.ended_by_anomaly = true;
}

PlaybackStep goOn(void*, float) { return PlaybackStep::kGoOn; }

}  // namespace

FrameIndex buildFrameIndex(const std::string& path_template) {
  FrameIndex index;
  Indexing indexing{&index, {}};
  StreamState stream;
  stream.path_template = path_template;
  stream.events.record = noteRecord;
  stream.events.anomaly = noteAnomaly;
  stream.events.context = &indexing;
  RecordingHeader header;
  index.open = openRecording(stream, &header);
  if (index.open != OpenRecordingResult::kOpened) return index;
  indexing.next.chunk_offset = kRecordingHeaderSize;
  allocateChunkBuffers(stream);
  PlaybackState playback = startUnpacedPlayback({goOn, nullptr}, TriangleDrawing{});
  playChunks(stream, playback);
  closeRecording(stream);
  return index;
}
