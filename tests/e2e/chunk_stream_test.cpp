// The chunk stream of the real player: length fields, budgets, and chunks continued across part
// files.
#include "tests/e2e/player_run.h"

namespace {

// Pads a zlib stream to exactly `size` bytes: zlib stops at the stream's end.
Bytes paddedTo(Bytes data, size_t size) {
  data.resize(size, 0);
  return data;
}

const Bytes kHeader = headerBytes();

}  // namespace

TEST_F(PlayerRun, LengthOf32768IsAccepted) {
  const Bytes records = joinBytes({frameMarkBytes(0), Bytes{7, 1}});
  const Bytes full = rawChunk(paddedTo(zlibCompressed(records), 32768));
  const Bytes stream = joinBytes({kHeader, full, pointsChunk()});
  EXPECT_EQ(play({writeRecording("r.rec", stream)}),
            "Bad ID 263()!\nPoints Not implemented!\nDone.");
}

TEST_F(PlayerRun, LengthOf32769OverflowsAndEndsWithoutDone) {
  const Bytes stream = joinBytes({kHeader, pointsChunk(), lengthField(32769), Bytes(32769, 0)});
  EXPECT_EQ(play({writeRecording("r.rec", stream)}),
            "Points Not implemented!\nOverflow on input buffer\n");
}

TEST_F(PlayerRun, NegativeOrMissingLengthIsBadLuck) {
  const Bytes minus_one = joinBytes({kHeader, pointsChunk(), lengthField(-1), Bytes(10, 0)});
  EXPECT_EQ(play({writeRecording("m.rec", minus_one)}),
            "Points Not implemented!\nbad luck end of file\nDone.");
  const Bytes most_negative = joinBytes({kHeader, lengthField(INT32_MIN), pointsChunk()});
  EXPECT_EQ(play({writeRecording("n.rec", most_negative)}), "bad luck end of file\nDone.");
  // Two bytes of a length field at the end of a single file.
  const Bytes cut = joinBytes({kHeader, pointsChunk(), Bytes{5, 0}});
  EXPECT_EQ(play({writeRecording("c.rec", cut)}),
            "Points Not implemented!\nbad luck end of file\nDone.");
}

TEST_F(PlayerRun, EmptyChunkIsSteppedOver) {
  const Bytes stream = joinBytes({kHeader, lengthField(0), pointsChunk()});
  EXPECT_EQ(play({writeRecording("r.rec", stream)}), "Points Not implemented!\nDone.");
}

TEST_F(PlayerRun, ChunkCutShortAtTheEndOfASingleFileEndsQuietly) {
  Bytes stream = joinBytes({kHeader, pointsChunk(), badKindChunk(7)});
  stream.resize(stream.size() - 3);
  EXPECT_EQ(play({writeRecording("r.rec", stream)}), "Points Not implemented!\nDone.");
}

TEST_F(PlayerRun, PartBoundaryInsideChunkDataIsSeamless) {
  const Bytes stream = joinBytes({kHeader, pointsChunk(), badKindChunk(7), badKindChunk(8)});
  const size_t inside = 264 + pointsChunk().size() + 4 + 5;
  const std::string path = writePartFiles("r.%i.rec", splitAt(stream, {inside}));
  EXPECT_EQ(play({path}), "Points Not implemented!\nBad ID 7()!\nBad ID 8()!\nDone.");
}

TEST_F(PlayerRun, ChunkRunsOnAcrossSeveralParts) {
  // About 26 kB of chunk data over parts of 4000 bytes, written the way a recorder splits.
  const Bytes stream = joinBytes({kHeader, pointsChunk(), longChunk(1000, 7), badKindChunk(8)});
  ASSERT_GT(longChunk(1000, 7).size(), 20000u);
  const std::vector<Bytes> parts = splitIntoParts(stream, 4000);
  ASSERT_GT(parts.size(), 6u);
  EXPECT_EQ(play({writePartFiles("r.%i.rec", parts)}),
            "Points Not implemented!\nBad ID 7()!\nBad ID 8()!\nDone.");
}

TEST_F(PlayerRun, PartBoundaryBetweenChunksGoesOnInTheNextPart) {
  const Bytes stream = joinBytes({kHeader, pointsChunk(), badKindChunk(7), badKindChunk(8)});
  const size_t between = 264 + pointsChunk().size() + badKindChunk(7).size();
  EXPECT_EQ(play({writePartFiles("r.%i.rec", splitAt(stream, {between}))}),
            "Points Not implemented!\nBad ID 7()!\nBad ID 8()!\nDone.");
  // Without a next part the recording simply ends there.
  EXPECT_EQ(play({writePartFiles("alone.%i.rec", {splitAt(stream, {between})[0]})}),
            "Points Not implemented!\nBad ID 7()!\nDone.");
}

TEST_F(PlayerRun, FullLengthPartEndingAtAChunkEndMayBeFollowed) {
  // Part 1 is at least as long as part 0, so part 2 may follow it.
  const Bytes part0 = joinBytes({kHeader, pointsChunk()});
  const Bytes part1 = longChunk(200, 7);
  ASSERT_GE(part1.size(), part0.size());
  EXPECT_EQ(play({writePartFiles("two.%i.rec", {part0, part1})}),
            "Points Not implemented!\nBad ID 7()!\nDone.");
  EXPECT_EQ(play({writePartFiles("three.%i.rec", {part0, part1, badKindChunk(8)})}),
            "Points Not implemented!\nBad ID 7()!\nBad ID 8()!\nDone.");
}

TEST_F(PlayerRun, PartBoundaryInsideALengthFieldGoesOnInTheNextPart) {
  const Bytes stream = joinBytes({kHeader, pointsChunk(), badKindChunk(7)});
  const size_t inside_length = 264 + pointsChunk().size() + 2;
  const std::vector<Bytes> parts = splitAt(stream, {inside_length});
  EXPECT_EQ(play({writePartFiles("r.%i.rec", parts)}),
            "Points Not implemented!\nBad ID 7()!\nDone.");
  const std::string alone = writePartFiles("alone.%i.rec", {parts[0]});
  EXPECT_EQ(play({alone}),
            "Points Not implemented!\n" + folder.path() + "/alone.1.rec\nBroken Stream\nDone.");
}

TEST_F(PlayerRun, MissingNextPartIsABrokenStream) {
  const Bytes stream = joinBytes({kHeader, pointsChunk(), badKindChunk(7)});
  const size_t inside = 264 + pointsChunk().size() + 4 + 5;
  const std::string path = writePartFiles("r.%i.rec", {splitAt(stream, {inside})[0]});
  EXPECT_EQ(play({path}),
            "Points Not implemented!\n" + folder.path() + "/r.1.rec\nBroken Stream\nDone.");
}

TEST_F(PlayerRun, PartShorterThanPartZeroIsTheLast) {
  // Part 1 is shorter than part 0, so part 2 is never opened and the chunk that would run on
  // into it is cut short: not walked, no message.
  const Bytes stream = joinBytes({kHeader, pointsChunk(), badKindChunk(7), badKindChunk(8)});
  const size_t in_second = 264 + pointsChunk().size() + 4 + 5;
  const size_t in_third = 264 + pointsChunk().size() + badKindChunk(7).size() + 4 + 3;
  const std::vector<Bytes> parts = splitAt(stream, {in_second, in_third});
  ASSERT_LT(parts[1].size(), parts[0].size());
  EXPECT_EQ(play({writePartFiles("r.%i.rec", parts)}),
            "Points Not implemented!\nBad ID 7()!\nDone.");
}
