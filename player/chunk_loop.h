// The chunk loop shared by the player and the tool: per chunk, read its length and data (across
// part files), decompress it, check the budget and walk its records. Receives the open stream and
// the playback state; hands on how playback ended.
#pragma once
#include "player/record_walk.h"
#include "player/recording_stream.h"

// The steps of one chunk, in the order they begin.
enum class ChunkPhase {
  kRead,        // reading the length field and the data
  kDecompress,  // inflating the data into the output buffer
  kWalk,        // walking the records: decoding, drawing and frame marks
  kFinished,    // the loop is over
};

// What the caller adds to the loop; every member may be left empty.
struct ChunkLoopHooks {
  // Asked before every chunk; true ends playback there (the player's stop keys).
  bool (*stop_requested)() = nullptr;
  // Told when each step begins and when the loop ends, so that a caller can time the steps. A
  // step may be announced again while it runs (kRead is, before and inside playChunk).
  void (*phase_begins)(void* context, ChunkPhase phase) = nullptr;
  void* context = nullptr;
};

// One pass: length, data across parts, decompress, budget check, walk. A chunk cut short (past
// the budget) is not walked and ends the stream.
StreamStep playChunk(StreamState& stream, PlaybackState& playback,
                     const ChunkLoopHooks& hooks = {});

// The same, walking the chunk's records from offset `from` on: the chunk at a checkpoint
// (resumeStream), entered at a record in its middle.
StreamStep playChunkFrom(StreamState& stream, PlaybackState& playback, int64_t from,
                         const ChunkLoopHooks& hooks = {});

// Walks the rest of the chunk still in the output buffer, from offset `from` (a walk there that
// a frame mark stopped), without counting it again. kGoOn when the chunk was walked to its end.
StreamStep walkRestOfChunk(StreamState& stream, PlaybackState& playback, int64_t from);

// Chunk after chunk until the stream ends, a stop is requested, a frame mark says stop, or a
// reading step ends the stream. kEnd for an end that is no failure; kBroken when a reading step
// reported the stream broken; kExitNow when the program is to end without its usual end.
StreamStep playChunks(StreamState& stream, PlaybackState& playback,
                      const ChunkLoopHooks& hooks = {});
