// Pacing in the real player, headless: frames are held to their time stamps, long pauses are cut
// short, and the stop keys are answered between frames. Bounds on time are loose on purpose: they
// tell waiting from not waiting, never how fast a machine is.
#include <unistd.h>

#include <chrono>

#include "tests/e2e/player_run.h"

namespace {

const Bytes kTriangle = triangleRecordBytes(plainTriangle(10, 10, 200, 20, 30, 220, 0xF9A5));

// One chunk of frames, each a triangle and a mark, stamped first, first + 1/30, ... seconds.
Bytes framesChunk(int frames, double first) {
  Bytes records;
  for (int i = 0; i < frames; ++i) {
    appendBytes(records, kTriangle);
    appendBytes(records, frameMarkBytes(static_cast<float>(first + i / 30.0)));
  }
  return compressedChunk(records);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Starts the player on a recording of one minute of frames in a single chunk, so that after the
// first chunk only the frame marks look at the keyboard; presses `keys` once playback runs and
// gives how long it took to print "Done.".
double secondsUntilStoppedBy(const std::string& recording, const std::string& keys) {
  ProcessOptions options = {{recording}, {"KESTRUNE_PRESENTER=headless"}, "", 20000};
  RunningProcess player;
  EXPECT_TRUE(startProcess(KESTRUNE_PLAYER_PATH, options, &player));
  const auto start = std::chrono::steady_clock::now();
  usleep(300 * 1000);
  EXPECT_TRUE(writeInput(player, keys));
  EXPECT_TRUE(readOutputUntil(player, "Done.", 15000)) << player.result.out;
  const double seconds = secondsSince(start);
  const ProcessResult result = finishProcess(player);  // closing the input ends the wait
  EXPECT_EQ(result.out, "Done.");
  EXPECT_EQ(result.exit_code, 0);
  return seconds;
}

}  // namespace

TEST_F(PlayerRun, FramesPlayInRealTime) {
  // 31 frames 1/30 s apart over three chunks: the last is due one second after start-up.
  const std::string path =
      writeRecording("r.rec", joinBytes({headerBytes(), framesChunk(10, 0),
                                         framesChunk(10, 10 / 30.0), framesChunk(11, 20 / 30.0)}));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(play({path}), "Done.");
  EXPECT_GE(secondsSince(start), 0.9);
}

TEST_F(PlayerRun, LongPauseIsCutShort) {
  // A pause of almost 100 s between the second and third frames costs one 230 ms sleep.
  const std::string path =
      writeRecording("r.rec", joinBytes({headerBytes(), framesChunk(2, 0), framesChunk(3, 100)}));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(play({path}), "Done.");
  const double seconds = secondsSince(start);
  EXPECT_GE(seconds, 0.2);
  EXPECT_LT(seconds, 10.0);
}

TEST_F(PlayerRun, EscapeStopsPlaybackBetweenFrames) {
  const std::string path =
      writeRecording("r.rec", joinBytes({headerBytes(), framesChunk(1800, 0)}));
  EXPECT_LT(secondsUntilStoppedBy(path, "\x1b"), 10.0);
}

TEST_F(PlayerRun, CloseKeyStopsPlaybackBetweenFrames) {
  const std::string path =
      writeRecording("r.rec", joinBytes({headerBytes(), framesChunk(1800, 0)}));
  EXPECT_LT(secondsUntilStoppedBy(path, "\xffk"), 10.0);
}
