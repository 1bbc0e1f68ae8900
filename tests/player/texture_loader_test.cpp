// The texture dump loader with a recorder in place of the renderer: the texel bytes each kind of
// dump gives, the in-place expansion at every width, the lines printed, the exact renderer call
// sequence per slot, and dumps that lie about their sizes, offsets, depth or headers.
#include "player/texture_loader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/files.h"
#include "runtime/screen.h"
#include "tests/support/recording_files.h"
#include "tests/support/runtime_state.h"
#include "tools/bmp_writer.h"

namespace {

// What the loader asked of the "renderer".
struct Recorder {
  std::vector<std::string> calls;
  std::vector<Bytes> images;  // the texel bytes of each glTexImage2D
  unsigned next_name = 1;
};

Recorder& recorder() {
  static Recorder recorded;
  return recorded;
}

std::string numbers(std::initializer_list<long long> values) {
  std::string text;
  for (long long value : values) text += (text.empty() ? "" : ", ") + std::to_string(value);
  return text;
}

void recordGenTextures(int n, unsigned* names) {
  for (int i = 0; i < n; ++i) names[i] = recorder().next_name++;
  recorder().calls.push_back("glGenTextures(" + std::to_string(n) + ")");
}

void recordBindTexture(int target, int texture) {
  recorder().calls.push_back("glBindTexture(" + numbers({target, texture}) + ")");
}

void recordTexParameteri(int target, int pname, int param) {
  recorder().calls.push_back("glTexParameteri(" + numbers({target, pname, param}) + ")");
}

void recordTexImage2D(int target, int level, int components, int width, int height, int border,
                      int format, int type, const void* pixels) {
  recorder().calls.push_back(
      "glTexImage2D(" + numbers({target, level, components, width, height, border, format, type}) +
      ")");
  const uint8_t* bytes = static_cast<const uint8_t*>(pixels);
  recorder().images.emplace_back(bytes, bytes + 3 * width * height);
}

const TextureCalls kRecorderCalls = {recordGenTextures, recordBindTexture, recordTexParameteri,
                                     recordTexImage2D};

// The calls every non-empty slot makes before its image, texture name `name`.
std::vector<std::string> slotCalls(unsigned name) {
  return {"glGenTextures(1)",
          "glBindTexture(3553, " + std::to_string(name) + ")",
          "glTexParameteri(3553, 10241, 9729)",
          "glTexParameteri(3553, 10240, 9729)",
          "glTexParameteri(3553, 10242, 10497)",
          "glTexParameteri(3553, 10243, 10497)"};
}

std::vector<std::string> join(std::initializer_list<std::vector<std::string>> lists) {
  std::vector<std::string> all;
  for (const auto& list : lists) all.insert(all.end(), list.begin(), list.end());
  return all;
}

// An 8-bit picture whose palette entry k is red 4k, green 255 - 4k, blue 2k for k below 64 and
// white at 255, so that entry k's texel is 4k, 252 - 4k, 4 x (k / 2).
BmpPicture picture(int32_t width, int32_t height, std::vector<uint8_t> indices) {
  BmpPicture made;
  made.width = width;
  made.height = height;
  made.bits = 8;
  made.indices = std::move(indices);
  made.palette.resize(256);
  for (int k = 0; k < 64; ++k) {
    made.palette[k] = {static_cast<uint8_t>(4 * k), static_cast<uint8_t>(255 - 4 * k),
                       static_cast<uint8_t>(2 * k)};
  }
  made.palette[255] = {255, 255, 255};
  return made;
}

Bytes texelOf(int k) {
  return {static_cast<uint8_t>(4 * k), static_cast<uint8_t>(252 - 4 * k),
          static_cast<uint8_t>(4 * (k / 2))};
}

class TextureLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetRuntimeState();  // no screen is open: dumps load without one
    recorder() = Recorder{};
  }
  void TearDown() override {
    resetRuntimeState();
    EXPECT_EQ(freeFileNumber(), 1) << "a dump was left open";
  }

  std::string dumpFolder() const { return folder_.path() + "/"; }

  std::string writeDump(uint64_t id, const Bytes& bytes) {
    const std::string path = textureDumpPath(dumpFolder(), id);
    EXPECT_TRUE(writeFileBytes(path, bytes)) << path;
    return path;
  }

  // The texels of a dump, empty when it gives no image.
  Bytes texels(const Bytes& bytes, DumpLoad expected = DumpLoad::kLoaded) {
    TextureDump dump;
    EXPECT_EQ(loadTextureDump(writeDump(1, bytes), &dump), expected);
    if (dump.image == nullptr) return {};
    Bytes copied(dump.texels, dump.texels + 3 * dump.width * dump.height);
    releaseTextureDump(&dump);
    return copied;
  }
  Bytes texels(const BmpPicture& picture) { return texels(bmpBytes(picture)); }

  // Runs the loader on the header and gives what it printed.
  std::string load(const RecordingHeader& header) {
    testing::internal::CaptureStdout();
    loadTexturesWith(header, kRecorderCalls, table_, dumpFolder());
    return testing::internal::GetCapturedStdout();
  }

  TempFolder folder_;
  TextureTable table_;
};

