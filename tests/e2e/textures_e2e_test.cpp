// Texture loading in the real player: the lines it prints for the header's slots, before any
// chunk is played, with dumps found beside the executable in ../Video/TexDump/, dumps missing and
// dumps damaged in every way the loader refuses.
#include <array>
#include <string>
#include <vector>

#include "player/texture_loader.h"
#include "tests/e2e/player_run.h"
#include "tools/bmp_writer.h"

namespace {

BmpPicture smallPicture(int32_t width, int32_t height, int bits) {
  BmpPicture made;
  made.width = width;
  made.height = height;
  made.bits = bits;
  made.palette = {{255, 130, 3}, {0, 0, 255}};
  for (int32_t k = 0; k < width * height; ++k) made.indices.push_back(static_cast<uint8_t>(k % 2));
  return made;
}

class TexturesRun : public PlayerRun {
 protected:
  // A copy of the player in <folder>/bin, so that its dumps lie in <folder>/Video/TexDump.
  void SetUp() override { ASSERT_TRUE(copyExecutable(KESTRUNE_PLAYER_PATH, player_)); }

  void writeDump(uint64_t id, const Bytes& bytes) {
    ASSERT_TRUE(writeFileBytes(folder.file("Video/TexDump/" + textureDumpPath("", id)), bytes));
  }

  std::string playHeader(const std::array<uint64_t, 32>& ids, const Bytes& chunks) {
    const std::string path = writeRecording("rec.rec", joinBytes({headerBytes(ids), chunks}));
    return play({path}, "", {}, player_);
  }

  const std::string player_ = folder.file("bin/kestrune-player");
};

}  // namespace

// Installed, the player with no argument plays the demo in share/kestrune/demo with the dumps
// beside it; the game's own default recording beside its folder still comes first.
TEST_F(TexturesRun, NoArgumentPlaysTheInstalledDemoUnlessTheGamesRecordingIsThere) {
  const std::string installed = "share/kestrune/demo/Video/";
  ASSERT_TRUE(writeFileBytes(folder.file(installed + "TexDump/" + textureDumpPath("", 7)),
                             bmpBytes(smallPicture(3, 2, 8))));
  std::array<uint64_t, 32> ids = {};
  ids[0] = 7;
  writePartFiles(installed + "Stream/Recording_12_01_2013_13_41_13.%i.rec",
                 {joinBytes({headerBytes(ids), pointsChunk()})});
  EXPECT_EQ(play({}, "", {}, player_),
            "Texture #1 (0000000000000007.bmp)\nPoints Not implemented!\nDone.");
  writePartFiles("Video/Stream/Recording_12_01_2013_13_41_13.%i.rec",
                 {joinBytes({headerBytes(), badKindChunk(9)})});
  EXPECT_EQ(play({}, "", {}, player_), "Bad ID 9()!\nDone.");
}

TEST_F(TexturesRun, SlotsAreLoadedInOrderBeforeTheFirstChunk) {
  writeDump(171, bmpBytes(smallPicture(3, 2, 8)));
  writeDump(0x0123456789ABCDEF, bmpBytes(smallPicture(9, 1, 1)));
  BmpPicture sized = smallPicture(5, 5, 4);
  sized.info_header_size = 124;
  writeDump(0xFFFFFFFFFFFFFFFF, bmpBytes(sized));
  std::array<uint64_t, 32> ids = {};
  ids[0] = 171;
  ids[2] = 0x1234;  // no dump
  ids[6] = 0x0123456789ABCDEF;
  ids[31] = 0xFFFFFFFFFFFFFFFF;
  EXPECT_EQ(playHeader(ids, joinBytes({quietChunk(), pointsChunk()})),
            "Texture #1 (00000000000000AB.bmp)\n"
            "Texture #3 (0000000000001234.bmp)\n"
            "Failed to open '../Video/TexDump/0000000000001234.bmp'\n"
            "Texture #7 (0123456789ABCDEF.bmp)\n"
            "Texture #32 (FFFFFFFFFFFFFFFF.bmp)\n"
            "Points Not implemented!\n"
            "Done.");
}

TEST_F(TexturesRun, EmptyHeaderLoadsNothing) {
  writeDump(171, bmpBytes(smallPicture(1, 1, 8)));  // there, but no slot names it
  EXPECT_EQ(playHeader({}, pointsChunk()), "Points Not implemented!\nDone.");
}

// Damaged dumps, refused or read as far as they go: each slot's line, nothing more, and
// playback goes on.
TEST_F(TexturesRun, DamagedDumpsDoNotStopPlayback) {
  const Bytes good = bmpBytes(smallPicture(4, 4, 8));
  std::vector<Bytes> bad(4, good);
  patchUint32(bad[0], kBmpWidthField, 0x7FFFFFFF);        // refused: too wide
  patchUint16(bad[1], kBmpBitsField, 32);                 // refused: not palettized
  patchUint32(bad[2], kBmpPixelOffsetField, 0x80000000);  // rows beyond the end: index 0
  bad[3].resize(bad[3].size() - 9);                       // rows ending early
  std::array<uint64_t, 32> ids = {};
  std::string expected;
  for (size_t k = 0; k < bad.size(); ++k) {
    ids[k] = 0xD0 + k;
    writeDump(ids[k], bad[k]);
    expected += "Texture #" + std::to_string(k + 1) + " (" + textureDumpPath("", ids[k]) + ")\n";
  }
  EXPECT_EQ(playHeader(ids, pointsChunk()), expected + "Points Not implemented!\nDone.");
}
