// Images in memory and the BMP decoder: the block's header and pitch, that no screen is needed, the
// palette words, index unpacking at 1, 2 and 8 bits, row order, info header sizes, and files
// that lie about their sizes and offsets. Also the BMP writer the other tests build dumps with.
#include "runtime/image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/files.h"
#include "runtime/screen.h"
#include "tests/support/recording_files.h"
#include "tests/support/runtime_state.h"
#include "tools/bmp_writer.h"

namespace {

// A 1-bit, 3 x 2 dump laid out by hand, in the writer's conventions (72 dpi, colours used = 2,
// 0xA5 in each palette entry's spare byte). Top row 1 0 1, bottom row 0 1 1.
const Bytes kHandMadeDump = {
    'B',  'M', 70,  0,    0,    0,    0, 0,    0,    0,    62, 0, 0, 0,  // file header
    40,   0,   0,   0,    3,    0,    0, 0,    2,    0,    0,  0, 1, 0,
    1,    0,   0,   0,    0,    0,  // size, 3 x 2, 1 plane, 1 bit
    8,    0,   0,   0,    0x13, 0x0B, 0, 0,    0x13, 0x0B, 0,  0, 2, 0,
    0,    0,   0,   0,    0,    0,              // rest of header
    3,    130, 255, 0xA5, 12,   8,    4, 0xA5,  // blue, green, red, spare
    0x60, 0,   0,   0,                          // bottom row: 0 1 1
    0xA0, 0,   0,   0,                          // top row: 1 0 1
};

class ImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetRuntimeState();  // no screen is open: images do not need one
  }
  void TearDown() override {
    for (Image* image : images_) destroyImage(image);
    resetRuntimeState();
    EXPECT_EQ(freeFileNumber(), 1) << "a file was left open";
  }

  Image* image(int width, int height, uint32_t colour = 0) {
    Image* made = createImage(width, height, colour, 8);
    EXPECT_NE(made, nullptr);
    images_.push_back(made);
    return made;
  }

  std::string writeDump(const Bytes& bytes) {
    const std::string path = folder_.file("dump" + std::to_string(files_++) + ".bmp");
    EXPECT_TRUE(writeFileBytes(path, bytes));
    return path;
  }
  std::string writeDump(const BmpPicture& picture) { return writeDump(bmpBytes(picture)); }

  TempFolder folder_;
  int files_ = 0;
  std::vector<Image*> images_;
};

// The cells of the top-left width x height corner, row by row.
std::vector<int> cells(Image* image, int width, int height) {
  std::vector<int> values;
  for (int r = 0; r < height; ++r) {
    for (int c = 0; c < width; ++c) values.push_back(imagePixels(image)[r * image->pitch + c]);
  }
  return values;
}

BmpPicture picture(int32_t width, int32_t height, int bits, std::vector<uint8_t> indices) {
  BmpPicture made;
  made.width = width;
  made.height = height;
  made.bits = bits;
  made.indices = std::move(indices);
  for (int k = 0; k < (1 << bits); ++k) {
    made.palette.push_back({static_cast<uint8_t>(4 * k), static_cast<uint8_t>(k), 0});
  }
  return made;
}

}  // namespace

