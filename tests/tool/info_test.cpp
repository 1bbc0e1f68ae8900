// `kestrune info` end to end: facts of a known recording, each anomaly with its chunk and file
// offset on damaged recordings, agreement with what the headless player prints on the same files,
// and the exit codes.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/recording_files.h"
#include "tests/tool/tool_run.h"
#include "tools/bmp_writer.h"
#include "tools/recording_writer.h"

namespace {

const Bytes kHeader = headerBytes();
const Bytes kTriangle = triangleRecordBytes(plainTriangle(1, 2, 3, 4, 5, 6, 0xFFFF));
// A chunk the player walks without a word, and two that end in a bad kind after 34 bytes.
const Bytes kQuiet = compressedChunk(joinBytes({kTriangle, frameMarkBytes(0.5f)}));
const Bytes kBad7 = compressedChunk(joinBytes({kTriangle, frameMarkBytes(1), Bytes{7, 0}}));
const Bytes kBad8 = compressedChunk(joinBytes({kTriangle, frameMarkBytes(1), Bytes{8, 0}}));

std::string text(size_t value) { return std::to_string(value); }

std::vector<std::string> linesStartingWith(const std::string& output, const std::string& prefix) {
  std::vector<std::string> found;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line);
  }
  return found;
}

// The one line that starts with `prefix`, or a note that there is none or several.
std::string lineOf(const std::string& output, const std::string& prefix) {
  const std::vector<std::string> found = linesStartingWith(output, prefix);
  return found.size() == 1 ? found[0] : "(" + text(found.size()) + " lines of " + prefix + ")";
}

class InfoTest : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const Bytes& bytes) {
    const std::string path = folder.file(name);
    EXPECT_TRUE(writeFileBytes(path, bytes)) << path;
    return path;
  }
  std::string writeParts(const std::string& name_template, const std::vector<Bytes>& parts) {
    const std::string path_template = folder.file(name_template);
    EXPECT_TRUE(::writeParts(parts, path_template)) << path_template;
    return path_template;
  }
  // The tool's standard output; it must succeed.
  std::string info(const std::string& path) {
    const ProcessResult result = runTool({"info", path});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.err, "");
    return result.out;
  }
  // Info's anomaly lines without their "anomaly: " prefix, checked against its count.
  std::vector<std::string> anomaliesOf(const std::string& path) {
    const std::string out = info(path);
    std::vector<std::string> anomalies;
    for (const std::string& line : linesStartingWith(out, "anomaly: ")) {
      anomalies.push_back(line.substr(9));
    }
    EXPECT_EQ(lineOf(out, "anomalies: "), "anomalies: " + text(anomalies.size()));
    return anomalies;
  }

  TempFolder folder;
};

TriangleRecord triangle(uint8_t slot, uint8_t mode) {
  TriangleRecord record = plainTriangle(10, 20, 200, 30, 40, 220, 0xF8A3);
  record.texture_slot = slot;
  record.blend_mode = mode;
  return record;
}

Bytes triangles(uint8_t slot, uint8_t mode, size_t count) {
  return repeatBytes(triangleRecordBytes(triangle(slot, mode)), count);
}

BmpPicture picture(int32_t width, int32_t height, int bits) {
  BmpPicture bmp;
  bmp.width = width;
  bmp.height = height;
  bmp.bits = bits;
  bmp.palette = {{255, 130, 3}, {0, 0, 0}};
  bmp.indices.assign(static_cast<size_t>(width * height), 1);
  return bmp;
}

