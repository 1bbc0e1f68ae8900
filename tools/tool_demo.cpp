// `kestrune demo`: writes the demo recording (ten seconds of turning coloured triangles, a
// textured square and a cut-out star, 30 frames a second, split into part files) and its two
// texture dumps, or, with --frames and --triangles, a synthetic recording of any length for
// benchmarks, streamed out chunk by chunk. Receives an output folder and the options; hands on
// OUTDIR/Video/Stream/ and OUTDIR/Video/TexDump/.
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "tools/bmp_writer.h"
#include "tools/recording_writer.h"
#include "tools/seeded_random.h"
#include "tools/tool_args.h"
#include "tools/tool_commands.h"

namespace {

constexpr int kFrames = 300;
constexpr int kFramesPerChunk = 8;
constexpr int kSpokes = 8;
constexpr double kFrameSeconds = 1.0 / 30.0;
constexpr double kPi = 3.14159265358979323846;

uint8_t screenByte(double value) {
  return static_cast<uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, value))));
}

// A full-colour packed value: flag nibble set and red of 6 or more, so the colour is used as is.
uint16_t packedColour(int red, int green, int blue) {
  return static_cast<uint16_t>(0xF000 | (red << 8) | (green << 4) | blue);
}

// A screen-covering background in a slowly changing dark colour: frames are not cleared.
Bytes backgroundRecords(int frame) {
  return screenCoveringTriangles(packedColour(6, (frame / 20) % 4, 3 + (frame / 30) % 5));
}

// A pinwheel of spokes turning about a centre that drifts along a Lissajous path.
Bytes pinwheelRecords(int frame) {
  const double t = frame * kFrameSeconds;
  const double centre_x = 128 + 70 * std::sin(t * 0.9);
  const double centre_y = 128 + 60 * std::sin(t * 1.3);
  const double radius = 55 + 15 * std::sin(t * 2.0);
  Bytes records;
  for (int spoke = 0; spoke < kSpokes; ++spoke) {
    const double a = t * 1.5 + spoke * 2 * kPi / kSpokes;
    const double b = a + kPi / kSpokes;
    const uint16_t colour =
        packedColour(6 + (spoke * 3) % 10, (spoke * 5 + frame / 10) % 16, (15 - spoke * 2) & 15);
    appendBytes(records, triangleRecordBytes(
                             plainTriangle(screenByte(centre_x), screenByte(centre_y),
                                           screenByte(centre_x + radius * std::cos(a)),
                                           screenByte(centre_y + radius * std::sin(a)),
                                           screenByte(centre_x + radius * std::cos(b)),
                                           screenByte(centre_y + radius * std::sin(b)), colour)));
  }
  return records;
}

// The demo's textures: slot 1 a checkerboard, slot 2 a star on black, which blending leaves out.
constexpr int kCheckerSlot = 1;
constexpr int kStarSlot = 2;
constexpr uint64_t kCheckerId = 0x4B45535452554E31;  // "KESTRUN1" as a number
constexpr uint64_t kStarId = 0x4B45535452554E32;

// 64 x 64, 8 bits: squares of 8 texels in two colour ramps that run across the texture.
BmpPicture checkerTexture() {
  BmpPicture picture;
  picture.width = 64;
  picture.height = 64;
  picture.bits = 8;
  for (int k = 0; k < 128; ++k) {
    const uint8_t ramp = static_cast<uint8_t>(2 * k);
    picture.palette.push_back({ramp, 64, static_cast<uint8_t>(255 - ramp)});
  }
  for (int k = 0; k < 128; ++k) {
    picture.palette.push_back({255, static_cast<uint8_t>(128 + k), static_cast<uint8_t>(k)});
  }
  for (int row = 0; row < 64; ++row) {
    for (int column = 0; column < 64; ++column) {
      const bool dark = ((row / 8) + (column / 8)) % 2 == 0;
      picture.indices.push_back(static_cast<uint8_t>((dark ? 0 : 128) + row + column));
    }
  }
  return picture;
}

// 32 x 32, 4 bits: a five-pointed star in yellow with an orange rim; index 0, black, is the
// key colour that blending leaves out.
BmpPicture starTexture() {
  BmpPicture picture;
  picture.width = 32;
  picture.height = 32;
  picture.bits = 4;
  picture.palette = {{0, 0, 0}, {255, 220, 40}, {255, 120, 0}};
  for (int row = 0; row < 32; ++row) {
    for (int column = 0; column < 32; ++column) {
      const double dx = column - 15.5;
      const double dy = row - 15.5;
      const double reach = 6 + 10 * std::pow(std::cos(2.5 * std::atan2(dy, dx)), 8.0);
      const double distance = std::sqrt(dx * dx + dy * dy);
      picture.indices.push_back(distance > reach ? 0 : (distance > reach - 2 ? 2 : 1));
    }
  }
  return picture;
}