TEST_F(ImageTest, CreateGivesHeaderPitchAndFill) {
  Image* narrow = image(1, 3);
  EXPECT_EQ(narrow->type, kImageTypeMemory);
  EXPECT_EQ(narrow->bytes_per_pixel, 1);
  EXPECT_EQ(narrow->width, 1);
  EXPECT_EQ(narrow->height, 3);
  EXPECT_EQ(narrow->pitch, 16);
  EXPECT_EQ(image(16, 1)->pitch, 16);
  EXPECT_EQ(image(17, 1)->pitch, 32);
  EXPECT_EQ(cells(narrow, 1, 3), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(cells(image(2, 2, 0x1234), 2, 2), (std::vector<int>{0x34, 0x34, 0x34, 0x34}));

  Image* wide = createImage(9, 2, 0xBEEF, 16);
  ASSERT_NE(wide, nullptr);
  images_.push_back(wide);
  EXPECT_EQ(wide->bytes_per_pixel, 2);
  EXPECT_EQ(wide->pitch, 32);  // 18 bytes rounded up
  EXPECT_EQ(imagePixels(wide)[32 + 16], 0xEF);
  EXPECT_EQ(imagePixels(wide)[32 + 17], 0xBE);
  EXPECT_EQ(imagePixels(wide)[32 + 18], 0);  // padding behind the row stays 0
}

TEST_F(ImageTest, CreateRefusesBadArgumentsAndHugeBlocks) {
  int error = -1;
  EXPECT_EQ(createImage(0, 1, 0, 8, &error), nullptr);
  EXPECT_EQ(error, 1);
  EXPECT_EQ(createImage(1, -1, 0, 8, &error), nullptr);
  EXPECT_EQ(error, 1);
  EXPECT_EQ(createImage(1, 1, 0, 12, &error), nullptr);
  EXPECT_EQ(error, 1);
  EXPECT_EQ(createImage(65536, 16385, 0, 8, &error), nullptr);  // 1 GiB plus a row
  EXPECT_EQ(error, kImageTooLarge);
  EXPECT_EQ(createImage(2147483647, 2147483647, 0, 32, &error), nullptr);
  EXPECT_EQ(error, kImageTooLarge);
  Image* made = createImage(4, 4, 0, 8, &error);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(destroyImage(made), 0);
  EXPECT_EQ(destroyImage(nullptr), 1);
}

TEST_F(ImageTest, ImagesAreMadeAndLoadedWithoutAScreen) {
  ASSERT_EQ(screenPixels(), nullptr);
  int error = -1;
  Image* made = createImage(3, 2, 0, 8, &error);
  ASSERT_NE(made, nullptr);
  images_.push_back(made);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(loadImage(writeDump(kHandMadeDump).c_str(), made, nullptr), 0);
  EXPECT_EQ(cells(made, 3, 2), (std::vector<int>{1, 0, 1, 0, 1, 1}));
}

TEST_F(ImageTest, HandMadeDumpGivesCellsAndSixBitPaletteWords) {
  BmpPicture same = picture(3, 2, 1, {1, 0, 1, 0, 1, 1});
  same.palette = {{255, 130, 3}, {4, 8, 12}};
  EXPECT_EQ(bmpBytes(same), kHandMadeDump);  // the writer agrees with the hand-made bytes

  Image* target = image(3, 6);
  int32_t palette[256];
  std::fill(palette, palette + 256, -1);
  ASSERT_EQ(loadImage(writeDump(kHandMadeDump).c_str(), target, palette), 0);
  EXPECT_EQ(cells(target, 3, 3), (std::vector<int>{1, 0, 1, 0, 1, 1, 0, 0, 0}));
  // (3 << 16 | 130 << 8 | 255) >> 2 = 0xE0BF, masked to 6 bits a channel: 0x20, 0x3F.
  EXPECT_EQ(palette[0], 0x00203F);
  EXPECT_EQ(palette[1], 0x030201);
  EXPECT_EQ(palette[2], -1);  // only 2^bits entries are written
}

TEST_F(ImageTest, OneAndTwoBitIndicesAcrossByteBoundaries) {
  const std::vector<uint8_t> bits1 = {1, 0, 0, 1, 1, 0, 1, 0, 1, 0, 1, 1, 0, 0, 1, 0, 1, 0};
  Image* one = image(9, 2);
  ASSERT_EQ(loadImage(writeDump(picture(9, 2, 1, bits1)).c_str(), one, nullptr), 0);
  EXPECT_EQ(cells(one, 9, 2), std::vector<int>(bits1.begin(), bits1.end()));

  const std::vector<uint8_t> bits2 = {3, 0, 2, 1, 2, 1, 3, 3, 0, 2};
  Image* two = image(5, 2);
  ASSERT_EQ(loadImage(writeDump(picture(5, 2, 2, bits2)).c_str(), two, nullptr), 0);
  EXPECT_EQ(cells(two, 5, 2), std::vector<int>(bits2.begin(), bits2.end()));
}

TEST_F(ImageTest, FillerBytesAndPixelOffsetAreHonoured) {
  BmpPicture padded = picture(5, 3, 8, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
  padded.filler = 0xFF;  // three filler bytes a row
  padded.gap = 7;        // the rows do not follow the palette directly
  Image* target = image(5, 3);
  ASSERT_EQ(loadImage(writeDump(padded).c_str(), target, nullptr), 0);
  EXPECT_EQ(cells(target, 5, 3),
            (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
}

TEST_F(ImageTest, BottomUpAndTopDownRowsLandTopRowFirst) {
  BmpPicture bottom_up = picture(1, 3, 8, {7, 8, 9});
  Bytes bytes = bmpBytes(bottom_up);
  EXPECT_EQ(bytes[bytes.size() - 12], 9);  // the file's first row is the bottom one
  Image* target = image(1, 3);
  ASSERT_EQ(loadImage(writeDump(bytes).c_str(), target, nullptr), 0);
  EXPECT_EQ(cells(target, 1, 3), (std::vector<int>{7, 8, 9}));

  BmpPicture top_down = bottom_up;
  top_down.top_down = true;
  Image* other = image(1, 3);
  ASSERT_EQ(loadImage(writeDump(top_down).c_str(), other, nullptr), 0);
  EXPECT_EQ(cells(other, 1, 3), (std::vector<int>{7, 8, 9}));
}

TEST_F(ImageTest, PaletteFollowsInfoHeadersOfEverySize) {
  for (uint32_t size : {40u, 56u, 108u, 124u}) {
    BmpPicture sized = picture(2, 1, 2, {3, 1});
    sized.info_header_size = size;
    sized.palette[3] = {0xFC, 0x7C, 0x3C};
    Image* target = image(2, 1);
    int32_t palette[256] = {};
    ASSERT_EQ(loadImage(writeDump(sized).c_str(), target, palette), 0) << size;
    EXPECT_EQ(cells(target, 2, 1), (std::vector<int>{3, 1})) << size;
    EXPECT_EQ(palette[3], 0x0F1F3F) << size;
    EXPECT_EQ(palette[1], 0x000001) << size;
  }
}

TEST_F(ImageTest, RowsEndingEarlyLeaveTheirCellsAlone) {
  const BmpPicture whole = picture(3, 3, 8, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  Bytes cut = bmpBytes(whole);
  cut.resize(cut.size() - 4 - 3);  // the top row is gone, the middle row keeps one index
  Image* target = image(3, 3, 0x77);
  ASSERT_EQ(loadImage(writeDump(cut).c_str(), target, nullptr), 0);
  EXPECT_EQ(cells(target, 3, 3), (std::vector<int>{0x77, 0x77, 0x77, 4, 0x77, 0x77, 7, 8, 9}));
}

TEST_F(ImageTest, PictureLargerThanTheImageIsCutToIt) {
  const BmpPicture large = picture(4, 3, 8, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  Image* small = image(2, 2, 0x55);
  ASSERT_EQ(loadImage(writeDump(large).c_str(), small, nullptr), 0);
  EXPECT_EQ(cells(small, 2, 2), (std::vector<int>{1, 2, 5, 6}));
  EXPECT_EQ(imagePixels(small)[2],
            0);  // the row's padding: the picture's third column is not copied
  Image* tall = image(2, 4, 0x55);
  ASSERT_EQ(loadImage(writeDump(picture(2, 2, 8, {1, 2, 3, 4})).c_str(), tall, nullptr), 0);
  EXPECT_EQ(cells(tall, 2, 4), (std::vector<int>{1, 2, 3, 4, 0x55, 0x55, 0x55, 0x55}));
}

TEST_F(ImageTest, FilesThatLieAboutOffsetsAndSizesReadWhatIsThere) {
  int32_t palette[256] = {};
  Bytes far_rows = bmpBytes(picture(2, 2, 8, {1, 2, 3, 4}));
  patchUint32(far_rows, kBmpPixelOffsetField, 0xFFFFFFF0);
  Image* target = image(2, 2, 0x66);
  EXPECT_EQ(loadImage(writeDump(far_rows).c_str(), target, palette), 0);
  EXPECT_EQ(cells(target, 2, 2), (std::vector<int>{0x66, 0x66, 0x66, 0x66}));

  Bytes far_palette = bmpBytes(picture(2, 1, 8, {1, 2}));
  patchUint32(far_palette, kBmpInfoSizeField, 0xFFFFFFFF);
  palette[1] = 99;
  EXPECT_EQ(loadImage(writeDump(far_palette).c_str(), image(2, 1), palette), 0);
  EXPECT_EQ(palette[1], 0);  // entries the file does not hold

  Bytes giant = bmpBytes(picture(2, 2, 8, {1, 2, 3, 4}));
  patchUint32(giant, kBmpWidthField, 0x7FFFFFFF);
  patchUint32(giant, kBmpHeightField, 0x7FFFFFFF);
  Image* small = image(3, 2, 0x66);
  EXPECT_EQ(loadImage(writeDump(giant).c_str(), small, palette), 0);
  EXPECT_EQ(cells(small, 3, 2), (std::vector<int>{0x66, 0x66, 0x66, 0x66, 0x66, 0x66}));
}

TEST_F(ImageTest, FilesItCannotDecodeLeaveImageAndPaletteAlone) {
  const Bytes good = bmpBytes(picture(2, 1, 8, {1, 2}));
  std::vector<Bytes> bad(7, good);
  bad[0][1] = 'A';                               // "BA"
  patchUint32(bad[1], kBmpInfoSizeField, 12);    // the old core header
  patchUint16(bad[2], kBmpBitsField, 24);        // not palettized
  patchUint32(bad[3], kBmpCompressionField, 1);  // run-length encoded
  patchUint32(bad[4], kBmpWidthField, 0);
  patchUint32(bad[5], kBmpHeightField, 0);
  bad[6].resize(40);  // too short for the headers
  for (size_t k = 0; k < bad.size(); ++k) {
    Image* target = image(2, 1, 0x66);
    int32_t palette[256] = {};
    palette[0] = 5;
    EXPECT_EQ(loadImage(writeDump(bad[k]).c_str(), target, palette), kImageNotReadable) << k;
    EXPECT_EQ(cells(target, 2, 1), (std::vector<int>{0x66, 0x66})) << k;
    EXPECT_EQ(palette[0], 5) << k;
  }
}

TEST_F(ImageTest, LoadRefusesIllegalCallsAndMissingFiles) {
  const std::string path = writeDump(picture(1, 1, 8, {0}));
  int32_t palette[256] = {};
  EXPECT_EQ(loadImage(nullptr, image(1, 1), palette), 1);
  EXPECT_EQ(loadImage(path.c_str(), nullptr, palette), 1);
  Image* wide = createImage(1, 1, 0, 16);
  EXPECT_EQ(loadImage(path.c_str(), wide, palette), 1);  // cells must be one byte
  destroyImage(wide);
  EXPECT_EQ(loadImage(folder_.file("none.bmp").c_str(), image(1, 1), palette), kImageCannotOpen);
  EXPECT_EQ(loadImage(folder_.path().c_str(), image(1, 1), palette), kImageCannotOpen);
}

TEST(BmpWriter, RowsArePaddedToFourBytesWithTheFiller) {
  BmpPicture two = {};
  two.width = 3;
  two.height = 1;
  two.bits = 2;
  two.indices = {1, 2, 3};
  two.filler = 0xCC;
  two.info_header_size = 124;
  const Bytes bytes = bmpBytes(two);
  ASSERT_EQ(bytes.size(), 14u + 124u + 16u + 4u);
  EXPECT_EQ(bytes[10], 14 + 124 + 16);  // pixel offset
  EXPECT_EQ(bytes[14], 124);
  EXPECT_EQ(Bytes(bytes.end() - 4, bytes.end()), (Bytes{0x6C, 0xCC, 0xCC, 0xCC}));  // 01 10 11 00
}