TEST_F(InfoTest, KnownRecordingGivesEveryFact) {
  std::array<uint64_t, 32> ids = {};
  ids[0] = 0xAB;                 // 8 bpp, loads
  ids[1] = 0xAC;                 // 4 bpp, loads
  ids[2] = 0xAD;                 // no file
  ids[3] = 0xAE;                 // not a BMP
  ids[4] = 0xAF;                 // claims 24 bits per pixel: the loader refuses it
  ids[31] = 0x0123456789ABCDEF;  // 1 bpp, loads
  const std::string dumps = folder.path() + "/TexDump/";
  ASSERT_TRUE(writeBmpFile(folder.file("TexDump/00000000000000AB.bmp"), picture(5, 3, 8)));
  ASSERT_TRUE(writeBmpFile(dumps + "00000000000000AC.bmp", picture(4, 2, 4)));
  ASSERT_TRUE(writeFileBytes(dumps + "00000000000000AE.bmp", Bytes{'n', 'o', 't', ' ', 'B', 'M'}));
  Bytes deep = bmpBytes(picture(2, 2, 8));
  patchUint16(deep, kBmpBitsField, 24);
  ASSERT_TRUE(writeFileBytes(dumps + "00000000000000AF.bmp", deep));
  ASSERT_TRUE(writeBmpFile(dumps + "0123456789ABCDEF.bmp", picture(9, 1, 1)));

  // Frames of 3, 1, 0 and 5 triangles, then 2 triangles that no mark closes.
  const Bytes chunk0 =
      compressedChunk(joinBytes({triangles(1, 0, 1), triangles(0, 1, 1), triangles(2, 2, 1),
                                 frameMarkBytes(0.5f), triangles(0, 7, 1), frameMarkBytes(0.75f)}));
  const Bytes chunk1 = compressedChunk(joinBytes(
      {frameMarkBytes(1.25f), triangles(3, 1, 2), triangles(0, 0, 3), frameMarkBytes(2.0f)}));
  const Bytes chunk2 = compressedChunk(triangles(1, 0, 2));
  const Bytes stream = joinBytes({headerBytes(ids), chunk0, chunk1, chunk2});
  const std::vector<Bytes> parts = splitAt(stream, {264 + chunk0.size() + 7});
  ASSERT_LT(parts[1].size(), parts[0].size());
  const std::string path = writeParts("Stream/rec.%i.rec", parts);
  const std::string stream_folder = folder.path() + "/Stream/";

  std::string expected = "recording: " + path + "\nmagic: KREC\n" + "part 0: " + stream_folder +
                         "rec.0.rec " + text(parts[0].size()) + " bytes\n" +
                         "part 1: " + stream_folder + "rec.1.rec " + text(parts[1].size()) +
                         " bytes\n" + "texture folder: " + stream_folder + "../TexDump/\n" +
                         "texture 1: 00000000000000AB 8 bpp 5x3 loads\n"
                         "texture 2: 00000000000000AC 4 bpp 4x2 loads\n"
                         "texture 3: 00000000000000AD missing\n"
                         "texture 4: 00000000000000AE not a BMP file, does not load\n"
                         "texture 5: 00000000000000AF 24 bpp 2x2 does not load\n"
                         "texture 32: 0123456789ABCDEF 1 bpp 9x1 loads\n"
                         "empty texture slots: 6-31\n";
  expected +=
      "chunks: 3\n"
      "compressed bytes: " +
      text(chunk0.size() + chunk1.size() + chunk2.size() - 12) +
      "\n"
      "decompressed bytes: 318\n"  // 120 + 146 + 52
      "stream bytes read: " +
      text(stream.size() - 264) + " of " + text(stream.size() - 264) + "\n" +
      "records: 15\n"
      "frame marks: 4\n"
      "triangles: 11\n"
      "point records: 0\n"
      "bad-kind records: 0\n"
      "cut-off records: 0\n"
      "frames: 4\n"
      "duration: 1.500000 s (time stamps 0.500000 to 2.000000)\n"
      "triangles per frame: min 0 median 1 max 5\n"
      "triangles after the last frame mark: 2\n"
      "textured triangles: 6 of 11 (54.55%)\n"
      "textured triangles without a loaded texture: 2\n"  // slot 3's dump is missing
      "blend mode 0: 6 triangles\n"
      "blend mode 1: 3 triangles\n"
      "blend mode 2: 1 triangles\n"
      "blend mode 3: 0 triangles\n"
      "blend mode 4: 0 triangles\n"
      "blend mode 5: 0 triangles\n"
      "blend mode 6: 0 triangles\n"
      "blend mode 7: 1 triangles\n"
      "anomalies: 0\n"
      "end: stream used up\n";
  EXPECT_EQ(info(path), expected);
}

