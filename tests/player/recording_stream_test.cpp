// Part names, the recording path from the command line, the header and the decompression of
// chunks, checked against values worked out by hand.
#include "player/recording_stream.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "tools/recording_writer.h"

TEST(PartFileName, ReplacesTheFirstPercentIWithTheIndex) {
  const PartName part0 = partFileName("rec.%i.rec", 0);
  EXPECT_EQ(part0.name, "rec.0.rec");
  EXPECT_EQ(part0.position, 5);
  const PartName part12 = partFileName("%i", 12);
  EXPECT_EQ(part12.name, "12");
  EXPECT_EQ(part12.position, 1);
  const PartName only_first = partFileName("a%ib%i", 3);
  EXPECT_EQ(only_first.name, "a3b%i");
  EXPECT_EQ(only_first.position, 2);
  EXPECT_EQ(partFileName("%%i", 7).name, "%7");
  EXPECT_EQ(partFileName("x%i", 2147483647).name, "x2147483647");
}

TEST(PartFileName, WithoutPercentIGivesTheTemplateAndPositionZero) {
  for (const char* text : {"single.rec", "", "%I", "%", "i%", "% i"}) {
    const PartName part = partFileName(text, 4);
    EXPECT_EQ(part.name, text);
    EXPECT_EQ(part.position, 0) << text;
  }
}

TEST(RecordingPath, JoinsTheArgumentsWithSingleSpaces) {
  const char* two[] = {"player", "a", "b"};
  EXPECT_EQ(recordingPath(3, two), "a b");
  const char* with_empty[] = {"player", "a", "", "b"};
  EXPECT_EQ(recordingPath(4, with_empty), "a  b");
  const char* two_empty[] = {"player", "", ""};
  EXPECT_EQ(recordingPath(3, two_empty), " ");
}

TEST(RecordingPath, EmptyTextMeansTheDefaultRecording) {
  const char* none[] = {"player"};
  EXPECT_EQ(recordingPath(1, none), "../Video/Stream/Recording_12_01_2013_13_41_13.%i.rec");
  const char* empty[] = {"player", ""};
  EXPECT_EQ(recordingPath(2, empty), "../Video/Stream/Recording_12_01_2013_13_41_13.%i.rec");
}

TEST(RecordingHeader, ReadsMagicAndTheThirtyTwoTextureIds) {
  uint8_t bytes[kRecordingHeaderSize] = {'K', 'R', 'E', 'C', 9, 9, 9, 9};
  const uint8_t slot1[8] = {0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01};
  std::copy(slot1, slot1 + 8, bytes + 8);
  bytes[256] = 0xFF;  // slot 32, lowest byte
  bytes[263] = 0x80;  // slot 32, highest byte
  const RecordingHeader header = parseRecordingHeader(bytes);
  EXPECT_TRUE(hasRecordingMagic(header));
  EXPECT_EQ(header.texture_ids[0], 0x0102030405060708u);
  EXPECT_EQ(header.texture_ids[1], 0u);
  EXPECT_EQ(header.texture_ids[31], 0x80000000000000FFu);

  bytes[0] = 'k';
  EXPECT_FALSE(hasRecordingMagic(parseRecordingHeader(bytes)));
}

class DecompressChunk : public ::testing::Test {
 protected:
  void SetUp() override { allocateChunkBuffers(stream); }

  int64_t decompressedLength(const Bytes& data) {
    std::copy(data.begin(), data.end(), stream.input.begin());
    decompressChunk(stream, static_cast<int32_t>(data.size()));
    return stream.decompressed_length;
  }

  StreamState stream;
};

TEST_F(DecompressChunk, GivesTheRecordsOfAWellFormedChunk) {
  const Bytes records = joinBytes({frameMarkBytes(0.5f), Bytes{3, 0, 0}});
  EXPECT_EQ(decompressedLength(zlibCompressed(records)), 11);
  EXPECT_TRUE(std::equal(records.begin(), records.end(), stream.output.begin()));
}

TEST_F(DecompressChunk, CountsOnlyBytesActuallyWritten) {
  // Not zlib data at all: nothing is written.
  EXPECT_EQ(decompressedLength(Bytes{'n', 'o', 't', ' ', 'z', 'l', 'i', 'b'}), 0);
  EXPECT_EQ(decompressedLength(Bytes{}), 0);
  // A damaged checksum: every byte was written before the check failed.
  Bytes damaged = zlibCompressed(Bytes(100, 2));
  damaged.back() ^= 0xFF;
  EXPECT_EQ(decompressedLength(damaged), 100);
  // More than the output buffer holds: only the buffer is filled.
  EXPECT_EQ(decompressedLength(zlibCompressed(Bytes(kOutputBufferSize + 26, 2))),
            kOutputBufferSize);
}

TEST(WrittenLength, FailuresBeforeInflatingCountAsNothingWritten) {
  EXPECT_EQ(writtenLength(Z_MEM_ERROR, kOutputBufferSize, kOutputBufferSize), 0);
  EXPECT_EQ(writtenLength(Z_VERSION_ERROR, 77, kOutputBufferSize), 0);
  EXPECT_EQ(writtenLength(Z_OK, 1u << 30, kOutputBufferSize), kOutputBufferSize);
}
