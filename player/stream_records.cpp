// Decodes frame marks and triangle records where they lie in a decompressed chunk.
// Receives a record's address; hands on a FrameMark or TriangleRecord.
#include "player/stream_records.h"

#include <cstring>

FrameMark readFrameMark(const uint8_t* record) {
  FrameMark mark;
  const uint32_t bits = readUint32(record + 4);
  static_assert(sizeof(bits) == sizeof(mark.time_stamp));
  std::memcpy(&mark.time_stamp, &bits, sizeof(bits));
  return mark;
}

static TriangleVertex readTriangleVertex(const uint8_t* vertex) {
  TriangleVertex result;
  result.u = vertex[0];
  result.v = vertex[1];
  result.x = vertex[2];
  result.y = vertex[3];
  result.w = readUint16(vertex + 4);
  result.colour = readUint16(vertex + 6);
  return result;
}

TriangleRecord readTriangleRecord(const uint8_t* record) {
  TriangleRecord triangle;
  triangle.texture_slot = record[1] & 31;
  triangle.blend_mode = record[1] >> 5;
  for (int k = 0; k < 3; ++k) {
    triangle.vertices[k] = readTriangleVertex(record + 2 + kTriangleVertexSize * k);
  }
  return triangle;
}