TEST_F(InfoTest, EvenFrameCountTakesTheLowerMiddleAndTimeMayRunBackwards) {
  // Frames of 4, 2, 1 and 0 triangles: sorted 0, 1, 2, 4.
  const Bytes records =
      joinBytes({triangles(0, 0, 4), frameMarkBytes(3), triangles(0, 0, 2), frameMarkBytes(1),
                 triangles(0, 0, 1), frameMarkBytes(2.5f), frameMarkBytes(2.75f)});
  const std::string out = info(write("r.rec", joinBytes({kHeader, compressedChunk(records)})));
  EXPECT_EQ(lineOf(out, "triangles per frame: "), "triangles per frame: min 0 median 1 max 4");
  EXPECT_EQ(lineOf(out, "duration: "), "duration: -0.250000 s (time stamps 3.000000 to 2.750000)");
}

TEST_F(InfoTest, NonFiniteTimeStampsArePrintedAsWords) {
  const Bytes records = joinBytes({frameMarkBytes(-INFINITY), frameMarkBytes(NAN)});
  const std::string out = info(write("r.rec", joinBytes({kHeader, compressedChunk(records)})));
  EXPECT_EQ(lineOf(out, "duration: "), "duration: nan s (time stamps -inf to nan)");
}

TEST_F(InfoTest, HeaderOnlyAndShortFilesHaveNoChunks) {
  const std::string out = info(write("h.rec", kHeader));
  EXPECT_EQ(lineOf(out, "chunks: "), "chunks: 0");
  EXPECT_EQ(lineOf(out, "stream bytes read: "), "stream bytes read: 0 of 0");
  EXPECT_EQ(lineOf(out, "frames: "), "frames: 0");
  EXPECT_EQ(lineOf(out, "duration: "), "duration: none");
  EXPECT_EQ(lineOf(out, "triangles per frame: "), "triangles per frame: none");
  EXPECT_EQ(lineOf(out, "textured triangles: "), "textured triangles: 0 of 0 (0.00%)");
  EXPECT_EQ(lineOf(out, "end: "), "end: stream used up");
  // The magic, the spare field and two bytes of slot 1's id: the missing bytes count as zero.
  const std::string short_out = info(write("s.rec", Bytes{'K', 'R', 'E', 'C', 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(lineOf(short_out, "stream bytes read: "), "stream bytes read: 0 of -254");
  EXPECT_EQ(lineOf(short_out, "texture 1: "), "texture 1: 0000000000000605 missing");
  EXPECT_EQ(lineOf(short_out, "empty texture slots: "), "empty texture slots: 2-32");
  EXPECT_EQ(lineOf(short_out, "anomalies: "), "anomalies: 0");
}

TEST_F(InfoTest, RecordAnomaliesGiveChunkFileOffsetAndRecordOffset) {
  const std::vector<Bytes> chunks = {
      compressedChunk(joinBytes({kTriangle, frameMarkBytes(2), Bytes{0, 0}})),
      compressedChunk(Bytes{3, 7, 0}),
      compressedChunk(joinBytes({kTriangle, Bytes{4, 2}, kTriangle, Bytes{5, 5}})),
      compressedChunk(Bytes{7, 1, 3}),
      compressedChunk(joinBytes({Bytes{255, 255}, kTriangle})),
      compressedChunk(joinBytes({kTriangle, Bytes(kTriangle.begin(), kTriangle.begin() + 20)})),
      compressedChunk(joinBytes({frameMarkBytes(3), Bytes{1, 0, 0, 0, 0}})),
      compressedChunk(joinBytes({kTriangle, Bytes{9}})),
  };
  Bytes stream = kHeader;
  std::vector<size_t> at;  // each chunk's offset in the file
  for (const Bytes& chunk : chunks) {
    at.push_back(stream.size());
    appendBytes(stream, chunk);
  }
  const std::string path = write("r.rec", stream);
  const std::string skipped = "; the rest of the chunk is skipped";
  EXPECT_EQ(anomaliesOf(path),
            (std::vector<std::string>{
                "bad-kind chunk 0 at part 0 offset 264 record 34: kind 0 (Bad ID 0)" + skipped,
                "points chunk 1 at part 0 offset " + text(at[1]) + " record 0: kind 3" + skipped,
                "points chunk 2 at part 0 offset " + text(at[2]) + " record 26: kind 4" + skipped,
                "bad-kind chunk 3 at part 0 offset " + text(at[3]) +
                    " record 0: kind 7 (Bad ID 263)" + skipped,
                "bad-kind chunk 4 at part 0 offset " + text(at[4]) +
                    " record 0: kind 255 (Bad ID 65535)" + skipped,
                "cut-off-record chunk 5 at part 0 offset " + text(at[5]) +
                    " record 26: kind 2 needs 26 bytes, 20 left" + skipped,
                "cut-off-record chunk 6 at part 0 offset " + text(at[6]) +
                    " record 8: kind 1 needs 8 bytes, 5 left" + skipped,
                "bad-kind chunk 7 at part 0 offset " + text(at[7]) +
                    " record 26: kind 9 (Bad ID 9)" + skipped,
            }));
  const std::string out = info(path);
  EXPECT_EQ(lineOf(out, "records: "), "records: 14");
  EXPECT_EQ(lineOf(out, "triangles: "), "triangles: 4");
  EXPECT_EQ(lineOf(out, "frame marks: "), "frame marks: 2");
  EXPECT_EQ(lineOf(out, "point records: "), "point records: 2");
  EXPECT_EQ(lineOf(out, "bad-kind records: "), "bad-kind records: 4");
  EXPECT_EQ(lineOf(out, "cut-off records: "), "cut-off records: 2");
  EXPECT_EQ(lineOf(out, "end: "), "end: stream used up");
}

TEST_F(InfoTest, DamagedZlibDataIsReportedAndWhatItWroteIsWalked) {
  Bytes bad_checksum = zlibCompressed(joinBytes({kTriangle, frameMarkBytes(1), Bytes{7, 0}}));
  bad_checksum.back() ^= 0x55;  // every record is written before the checksum fails
  const Bytes not_zlib = rawChunk(Bytes{'n', 'o', 't', ' ', 'z', 'l', 'i', 'b'});
  const size_t second = 264 + not_zlib.size();
  const size_t third = second + 4 + bad_checksum.size();
  const size_t fourth = third + 4;
  const std::string path =
      write("r.rec", joinBytes({kHeader, not_zlib, rawChunk(bad_checksum), lengthField(0),
                                compressedChunk(joinBytes({kTriangle, Bytes{3}}))}));
  const std::string data_error = ": zlib result -3 (data error); the ";
  EXPECT_EQ(
      anomaliesOf(path),
      (std::vector<std::string>{
          "damaged-chunk chunk 0 at part 0 offset 264" + data_error + "0 bytes written are walked",
          "damaged-chunk chunk 1 at part 0 offset " + text(second) + data_error +
              "36 bytes written are walked",
          "bad-kind chunk 1 at part 0 offset " + text(second) +
              " record 34: kind 7 (Bad ID 7); the rest of the chunk is skipped",
          "damaged-chunk chunk 2 at part 0 offset " + text(third) + data_error +
              "0 bytes written are walked",
          "points chunk 3 at part 0 offset " + text(fourth) +
              " record 26: kind 3; the rest of the chunk is skipped",
      }));
}

TEST_F(InfoTest, ChunkLargerThanTheOutputBufferIsWalkedUpToItsEnd) {
  // 10082 triangles and a mark fill 262140 bytes; 4 bytes of the next triangle fit.
  const Bytes big = compressedChunk(
      joinBytes({repeatBytes(kTriangle, 10082), frameMarkBytes(4), kTriangle, Bytes{7, 0}}));
  const std::string path = write("r.rec", joinBytes({kHeader, big, compressedChunk(Bytes{3})}));
  EXPECT_EQ(anomaliesOf(path),
            (std::vector<std::string>{
                "oversize-chunk chunk 0 at part 0 offset 264: decompresses to more than 262144 "
                "bytes; the walk covers 262144",
                "cut-off-record chunk 0 at part 0 offset 264 record 262140: kind 2 needs 26 "
                "bytes, 4 left; the rest of the chunk is skipped",
                "points chunk 1 at part 0 offset " + text(264 + big.size()) +
                    " record 0: kind 3; the rest of the chunk is skipped",
            }));
  const std::string out = info(path);
  EXPECT_EQ(lineOf(out, "triangles: "), "triangles: 10082");
  EXPECT_EQ(lineOf(out, "decompressed bytes: "), "decompressed bytes: 262145");
}

TEST_F(InfoTest, NegativeOrMissingLengthFieldEndsTheStream) {
  const std::string after_quiet = " chunk 1 at part 0 offset " + text(264 + kQuiet.size());
  EXPECT_EQ(
      anomaliesOf(write("m.rec", joinBytes({kHeader, kQuiet, lengthField(-1), Bytes(10, 0)}))),
      std::vector<std::string>{"bad-length" + after_quiet +
                               ": length field -1 (4 of its 4 bytes present); playback "
                               "ends"});
  EXPECT_EQ(anomaliesOf(write("n.rec", joinBytes({kHeader, lengthField(INT32_MIN), kQuiet}))),
            std::vector<std::string>{"bad-length chunk 0 at part 0 offset 264: length field "
                                     "-2147483648 (4 of its 4 bytes present); playback ends"});
  // Bytes 5, 0 and two missing ones read as 0xFFFF0005.
  const std::string cut = write("c.rec", joinBytes({kHeader, kQuiet, Bytes{5, 0}}));
  EXPECT_EQ(anomaliesOf(cut),
            std::vector<std::string>{"bad-length" + after_quiet +
                                     ": length field -65531 (2 of its 4 bytes present); "
                                     "playback ends"});
  EXPECT_EQ(lineOf(info(cut), "end: "), "end: bad-length");
}

TEST_F(InfoTest, LengthAbove32768OverflowsButExactly32768IsAccepted) {
  const std::string overflow =
      write("o.rec", joinBytes({kHeader, kQuiet, lengthField(32769), Bytes(32769, 0)}));
  EXPECT_EQ(
      anomaliesOf(overflow),
      std::vector<std::string>{"overflow chunk 1 at part 0 offset " + text(264 + kQuiet.size()) +
                               ": length 32769 is above 32768; the player exits"});
  EXPECT_EQ(lineOf(info(overflow), "end: "), "end: overflow");

  Bytes full = zlibCompressed(joinBytes({frameMarkBytes(0), Bytes{7, 1}}));
  full.resize(32768, 0);  // zlib stops at the end of its stream
  const std::string accepted = write("a.rec", joinBytes({kHeader, rawChunk(full), kQuiet}));
  EXPECT_EQ(anomaliesOf(accepted),
            std::vector<std::string>{"bad-kind chunk 0 at part 0 offset 264 record 8: kind 7 "
                                     "(Bad ID 263); the rest of the chunk is skipped"});
  EXPECT_EQ(lineOf(info(accepted), "compressed bytes: "),
            "compressed bytes: " + text(32768 + kQuiet.size() - 4));
}

TEST_F(InfoTest, MissingPartInsideAChunkIsABrokenStream) {
  const Bytes stream = joinBytes({kHeader, kQuiet, kBad7});
  const size_t chunk1 = 264 + kQuiet.size();
  for (const size_t split : {chunk1 + 4 + 5, chunk1 + 2}) {  // inside the data, inside the length
    SCOPED_TRACE(split);
    const std::string path =
        writeParts("r" + text(split) + ".%i.rec", {splitAt(stream, {split})[0]});
    const std::string part1 = folder.path() + "/r" + text(split) + ".1.rec";
    EXPECT_EQ(anomaliesOf(path),
              std::vector<std::string>{"broken-stream chunk 1 at part 0 offset " + text(chunk1) +
                                       ": part 1 (" + part1 + ") cannot be opened; playback ends"});
    const std::string out = info(path);
    EXPECT_EQ(lineOf(out, "part 1: "), "part 1: " + part1 + " missing");
    EXPECT_EQ(lineOf(out, "end: "), "end: broken-stream");
  }
}

TEST_F(InfoTest, OffsetsCountFromTheStartOfThePartThatHoldsTheChunk) {
  const Bytes stream = joinBytes({kHeader, kQuiet, kBad7, kBad8});
  const size_t chunk1 = 264 + kQuiet.size();
  const std::string bad7 = " record 34: kind 7 (Bad ID 7); the rest of the chunk is skipped";
  const std::string bad8 = " record 34: kind 8 (Bad ID 8); the rest of the chunk is skipped";
  // Part 1 starts with chunk 2.
  EXPECT_EQ(anomaliesOf(writeParts("between.%i.rec", splitAt(stream, {chunk1 + kBad7.size()}))),
            (std::vector<std::string>{"bad-kind chunk 1 at part 0 offset " + text(chunk1) + bad7,
                                      "bad-kind chunk 2 at part 1 offset 0" + bad8}));
  // Part 1 starts inside chunk 1's data; chunk 2 begins further on in part 1.
  EXPECT_EQ(anomaliesOf(writeParts("inside.%i.rec", splitAt(stream, {chunk1 + 4 + 5}))),
            (std::vector<std::string>{
                "bad-kind chunk 1 at part 0 offset " + text(chunk1) + bad7,
                "bad-kind chunk 2 at part 1 offset " + text(kBad7.size() - 9) + bad8}));
  // Part 1 starts inside chunk 1's length field.
  EXPECT_EQ(anomaliesOf(writeParts("length.%i.rec", splitAt(stream, {chunk1 + 2}))),
            (std::vector<std::string>{
                "bad-kind chunk 1 at part 0 offset " + text(chunk1) + bad7,
                "bad-kind chunk 2 at part 1 offset " + text(kBad7.size() - 2) + bad8}));
}

TEST_F(InfoTest, ChunkRunningPastTheLastPartIsABudgetOverrun) {
  const size_t chunk1 = 264 + kQuiet.size();
  Bytes cut = joinBytes({kHeader, kQuiet, kBad7});
  cut.resize(cut.size() - 3);
  const std::string single = write("r.rec", cut);
  EXPECT_EQ(anomaliesOf(single),
            std::vector<std::string>{"budget-overrun chunk 1 at part 0 offset " + text(chunk1) +
                                     ": chunk of " + text(kBad7.size() - 4) + " bytes with " +
                                     text(kBad7.size() - 7) +
                                     " present; not walked, playback "
                                     "ends"});
  EXPECT_EQ(lineOf(info(single), "end: "), "end: budget-overrun");

  // Part 1 is shorter than part 0, so it is the last: chunk 2 has 3 of its data bytes there and
  // part 2 is never opened.
  const Bytes stream = joinBytes({kHeader, kQuiet, kBad7, kBad8});
  const std::vector<Bytes> parts = splitAt(stream, {chunk1 + 4 + 5, chunk1 + kBad7.size() + 4 + 3});
  ASSERT_LT(parts[1].size(), parts[0].size());
  const std::string path = writeParts("r.%i.rec", parts);
  EXPECT_EQ(
      anomaliesOf(path),
      (std::vector<std::string>{
          "bad-kind chunk 1 at part 0 offset " + text(chunk1) +
              " record 34: kind 7 (Bad ID 7); the rest of the chunk is skipped",
          "budget-overrun chunk 2 at part 1 offset " + text(kBad7.size() - 9) + ": chunk of " +
              text(kBad8.size() - 4) + " bytes with 3 present; not walked, playback ends"}));
  EXPECT_EQ(lineOf(info(path), "part 2: "),
            "part 2: " + folder.path() + "/r.2.rec " + text(parts[2].size()) + " bytes, not read");
}

TEST_F(InfoTest, FullLengthLastPartEndsQuietlyWhenNoPartFollows) {
  const Bytes part0 = joinBytes({kHeader, kQuiet});
  const Bytes part1 = longChunk(200, 7);
  ASSERT_GE(part1.size(), part0.size());
  const std::string path = writeParts("r.%i.rec", {part0, part1});
  EXPECT_EQ(anomaliesOf(path),
            std::vector<std::string>{"bad-kind chunk 1 at part 1 offset 0 record 5200: kind 7 "
                                     "(Bad ID 7); the rest of the chunk is skipped"});
  const std::string out = info(path);
  EXPECT_EQ(lineOf(out, "part 2: "), "part 2: " + folder.path() + "/r.2.rec missing");
  EXPECT_EQ(lineOf(out, "end: "), "end: stream used up");
}

TEST_F(InfoTest, RecordingOfManyPartsIsReadToTheEnd) {
  // More parts than there are file numbers: each part must be closed before the next opens.
  const Bytes chunk = longChunk(1000, 7);
  const Bytes stream = joinBytes({kHeader, chunk, chunk, chunk, kBad8});
  const std::vector<Bytes> parts = splitIntoParts(stream, 300);
  ASSERT_GT(parts.size(), 255u);
  const std::string out = info(writeParts("many.%i.rec", parts));
  std::vector<std::string> expected;
  for (size_t k = 0; k < 4; ++k) {
    const size_t at = 264 + k * chunk.size();
    expected.push_back(
        "anomaly: bad-kind chunk " + text(k) + " at part " + text(at / 300) + " offset " +
        text(at % 300) +
        (k < 3 ? " record 26000: kind 7 (Bad ID 7)" : " record 34: kind 8 (Bad ID 8)") +
        "; the rest of the chunk is skipped");
  }
  EXPECT_EQ(linesStartingWith(out, "anomaly: "), expected);
  EXPECT_EQ(linesStartingWith(out, "part ").size(), parts.size());
  const size_t last = parts.size() - 1;
  EXPECT_EQ(lineOf(out, "part " + text(last) + ": "), "part " + text(last) + ": " + folder.path() +
                                                          "/many." + text(last) + ".rec " +
                                                          text(parts[last].size()) + " bytes");
  EXPECT_EQ(lineOf(out, "triangles: "), "triangles: 3001");
  EXPECT_EQ(lineOf(out, "end: "), "end: stream used up");
}

TEST_F(InfoTest, UnreadableRecordingsFailWithExitCode1) {
  const std::string missing = folder.path() + "/none.rec";
  ProcessResult result = runTool({"info", missing});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "kestrune info: cannot open " + missing + "\n");

  result = runTool({"info", folder.path() + "/none.%i.rec"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "kestrune info: cannot open " + folder.path() + "/none.0.rec\n");

  const std::string riff = write("riff.rec", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0});
  result = runTool({"info", riff});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err,
            "kestrune info: " + riff + " is not a Kestrune recording (magic \"RIFF\")\n");

  const std::string tiny = write("tiny.rec", Bytes{'K', 'R'});
  result = runTool({"info", tiny});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err,
            "kestrune info: " + tiny + " is not a Kestrune recording (magic \"KR\\x00\\x00\")\n");
}

