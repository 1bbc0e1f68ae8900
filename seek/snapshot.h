// Drawing snapshots: everything the frames after a frame depend on, taken right after that frame
// was filtered: the render buffer (with the filter's pair averages in it), the depth buffer, the
// drawing cache, the renderer switches the records touch, and the stream position of the next
// record. Receives a drawer's state; hands on a compressed record (zstd natively, zlib in the
// Windows build: snapshot_codec.h), and the same state back.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "player/recording_stream.h"
#include "player/render_target.h"
#include "player/triangle_drawing.h"
#include "renderer/matrix_math.h"

// The renderer state the triangle records change besides the buffers.
struct RendererSwitches {
  int blend_on = 0;
  int texturing_on = 0;
  int bound_texture = 0;  // the texture name bound to GL_TEXTURE_2D
  Vec4 colour = {1, 1, 1, 1};
  Vec4 tex_coord = {0, 0, 0, 1};
};

struct Snapshot {
  int64_t frame = -1;         // taken after this frame's mark
  StreamCheckpoint chunk;     // the chunk that holds the next record
  int64_t record_offset = 0;  // the next record's offset in that chunk
  int64_t triangles_walked = 0;
  DrawingCache cache;
  RendererSwitches switches;
  int64_t render_bytes = 0;  // the two buffers' sizes before compression
  int64_t depth_bytes = 0;
  int64_t packed_render = 0;  // compressed render buffer, then compressed depth buffer
  std::vector<uint8_t> packed;
};

// The bytes a stored snapshot takes.
int64_t snapshotBytes(const Snapshot& snapshot);

// Compression state kept across snapshots, one per thread that takes or restores them. Defined
// by the build's compressor (snapshot_codec_posix.cpp, snapshot_codec_win32.cpp).
struct SnapshotCodec;
std::unique_ptr<SnapshotCodec, void (*)(SnapshotCodec*)> makeSnapshotCodec();

// The current context's switches; its buffers are taken from `target`, whose context must be
// current and whose drawing threads have finished.
RendererSwitches currentSwitches();
bool takeSnapshot(SnapshotCodec& codec, const RenderTarget& target, Snapshot* snapshot);

// Writes the snapshot's buffers into `target` (of the same size) and its switches into the
// current context. False when the data does not decompress to the target's buffers.
bool restoreSnapshot(SnapshotCodec& codec, const Snapshot& snapshot, RenderTarget& target);
void applySwitches(const RendererSwitches& switches);
