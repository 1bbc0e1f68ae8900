// The shared chunk loop over recordings on disk: the order of its steps as its hooks see them,
// frame marks handed to a handler instead of pacing, and where a stop from either side ends it.
#include "player/chunk_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/files.h"
#include "tests/support/recording_files.h"

namespace {

// What the loop told the test: phases as letters (a phase announced again while it runs counts
// once) and the time stamps of the frame marks, with a mark after which to stop.
struct Seen {
  std::string phases;
  std::vector<float> marks;
  size_t stop_after_marks = 0;  // 0: never stop
};

void notePhase(void* context, ChunkPhase phase) {
  static const char kLetters[] = {'R', 'D', 'W', 'F'};
  std::string& phases = static_cast<Seen*>(context)->phases;
  const char letter = kLetters[static_cast<int>(phase)];
  if (phases.empty() || phases.back() != letter) phases += letter;
}

PlaybackStep noteMark(void* context, float time_stamp) {
  Seen& seen = *static_cast<Seen*>(context);
  seen.marks.push_back(time_stamp);
  return seen.marks.size() == seen.stop_after_marks ? PlaybackStep::kStop : PlaybackStep::kGoOn;
}

bool alwaysStop() { return true; }

const Bytes kTriangle = triangleRecordBytes(plainTriangle(1, 2, 3, 4, 5, 6, 0xF777));

class ChunkLoop : public ::testing::Test {
 protected:
  // Two chunks: triangle, mark 0.5, triangle; then mark 1.5, two triangles, mark 2.5.
  void SetUp() override {
    const Bytes recording = joinBytes(
        {headerBytes(), compressedChunk(joinBytes({kTriangle, frameMarkBytes(0.5f), kTriangle})),
         compressedChunk(
             joinBytes({frameMarkBytes(1.5f), kTriangle, kTriangle, frameMarkBytes(2.5f)}))});
    stream.path_template = folder.file("two_chunks.rec");
    ASSERT_TRUE(writeFileBytes(stream.path_template, recording));
    RecordingHeader header;
    ASSERT_EQ(openRecording(stream, &header), OpenRecordingResult::kOpened);
    allocateChunkBuffers(stream);
  }

  // The stream's part stays open after playing; file numbers are shared by the whole process.
  void TearDown() override {
    if (stream.file != 0) closeFile(stream.file);
  }

  // Plays the stream with the test's hooks and handler; no drawing calls.
  StreamStep play(bool (*stop_requested)() = nullptr) {
    playback = startUnpacedPlayback({noteMark, &seen}, TriangleDrawing{});
    ChunkLoopHooks hooks;
    hooks.stop_requested = stop_requested;
    hooks.phase_begins = notePhase;
    hooks.context = &seen;
    return playChunks(stream, playback, hooks);
  }

  TempFolder folder;
  StreamState stream;
  PlaybackState playback;
  Seen seen;
};

}  // namespace

TEST_F(ChunkLoop, ReadsDecompressesAndWalksEachChunkThenFinishes) {
  EXPECT_EQ(play(), StreamStep::kEnd);
  EXPECT_EQ(seen.phases, "RDWRDWRF");
  EXPECT_EQ(seen.marks, (std::vector<float>{0.5f, 1.5f, 2.5f}));
  EXPECT_EQ(playback.triangles_walked, 4);
  EXPECT_FALSE(playback.pacing.skip);  // pacing never ran: no frame is dropped
}

TEST_F(ChunkLoop, AHandlerThatSaysStopEndsTheWalkAtThatMark) {
  seen.stop_after_marks = 2;
  EXPECT_EQ(play(), StreamStep::kEnd);
  EXPECT_EQ(seen.marks, (std::vector<float>{0.5f, 1.5f}));
  EXPECT_EQ(playback.triangles_walked, 2);  // the second chunk's triangles are not reached
  EXPECT_EQ(seen.phases, "RDWRDWF");
}

TEST_F(ChunkLoop, AStopRequestBeforeTheFirstChunkReadsNothing) {
  EXPECT_EQ(play(alwaysStop), StreamStep::kEnd);
  EXPECT_TRUE(seen.marks.empty());
  EXPECT_EQ(seen.phases, "RF");
  EXPECT_EQ(stream.bytes_consumed, 0);
}
