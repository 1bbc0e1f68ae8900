// Encodes recordings: header, frame marks, triangles, zlib chunks, and part files.
// Receives record values and split points; hands on byte vectors and files on disk.
#include "tools/recording_writer.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>

#include "runtime/files.h"

static void putUint16(Bytes& bytes, uint16_t value) {
  bytes.push_back(static_cast<uint8_t>(value));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}

static void putUint32(Bytes& bytes, uint32_t value) {
  putUint16(bytes, static_cast<uint16_t>(value));
  putUint16(bytes, static_cast<uint16_t>(value >> 16));
}

static void putUint64(Bytes& bytes, uint64_t value) {
  putUint32(bytes, static_cast<uint32_t>(value));
  putUint32(bytes, static_cast<uint32_t>(value >> 32));
}

Bytes headerBytes(const std::array<uint64_t, 32>& texture_ids, const char* magic) {
  Bytes bytes(magic, magic + 4);
  putUint32(bytes, 0);
  for (uint64_t id : texture_ids) putUint64(bytes, id);
  return bytes;
}

Bytes frameMarkBytes(float time_stamp) {
  Bytes bytes = {kFrameMarkKind, 0, 0, 0};
  uint32_t bits = 0;
  static_assert(sizeof(bits) == sizeof(time_stamp));
  std::memcpy(&bits, &time_stamp, sizeof(bits));
  putUint32(bytes, bits);
  return bytes;
}

Bytes triangleRecordBytes(const TriangleRecord& triangle) {
  Bytes bytes = {kTriangleKind,
                 static_cast<uint8_t>((triangle.texture_slot & 31) | (triangle.blend_mode << 5))};
  for (const TriangleVertex& vertex : triangle.vertices) {
    bytes.insert(bytes.end(), {vertex.u, vertex.v, vertex.x, vertex.y});
    putUint16(bytes, vertex.w);
    putUint16(bytes, vertex.colour);
  }
  return bytes;
}

TriangleRecord plainTriangle(uint8_t x0, uint8_t y0, uint8_t x1, uint8_t y1, uint8_t x2, uint8_t y2,
                             uint16_t colour) {
  TriangleRecord triangle;
  const uint8_t xs[3] = {x0, x1, x2};
  const uint8_t ys[3] = {y0, y1, y2};
  for (int k = 0; k < 3; ++k) {
    triangle.vertices[k].x = xs[k];
    triangle.vertices[k].y = ys[k];
    triangle.vertices[k].w = 65535;
    triangle.vertices[k].colour = colour;
  }
  return triangle;
}

Bytes screenCoveringTriangles(uint16_t colour, uint8_t texture_slot, uint8_t blend_mode) {
  const uint8_t corners[4][2] = {{0, 0}, {255, 0}, {255, 255}, {0, 255}};
  Bytes records;
  for (int k = 0; k < 4; ++k) {
    const uint8_t* from = corners[k];
    const uint8_t* to = corners[(k + 1) % 4];
    TriangleRecord triangle = plainTriangle(from[0], from[1], to[0], to[1], 100, 128, colour);
    triangle.texture_slot = texture_slot;
    triangle.blend_mode = blend_mode;
    appendBytes(records, triangleRecordBytes(triangle));
  }
  return records;
}

Bytes lengthField(int32_t length) {
  Bytes bytes;
  putUint32(bytes, static_cast<uint32_t>(length));
  return bytes;
}

Bytes zlibCompressed(const Bytes& data) {
  return zlibCompressed(data.data(), data.size(), Z_DEFAULT_COMPRESSION);
}

Bytes zlibCompressed(const uint8_t* data, size_t size, int level) {
  uLongf length = compressBound(static_cast<uLong>(size));
  Bytes compressed(length);
  if (compress2(compressed.data(), &length, data, static_cast<uLong>(size), level) != Z_OK) {
    return {};
  }
  compressed.resize(length);
  return compressed;
}

