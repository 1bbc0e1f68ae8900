// Snapshot compression in the Windows build: zlib at level 1 (its fastest that still compresses),
// as Debian packages no zstd for mingw. Receives buffer bytes; hands on compressed bytes and back.
#include <zlib.h>

#include <limits>
#include <vector>

#include "seek/snapshot_codec.h"

// Fast compression: snapshots are taken while drawing ahead runs at full speed.
constexpr int kSnapshotLevel = 1;

struct SnapshotCodec {
  // The two compressed buffers before they are copied into their snapshot, which then takes
  // exactly their bytes. zlib keeps no state between calls.
  std::vector<uint8_t> scratch[2];
};

namespace {

void freeCodec(SnapshotCodec* codec) { delete codec; }

// zlib counts bytes in uLong, 32 bits on Windows.
bool fitsZlib(int64_t size) {
  return size >= 0 && static_cast<uint64_t>(size) <= std::numeric_limits<uLong>::max();
}

}  // namespace

std::unique_ptr<SnapshotCodec, void (*)(SnapshotCodec*)> makeSnapshotCodec() {
  return {new SnapshotCodec, freeCodec};
}

PackedBytes packSnapshotBuffer(SnapshotCodec& codec, SnapshotBuffer buffer, const void* bytes,
                               int64_t size) {
  std::vector<uint8_t>& scratch = codec.scratch[static_cast<int>(buffer)];
  if (!fitsZlib(size)) return {scratch.data(), 0};
  uLongf written = compressBound(static_cast<uLong>(size));
  if (scratch.size() < written) scratch.resize(written);
  const int result = compress2(scratch.data(), &written, static_cast<const Bytef*>(bytes),
                               static_cast<uLong>(size), kSnapshotLevel);
  return {scratch.data(), result == Z_OK ? static_cast<size_t>(written) : 0};
}

bool unpackSnapshotBuffer(SnapshotCodec&, const uint8_t* packed, int64_t packed_size, void* bytes,
                          int64_t size) {
  if (!fitsZlib(size) || !fitsZlib(packed_size)) return false;
  uLongf written = static_cast<uLong>(size);
  const int result =
      uncompress(static_cast<Bytef*>(bytes), &written, packed, static_cast<uLong>(packed_size));
  return result == Z_OK && written == static_cast<uLongf>(size);
}
