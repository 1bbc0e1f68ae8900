// The record walk of the real player: record kinds, damaged zlib data, and chunks whose records
// do not fit.
#include "tests/e2e/player_run.h"

namespace {

const Bytes kHeader = headerBytes();
const Bytes kTriangle = triangleRecordBytes(plainTriangle(1, 2, 3, 4, 5, 6, 0xFFFF));

}  // namespace

TEST_F(PlayerRun, EachBadOrPointKindSkipsTheRestOfItsChunk) {
  const Bytes stream = joinBytes({
      kHeader,
      compressedChunk(joinBytes({kTriangle, frameMarkBytes(2), Bytes{0, 0}})),
      compressedChunk(joinBytes({Bytes{3}, Bytes{7, 0}})),
      compressedChunk(joinBytes({kTriangle, Bytes{4, 2}, kTriangle, Bytes{5, 5}})),
      compressedChunk(joinBytes({Bytes{7, 1}, Bytes{3}})),
      compressedChunk(joinBytes({Bytes{255, 255}, kTriangle})),
      quietChunk(),
  });
  EXPECT_EQ(play({writeRecording("r.rec", stream)}),
            "Bad ID 0()!\n"
            "Points Not implemented!\n"
            "Points Not implemented!\n"
            "Bad ID 263()!\n"
            "Bad ID 65535()!\n"
            "Done.");
}

TEST_F(PlayerRun, DamagedZlibDataWalksOnlyWhatWasWritten) {
  Bytes bad_checksum = zlibCompressed(joinBytes({kTriangle, frameMarkBytes(1), Bytes{7, 0}}));
  bad_checksum.back() ^= 0x55;  // every record is written before the checksum fails
  const Bytes stream = joinBytes({
      kHeader,
      rawChunk(Bytes{'n', 'o', 't', ' ', 'z', 'l', 'i', 'b'}),
      rawChunk(bad_checksum),
      pointsChunk(),
  });
  EXPECT_EQ(play({writeRecording("r.rec", stream)}), "Bad ID 7()!\nPoints Not implemented!\nDone.");
}

TEST_F(PlayerRun, RecordCutOffAtTheChunkEndIsNotReadPast) {
  const Bytes cut_triangle(kTriangle.begin(), kTriangle.begin() + 20);
  const Bytes cut_mark = Bytes{1, 0, 0, 0, 0};
  const Bytes stream = joinBytes({
      kHeader,
      compressedChunk(joinBytes({kTriangle, cut_triangle})),
      compressedChunk(joinBytes({frameMarkBytes(3), cut_mark})),
      quietChunk(),
  });
  EXPECT_EQ(play({writeRecording("r.rec", stream)}),
            "Record 2 cut off at the end of the chunk!\n"
            "Record 1 cut off at the end of the chunk!\n"
            "Done.");
}

TEST_F(PlayerRun, ChunkLargerThanTheOutputBufferIsWalkedUpToItsEnd) {
  // 10082 triangles and a mark fill 262140 bytes; the next triangle has only 4 of its bytes in
  // the 262144-byte buffer, and the bad kind behind it lies outside.
  const Bytes records =
      joinBytes({repeatBytes(kTriangle, 10082), frameMarkBytes(4), kTriangle, Bytes{7, 0}});
  ASSERT_EQ(records.size(), 262140u + 26u + 2u);
  const Bytes stream = joinBytes({kHeader, compressedChunk(records), pointsChunk()});
  EXPECT_EQ(play({writeRecording("r.rec", stream)}),
            "Record 2 cut off at the end of the chunk!\nPoints Not implemented!\nDone.");
}
