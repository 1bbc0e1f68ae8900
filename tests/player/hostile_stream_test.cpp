// Hostile recordings at the level of the stream and pacing functions, where the steps of one
// chunk can be separated: part files that vanish or shrink between a chunk's length field and
// its data, and frame marks stamped with NaN or infinities.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "player/pacing.h"
#include "player/recording_stream.h"
#include "runtime/files.h"
#include "tests/support/recording_files.h"
#include "tools/recording_writer.h"

namespace {

const Bytes kFirstChunk = compressedChunk(joinBytes({frameMarkBytes(1.0f), Bytes{9, 0}}));
const Bytes kSecondChunk =
    compressedChunk(triangleRecordBytes(plainTriangle(1, 2, 3, 4, 5, 6, 0xF777)));

// Triangles of random bytes: they compress poorly, so their chunk is long.
Bytes randomTriangles(int count) {
  std::mt19937 random(77);
  Bytes records;
  for (int i = 0; i < count; ++i) {
    records.push_back(kTriangleKind);
    for (int b = 1; b < kTriangleRecordSize; ++b) records.push_back(random() & 0xFF);
  }
  return records;
}

// Part 0 of `path_template` opened, its header checked and the chunk buffers allocated.
class OpenStream {
 public:
  explicit OpenStream(const std::string& path_template) {
    stream.path_template = path_template;
    RecordingHeader header;
    opened = openRecording(stream, &header) == OpenRecordingResult::kOpened;
    allocateChunkBuffers(stream);
  }
  ~OpenStream() { closeFile(stream.file); }

  // Reads one whole chunk; false when any step does not go on.
  bool readWholeChunk() {
    int32_t length = 0;
    int32_t got = 0;
    if (!streamHasMore(stream) || readChunkLength(stream, &length) != StreamStep::kGoOn) {
      return false;
    }
    if (readChunkData(stream, length, &got) != StreamStep::kGoOn || got != length) return false;
    decompressChunk(stream, got);
    return chunkWithinBudget(stream, length);
  }

  StreamState stream;
  bool opened = false;
};

std::string captured(const std::function<void()>& step) {
  testing::internal::CaptureStdout();
  step();
  return testing::internal::GetCapturedStdout();
}

// Both chunks in two parts, the second part starting 3 bytes into the second chunk's data.
bool writeTwoChunksSplitInsideTheSecond(const std::string& path_template) {
  const Bytes stream = joinBytes({headerBytes(), kFirstChunk, kSecondChunk});
  const size_t inside_second = 264 + kFirstChunk.size() + 4 + 3;
  return writeParts(splitAt(stream, {inside_second}), path_template);
}

}  // namespace

TEST(HostileStream, NextPartDeletedBetweenLengthFieldAndDataEndsWithBrokenStream) {
  TempFolder folder;
  const std::string path_template = folder.file("r.%i.rec");
  ASSERT_TRUE(writeTwoChunksSplitInsideTheSecond(path_template));

  OpenStream open(path_template);
  ASSERT_TRUE(open.opened);
  ASSERT_TRUE(open.readWholeChunk());
  int32_t length = 0;
  ASSERT_EQ(readChunkLength(open.stream, &length), StreamStep::kGoOn);
  EXPECT_EQ(length, static_cast<int32_t>(kSecondChunk.size() - 4));

  const std::string part1 = partPath(path_template, 1);
  ASSERT_TRUE(std::filesystem::remove(part1));
  int32_t got = -1;
  StreamStep step = StreamStep::kGoOn;
  EXPECT_EQ(captured([&] { step = readChunkData(open.stream, length, &got); }),
            part1 + "\nBroken Stream\n");
  EXPECT_EQ(step, StreamStep::kBroken);
  EXPECT_EQ(got, 3);  // the bytes part 0 held
  EXPECT_EQ(closeFile(open.stream.file), 1) << "the number of the missing part is not left open";
}

TEST(HostileStream, FileCutShortAfterItsLengthWasTakenReadsWhatIsLeftThenEnds) {
  // The budget comes from the file's length when it was opened; the file then shrinks to 10000
  // bytes of the first chunk's data before they are read. (The stream's own buffer, a few kB,
  // holds only bytes in front of the cut.)
  TempFolder folder;
  const std::string path = folder.file("r.rec");
  const Bytes long_chunk = compressedChunk(randomTriangles(800));
  ASSERT_GT(long_chunk.size(), 15000u);
  ASSERT_TRUE(writeFileBytes(path, joinBytes({headerBytes(), long_chunk, kSecondChunk})));

  OpenStream open(path);
  ASSERT_TRUE(open.opened);
  std::filesystem::resize_file(path, 264 + 4 + 10000);
  ASSERT_TRUE(streamHasMore(open.stream));
  int32_t length = 0;
  ASSERT_EQ(readChunkLength(open.stream, &length), StreamStep::kGoOn);
  EXPECT_EQ(length, static_cast<int32_t>(long_chunk.size() - 4));

  int32_t got = -1;
  EXPECT_EQ(
      captured([&] { EXPECT_EQ(readChunkData(open.stream, length, &got), StreamStep::kGoOn); }),
      "");
  EXPECT_EQ(got, 10000);
  decompressChunk(open.stream, got);
  EXPECT_GT(open.stream.decompressed_length, 0);  // what the first 10000 bytes inflate to
  EXPECT_LT(open.stream.decompressed_length, 800 * kTriangleRecordSize);
  // The budget still counts the second chunk, whose length field is no longer there.
  EXPECT_TRUE(chunkWithinBudget(open.stream, length));
  ASSERT_TRUE(streamHasMore(open.stream));
  StreamStep step = StreamStep::kGoOn;
  EXPECT_EQ(captured([&] { step = readChunkLength(open.stream, &length); }),
            "bad luck end of file\n");
  EXPECT_EQ(step, StreamStep::kBroken);
}