Bytes rawChunk(const Bytes& data) {
  return joinBytes({lengthField(static_cast<int32_t>(data.size())), data});
}

Bytes compressedChunk(const Bytes& records) { return rawChunk(zlibCompressed(records)); }

Bytes joinBytes(std::initializer_list<Bytes> pieces) {
  Bytes joined;
  for (const Bytes& piece : pieces) appendBytes(joined, piece);
  return joined;
}

void appendBytes(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

Bytes repeatBytes(const Bytes& bytes, size_t count) {
  Bytes repeated;
  repeated.reserve(bytes.size() * count);
  for (size_t i = 0; i < count; ++i) appendBytes(repeated, bytes);
  return repeated;
}

std::vector<Bytes> splitAt(const Bytes& stream, const std::vector<size_t>& offsets) {
  std::vector<Bytes> parts;
  size_t start = 0;
  for (size_t offset : offsets) {
    const size_t end = offset < start ? start : (offset > stream.size() ? stream.size() : offset);
    parts.emplace_back(stream.begin() + start, stream.begin() + end);
    start = end;
  }
  parts.emplace_back(stream.begin() + start, stream.end());
  return parts;
}

std::vector<Bytes> splitIntoParts(const Bytes& stream, size_t part_length) {
  std::vector<size_t> offsets;
  for (size_t offset = part_length; part_length > 0 && offset < stream.size();
       offset += part_length) {
    offsets.push_back(offset);
  }
  return splitAt(stream, offsets);
}

std::string partPath(const std::string& path_template, int index) {
  std::string path = path_template;
  const size_t found = path.find("%i");
  if (found != std::string::npos) path.replace(found, 2, std::to_string(index));
  return path;
}

bool writeParts(const std::vector<Bytes>& parts, const std::string& path_template,
                std::string* error) {
  for (size_t i = 0; i < parts.size(); ++i) {
    if (!writeFileBytes(partPath(path_template, static_cast<int>(i)), parts[i], error)) {
      return false;
    }
  }
  return true;
}

bool writeFileBytes(const std::string& path, const Bytes& bytes, std::string* error) {
  std::string reason;
  if (writeOutputFile(path, bytes.data(), bytes.size(), &reason)) return true;
  if (error != nullptr) *error = reason;
  return false;
}

PartStreamWriter beginPartStream(const std::string& path_template, size_t part_length) {
  PartStreamWriter writer;
  writer.path_template = path_template;
  writer.part_length = part_length;
  return writer;
}

// Closes the open part; keeps the first failure.
static bool closePart(PartStreamWriter& writer, bool written) {
  if (!writer.open) return written;
  writer.open = false;
  if (finishOutputFile(&writer.file, written)) return written;
  if (writer.error.empty()) writer.error = writer.file.error;
  return false;
}

static bool beginNextPart(PartStreamWriter& writer) {
  if (!closePart(writer, true)) return false;
  if (!beginOutputFile(partPath(writer.path_template, writer.parts), &writer.file)) {
    writer.error = writer.file.error;
    return false;
  }
  writer.parts += 1;
  writer.filled = 0;
  writer.open = true;
  return true;
}

bool writePartStream(PartStreamWriter& writer, const uint8_t* bytes, size_t size) {
  while (size > 0 && writer.error.empty()) {
    if ((!writer.open || writer.filled == writer.part_length) && !beginNextPart(writer)) break;
    const size_t room = writer.part_length - writer.filled;
    const size_t piece = size < room ? size : room;
    if (std::fwrite(bytes, 1, piece, writer.file.stream) != piece) {
      closePart(writer, false);
      break;
    }
    writer.filled += piece;
    bytes += piece;
    size -= piece;
  }
  return writer.error.empty();
}

bool writePartStream(PartStreamWriter& writer, const Bytes& bytes) {
  return writePartStream(writer, bytes.data(), bytes.size());
}

bool finishPartStream(PartStreamWriter& writer) {
  return closePart(writer, writer.error.empty()) && writer.error.empty();
}

// The player's chunk limits, and the compressed size chunks are aimed at: a little below the
// limit, so that the next chunk's somewhat different data rarely passes it.
constexpr size_t kChunkCompressedLimit = 32768;
constexpr size_t kChunkDecompressedLimit = 262144;
constexpr size_t kChunkCompressedAim = 30720;
constexpr size_t kChunkTargetMin = 4096;

static void followRatio(ChunkPacker& packer, size_t decompressed, size_t compressed) {
  const size_t wanted = decompressed * kChunkCompressedAim / (compressed > 0 ? compressed : 1);
  packer.target = wanted < kChunkTargetMin
                      ? kChunkTargetMin
                      : (wanted > kChunkDecompressedLimit ? kChunkDecompressedLimit : wanted);
}

static z_stream* packerDeflater(ChunkPacker& packer) {
  if (!packer.deflater) {
    z_stream* stream = new z_stream{};
    if (deflateInit(stream, packer.level) != Z_OK) {
      delete stream;
      return nullptr;
    }
    packer.deflater = std::shared_ptr<void>(stream, [](void* state) {
      deflateEnd(static_cast<z_stream*>(state));
      delete static_cast<z_stream*>(state);
    });
  }
  return static_cast<z_stream*>(packer.deflater.get());
}

// Compresses the bytes into packer.compressed as one zlib stream; false on failure.
static bool deflateChunk(ChunkPacker& packer, const uint8_t* data, size_t size) {
  z_stream* stream = packerDeflater(packer);
  if (stream == nullptr || deflateReset(stream) != Z_OK) return false;
  packer.compressed.resize(deflateBound(stream, static_cast<uLong>(size)));
  stream->next_in = const_cast<Bytef*>(data);
  stream->avail_in = static_cast<uInt>(size);
  stream->next_out = packer.compressed.data();
  stream->avail_out = static_cast<uInt>(packer.compressed.size());
  if (deflate(stream, Z_FINISH) != Z_STREAM_END) return false;
  packer.compressed.resize(stream->total_out);
  return true;
}

// Writes records first to last (exclusive) as one chunk, or as two halves when the chunk would
// compress to more than the player takes.
static bool writeRecordRange(ChunkPacker& packer, size_t first, size_t last,
                             PartStreamWriter& out) {
  const size_t begin = packer.starts[first];
  const size_t end = last == packer.starts.size() ? packer.records.size() : packer.starts[last];
  if (!deflateChunk(packer, packer.records.data() + begin, end - begin)) {
    out.error = "cannot compress a chunk";
    return false;
  }
  const Bytes& compressed = packer.compressed;
  if (compressed.size() > kChunkCompressedLimit && last - first > 1) {
    const size_t middle = first + (last - first) / 2;
    return writeRecordRange(packer, first, middle, out) &&
           writeRecordRange(packer, middle, last, out);
  }
  followRatio(packer, end - begin, compressed.size());
  return writePartStream(out, lengthField(static_cast<int32_t>(compressed.size()))) &&
         writePartStream(out, compressed);
}

bool flushChunk(ChunkPacker& packer, PartStreamWriter& out) {
  const bool written =
      packer.starts.empty() || writeRecordRange(packer, 0, packer.starts.size(), out);
  packer.records.clear();
  packer.starts.clear();
  return written;
}

bool packRecord(ChunkPacker& packer, const Bytes& record, PartStreamWriter& out) {
  const size_t target =
      packer.target < kChunkDecompressedLimit ? packer.target : kChunkDecompressedLimit;
  if (!packer.records.empty() && packer.records.size() + record.size() > target &&
      !flushChunk(packer, out)) {
    return false;
  }
  packer.starts.push_back(packer.records.size());
  appendBytes(packer.records, record);
  return true;
}
