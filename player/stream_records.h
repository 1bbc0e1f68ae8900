// The records that a decompressed chunk holds: frame marks and triangles, little-endian.
// Receives the address of a record's first byte inside a chunk; hands on its fields as plain
// records. The recording writer encodes the same records.
#pragma once
#include <cstdint>

// A record's kind is its first byte.
constexpr uint8_t kFrameMarkKind = 1;
constexpr uint8_t kTriangleKind = 2;
constexpr uint8_t kPointKindA = 3;  // point records: recognised, their layout unknown
constexpr uint8_t kPointKindB = 4;

constexpr int kFrameMarkSize = 8;
constexpr int kTriangleRecordSize = 26;
constexpr int kTriangleVertexSize = 8;

// Closes the frame drawn so far. Bytes 1 to 3 are spare.
struct FrameMark {
  float time_stamp = 0;  // seconds on the recording's clock
};

struct TriangleVertex {
  uint8_t u = 0;        // texture coordinate s times 255
  uint8_t v = 0;        // texture coordinate t times 255
  uint8_t x = 0;        // 0 = left edge, 255 = right edge
  uint8_t y = 0;        // 0 = top edge, 255 = bottom edge
  uint16_t w = 0;       // reciprocal w, 65535 = 1.0; not used for drawing
  uint16_t colour = 0;  // flag nibble, red, green, blue: 4 bits each from the top
};

// One triangle: a flags byte (texture slot in bits 0-4, blend mode in bits 5-7) and three
// vertices of 8 bytes starting at offset 2.
struct TriangleRecord {
  uint8_t texture_slot = 0;  // 0 = no texture, 1 to 31 = texture table entry
  uint8_t blend_mode = 0;    // 0 to 7
  TriangleVertex vertices[3];
};

// Both read exactly their record's size from `record`; the caller makes sure it is there.
FrameMark readFrameMark(const uint8_t* record);
TriangleRecord readTriangleRecord(const uint8_t* record);

// Little-endian numbers as they lie in recordings.
inline uint16_t readUint16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}
inline uint32_t readUint32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
         (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}
inline uint64_t readUint64(const uint8_t* bytes) {
  return static_cast<uint64_t>(readUint32(bytes)) |
         (static_cast<uint64_t>(readUint32(bytes + 4)) << 32);
}
