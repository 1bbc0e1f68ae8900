// The compressor behind drawing snapshots, one per build: zstd natively (snapshot_codec_posix.cpp,
// fast), zlib in the Windows build (snapshot_codec_win32.cpp; Debian has no zstd for mingw).
// Receives a buffer's bytes; hands on its compressed bytes, and the same bytes back from them.
#pragma once
#include <cstddef>
#include <cstdint>

#include "seek/snapshot.h"

// Each snapshot compresses two buffers; each has scratch space of its own in the codec, so the
// first one's bytes are still there while the second one is compressed.
enum class SnapshotBuffer { kRender, kDepth };

// Compressed bytes in the codec's scratch space for that buffer, valid until the next call for
// the same buffer. size 0 when compression failed.
struct PackedBytes {
  const uint8_t* data = nullptr;
  size_t size = 0;
};

PackedBytes packSnapshotBuffer(SnapshotCodec& codec, SnapshotBuffer buffer, const void* bytes,
                               int64_t size);

// Decompresses `packed` into exactly `size` bytes; false when the data is damaged or gives
// another length.
bool unpackSnapshotBuffer(SnapshotCodec& codec, const uint8_t* packed, int64_t packed_size,
                          void* bytes, int64_t size);
