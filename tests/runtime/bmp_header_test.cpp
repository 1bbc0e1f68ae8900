// The BMP header reader: the fields at their offsets, short files read as zeros beyond their
// end, the magic and size-field checks, and reading from a path.
#include "runtime/bmp_header.h"

#include <gtest/gtest.h>

#include "runtime/files.h"
#include "tests/support/recording_files.h"

namespace {

// Pixels at 118, a 40-byte info header, 258 x -3 (rows top row first), 4 bits, compression 2.
const Bytes kHeader = {
    'B',  'M',  0,    0,    0,    0,    0, 0, 0, 0, 118, 0, 0, 0,  // file header
    40,   0,    0,    0,    0x02, 0x01, 0, 0,                      // info size, width
    0xFD, 0xFF, 0xFF, 0xFF, 1,    0,    4, 0,                      // height, planes, bits
    2,    0,    0,    0,                                           // compression
    0,    0,    0,    0,    0,    0,    0, 0, 0, 0, 0,   0, 0, 0, 0, 0, 0, 0, 0, 0,
};

struct PrefixCase {
  size_t count;  // bytes of kHeader the file holds
  size_t present;
  bool magic;
  bool size_fields;
  int32_t width;
  int32_t height;
  int bits;
};

}  // namespace

TEST(BmpHeader, FieldsOfFullAndShortFiles) {
  ASSERT_EQ(kHeader.size(), 54u);
  const PrefixCase cases[] = {
      {0, 0, false, false, 0, 0, 0},       {1, 1, false, false, 0, 0, 0},
      {2, 2, true, false, 0, 0, 0},        {20, 20, true, false, 0x102, 0, 0},
      {29, 29, true, false, 0x102, -3, 4}, {30, 30, true, true, 0x102, -3, 4},
      {54, 54, true, true, 0x102, -3, 4},
  };
  for (const PrefixCase& c : cases) {
    const BmpHeader header = parseBmpHeader(kHeader.data(), c.count);
    EXPECT_EQ(header.present, c.present) << c.count;
    EXPECT_EQ(header.magic, c.magic) << c.count;
    EXPECT_EQ(bmpHasSizeFields(header), c.size_fields) << c.count;
    EXPECT_EQ(header.width, c.width) << c.count;
    EXPECT_EQ(header.height, c.height) << c.count;
    EXPECT_EQ(header.bits, c.bits) << c.count;
  }
  const BmpHeader full = parseBmpHeader(kHeader.data(), kHeader.size());
  EXPECT_EQ(full.pixels_at, 118u);
  EXPECT_EQ(full.info_size, 40u);
  EXPECT_EQ(full.compression, 2u);
  EXPECT_EQ(parseBmpHeader(kHeader.data(), 31).compression, 2u);  // its low byte is there
  EXPECT_EQ(parseBmpHeader(kHeader.data(), 30).compression, 0u);

  Bytes foreign = kHeader;
  foreign[1] = 'X';
  EXPECT_FALSE(bmpHasSizeFields(parseBmpHeader(foreign.data(), foreign.size())));
}

TEST(BmpHeader, ReadsFromAPathAndClosesTheFile) {
  TempFolder folder;
  Bytes longer = kHeader;
  longer.resize(80, 0x77);  // a palette behind the headers is not read
  const std::string path = folder.file("dump.bmp");
  ASSERT_TRUE(writeFileBytes(path, longer));
  BmpHeader header;
  ASSERT_TRUE(readBmpHeader(path.c_str(), &header));
  EXPECT_EQ(header.present, 54u);
  EXPECT_EQ(header.width, 0x102);
  EXPECT_EQ(header.height, -3);
  EXPECT_EQ(freeFileNumber(), 1);
  EXPECT_FALSE(readBmpHeader(folder.file("missing.bmp").c_str(), &header));
  EXPECT_FALSE(readBmpHeader(nullptr, &header));
}
