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
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  Bytes compressed(size);
  if (compress(compressed.data(), &size, data.data(), static_cast<uLong>(data.size())) != Z_OK) {
    return {};
  }
  compressed.resize(size);
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