// Textured triangles draw their texels as they are; the vertex colour (white here) is not used.
constexpr uint16_t kTexturedColour = 0xF000;

TriangleVertex texturedVertex(double x, double y, uint8_t u, uint8_t v) {
  TriangleVertex vertex;
  vertex.u = u;
  vertex.v = v;
  vertex.x = screenByte(x);
  vertex.y = screenByte(y);
  vertex.w = 65535;
  vertex.colour = kTexturedColour;
  return vertex;
}

// A square of the whole texture, turned by `angle` about its centre, as two triangles.
Bytes texturedSquare(int slot, int blend_mode, double centre_x, double centre_y, double half,
                     double angle) {
  const double c = half * std::cos(angle);
  const double s = half * std::sin(angle);
  const TriangleVertex top_left = texturedVertex(centre_x - c + s, centre_y - s - c, 0, 0);
  const TriangleVertex top_right = texturedVertex(centre_x + c + s, centre_y + s - c, 255, 0);
  const TriangleVertex bottom_right = texturedVertex(centre_x + c - s, centre_y + s + c, 255, 255);
  const TriangleVertex bottom_left = texturedVertex(centre_x - c - s, centre_y - s + c, 0, 255);
  TriangleRecord first;
  first.texture_slot = static_cast<uint8_t>(slot);
  first.blend_mode = static_cast<uint8_t>(blend_mode);
  TriangleRecord second = first;
  first.vertices[0] = top_left;
  first.vertices[1] = top_right;
  first.vertices[2] = bottom_right;
  second.vertices[0] = top_left;
  second.vertices[1] = bottom_right;
  second.vertices[2] = bottom_left;
  return joinBytes({triangleRecordBytes(first), triangleRecordBytes(second)});
}

// The checkerboard turns slowly in the upper left; the star drifts across the lower half with
// its black texels left out (blend mode 1), so the pinwheel shows through around it.
Bytes texturedRecords(int frame) {
  const double t = frame * kFrameSeconds;
  return joinBytes({texturedSquare(kCheckerSlot, 0, 60, 60, 36, t * 0.6),
                    texturedSquare(kStarSlot, 1, 128 + 100 * std::sin(t * 0.7), 190, 28, -t)});
}

Bytes frameRecords(int frame) {
  return joinBytes({backgroundRecords(frame), pinwheelRecords(frame), texturedRecords(frame),
                    frameMarkBytes(static_cast<float>(frame * kFrameSeconds))});
}

Bytes demoStream() {
  std::array<uint64_t, 32> ids = {};
  ids[kCheckerSlot - 1] = kCheckerId;
  ids[kStarSlot - 1] = kStarId;
  Bytes stream = headerBytes(ids);
  Bytes chunk_records;
  for (int frame = 0; frame < kFrames; ++frame) {
    appendBytes(chunk_records, frameRecords(frame));
    if ((frame + 1) % kFramesPerChunk == 0 || frame + 1 == kFrames) {
      appendBytes(stream, compressedChunk(chunk_records));
      chunk_records.clear();
    }
  }
  return stream;
}

// The dump's file name: the id as 16 upper-case hexadecimal digits.
std::string dumpName(uint64_t id) {
  char name[32];
  std::snprintf(name, sizeof name, "%016llX.bmp", static_cast<unsigned long long>(id));
  return name;
}

bool writeTextures(const std::filesystem::path& folder) {
  std::string error;
  if (writeBmpFile((folder / dumpName(kCheckerId)).string(), checkerTexture(), &error) &&
      writeBmpFile((folder / dumpName(kStarId)).string(), starTexture(), &error)) {
    return true;
  }
  std::fprintf(stderr, "kestrune demo: %s\n", error.c_str());
  return false;
}

bool makeFolders(const std::filesystem::path& stream, const std::filesystem::path& textures) {
  for (const std::filesystem::path& made : {stream, textures}) {
    std::error_code error;
    std::filesystem::create_directories(made, error);
    if (error) {
      std::fprintf(stderr, "kestrune demo: cannot create %s\n", made.string().c_str());
      return false;
    }
  }
  return true;
}

