// The chunk loop shared by the player and the tool, as the named steps of each chunk.
// Receives the stream and the playback state; hands each decompressed chunk to the record walk,
// tells the stream's sink of each chunk and its anomalies, and the caller's hooks when each step
// begins.
#include "player/chunk_loop.h"

#include <zlib.h>

namespace {

void beginPhase(const ChunkLoopHooks& hooks, ChunkPhase phase) {
  if (hooks.phase_begins != nullptr) hooks.phase_begins(hooks.context, phase);
}

// The length field and the data behind it; *bytes_read is less than the length only at the end
// of the last part.
StreamStep readChunk(StreamState& stream, int32_t* length, int32_t* bytes_read) {
  const StreamStep step = readChunkLength(stream, length);
  if (step != StreamStep::kGoOn) return step;
  return readChunkData(stream, *length, bytes_read);
}

void tellChunkAnomaly(const StreamState& stream, AnomalyKind kind, int64_t value, int64_t count) {
  tellAnomaly(stream.events, anomalyAt(kind, stream.chunk_index, stream.chunk_start.chunk_place, -1,
                                       value, count));
}

// The chunk, then what zlib made of it. A full output buffer has its own anomaly: the data may
// be sound, only too long.
void tellChunkRead(const StreamState& stream, int32_t length) {
  tellChunk(stream.events, StreamChunk{stream.chunk_index, stream.chunk_start.chunk_place, length,
                                       stream.decompressed_length, stream.zlib_result});
  if (stream.zlib_result == Z_OK) return;
  const AnomalyKind kind =
      stream.zlib_result == Z_BUF_ERROR ? AnomalyKind::kOversizeChunk : AnomalyKind::kDamagedChunk;
  tellChunkAnomaly(stream, kind, stream.zlib_result, stream.decompressed_length);
}

// The chunk in the output buffer from `from` on; `index` is its number.
StreamStep walkChunkFrom(StreamState& stream, PlaybackState& playback, int64_t index,
                         int64_t from) {
  const WalkReport report{&stream.events, index, stream.chunk_start.chunk_place};
  const PlaybackStep step =
      walkRecords(playback, stream.output.data(), stream.decompressed_length, report, from);
  return step == PlaybackStep::kStop ? StreamStep::kEnd : StreamStep::kGoOn;
}

}  // namespace

StreamStep playChunk(StreamState& stream, PlaybackState& playback, const ChunkLoopHooks& hooks) {
  return playChunkFrom(stream, playback, 0, hooks);
}

StreamStep walkRestOfChunk(StreamState& stream, PlaybackState& playback, int64_t from) {
  return walkChunkFrom(stream, playback, stream.chunk_index - 1, from);
}

StreamStep playChunkFrom(StreamState& stream, PlaybackState& playback, int64_t from,
                         const ChunkLoopHooks& hooks) {
  beginPhase(hooks, ChunkPhase::kRead);
  int32_t length = 0;
  int32_t bytes_read = 0;
  const StreamStep step = readChunk(stream, &length, &bytes_read);
  if (step != StreamStep::kGoOn) return step;
  beginPhase(hooks, ChunkPhase::kDecompress);
  decompressChunk(stream, bytes_read);
  if (!chunkWithinBudget(stream, length)) {  // cut short: not walked
    tellChunkAnomaly(stream, AnomalyKind::kBudgetOverrun, length, bytes_read);
    return StreamStep::kEnd;
  }
  tellChunkRead(stream, length);
  beginPhase(hooks, ChunkPhase::kWalk);
  stream.chunk_index += 1;  // counted once walked, also when a frame mark stops the walk
  return walkChunkFrom(stream, playback, stream.chunk_index - 1, from);
}

StreamStep playChunks(StreamState& stream, PlaybackState& playback, const ChunkLoopHooks& hooks) {
  StreamStep step = StreamStep::kEnd;
  for (;;) {
    beginPhase(hooks, ChunkPhase::kRead);  // finding the next chunk may open the next part
    if (!streamHasMore(stream)) break;
    if (hooks.stop_requested != nullptr && hooks.stop_requested()) break;
    step = playChunk(stream, playback, hooks);
    if (step != StreamStep::kGoOn) break;
  }
  beginPhase(hooks, ChunkPhase::kFinished);
  return step == StreamStep::kGoOn ? StreamStep::kEnd : step;
}