Bytes joined(std::initializer_list<Bytes> pieces) { return joinBytes(pieces); }

}  // namespace

TEST_F(TextureLoaderTest, PaletteEntryGivesTexelBytesWithTheLowTwoBitsCleared) {
  BmpPicture colours = picture(3, 1, {0, 200, 255});
  colours.palette[0] = {255, 130, 3};
  colours.palette[200] = {0x81, 0x42, 0xFF};
  colours.palette[255] = {3, 2, 1};
  EXPECT_EQ(texels(colours), (Bytes{252, 128, 0, 0x80, 0x40, 0xFC, 0, 0, 0}));
}

TEST_F(TextureLoaderTest, FourBitDumpReadsSixteenEntriesHighNibbleFirst) {
  BmpPicture four = picture(16, 2, {});
  four.bits = 4;
  four.palette.resize(16);
  for (int k = 0; k < 16; ++k) {
    four.palette[k] = {static_cast<uint8_t>(16 * k + 3), static_cast<uint8_t>(255 - 16 * k),
                       static_cast<uint8_t>(4 * k + 1)};
  }
  for (int c = 0; c < 16; ++c) four.indices.push_back(static_cast<uint8_t>(15 - c));
  for (int c = 0; c < 16; ++c) four.indices.push_back(static_cast<uint8_t>(c));
  Bytes expected;
  for (int index : four.indices) {
    appendBytes(expected, {static_cast<uint8_t>(16 * index), static_cast<uint8_t>(252 - 16 * index),
                           static_cast<uint8_t>(4 * index)});
  }
  const Bytes got = texels(four);
  EXPECT_EQ(got, expected);
  ASSERT_GE(got.size(), 6u);
  EXPECT_EQ(Bytes(got.begin(), got.begin() + 6), (Bytes{240, 12, 60, 224, 28, 56}));  // 15, 14
}

// The loader expands in place, back to front; below a width of 6 the rows are first moved
// together. Every width must give what a plain copy into a second buffer gives.
TEST_F(TextureLoaderTest, WidthsOneToEightMatchTheTwoBufferReference) {
  for (int32_t width = 1; width <= 8; ++width) {
    const int32_t height = 12;  // tall enough for a width-1 write to reach row 1's cell
    BmpPicture narrow = picture(width, height, {});
    narrow.filler = 0xFF;  // index 255 is white: a filler byte taken for a texel shows
    Bytes reference;
    for (int r = 0; r < height; ++r) {
      for (int c = 0; c < width; ++c) {
        const int index = 1 + (8 * r + c) % 63;
        narrow.indices.push_back(static_cast<uint8_t>(index));
        appendBytes(reference, texelOf(index));
      }
    }
    EXPECT_EQ(texels(narrow), reference) << "width " << width;
  }
  // Width 2 by hand: indices 1, 2 over 9, 10.
  const Bytes two = texels(picture(2, 2, {1, 2, 9, 10}));
  EXPECT_EQ(two, (Bytes{4, 248, 0, 8, 244, 4, 36, 216, 16, 40, 212, 20}));
}

TEST_F(TextureLoaderTest, RowsEndingEarlyKeepIndexZero) {
  Bytes cut = bmpBytes(picture(2, 3, {1, 2, 3, 4, 5, 6}));
  cut.resize(cut.size() - 4 - 3);  // no top row; the middle row keeps its first index
  const Bytes zero = texelOf(0);
  EXPECT_EQ(texels(cut), joined({zero, zero, texelOf(3), zero, texelOf(5), texelOf(6)}));
}

TEST_F(TextureLoaderTest, IdIsPrintedAndLookedUpAsSixteenDigits) {
  EXPECT_EQ(textureDumpPath("f/", 171), "f/00000000000000AB.bmp");
  ASSERT_TRUE(
      writeFileBytes(folder_.file("00000000000000AB.bmp"), bmpBytes(picture(2, 1, {3, 4}))));
  RecordingHeader header;
  header.texture_ids[0] = 171;
  EXPECT_EQ(load(header), "Texture #1 (00000000000000AB.bmp)\n");
  EXPECT_EQ(recorder().calls,
            join({slotCalls(1), {"glTexImage2D(3553, 0, 3, 2, 1, 0, 6407, 5121)"}}));
  ASSERT_EQ(recorder().images.size(), 1u);
  EXPECT_EQ(recorder().images[0], joined({texelOf(3), texelOf(4)}));
  EXPECT_EQ(table_.names[1], 1u);
}