// Two full parts and a shorter last one.
bool writeDemoStream(const std::filesystem::path& folder) {
  const Bytes stream = demoStream();
  const std::vector<Bytes> parts = splitIntoParts(stream, stream.size() * 2 / 5);
  const std::string path_template = (folder / "Recording_12_01_2013_13_41_13.%i.rec").string();
  std::string error;
  if (writeParts(parts, path_template, &error)) return true;
  std::fprintf(stderr, "kestrune demo: %s\n", error.c_str());
  return false;
}

// The synthetic recording, for benchmarks: many small triangles moving in straight lines.

constexpr int kSyntheticTextures = 3;  // slots 1 to 3
constexpr uint64_t kSyntheticIds[kSyntheticTextures] = {
    0x4B53594E54455831, 0x4B53594E54455832, 0x4B53594E54455833};  // "KSYNTEX1" to "KSYNTEX3"
constexpr int kBlendModeCount = 8;
constexpr int kSizeMin = 3;
constexpr int kSizeMax = 20;
// Anchors run along a track of 256 - kSizeMax positions in 1/256 steps, so that the vertices,
// at most kSizeMax to the right of and below the anchor, stay on the 0..255 grid.
constexpr int64_t kTrack = (256 - kSizeMax) * 256;
constexpr int kStepMax = 512;    // two grid units a frame
constexpr int kTexelStride = 4;  // texture coordinates per grid unit

// 16 x 16, 8 bits: a ramp of all 256 palette entries, red across and blue down.
BmpPicture rampTexture() {
  BmpPicture picture;
  picture.width = 16;
  picture.height = 16;
  picture.bits = 8;
  for (int k = 0; k < 256; ++k) {
    picture.palette.push_back(
        {static_cast<uint8_t>((k % 16) * 17), 160, static_cast<uint8_t>((k / 16) * 17)});
    picture.indices.push_back(static_cast<uint8_t>(k));
  }
  return picture;
}

// One triangle as it is at frame 0 and how it moves. The vertices lie at (0, 0),
// (size, bend_a) and (bend_b, size) from the anchor, mirrored left to right when `mirrored`;
// bends up to size / 2 keep the triangle from collapsing into a line.
struct MovingTriangle {
  int64_t start_x = 0;  // anchor in 1/256 units
  int64_t start_y = 0;
  int64_t step_x = 0;  // per frame, in 1/256 units
  int64_t step_y = 0;
  int size = kSizeMin;
  int bend_a = 0;
  int bend_b = 0;
  bool mirrored = false;
  uint8_t u = 0;  // texture coordinates at the anchor
  uint8_t v = 0;
  uint16_t colour = 0;
  uint8_t texture_slot = 0;
  uint8_t blend_mode = 0;
};

// Blend modes cycle with the index and texture slots (0 to 3) every eight triangles, so that
// every pairing of the two occurs.
MovingTriangle randomTriangle(Random& random, int index) {
  MovingTriangle triangle;
  triangle.start_x = randomBelow(random, static_cast<int>(kTrack));
  triangle.start_y = randomBelow(random, static_cast<int>(kTrack));
  triangle.step_x = randomBelow(random, 2 * kStepMax + 1) - kStepMax;
  triangle.step_y = randomBelow(random, 2 * kStepMax + 1) - kStepMax;
  triangle.size = kSizeMin + randomBelow(random, kSizeMax - kSizeMin + 1);
  triangle.bend_a = randomBelow(random, triangle.size / 2 + 1);
  triangle.bend_b = randomBelow(random, triangle.size / 2 + 1);
  triangle.mirrored = randomBelow(random, 2) == 1;
  triangle.u = static_cast<uint8_t>(randomBelow(random, 256 - kTexelStride * kSizeMax));
  triangle.v = static_cast<uint8_t>(randomBelow(random, 256 - kTexelStride * kSizeMax));
  triangle.colour = static_cast<uint16_t>(nextRandom(random));
  triangle.blend_mode = static_cast<uint8_t>(index % kBlendModeCount);
  triangle.texture_slot =
      static_cast<uint8_t>((index / kBlendModeCount) % (kSyntheticTextures + 1));
  return triangle;
}

int anchorAt(int64_t start, int64_t step, int64_t frame) {
  const int64_t place = (start + step * frame) % kTrack;
  return static_cast<int>((place < 0 ? place + kTrack : place) / 256);
}

