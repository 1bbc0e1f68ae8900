// Builds recordings byte by byte: the header, records, compressed or raw chunks, and part files
// split at any offsets. Receives texture ids, records and split points; hands on bytes and files.
// Tests use it for well-formed and damaged recordings alike; the demo recording is made with it,
// and long synthetic recordings are streamed out through it chunk by chunk.
#pragma once
#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "player/stream_records.h"
#include "runtime/files.h"

using Bytes = std::vector<uint8_t>;

constexpr int kWriterHeaderSize = 264;

// The 264-byte header: magic, 4 spare bytes (zero), then the ids of texture slots 1 to 32.
// `magic` gives the first four bytes (only its first four characters are used).
Bytes headerBytes(const std::array<uint64_t, 32>& texture_ids = {}, const char* magic = "KREC");

// Records. The triangle's slot is kept to 5 bits and its blend mode to 3.
Bytes frameMarkBytes(float time_stamp);
Bytes triangleRecordBytes(const TriangleRecord& triangle);
// A triangle of one colour at three screen positions, no texture, blend mode 0.
TriangleRecord plainTriangle(uint8_t x0, uint8_t y0, uint8_t x1, uint8_t y1, uint8_t x2, uint8_t y2,
                             uint16_t colour);
// Four triangles of one colour around the off-centre point (100, 128) that cover the whole
// screen. No edge runs along a diagonal of the screen: such an edge passes through a corner of
// the view volume, where clipping can round the whole triangle away on some window shapes.
Bytes screenCoveringTriangles(uint16_t colour, uint8_t texture_slot = 0, uint8_t blend_mode = 0);

// A 4-byte little-endian length field holding any value, for damaged cases as well.
Bytes lengthField(int32_t length);
// A chunk: the length of zlib's compress output, then that output.
Bytes compressedChunk(const Bytes& records);
// A chunk whose data is taken as given: its length field, then the bytes.
Bytes rawChunk(const Bytes& data);
// zlib's compress output for the bytes, without a length field; empty when zlib fails. The second
// form takes the first `size` bytes at a compression level (Z_DEFAULT_COMPRESSION is compress's).
Bytes zlibCompressed(const Bytes& data);
Bytes zlibCompressed(const uint8_t* data, size_t size, int level);

// Concatenation.
Bytes joinBytes(std::initializer_list<Bytes> pieces);
void appendBytes(Bytes& to, const Bytes& more);
// `count` copies of the bytes back to back.
Bytes repeatBytes(const Bytes& bytes, size_t count);

// Cuts the stream at the given byte offsets (ascending, each within the stream): n offsets give
// n + 1 parts, the first holding the header.
std::vector<Bytes> splitAt(const Bytes& stream, const std::vector<size_t>& offsets);
// Splits the way a recorder does: every part but the last holds `part_length` bytes.
std::vector<Bytes> splitIntoParts(const Bytes& stream, size_t part_length);

// The template with its first "%i" replaced by the index; the template itself when it has none.
std::string partPath(const std::string& path_template, int index);
// Writes each part to partPath(template, its index). False when a file cannot be written, with
// the reason in *error when it is given. Files are written whole or not at all, and only regular
// files are written (a named pipe under the name is refused).
bool writeParts(const std::vector<Bytes>& parts, const std::string& path_template,
                std::string* error = nullptr);
bool writeFileBytes(const std::string& path, const Bytes& bytes, std::string* error = nullptr);

// Writing a long recording as it is made, without holding it whole: records go into chunks that
// keep to the player's limits, chunks go into part files of a fixed length.

// Part files written one after another: every part but the last holds `part_length` bytes, the
// way splitIntoParts cuts a whole stream. A part is begun only when bytes arrive for it.
struct PartStreamWriter {
  std::string path_template;
  size_t part_length = 0;
  int parts = 0;      // parts begun so far; the last of them is open when `open` is set
  size_t filled = 0;  // bytes in the open part
  bool open = false;
  OutputFile file;
  std::string error;  // the first failure, once there is one
};

PartStreamWriter beginPartStream(const std::string& path_template, size_t part_length);
// Appends bytes to the stream, beginning further parts as parts fill. False on failure.
bool writePartStream(PartStreamWriter& writer, const uint8_t* bytes, size_t size);
bool writePartStream(PartStreamWriter& writer, const Bytes& bytes);
// Finishes the open part; false when it or an earlier write failed.
bool finishPartStream(PartStreamWriter& writer);

// Records collected into compressed chunks. A chunk is filled to `target` decompressed bytes
// (never more than the player's 262144) and ends at a record's end; after each chunk the target
// follows the compression ratio seen, so that chunks come near, but not above, the player's
// 32768 compressed bytes. A chunk that still compresses to more is written as two halves.
struct ChunkPacker {
  Bytes records;               // the records of the chunk being filled
  std::vector<size_t> starts;  // each record's offset in `records`
  size_t target = 65536;
  int level = 1;  // zlib level: Z_BEST_SPEED keeps long recordings quick to write
  // Zlib's deflate state and the compressed chunk, kept from chunk to chunk: making them anew
  // for each chunk costs more than compressing it.
  std::shared_ptr<void> deflater;
  Bytes compressed;
};

// Adds one record, writing the chunk before it to `out` when the record would pass the target.
bool packRecord(ChunkPacker& packer, const Bytes& record, PartStreamWriter& out);
// Writes the records collected so far as chunks (none when there are none).
bool flushChunk(ChunkPacker& packer, PartStreamWriter& out);
