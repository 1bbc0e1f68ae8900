// `kestrune dump` end to end: the exact line of each record kind, frame selection, text that
// does not depend on how records are cut into chunks and parts, and the exit codes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/support/recording_files.h"
#include "tests/tool/tool_run.h"
#include "tools/recording_writer.h"

namespace {

TriangleRecord mixedTriangle() {
  TriangleRecord triangle;
  triangle.texture_slot = 3;
  triangle.blend_mode = 1;
  triangle.vertices[0] = TriangleVertex{10, 20, 30, 40, 65535, 0xF8A3};
  triangle.vertices[1] = TriangleVertex{0, 255, 128, 7, 0, 0x0FFF};
  triangle.vertices[2] = TriangleVertex{1, 2, 3, 4, 12345, 0x1234};
  return triangle;
}

TriangleRecord fullFlagsTriangle() {
  TriangleRecord triangle = plainTriangle(0, 0, 255, 0, 0, 255, 0x0000);
  triangle.texture_slot = 31;
  triangle.blend_mode = 7;
  return triangle;
}

const Bytes kMixed = triangleRecordBytes(mixedTriangle());
const Bytes kFullFlags = triangleRecordBytes(fullFlagsTriangle());

const std::string kMixedText =
    " triangle slot 3 mode 1"
    " v0 u=10 v=20 x=30 y=40 w=65535 colour=F8A3(flag 15 r 8 g 10 b 3)"
    " v1 u=0 v=255 x=128 y=7 w=0 colour=0FFF(flag 0 r 15 g 15 b 15)"
    " v2 u=1 v=2 x=3 y=4 w=12345 colour=1234(flag 1 r 2 g 3 b 4)\n";
const std::string kFullFlagsText =
    " triangle slot 31 mode 7"
    " v0 u=0 v=0 x=0 y=0 w=65535 colour=0000(flag 0 r 0 g 0 b 0)"
    " v1 u=0 v=0 x=255 y=0 w=65535 colour=0000(flag 0 r 0 g 0 b 0)"
    " v2 u=0 v=0 x=0 y=255 w=65535 colour=0000(flag 0 r 0 g 0 b 0)\n";

// Frames 0 to 5: every record kind, time stamps that are not finite, the three records the walk
// cannot step over, and a length field of -1 that ends the stream.
const Bytes kChunkA =
    compressedChunk(joinBytes({kMixed, frameMarkBytes(0.4f), kFullFlags, frameMarkBytes(0.25f)}));
const Bytes kChunkB = compressedChunk(joinBytes(
    {frameMarkBytes(NAN), frameMarkBytes(-INFINITY), kMixed, frameMarkBytes(-1.5f), Bytes{3, 9}}));
const Bytes kChunkC = compressedChunk(Bytes{7, 1});
const Bytes kChunkD = compressedChunk(Bytes(kMixed.begin(), kMixed.begin() + 20));
const Bytes kAllKinds =
    joinBytes({headerBytes(), kChunkA, kChunkB, kChunkC, kChunkD, lengthField(-1)});

const std::vector<std::string> kAllKindsLines = {
    "frame 0" + kMixedText,
    "frame 0 mark time=0.400000 bits=3ECCCCCD\n",
    "frame 1" + kFullFlagsText,
    "frame 1 mark time=0.250000 bits=3E800000\n",
    "frame 2 mark time=nan bits=7FC00000\n",
    "frame 3 mark time=-inf bits=FF800000\n",
    "frame 4" + kMixedText,
    "frame 4 mark time=-1.500000 bits=BFC00000\n",
    "frame 5 points kind=3\n",
    "frame 5 bad-kind kind=7 id=263\n",
    "frame 5 cut-off kind=2 bytes=20\n",
};

std::string joinLines(size_t first, size_t end) {
  std::string text;
  for (size_t k = first; k < end; ++k) text += kAllKindsLines[k];
  return text;
}

class DumpTest : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const Bytes& bytes) {
    const std::string path = folder.file(name);
    EXPECT_TRUE(writeFileBytes(path, bytes)) << path;
    return path;
  }
  TempFolder folder;
};

TEST_F(DumpTest, EachRecordHasItsLineAndStreamAnomaliesGoToStandardError) {
  const std::string path = write("r.rec", kAllKinds);
  const ProcessResult result = runTool({"dump", path});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, joinLines(0, kAllKindsLines.size()));
  const size_t length_at = kAllKinds.size() - 4;
  EXPECT_EQ(result.err, "kestrune dump: anomaly: bad-length chunk 4 at part 0 offset " +
                            std::to_string(length_at) +
                            ": length field -1 (4 of its 4 bytes present); playback ends\n");
}