TriangleRecord triangleAt(const MovingTriangle& moving, int64_t frame) {
  const int x = anchorAt(moving.start_x, moving.step_x, frame);
  const int y = anchorAt(moving.start_y, moving.step_y, frame);
  const int offsets[3][2] = {{0, 0}, {moving.size, moving.bend_a}, {moving.bend_b, moving.size}};
  TriangleRecord record;
  record.texture_slot = moving.texture_slot;
  record.blend_mode = moving.blend_mode;
  for (int k = 0; k < 3; ++k) {
    const int dx = moving.mirrored ? moving.size - offsets[k][0] : offsets[k][0];
    const int dy = offsets[k][1];
    TriangleVertex& vertex = record.vertices[k];
    vertex.x = static_cast<uint8_t>(x + dx);
    vertex.y = static_cast<uint8_t>(y + dy);
    vertex.u = static_cast<uint8_t>(moving.u + kTexelStride * dx);
    vertex.v = static_cast<uint8_t>(moving.v + kTexelStride * dy);
    vertex.w = 65535;
    vertex.colour = moving.colour;
  }
  return record;
}

constexpr int64_t kDefaultPartSize = 16 << 20;

struct SyntheticOptions {
  bool wanted = false;  // any of the options below was given
  int64_t frames = 0;
  int64_t triangles = 0;
  int64_t fps = 30;
  int64_t seed = 1;
  int64_t part_size = kDefaultPartSize;
};

struct CountOption {
  const char* name;
  const char* what;  // for the usage message
  int64_t min;
  int64_t max;
  int64_t SyntheticOptions::*value;
};

// Up to 10000 triangles, a frame's records (260008 bytes) fit in the largest chunk the player
// decompresses.
constexpr CountOption kCountOptions[] = {
    {"frames", "frame count", 1, 1000000, &SyntheticOptions::frames},
    {"triangles", "triangle count", 1, 10000, &SyntheticOptions::triangles},
    {"fps", "frame rate", 1, 1000, &SyntheticOptions::fps},
    {"seed", "seed", 0, 4294967295, &SyntheticOptions::seed},
    {"part-size", "part size", 4096, 1 << 30, &SyntheticOptions::part_size},
};

std::vector<std::string> countOptionNames() {
  std::vector<std::string> names;
  for (const CountOption& option : kCountOptions) names.push_back(option.name);
  return names;
}

// The usage problem, empty when there is none.
std::string readSyntheticOptions(const ParsedArgs& args, SyntheticOptions* options) {
  for (const CountOption& option : kCountOptions) {
    const std::string* text = args.option(option.name);
    if (text == nullptr) continue;
    options->wanted = true;
    if (!parseCount(*text, option.min, option.max, &(options->*option.value))) {
      return std::string("bad ") + option.what + " \"" + *text + "\" (want " +
             std::to_string(option.min) + " to " + std::to_string(option.max) + ")";
    }
  }
  if (options->wanted && (!args.has("frames") || !args.has("triangles"))) {
    return "a synthetic recording needs both --frames and --triangles";
  }
  return "";
}

bool writeSyntheticTextures(const std::filesystem::path& folder) {
  const BmpPicture pictures[kSyntheticTextures] = {checkerTexture(), starTexture(), rampTexture()};
  std::string error;
  for (int k = 0; k < kSyntheticTextures; ++k) {
    if (!writeBmpFile((folder / dumpName(kSyntheticIds[k])).string(), pictures[k], &error)) {
      std::fprintf(stderr, "kestrune demo: %s\n", error.c_str());
      return false;
    }
  }
  return true;
}

bool packSyntheticFrames(const SyntheticOptions& options, PartStreamWriter& out) {
  Random random{static_cast<uint64_t>(options.seed)};
  std::vector<MovingTriangle> triangles;
  for (int index = 0; index < options.triangles; ++index) {
    triangles.push_back(randomTriangle(random, index));
  }
  ChunkPacker packer;
  for (int64_t frame = 0; frame < options.frames; ++frame) {
    for (const MovingTriangle& triangle : triangles) {
      if (!packRecord(packer, triangleRecordBytes(triangleAt(triangle, frame)), out)) return false;
    }
    const float time_stamp = static_cast<float>(static_cast<double>(frame) / options.fps);
    if (!packRecord(packer, frameMarkBytes(time_stamp), out)) return false;
  }
  return flushChunk(packer, out);
}

// Part files after the last one written, left by a longer earlier recording, would otherwise
// be read on when the last part is a full one.
void removeStaleParts(const std::string& path_template, int first) {
  for (int index = first;; ++index) {
    std::error_code error;
    const std::string path = partPath(path_template, index);
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path, error)) ||
        !std::filesystem::remove(path, error)) {
      return;
    }
  }
}