TEST(HostileStream, PartRemovedWhileOpenIsStillReadToItsEnd) {
  // Removing a name does not take the bytes from a stream that has the file open.
#ifdef _WIN32
  GTEST_SKIP() << "Windows refuses to remove a file while a stream has it open";
#endif
  TempFolder folder;
  const std::string path_template = folder.file("r.%i.rec");
  ASSERT_TRUE(writeTwoChunksSplitInsideTheSecond(path_template));

  OpenStream open(path_template);
  ASSERT_TRUE(open.opened);
  ASSERT_TRUE(std::filesystem::remove(partPath(path_template, 0)));
  ASSERT_TRUE(open.readWholeChunk());
  EXPECT_EQ(open.stream.decompressed_length, 10);
  ASSERT_TRUE(open.readWholeChunk());  // across into part 1
  EXPECT_EQ(open.stream.decompressed_length, kTriangleRecordSize);
  EXPECT_FALSE(streamHasMore(open.stream));
}

namespace {

// A clock that stands at 10 s; sleeps are recorded and take no time.
struct PacingLog {
  std::vector<int> sleeps;
  int presents = 0;
};

PacingLog& pacingLog() {
  static PacingLog log;
  return log;
}

double clockAtTen() { return 10.0; }
int recordSleep(int milliseconds, int) {
  pacingLog().sleeps.push_back(milliseconds);
  return 0;
}
int noKeyHeld(int) { return 0; }
std::string noKey() { return ""; }
void countPresent(void*) { pacingLog().presents += 1; }

}  // namespace

TEST(HostileStream, NotANumberAndInfiniteTimeStampsNeitherHangNorSleepLong) {
  pacingLog() = {};
  const PacingServices services = {clockAtTen, recordSleep, noKeyHeld, noKey, countPresent};
  PacingState state = startPacing(services);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  auto mark = [&](float t) { return paceFrameMark(state, services, t); };

  // NaN: late by the rules; the time base becomes NaN and the next frame is dropped.
  EXPECT_EQ(mark(nan), PlaybackStep::kGoOn);
  EXPECT_TRUE(std::isnan(state.time_base));
  // The next mark resynchronises from its own stamp: 10 - 1.
  EXPECT_EQ(mark(1.0f), PlaybackStep::kGoOn);
  EXPECT_EQ(state.time_base, 9.0);
  // +inf is a pause: one 230 ms sleep, the base moves by the infinite excess, then 0 ms.
  EXPECT_EQ(mark(inf), PlaybackStep::kGoOn);
  EXPECT_EQ(state.time_base, -inf);
  EXPECT_FALSE(state.skip);
  // Against a base of -inf every finite stamp is late: resynchronised to 10 - 2.
  EXPECT_EQ(mark(2.0f), PlaybackStep::kGoOn);
  EXPECT_EQ(state.time_base, 8.0);
  // -inf is late: the base becomes 10 - (-inf).
  EXPECT_EQ(mark(-inf), PlaybackStep::kGoOn);
  EXPECT_EQ(state.time_base, inf);
  // A finite stamp is then infinitely far ahead: a pause, and the base inf - inf is NaN.
  EXPECT_EQ(mark(3.0f), PlaybackStep::kGoOn);
  EXPECT_TRUE(std::isnan(state.time_base));
  EXPECT_EQ(mark(4.0f), PlaybackStep::kGoOn);
  EXPECT_EQ(state.time_base, 6.0);
  // Playback is back in time: 4.1 + 6 - 10 is due in 0.0999999 s, slept as 100 ms.
  EXPECT_EQ(mark(4.1f), PlaybackStep::kGoOn);
  EXPECT_EQ(state.time_base, 6.0);

  EXPECT_EQ(pacingLog().sleeps, (std::vector<int>{0, 0, 230, 0, 0, 0, 230, 0, 0, 100}));
  EXPECT_EQ(pacingLog().presents, 3);  // the NaN, 2.0 and 4.0 marks; the others close drops
}
