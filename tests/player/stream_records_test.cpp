// The record layouts: the writer's encodings and the player's decoding, against bytes worked out
// by hand, and the writer's part splitting.
#include "player/stream_records.h"

#include <gtest/gtest.h>

#include "tools/recording_writer.h"

namespace {

const Bytes kTriangleBytes = {
    0x02, 0x65,                                      // kind 2; slot 5, blend mode 3
    0x01, 0x02, 0x03, 0x04, 0x34, 0x12, 0x5A, 0xF6,  // u v x y, w 0x1234, colour 0xF65A
    0x0A, 0x14, 0x1E, 0x28, 0xFF, 0xFF, 0xBC, 0x0A,  // 10 20 30 40, w 0xFFFF, colour 0x0ABC
    0xFF, 0xFE, 0xFD, 0xFC, 0x00, 0x00, 0x01, 0x80,  // 255 254 253 252, w 0, colour 0x8001
};

TriangleRecord handTriangle() {
  TriangleRecord triangle;
  triangle.texture_slot = 5;
  triangle.blend_mode = 3;
  triangle.vertices[0] = {1, 2, 3, 4, 0x1234, 0xF65A};
  triangle.vertices[1] = {10, 20, 30, 40, 0xFFFF, 0x0ABC};
  triangle.vertices[2] = {255, 254, 253, 252, 0, 0x8001};
  return triangle;
}

}  // namespace

TEST(StreamRecords, TriangleRecordLayout) {
  EXPECT_EQ(triangleRecordBytes(handTriangle()), kTriangleBytes);

  const TriangleRecord read = readTriangleRecord(kTriangleBytes.data());
  EXPECT_EQ(read.texture_slot, 5);
  EXPECT_EQ(read.blend_mode, 3);
  const uint8_t expected[3][4] = {{1, 2, 3, 4}, {10, 20, 30, 40}, {255, 254, 253, 252}};
  const uint16_t expected_w[3] = {0x1234, 0xFFFF, 0};
  const uint16_t expected_colour[3] = {0xF65A, 0x0ABC, 0x8001};
  for (int k = 0; k < 3; ++k) {
    const TriangleVertex& v = read.vertices[k];
    EXPECT_EQ(v.u, expected[k][0]);
    EXPECT_EQ(v.v, expected[k][1]);
    EXPECT_EQ(v.x, expected[k][2]);
    EXPECT_EQ(v.y, expected[k][3]);
    EXPECT_EQ(v.w, expected_w[k]);
    EXPECT_EQ(v.colour, expected_colour[k]);
  }
}

TEST(StreamRecords, FlagsByteSplitsIntoSlotAndBlendMode) {
  const Bytes all_set = {2, 0xFF};
  Bytes record = all_set;
  record.resize(kTriangleRecordSize);
  EXPECT_EQ(readTriangleRecord(record.data()).texture_slot, 31);
  EXPECT_EQ(readTriangleRecord(record.data()).blend_mode, 7);
  record[1] = 0x20;
  EXPECT_EQ(readTriangleRecord(record.data()).texture_slot, 0);
  EXPECT_EQ(readTriangleRecord(record.data()).blend_mode, 1);
}

TEST(StreamRecords, FrameMarkLayout) {
  const Bytes half = {0x01, 0, 0, 0, 0x00, 0x00, 0x00, 0x3F};  // 0.5f is 0x3F000000
  EXPECT_EQ(frameMarkBytes(0.5f), half);
  EXPECT_EQ(readFrameMark(half.data()).time_stamp, 0.5f);
  const Bytes minus_two = {0x01, 9, 9, 9, 0x00, 0x00, 0x00, 0xC0};  // spare bytes are not read
  EXPECT_EQ(readFrameMark(minus_two.data()).time_stamp, -2.0f);
}

TEST(RecordingWriter, HeaderAndLengthFields) {
  std::array<uint64_t, 32> ids = {};
  ids[0] = 0x0102030405060708u;
  ids[31] = ~0ull;
  const Bytes header = headerBytes(ids);
  ASSERT_EQ(header.size(), 264u);
  EXPECT_EQ(Bytes(header.begin(), header.begin() + 16),
            (Bytes{'K', 'R', 'E', 'C', 0, 0, 0, 0, 8, 7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(Bytes(header.begin() + 256, header.end()), Bytes(8, 0xFF));
  EXPECT_EQ(Bytes(header.begin() + 16, header.begin() + 256), Bytes(240, 0));
  const Bytes other_magic = headerBytes({}, "XYZW");
  EXPECT_EQ(Bytes(other_magic.begin(), other_magic.begin() + 8),
            (Bytes{'X', 'Y', 'Z', 'W', 0, 0, 0, 0}));

  EXPECT_EQ(lengthField(-1), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(lengthField(32769), (Bytes{0x01, 0x80, 0x00, 0x00}));
  EXPECT_EQ(rawChunk(Bytes{7, 8}), (Bytes{2, 0, 0, 0, 7, 8}));
}

TEST(RecordingWriter, SplitsPartsAtAnyOffset) {
  const Bytes stream = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  const std::vector<Bytes> parts = splitAt(stream, {3, 3, 7});
  ASSERT_EQ(parts.size(), 4u);
  EXPECT_EQ(parts[0], (Bytes{0, 1, 2}));
  EXPECT_EQ(parts[1], Bytes{});
  EXPECT_EQ(parts[2], (Bytes{3, 4, 5, 6}));
  EXPECT_EQ(parts[3], (Bytes{7, 8, 9}));

  const std::vector<Bytes> recorded = splitIntoParts(stream, 4);
  ASSERT_EQ(recorded.size(), 3u);
  EXPECT_EQ(recorded[2], (Bytes{8, 9}));
  EXPECT_EQ(splitIntoParts(Bytes(8, 1), 4).size(), 2u);
  EXPECT_EQ(partPath("r.%i.rec%i", 11), "r.11.rec%i");
}
