// The record walk over hand-made chunks: which messages it prints, where it stops, and that it
// never reads at or beyond the end of the decompressed bytes.
#include "player/record_walk.h"

#include <gtest/gtest.h>

#include "tools/recording_writer.h"

namespace {

// Frame marks are paced against a clock that stands still and sleeps that return at once, with
// no key ever pressed: the walk's own behaviour is what these tests look at.
double stoppedClock() { return 0; }
int noSleep(int, int) { return 0; }
int noKeyHeld(int) { return 0; }
std::string noKey() { return ""; }
void noPresent(void*) {}

// Walks the first `length` bytes of `buffer` and gives what the walk printed.
std::string walkOutput(const Bytes& buffer, size_t length, PlaybackStep* step = nullptr) {
  PlaybackState playback = startPlayback({stoppedClock, noSleep, noKeyHeld, noKey, noPresent});
  testing::internal::CaptureStdout();
  const PlaybackStep result = walkRecords(playback, buffer.data(), static_cast<int64_t>(length));
  if (step != nullptr) *step = result;
  return testing::internal::GetCapturedStdout();
}

std::string walkOutput(const Bytes& buffer) { return walkOutput(buffer, buffer.size()); }

const Bytes kTriangle = triangleRecordBytes(plainTriangle(0, 0, 255, 0, 0, 255, 0xF777));
const Bytes kMark = frameMarkBytes(1.0f);

}  // namespace

TEST(RecordWalk, StepsOverTrianglesAndFrameMarksQuietly) {
  PlaybackStep step = PlaybackStep::kStop;
  const Bytes records = joinBytes({kTriangle, kMark, kTriangle, kTriangle, kMark});
  EXPECT_EQ(walkOutput(records, records.size(), &step), "");
  EXPECT_EQ(step, PlaybackStep::kGoOn);
  EXPECT_EQ(walkOutput(Bytes{}), "");
}

TEST(RecordWalk, ReadsNothingAtOrBeyondTheLength) {
  // A single kind byte at the end: its neighbour lies beyond the data and counts as 0.
  EXPECT_EQ(walkOutput(Bytes{9, 1}, 1), "Bad ID 9()!\n");
  // Records that would continue past the end are reported, not read.
  EXPECT_EQ(walkOutput(joinBytes({kMark, kTriangle}), 8 + 25),
            "Record 2 cut off at the end of the chunk!\n");
  EXPECT_EQ(walkOutput(joinBytes({kTriangle, kMark}), 26 + 7),
            "Record 1 cut off at the end of the chunk!\n");
  // A bad kind right behind the end is never seen.
  EXPECT_EQ(walkOutput(joinBytes({kTriangle, Bytes{7, 0}}), 26), "");
}