bool writeSyntheticStream(const std::filesystem::path& folder, const SyntheticOptions& options) {
  std::array<uint64_t, 32> ids = {};
  for (int k = 0; k < kSyntheticTextures; ++k) ids[k] = kSyntheticIds[k];
  const std::string path_template = (folder / "synthetic.%i.rec").string();
  PartStreamWriter out = beginPartStream(path_template, static_cast<size_t>(options.part_size));
  const bool written = writePartStream(out, headerBytes(ids)) &&
                       packSyntheticFrames(options, out) && finishPartStream(out);
  if (!written) {
    finishPartStream(out);
    std::fprintf(stderr, "kestrune demo: %s\n", out.error.c_str());
    return false;
  }
  removeStaleParts(path_template, out.parts);
  return true;
}

constexpr const char* kUsage =
    "usage: kestrune demo OUTDIR [--frames N --triangles N [--fps N] [--seed N] "
    "[--part-size BYTES]]\n";

constexpr const char* kHelp =
    "\n"
    "Writes the demo recording that the player plays when started without arguments: ten\n"
    "seconds at 30 frames a second of coloured triangles, a turning checkerboard and a star\n"
    "whose black texels are left out, in three part files\n"
    "OUTDIR/Video/Stream/Recording_12_01_2013_13_41_13.%i.rec, and its two texture dumps in\n"
    "OUTDIR/Video/TexDump/. Folders are created when missing; existing files are replaced.\n"
    "\n"
    "With --frames and --triangles it writes a synthetic recording instead, for benchmarks:\n"
    "OUTDIR/Video/Stream/synthetic.%i.rec, and its three texture dumps in\n"
    "OUTDIR/Video/TexDump/. Every frame holds the same small triangles (3 to 20 units on the\n"
    "0..255 grid), scattered and moving in straight lines that wrap at the screen's edges.\n"
    "They take blend modes 0 to 7 in turn, and eight at a time no texture, then texture slots 1\n"
    "to 3. Chunks are filled to about 30000 bytes compressed (the player takes 32768, and\n"
    "262144 decompressed): they hold several frames, or part of a large one.\n"
    "  --frames N          frames, 1 to 1000000; frame F is stamped F / fps seconds\n"
    "  --triangles N       triangles a frame, 1 to 10000 (so a frame's records fit in the\n"
    "                      largest chunk the player decompresses)\n"
    "  --fps N             frames a second, 1 to 1000 (default 30)\n"
    "  --seed N            chooses places, sizes, movements and colours, 0 to 4294967295\n"
    "                      (default 1): the same options give the same bytes\n"
    "  --part-size BYTES   the length of every part file but the last, 4096 to 1073741824\n"
    "                      (default 16777216); part files beyond the last, left by an earlier\n"
    "                      run, are removed\n"
    "\n"
    "Exit codes: 0 done, 1 a folder or file cannot be written, 2 bad usage.\n";

// The output folder, or the usage problem.
std::string outputFolder(const ParsedArgs& args, std::filesystem::path* folder) {
  if (args.positional.empty()) return "no output folder given";
  if (args.positional.size() > 1) return "more than one output folder given";
  if (args.positional[0].empty()) return "the output folder is empty";
  *folder = args.positional[0];
  return "";
}

}  // namespace

int runDemo(int argc, const char* const* argv) {
  const ParsedArgs args = parseArgs(argc, argv, countOptionNames(), {});
  if (args.help) {
    std::printf("%s%s", kUsage, kHelp);
    return kExitDone;
  }
  if (!args.error.empty()) return usageError("demo", args.error, kUsage);
  std::filesystem::path base;
  std::string problem = outputFolder(args, &base);
  SyntheticOptions synthetic;
  if (problem.empty()) problem = readSyntheticOptions(args, &synthetic);
  if (!problem.empty()) return usageError("demo", problem, kUsage);
  const std::filesystem::path stream = base / "Video" / "Stream";
  const std::filesystem::path textures = base / "Video" / "TexDump";
  if (!makeFolders(stream, textures)) return kExitFailed;
  if (synthetic.wanted) {
    return writeSyntheticTextures(textures) && writeSyntheticStream(stream, synthetic)
               ? kExitDone
               : kExitFailed;
  }
  if (!writeTextures(textures)) return kExitFailed;
  return writeDemoStream(stream) ? kExitDone : kExitFailed;
}
