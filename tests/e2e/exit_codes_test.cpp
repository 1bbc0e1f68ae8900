// The player's exit code for each way it can end: 1 after a failure it reports (a recording it
// cannot open or read on, no window), 0 after an end that is no failure (the end of the stream, a
// chunk cut short at the end, skipped records). The messages stay as they are.
#include "tests/e2e/player_run.h"

TEST_F(PlayerRun, ExitCodeIsOneExactlyAfterAReportedFailure) {
  const Bytes header = headerBytes();
  const Bytes two_chunks = joinBytes({header, pointsChunk(), badKindChunk(7)});
  const size_t inside_second = 264 + pointsChunk().size() + 4 + 5;
  Bytes cut_short = two_chunks;
  cut_short.resize(cut_short.size() - 3);
  const std::string points = kPoints;

  struct Case {
    std::string what;
    std::string recording;
    std::string environment;
    std::string output;
    int exit_code;
  };
  const Case cases[] = {
      {"missing file", folder.file("none.rec"), "", "Failed to open video file\n", 1},
      {"no magic", writeRecording("kre.rec", Bytes{'K', 'R', 'E'}), "",
       "File not a Kestrune recording.\n", 1},
      {"no window", writeRecording("w.rec", joinBytes({header, pointsChunk()})),
       "KESTRUNE_DESKTOP=1x1", "Error: Could not open the screen\n", 1},
      {"negative length",
       writeRecording("n.rec", joinBytes({header, pointsChunk(), lengthField(-1)})), "",
       points + "bad luck end of file\nDone.", 1},
      {"overflowing length",
       writeRecording("o.rec", joinBytes({header, pointsChunk(), lengthField(32769), Bytes(9, 0)})),
       "", points + "Overflow on input buffer\n", 1},
      {"missing part", writePartFiles("r.%i.rec", {splitAt(two_chunks, {inside_second})[0]}), "",
       points + folder.file("r.1.rec") + "\nBroken Stream\nDone.", 1},
      {"end of stream", writeRecording("q.rec", joinBytes({header, quietChunk()})), "", "Done.", 0},
      {"skipped records", writeRecording("s.rec", two_chunks), "", points + "Bad ID 7()!\nDone.",
       0},
      {"last chunk cut short", writeRecording("c.rec", cut_short), "", points + "Done.", 0},
  };
  for (const Case& c : cases) {
    ProcessOptions extra;
    if (!c.environment.empty()) extra.environment = {c.environment};
    EXPECT_EQ(play({c.recording}, "", extra), c.output) << c.what;
    EXPECT_EQ(last_exit_code, c.exit_code) << c.what;
  }
}
