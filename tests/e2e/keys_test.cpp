// Keys reaching the real player through standard input: stopping playback, and the wait for a
// key at the end and after a start-up failure.
#include <unistd.h>

#include "tests/e2e/player_run.h"

namespace {

// A recording that takes the player about a second to get through (thousands of chunks that each
// fill the output buffer), ending with a chunk that prints: the print shows that playback was
// not stopped.
Bytes longPlaybackWithPointsAtTheEnd() {
  const Bytes triangle = triangleRecordBytes(plainTriangle(0, 0, 255, 0, 0, 255, 0xF777));
  const Bytes full_chunk = compressedChunk(repeatBytes(triangle, 10082));
  return joinBytes({headerBytes(), repeatBytes(full_chunk, 3000), pointsChunk()});
}

}  // namespace

TEST_F(PlayerRun, EscapeStopsPlayback) {
  const std::string path = writeRecording("r.rec", longPlaybackWithPointsAtTheEnd());
  EXPECT_EQ(play({path}, "\x1b"), "Done.");
  EXPECT_EQ(last_exit_code, 0);  // a stop key is no failure
}

TEST_F(PlayerRun, CloseKeyStopsPlayback) {
  const std::string path = writeRecording("r.rec", longPlaybackWithPointsAtTheEnd());
  EXPECT_EQ(play({path}, "\xffk"), "Done.");
  EXPECT_EQ(last_exit_code, 0);
}

TEST_F(PlayerRun, OtherKeysAreDroppedAndPlaybackGoesOn) {
  const std::string path = writeRecording("r.rec", joinBytes({headerBytes(), pointsChunk()}));
  EXPECT_EQ(play({path},
                 "ab\xff"
                 "j"),
            "Points Not implemented!\nDone.");
}

// Runs the player with standard input left open, checks that it waits after printing `text`,
// then presses a key and checks that it ends with `exit_code`.
static void expectWaitForKeyAfter(const std::string& recording, const std::string& text,
                                  int exit_code) {
  ProcessOptions options;
  options.arguments = {recording};
  options.environment = {"KESTRUNE_PRESENTER=headless"};
  options.timeout_ms = 20000;
  RunningProcess player;
  ASSERT_TRUE(startProcess(KESTRUNE_PLAYER_PATH, options, &player));
  EXPECT_TRUE(readOutputUntil(player, text, 10000)) << player.result.out;
  usleep(300 * 1000);
  EXPECT_TRUE(processRunning(player)) << "ended without waiting for a key";
  EXPECT_TRUE(writeInput(player, "x"));
  EXPECT_TRUE(waitForExit(player, 10000)) << "the key did not end it";
  const ProcessResult result = finishProcess(player);
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.exit_code, exit_code);
  EXPECT_EQ(result.out, text);
}

TEST_F(PlayerRun, DoneWaitsForAKey) {
  expectWaitForKeyAfter(writeRecording("r.rec", headerBytes()), "Done.", 0);
}

TEST_F(PlayerRun, StartUpFailureWaitsForAKey) {
  expectWaitForKeyAfter(folder.path() + "/missing.rec", "Failed to open video file\n", 1);
}