TEST_F(TextureLoaderTest, AllZeroIdsPrintNothingAndGenerateNoName) {
  EXPECT_EQ(load(RecordingHeader{}), "");
  EXPECT_TRUE(recorder().calls.empty());
  for (uint32_t name : table_.names) EXPECT_EQ(name, 0u);
}

TEST_F(TextureLoaderTest, SlotsInOrderWithAMissingDumpAndSlotThirtyTwo) {
  writeDump(171, bmpBytes(picture(1, 1, {1})));
  writeDump(0xFEDCBA9876543210, bmpBytes(picture(1, 2, {2, 3})));
  RecordingHeader header;
  header.texture_ids[0] = 171;
  header.texture_ids[4] = 0xABC;  // no such dump
  header.texture_ids[31] = 0xFEDCBA9876543210;
  EXPECT_EQ(load(header),
            "Texture #1 (00000000000000AB.bmp)\n"
            "Texture #5 (0000000000000ABC.bmp)\n"
            "Failed to open '" +
                dumpFolder() +
                "0000000000000ABC.bmp'\n"
                "Texture #32 (FEDCBA9876543210.bmp)\n");
  EXPECT_EQ(recorder().calls, join({slotCalls(1),
                                    {"glTexImage2D(3553, 0, 3, 1, 1, 0, 6407, 5121)"},
                                    slotCalls(2),
                                    slotCalls(3),
                                    {"glTexImage2D(3553, 0, 3, 1, 2, 0, 6407, 5121)"}}));
  ASSERT_EQ(recorder().images.size(), 2u);
  EXPECT_EQ(recorder().images[1], joined({texelOf(2), texelOf(3)}));
  for (int slot = 0; slot < kTextureTableSize; ++slot) {
    const uint32_t expected = slot == 1 ? 1 : slot == 5 ? 2 : slot == 32 ? 3 : 0;
    EXPECT_EQ(table_.names[slot], expected) << slot;
  }
}

// Each damaged dump keeps its slot's texture name without an image; nothing extra is printed.
TEST_F(TextureLoaderTest, DumpsThatLieGiveImagelessTextures) {
  const Bytes good = bmpBytes(picture(2, 2, {1, 2, 3, 4}));
  std::vector<Bytes> bad(12, good);
  patchUint32(bad[0], kBmpWidthField, 0);
  patchUint32(bad[1], kBmpWidthField, static_cast<uint32_t>(-5));
  patchUint32(bad[2], kBmpWidthField, 8193);  // a side over the limit
  patchUint32(bad[3], kBmpHeightField, 8193);
  patchUint32(bad[4], kBmpWidthField, 4096);  // 4096 x 2048 texels
  patchUint32(bad[4], kBmpHeightField, 2048);
  patchUint32(bad[5], kBmpHeightField, static_cast<uint32_t>(-2));  // rows stored top first
  patchUint16(bad[6], kBmpBitsField, 24);
  patchUint32(bad[7], kBmpCompressionField, 1);
  patchUint32(bad[8], kBmpInfoSizeField, 12);
  bad[9].resize(20);  // ends inside the width
  bad[10] = Bytes{'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'};
  bad[11][0] = 'X';
  RecordingHeader header;
  std::string expected_output;
  std::vector<std::string> expected_calls;
  for (size_t k = 0; k < bad.size(); ++k) {
    const uint64_t id = 0x100 + k;
    writeDump(id, bad[k]);
    header.texture_ids[k] = id;
    expected_output += "Texture #" + std::to_string(k + 1) + " (" + textureDumpPath("", id) + ")\n";
    expected_calls = join({expected_calls, slotCalls(static_cast<unsigned>(k + 1))});
  }
  EXPECT_EQ(load(header), expected_output);
  EXPECT_EQ(recorder().calls, expected_calls);
  EXPECT_TRUE(recorder().images.empty());
}

TEST_F(TextureLoaderTest, LargestDumpWithinTheLimitLoads) {
  BmpPicture largest = picture(2048, 2048, std::vector<uint8_t>(2048 * 2048, 0));
  largest.indices[0] = 1;                // top left
  largest.indices[2048 * 2048 - 1] = 2;  // bottom right
  const Bytes got = texels(largest);
  ASSERT_EQ(got.size(), 3u * 2048 * 2048);
  EXPECT_EQ(Bytes(got.begin(), got.begin() + 6), joined({texelOf(1), texelOf(0)}));
  EXPECT_EQ(Bytes(got.end() - 6, got.end()), joined({texelOf(0), texelOf(2)}));
}

TEST_F(TextureLoaderTest, DumpsLoadWithoutAScreen) {
  ASSERT_EQ(screenPixels(), nullptr);
  EXPECT_EQ(texels(bmpBytes(picture(1, 1, {1}))), texelOf(1));
}
