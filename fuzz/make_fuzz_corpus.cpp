// Writes the fuzzers' seed corpora with the recording writer: well-formed recordings and each
// kind of damage the tests know, dumps of every depth and header, triangle runs and call codes.
// Usage: make-fuzz-corpus <folder>; writes <folder>/<target>/<seed> files, a few kB in all.
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <random>
#include <string>

#include "tools/bmp_writer.h"
#include "tools/recording_writer.h"

namespace {

namespace fs = std::filesystem;

std::string corpusFolder;

bool writeSeed(const std::string& target, const std::string& name, const Bytes& bytes) {
  const fs::path folder = fs::path(corpusFolder) / target;
  std::error_code error;
  fs::create_directories(folder, error);
  return writeFileBytes((folder / name).string(), bytes);
}

// Layout bytes of the chunk-stream target: part count in bits 0-3, a recorder's split in bit 4,
// the last part left out in bit 5, an empty part behind in bit 6.
constexpr uint8_t kSingleFile = 0;
constexpr uint8_t kRecorderSplit = 16;
constexpr uint8_t kLastPartMissing = 32;
constexpr uint8_t kEmptyPartBehind = 64;

Bytes triangleOf(uint8_t flags, uint8_t seed) {
  TriangleRecord triangle = plainTriangle(seed, 10, 200, seed, 30, 220, 0xF9A5);
  triangle.texture_slot = flags & 31;
  triangle.blend_mode = flags >> 5;
  triangle.vertices[1].colour = 0x0ABC;
  triangle.vertices[2].colour = 0xF3FF;
  return triangleRecordBytes(triangle);
}

Bytes frameChunk(float time_stamp, uint8_t flags) {
  return compressedChunk(
      joinBytes({triangleOf(flags, 5), triangleOf(flags ^ 0x21, 90), frameMarkBytes(time_stamp)}));
}

Bytes streamOf(std::initializer_list<Bytes> chunks) {
  std::array<uint64_t, 32> ids = {};
  ids[0] = 1;
  ids[1] = 171;
  Bytes stream = headerBytes(ids);
  for (const Bytes& chunk : chunks) appendBytes(stream, chunk);
  return stream;
}

Bytes withLayout(uint8_t layout, std::initializer_list<uint16_t> lengths, const Bytes& recording) {
  Bytes seed{layout};
  for (uint16_t length : lengths) appendBytes(seed, Bytes{uint8_t(length), uint8_t(length >> 8)});
  appendBytes(seed, recording);
  return seed;
}

void chunkStreamSeeds() {
  const std::string target = "chunk_stream_fuzzer";
  const Bytes good =
      streamOf({frameChunk(0.0f, 0x00), frameChunk(0.1f, 0x21), frameChunk(0.2f, 0x43)});
  writeSeed(target, "single_file", withLayout(kSingleFile, {}, good));
  writeSeed(target, "recorder_parts", withLayout(kRecorderSplit | 3, {}, good));
  writeSeed(target, "parts_split_inside_length", withLayout(3, {266, 30}, good));
  writeSeed(target, "next_part_missing",
            withLayout(kRecorderSplit | kLastPartMissing | 4, {}, good));
  writeSeed(target, "empty_part_behind",
            withLayout(kRecorderSplit | kEmptyPartBehind | 2, {}, good));
  writeSeed(target, "header_only", withLayout(1, {}, streamOf({})));
  writeSeed(target, "short_header", withLayout(kSingleFile, {}, Bytes{'K', 'R', 'E', 'C', 0, 0}));
  writeSeed(target, "not_a_recording", withLayout(kSingleFile, {}, Bytes(300, 'x')));
  writeSeed(target, "length_minus_one", withLayout(kSingleFile, {}, streamOf({lengthField(-1)})));
  writeSeed(target, "length_32769",
            withLayout(kSingleFile, {}, streamOf({frameChunk(0, 0), lengthField(32769)})));
  writeSeed(target, "length_past_the_file",
            withLayout(kSingleFile, {}, streamOf({lengthField(30000), Bytes(40, 0x78)})));
  Bytes cut = streamOf({frameChunk(0, 0), frameChunk(1, 0)});
  cut.resize(cut.size() - 5);
  writeSeed(target, "chunk_cut_short", withLayout(kSingleFile, {}, cut));
  writeSeed(target, "empty_chunk",
            withLayout(kSingleFile, {}, streamOf({lengthField(0), frameChunk(0, 1)})));
  Bytes damaged = zlibCompressed(joinBytes({triangleOf(3, 1), frameMarkBytes(0.5f)}));
  damaged[damaged.size() / 2] ^= 0x55;
  writeSeed(target, "damaged_zlib", withLayout(kSingleFile, {}, streamOf({rawChunk(damaged)})));
  writeSeed(target, "bad_kinds",
            withLayout(kSingleFile, {},
                       streamOf({compressedChunk(Bytes{0, 0}), compressedChunk(Bytes{3, 1}),
                                 compressedChunk(Bytes{255, 7})})));
  Bytes cut_triangle = triangleOf(1, 1);
  cut_triangle.resize(cut_triangle.size() - 3);
  writeSeed(target, "record_cut_off",
            withLayout(kSingleFile, {}, streamOf({compressedChunk(cut_triangle)})));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  writeSeed(
      target, "odd_time_stamps",
      withLayout(kSingleFile, {},
                 streamOf({frameChunk(nan, 0), frameChunk(inf, 0), frameChunk(-inf, 0),
                           frameChunk(100.0f, 0), frameChunk(-5.0f, 0), frameChunk(3e38f, 0)})));
  writeSeed(
      target, "bomb_chunk",
      withLayout(kSingleFile, {}, streamOf({compressedChunk(Bytes(300000, kFrameMarkKind))})));
}

BmpPicture pictureOf(int32_t width, int32_t height, int bits) {
  BmpPicture picture;
  picture.width = width;
  picture.height = height;
  picture.bits = bits;
  const int colours = 1 << bits;
  for (int k = 0; k < colours && k < 16; ++k) {
    picture.palette.push_back({uint8_t(k * 16 + 15), uint8_t(130 + k), uint8_t(3 * k)});
  }
  for (int k = 0; k < width * height; ++k) picture.indices.push_back(uint8_t((k * 7) % colours));
  return picture;
}

void textureDumpSeeds() {
  const std::string target = "texture_dump_fuzzer";
  writeSeed(target, "bits1_9x3", bmpBytes(pictureOf(9, 3, 1)));
  writeSeed(target, "bits2_5x4", bmpBytes(pictureOf(5, 4, 2)));
  writeSeed(target, "bits4_3x2", bmpBytes(pictureOf(3, 2, 4)));
  writeSeed(target, "bits8_8x8", bmpBytes(pictureOf(8, 8, 8)));
  writeSeed(target, "bits8_1x1", bmpBytes(pictureOf(1, 1, 8)));
  BmpPicture top_down = pictureOf(7, 3, 8);
  top_down.top_down = true;
  writeSeed(target, "top_down", bmpBytes(top_down));
  BmpPicture v5 = pictureOf(6, 2, 4);
  v5.info_header_size = 124;
  v5.gap = 5;
  writeSeed(target, "info_124_gap", bmpBytes(v5));
  Bytes rows_cut = bmpBytes(pictureOf(16, 16, 8));
  rows_cut.resize(rows_cut.size() - 100);
  writeSeed(target, "rows_cut", rows_cut);
  Bytes huge = bmpBytes(pictureOf(2, 2, 8));
  patchUint32(huge, kBmpWidthField, 65535);
  patchUint32(huge, kBmpHeightField, 65535);
  writeSeed(target, "claims_65535_square", huge);
  Bytes limit = bmpBytes(pictureOf(2, 2, 1));
  patchUint32(limit, kBmpWidthField, 8192);
  patchUint32(limit, kBmpHeightField, 512);
  writeSeed(target, "claims_largest", limit);
  Bytes far_pixels = bmpBytes(pictureOf(4, 4, 8));
  patchUint32(far_pixels, kBmpPixelOffsetField, 0xFFFFFFF0u);
  writeSeed(target, "pixels_far_away", far_pixels);
  Bytes compressed = bmpBytes(pictureOf(4, 4, 8));
  patchUint32(compressed, kBmpCompressionField, 1);
  writeSeed(target, "compressed", compressed);
  Bytes deep = bmpBytes(pictureOf(4, 4, 8));
  patchUint16(deep, kBmpBitsField, 24);
  writeSeed(target, "bits24", deep);
  writeSeed(target, "not_bmp", Bytes{'B', 'M', 1, 2, 3});
}

void triangleDrawingSeeds() {
  const std::string target = "triangle_drawing_fuzzer";
  for (int size = 0; size < 4; ++size) {
    Bytes seed{uint8_t(size)};
    for (int flags = 0; flags < 256; flags += 37) {
      Bytes triangle = triangleOf(uint8_t(flags), uint8_t(flags * 3));
      triangle[0] = uint8_t(flags & 1);  // byte 0 says whether a frame ends here
      appendBytes(seed, triangle);
    }
    writeSeed(target, "size" + std::to_string(size), seed);
  }
  Bytes edges{3};
  const TriangleRecord corners = plainTriangle(0, 0, 255, 0, 0, 255, 0xFFFF);
  const TriangleRecord far_corner = plainTriangle(255, 255, 255, 0, 0, 255, 0x0000);
  appendBytes(edges, triangleRecordBytes(corners));
  appendBytes(edges, triangleRecordBytes(far_corner));
  edges[26 + 1] = 0x5F;  // textured, mode 2
  writeSeed(target, "screen_corners", edges);
}

void rendererCallSeeds() {
  const std::string target = "renderer_calls_fuzzer";
  std::mt19937 random(20131201);
  for (int length : {16, 64, 256, 1024}) {
    Bytes seed;
    for (int k = 0; k < length; ++k) seed.push_back(uint8_t(random()));
    writeSeed(target, "random" + std::to_string(length), seed);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-fuzz-corpus <folder>\n");
    return 2;
  }
  corpusFolder = argv[1];
  chunkStreamSeeds();
  textureDumpSeeds();
  triangleDrawingSeeds();
  rendererCallSeeds();
  return 0;
}