TEST_F(DumpTest, FramesOptionSelectsWholeFrames) {
  const std::string path = write("r.rec", kAllKinds);
  EXPECT_EQ(runTool({"dump", path, "--frames", "1-3"}).out, joinLines(2, 6));
  EXPECT_EQ(runTool({"dump", path, "--frames=4-"}).out, joinLines(6, 11));
  EXPECT_EQ(runTool({"dump", "--frames", "2", path}).out, joinLines(4, 5));
  // As with render: a range past the last frame is a failure that says how many there are.
  const ProcessResult beyond = runTool({"dump", path, "--frames", "6-9"});
  EXPECT_EQ(beyond.exit_code, 1);
  EXPECT_EQ(beyond.out, "");
  const std::string last_line = "kestrune dump: no frame in that range; the recording has 5\n";
  ASSERT_GE(beyond.err.size(), last_line.size());
  EXPECT_EQ(beyond.err.substr(beyond.err.size() - last_line.size()), last_line);
  // The scan stops after the last frame asked for, before the damaged length field.
  const ProcessResult first = runTool({"dump", path, "--frames", "0-1"});
  EXPECT_EQ(first.out, joinLines(0, 4));
  EXPECT_EQ(first.err, "");
}

TEST_F(DumpTest, TextDoesNotDependOnChunksOrParts) {
  std::vector<Bytes> records;
  for (int k = 0; k < 40; ++k) {
    TriangleRecord triangle = plainTriangle(k, 2 * k, 3 * k, 4, 5, 6, 0xF000 + k);
    triangle.texture_slot = k % 32;
    triangle.blend_mode = k % 8;
    records.push_back(triangleRecordBytes(triangle));
    if (k % 7 == 6) records.push_back(frameMarkBytes(k * 0.125f));
  }
  Bytes all;
  for (const Bytes& record : records) appendBytes(all, record);
  const std::string single = write("one.rec", joinBytes({headerBytes(), compressedChunk(all)}));

  Bytes stream = headerBytes();
  for (size_t first = 0; first < records.size(); first += 5) {
    Bytes chunk;
    for (size_t k = first; k < std::min(records.size(), first + 5); ++k) {
      appendBytes(chunk, records[k]);
    }
    appendBytes(stream, compressedChunk(chunk));
  }
  const std::string path_template = folder.file("split.%i.rec");
  ASSERT_TRUE(writeParts(splitIntoParts(stream, 300), path_template));

  const ProcessResult whole = runTool({"dump", single});
  const ProcessResult split = runTool({"dump", path_template});
  EXPECT_EQ(std::count(whole.out.begin(), whole.out.end(), '\n'),
            static_cast<long>(records.size()));
  EXPECT_EQ(split.out, whole.out);
  EXPECT_EQ(split.err, "");
}

TEST_F(DumpTest, UnreadableRecordingsGiveExitCode1AndBadUsageExitCode2) {
  const std::string missing = folder.path() + "/none.rec";
  ProcessResult result = runTool({"dump", missing});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "kestrune dump: cannot open " + missing + "\n");
  const std::string text_file = write("notes.txt", Bytes{'n', 'o', 't', 'e', 's'});
  result = runTool({"dump", text_file});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err,
            "kestrune dump: " + text_file + " is not a Kestrune recording (magic \"note\")\n");

  const std::string path = write("r.rec", kAllKinds);
  const std::string short_usage =
      "usage: kestrune dump REC [--frames A-B]\n"
      "\"kestrune dump --help\" describes the command and its output.\n";
  const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
      {{"dump"}, "no recording given"},
      {{"dump", path, path}, "one recording only"},
      {{"dump", path, "--frames", "5-2"}, "--frames wants A-B, A- or A, with A <= B: \"5-2\""},
      {{"dump", path, "--frames", "x"}, "--frames wants A-B, A- or A, with A <= B: \"x\""},
      {{"dump", path, "--frames"}, "--frames needs a value"},
      {{"dump", path, "--fast"}, "unknown option --fast"},
  };
  for (const auto& [args, message] : bad) {
    result = runTool(args);
    EXPECT_EQ(result.exit_code, 2) << message;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "kestrune dump: " + message + "\n" + short_usage);
  }

  result = runTool({"dump", "--help"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out.rfind("usage: kestrune dump REC [--frames A-B]\n", 0), 0u);
  EXPECT_NE(result.out.find("frame F mark time=T bits=XXXXXXXX"), std::string::npos);
}

}  // namespace