TEST_F(InfoTest, PathsAreTakenFromTheCallersFolder) {
  write("Stream/r.rec", joinBytes({kHeader, kBad7}));
  const ProcessResult result = runTool({"info", "Stream/r.rec"}, folder.path());
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(lineOf(result.out, "part 0: "),
            "part 0: Stream/r.rec " + text(264 + kBad7.size()) + " bytes");
  EXPECT_EQ(lineOf(result.out, "texture folder: "), "texture folder: Stream/../TexDump/");
}

TEST_F(InfoTest, BadUsageGivesExitCode2AndHelpDescribesTheOffsets) {
  const std::string path = write("r.rec", kHeader);
  const std::string short_usage =
      "usage: kestrune info REC\n\"kestrune info --help\" describes the command and its output.\n";
  ProcessResult result = runTool({"info"});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.err, "kestrune info: no recording given\n" + short_usage);
  result = runTool({"info", path, path});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.err, "kestrune info: one recording only\n" + short_usage);
  result = runTool({"info", path, "--frames", "1-2"});
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_EQ(result.err, "kestrune info: unknown option --frames\n" + short_usage);
  EXPECT_EQ(result.out, "");

  result = runTool({"info", "--help"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out.rfind("usage: kestrune info REC\n", 0), 0u);
  EXPECT_NE(result.out.find("O the byte offset in that file, from 0 at its first byte, where the "
                            "chunk's\n4-byte length field begins"),
            std::string::npos);
}

}  // namespace
