// Snapshot compression in the native build: zstd at its fastest level, with a compression and a
// decompression context kept per codec. Receives buffer bytes; hands on compressed bytes and back.
#include <zstd.h>

#include <vector>

#include "seek/snapshot_codec.h"

// Fast compression: snapshots are taken while drawing ahead runs at full speed.
constexpr int kSnapshotLevel = 1;

struct SnapshotCodec {
  ZSTD_CCtx* compress = nullptr;
  ZSTD_DCtx* decompress = nullptr;
  // The two compressed buffers before they are copied into their snapshot, which then takes
  // exactly their bytes.
  std::vector<uint8_t> scratch[2];
};

namespace {

void freeCodec(SnapshotCodec* codec) {
  ZSTD_freeCCtx(codec->compress);
  ZSTD_freeDCtx(codec->decompress);
  delete codec;
}

}  // namespace

std::unique_ptr<SnapshotCodec, void (*)(SnapshotCodec*)> makeSnapshotCodec() {
  auto* codec = new SnapshotCodec;
  codec->compress = ZSTD_createCCtx();
  codec->decompress = ZSTD_createDCtx();
  return {codec, freeCodec};
}

PackedBytes packSnapshotBuffer(SnapshotCodec& codec, SnapshotBuffer buffer, const void* bytes,
                               int64_t size) {
  std::vector<uint8_t>& scratch = codec.scratch[static_cast<int>(buffer)];
  const size_t bound = ZSTD_compressBound(static_cast<size_t>(size));
  if (scratch.size() < bound) scratch.resize(bound);
  const size_t written = ZSTD_compressCCtx(codec.compress, scratch.data(), bound, bytes,
                                           static_cast<size_t>(size), kSnapshotLevel);
  return {scratch.data(), ZSTD_isError(written) ? 0 : written};
}

bool unpackSnapshotBuffer(SnapshotCodec& codec, const uint8_t* packed, int64_t packed_size,
                          void* bytes, int64_t size) {
  const size_t written = ZSTD_decompressDCtx(codec.decompress, bytes, static_cast<size_t>(size),
                                             packed, static_cast<size_t>(packed_size));
  return !ZSTD_isError(written) && written == static_cast<size_t>(size);
}
