// The chunk loop shared by the player and the tool, as the named steps of each chunk.
// Receives the stream and the playback state; hands each decompressed chunk to the record walk
// and tells the caller's hooks when each step begins.
#include "player/chunk_loop.h"

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

StreamStep walkChunk(StreamState& stream, PlaybackState& playback) {
  const PlaybackStep step = walkRecords(playback, stream.output.data(), stream.decompressed_length);
  return step == PlaybackStep::kStop ? StreamStep::kEnd : StreamStep::kGoOn;
}

}  // namespace

StreamStep playChunk(StreamState& stream, PlaybackState& playback, const ChunkLoopHooks& hooks) {
  beginPhase(hooks, ChunkPhase::kRead);
  int32_t length = 0;
  int32_t bytes_read = 0;
  const StreamStep step = readChunk(stream, &length, &bytes_read);
  if (step != StreamStep::kGoOn) return step;
  beginPhase(hooks, ChunkPhase::kDecompress);
  decompressChunk(stream, bytes_read);
  if (!chunkWithinBudget(stream, length)) return StreamStep::kEnd;  // cut short: not walked
  beginPhase(hooks, ChunkPhase::kWalk);
  return walkChunk(stream, playback);
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
