// The benchmark workload generator: where chunks may start against part boundaries, triangle
// areas in render-buffer pixels, the cut that moves a chunk off a boundary, and its recordings
// read back by `kestrune info` and by a chunk walk of our own: frame and triangle counts, part
// lengths, no boundary between chunks or in a length field, the same bytes for the same seed.
#include "bench/workload/workload.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/recording_files.h"
#include "tests/tool/tool_run.h"

namespace {

TEST(Workload, ChunkStartsAgainstPartBoundaries) {
  struct Case {
    int64_t start, part_size;
    bool allowed;
  };
  const Case cases[] = {
      {100, 100, false},      // the boundary lies between two chunks
      {97, 100, false},       // the boundary falls after 3 of the 4 length bytes
      {98, 100, false},       // after 2
      {99, 100, false},       // after 1
      {96, 100, true},        // the length field ends at the boundary: data in the next part
      {101, 100, true},       // the boundary lay inside the previous chunk
      {200, 100, false},      // the second boundary
      {264, 33040, true},     // the first chunk after the header
      {33040, 33040, false},  //
      {66077, 33040, false},  // 3 bytes before the second boundary
      {66076, 33040, true},   // 4 bytes before it
      {33040, 0, true},       // no parts, no boundaries
  };
  for (const Case& c : cases) {
    EXPECT_EQ(chunkStartAllowed(c.start, c.part_size), c.allowed)
        << c.start << " in parts of " << c.part_size;
  }
}

TEST(Workload, TriangleAreasInRenderBufferPixels) {
  // One grid step is 1 / tan(26.5 degrees) x (render width / 2) / 255 pixels across, and the
  // same with the height down: 7.550832 x 4.247343 at 1920x1080; at 1366x767 the render buffer
  // is 1366 x 766: 5.372100 x 3.012467.
  struct Case {
    uint8_t x0, y0, x1, y1, x2, y2;
    int width, height;
    double area;
  };
  const Case cases[] = {
      {0, 0, 10, 0, 0, 10, 1920, 1080, 1603.549},  // 50 grid squares
      {10, 0, 0, 0, 0, 10, 1920, 1080, 1603.549},  // the other turn
      {0, 0, 255, 0, 0, 255, 1366, 767, 526159.0},
      {0, 0, 5, 5, 10, 10, 1920, 1080, 0},  // on a line
  };
  for (const Case& c : cases) {
    const TriangleRecord triangle = plainTriangle(c.x0, c.y0, c.x1, c.y1, c.x2, c.y2, 0xF000);
    EXPECT_NEAR(triangleArea(triangle, c.width, c.height), c.area, 0.5) << c.width;
  }
}

// A cutter holding `count` different triangles, its stream position set so that one chunk of
// all of them would end `before` bytes ahead of a part boundary.
ChunkCutter cutterEndingBefore(int count, int before, Bytes* all_compressed) {
  ChunkCutter cutter;
  cutter.part_size = 33040;
  cutter.level = 6;
  for (int k = 0; k < count; ++k) {
    const uint8_t step = static_cast<uint8_t>(k * 7);
    cutter.starts.push_back(cutter.records.size());
    appendBytes(cutter.records, triangleRecordBytes(plainTriangle(step, 1, 200, step, 9, 250,
                                                                  uint16_t(0xF000 + k * 37))));
  }
  uLongf length = compressBound(static_cast<uLong>(cutter.records.size()));
  all_compressed->resize(length);
  EXPECT_EQ(compress2(all_compressed->data(), &length, cutter.records.data(),
                      static_cast<uLong>(cutter.records.size()), 6),
            Z_OK);
  all_compressed->resize(length);
  cutter.position = 2 * cutter.part_size - before - 4 - static_cast<int64_t>(length);
  return cutter;
}

TEST(Workload, ChunkCutLeavesTheNextChunkAnAllowedStart) {
  for (int before : {0, 1, 2, 3}) {  // the next chunk would start on or just before a boundary
    Bytes whole;
    const ChunkCutter cutter = cutterEndingBefore(60, before, &whole);
    Bytes compressed;
    const size_t count = recordsForChunk(cutter, false, &compressed);
    EXPECT_GT(count, 0u) << before;
    EXPECT_LT(count, 60u) << before;
    const int64_t next = cutter.position + 4 + static_cast<int64_t>(compressed.size());
    const int64_t into_part = next % cutter.part_size;
    EXPECT_TRUE(into_part != 0 && into_part < cutter.part_size - 3) << before << " " << next;
    // The last chunk of a recording may end anywhere: nothing follows it.
    EXPECT_EQ(recordsForChunk(cutter, true, &compressed), 60u) << before;
    EXPECT_EQ(compressed, whole);
  }
  Bytes whole;
  const ChunkCutter clear = cutterEndingBefore(60, 4, &whole);  // 4 bytes before: allowed
  Bytes compressed;
  EXPECT_EQ(recordsForChunk(clear, false, &compressed), 60u);
}

class WorkloadFiles : public ::testing::Test {
 protected:
  ProcessResult generate(const std::string& name, const std::vector<std::string>& options) {
    ProcessOptions run;
    run.arguments = {folder.path() + "/" + name};
    run.arguments.insert(run.arguments.end(), options.begin(), options.end());
    return runProcess(KESTRUNE_WORKLOAD_PATH, run);
  }
  std::string recording(const std::string& name) {
    return folder.path() + "/" + name + "/Video/Stream/Recording.%i.rec";
  }
  std::string part(const std::string& name, int index) {
    return folder.path() + "/" + name + "/Video/Stream/Recording." + std::to_string(index) + ".rec";
  }
  // The parts' bytes in order, as long as they exist.
  std::vector<std::string> parts(const std::string& name) {
    std::vector<std::string> found;
    for (int index = 0;; ++index) {
      const std::string bytes = readWholeFile(part(name, index));
      if (bytes.empty()) return found;
      found.push_back(bytes);
    }
  }
  TempFolder folder;
};

bool hasLine(const std::string& output, const std::string& line) {
  return ("\n" + output).find("\n" + line + "\n") != std::string::npos;
}

// 40 frames of 100 triangles, 26 bytes each, and 40 marks of 8: 104320 bytes of records, which
// random triangles compress too little to fit in fewer than 4 parts of 33040 bytes.
const std::vector<std::string> kSmall = {"--frames",    "40",    "--tris", "100",
                                         "--part-size", "33040", "--seed", "7"};

TEST_F(WorkloadFiles, RecordingReadsBackWithItsCountsWholePartsAndUncutChunks) {
  const ProcessResult made = generate("small", kSmall);
  ASSERT_EQ(made.exit_code, 0) << made.err;
  EXPECT_NE(made.out.find("frames 40, triangles 4000 (100.0 per frame)"), std::string::npos)
      << made.out;
  const ProcessResult info = runTool({"info", recording("small")});
  ASSERT_EQ(info.exit_code, 0) << info.err;
  for (const char* line :
       {"frames: 40", "triangles: 4000", "frame marks: 40", "decompressed bytes: 104320",
        "anomalies: 0", "end: stream used up", "triangles per frame: min 100 median 100 max 100",
        "texture 8: 4B57524B4C440008 8 bpp 256x256 loads", "empty texture slots: 9-32"}) {
    EXPECT_TRUE(hasLine(info.out, line)) << line << "\n" << info.out;
  }
  const std::vector<std::string> files = parts("small");
  ASSERT_GE(files.size(), 4u);
  for (size_t k = 0; k + 1 < files.size(); ++k) EXPECT_EQ(files[k].size(), 33040u) << k;
  EXPECT_LT(files.back().size(), 33040u);
  // No part boundary falls between two chunks or inside a length field.
  std::string stream;
  for (const std::string& file : files) stream += file;
  const int64_t part_size = 33040;
  int64_t at = 264;
  int chunks = 0;
  while (at < static_cast<int64_t>(stream.size())) {
    const int64_t into_part = at % part_size;
    EXPECT_NE(into_part, 0) << "chunk " << chunks << " starts on a boundary";
    EXPECT_LE(into_part, part_size - 4) << "chunk " << chunks << "'s length field is cut";
    ASSERT_LE(at + 4, static_cast<int64_t>(stream.size()));
    const int32_t length =
        static_cast<int32_t>(readUint32(reinterpret_cast<const uint8_t*>(stream.data()) + at));
    ASSERT_GT(length, 0);
    ASSERT_LE(length, 32768);
    at += 4 + length;
    chunks += 1;
  }
  EXPECT_EQ(at, static_cast<int64_t>(stream.size())) << "the last chunk ends the stream";
  EXPECT_GE(chunks, 4);
}

TEST_F(WorkloadFiles, SameSeedSameBytesOtherSeedOtherBytes) {
  std::vector<std::string> other = kSmall;
  other.back() = "8";
  ASSERT_EQ(generate("a", kSmall).exit_code, 0);
  ASSERT_EQ(generate("b", kSmall).exit_code, 0);
  ASSERT_EQ(generate("c", other).exit_code, 0);
  EXPECT_EQ(parts("a"), parts("b"));
  EXPECT_NE(parts("a"), parts("c"));
  const std::string texture = "/Video/TexDump/4B57524B4C440003.bmp";
  EXPECT_EQ(readWholeFile(folder.path() + "/a" + texture),
            readWholeFile(folder.path() + "/b" + texture));
}

TEST_F(WorkloadFiles, SceneIsAWholeRecordingWithItsTextures) {
  const ProcessResult made = generate("scene", {"--mode", "scene", "--frames", "3"});
  ASSERT_EQ(made.exit_code, 0) << made.err;
  const ProcessResult info = runTool({"info", recording("scene")});
  ASSERT_EQ(info.exit_code, 0) << info.err;
  for (const char* line :
       {"frames: 3", "anomalies: 0", "end: stream used up",
        "textured triangles without a loaded texture: 0",
        "texture 6: 4B57524B4C440006 8 bpp 256x256 loads", "empty texture slots: 7-32"}) {
    EXPECT_TRUE(hasLine(info.out, line)) << line << "\n" << info.out;
  }
}

TEST_F(WorkloadFiles, BadOptionsAreRefused) {
  const std::vector<std::vector<std::string>> bad = {
      {"--part-size", "33039"}, {"--size", "huge"}, {"--mode", "race"},
      {"--textured", "1.5"},    {"--tris", "0"},    {"--min-area", "500", "--max-area", "50"}};
  for (const std::vector<std::string>& options : bad) {
    const ProcessResult result = generate("bad", options);
    EXPECT_EQ(result.exit_code, 2) << options[0] << " " << options[1];
    EXPECT_NE(result.err.find("usage: kestrune_workload"), std::string::npos);
  }
}

}  // namespace
