// Start-up of the real player: which recording it opens, the header check and its failures.
#include <filesystem>

#include "tests/e2e/player_run.h"

namespace {

const char* kDefaultTemplate = "Video/Stream/Recording_12_01_2013_13_41_13.%i.rec";

}  // namespace

// A copy of the player in <folder>/bin finds the default recording in <folder>/Video/Stream.
TEST_F(PlayerRun, NoArgumentsPlaysTheDefaultRecordingPartByPart) {
  const std::string player = folder.file("bin/kestrune-player");
  ASSERT_TRUE(copyExecutable(KESTRUNE_PLAYER_PATH, player));
  const Bytes stream = joinBytes({headerBytes(), pointsChunk(), badKindChunk(9)});
  const size_t inside_second_chunk = 264 + pointsChunk().size() + 4 + 3;
  writePartFiles(kDefaultTemplate, splitAt(stream, {inside_second_chunk}));

  const std::string expected = "Points Not implemented!\nBad ID 9()!\nDone.";
  EXPECT_EQ(play({}, "", {}, player), expected);
  EXPECT_EQ(play({""}, "", {}, player), expected);  // an empty path also means the default
}

TEST_F(PlayerRun, ArgumentsAreJoinedWithSingleSpaces) {
  writeRecording("a b", joinBytes({headerBytes(), badKindChunk(7)}));
  writeRecording("a", Bytes{'n', 'o', 'p', 'e'});
  writeRecording("b", Bytes{'n', 'o', 'p', 'e'});
  EXPECT_EQ(play({folder.path() + "/a", "b"}), "Bad ID 7()!\nDone.");
}

TEST_F(PlayerRun, RelativePathIsResolvedFromTheExecutablesFolder) {
  const std::string player = folder.file("bin/kestrune-player");
  ASSERT_TRUE(copyExecutable(KESTRUNE_PLAYER_PATH, player));
  writeRecording("rec/x.rec", joinBytes({headerBytes(), badKindChunk(7)}));
  // The same relative path seen from the caller's folder names another recording.
  writeRecording("caller/rec/x.rec", joinBytes({headerBytes(), pointsChunk()}));
  ProcessOptions from_elsewhere;
  from_elsewhere.working_folder = folder.file("caller/sub/");
  EXPECT_EQ(play({"../rec/x.rec"}, "", from_elsewhere, player), "Bad ID 7()!\nDone.");
}

TEST_F(PlayerRun, MissingRecordingFailsToOpen) {
  EXPECT_EQ(play({folder.path() + "/none.%i.rec"}), "Failed to open video file\n");
  EXPECT_EQ(play({folder.path() + "/none.rec"}), "Failed to open video file\n");
  EXPECT_EQ(play({std::string(5000, 'x')}), "Failed to open video file\n");
  EXPECT_EQ(play({folder.path()}), "Failed to open video file\n");
}

TEST_F(PlayerRun, FileWithoutMagicIsNotARecording) {
  Bytes wrong_magic = joinBytes({headerBytes({}, "KRED"), pointsChunk()});
  EXPECT_EQ(play({writeRecording("wrong.rec", wrong_magic)}), "File not a Kestrune recording.\n");
  EXPECT_EQ(play({writeRecording("empty.rec", Bytes{})}), "File not a Kestrune recording.\n");
  EXPECT_EQ(play({writeRecording("kre.rec", Bytes{'K', 'R', 'E'})}),
            "File not a Kestrune recording.\n");
}

TEST_F(PlayerRun, HeaderWithoutChunksEndsAtOnce) {
  EXPECT_EQ(play({writeRecording("exact.rec", headerBytes())}), "Done.");
  // Shorter than a header: the rest counts as zero and there is nothing to play.
  const Bytes header = headerBytes();
  EXPECT_EQ(play({writeRecording("short.rec", Bytes(header.begin(), header.begin() + 100))}),
            "Done.");
  EXPECT_EQ(play({writeRecording("magic.rec", Bytes{'K', 'R', 'E', 'C'})}), "Done.");
  // A part 0 of just the header, with no part 1, ends quietly as well.
  EXPECT_EQ(play({writePartFiles("parts.%i.rec", {headerBytes()})}), "Done.");
}

TEST_F(PlayerRun, PartZeroOfJustTheHeaderGoesOnInPartOne) {
  const std::string path = writePartFiles("parts.%i.rec", {headerBytes(), pointsChunk()});
  EXPECT_EQ(play({path}), "Points Not implemented!\nDone.");
}

TEST_F(PlayerRun, ScreenThatCannotOpenIsReported) {
  ProcessOptions tiny_desktop;
  tiny_desktop.environment = {"KESTRUNE_DESKTOP=1x1"};  // half of it is no size at all
  const std::string path = writeRecording("r.rec", joinBytes({headerBytes(), pointsChunk()}));
  EXPECT_EQ(play({path}, "", tiny_desktop), "Error: Could not open the screen\n");
}

TEST_F(PlayerRun, DemoRecordingBesideTheBuildPlaysToTheEnd) {
  const std::filesystem::path bin = std::filesystem::path(KESTRUNE_PLAYER_PATH).parent_path();
  ASSERT_TRUE(std::filesystem::exists(bin / ".." / "Video" / "Stream" /
                                      "Recording_12_01_2013_13_41_13.0.rec"));
  // Its two textures lie in ../Video/TexDump beside the recording's folder.
  EXPECT_EQ(play({}),
            "Texture #1 (4B45535452554E31.bmp)\n"
            "Texture #2 (4B45535452554E32.bmp)\n"
            "Done.");
}
