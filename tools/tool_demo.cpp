// `kestrune demo`: writes the demo recording (ten seconds of turning coloured triangles, a
// textured square and a cut-out star, 30 frames a second, split into part files) and its two
// texture dumps. Receives an output folder; hands on OUTDIR/Video/Stream/ and
// OUTDIR/Video/TexDump/.
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "tools/bmp_writer.h"
#include "tools/recording_writer.h"
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

constexpr const char* kUsage = "usage: kestrune demo OUTDIR\n";

constexpr const char* kHelp =
    "\n"
    "Writes the demo recording that the player plays when started without arguments: ten\n"
    "seconds at 30 frames a second of coloured triangles, a turning checkerboard and a star\n"
    "whose black texels are left out, in three part files\n"
    "OUTDIR/Video/Stream/Recording_12_01_2013_13_41_13.%i.rec, and its two texture dumps in\n"
    "OUTDIR/Video/TexDump/. Folders are created when missing; existing files are replaced.\n"
    "\n"
    "Exit codes: 0 done, 1 a folder or file cannot be written, 2 bad usage.\n";

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

}  // namespace

int runDemo(int argc, const char* const* argv) {
  const ParsedArgs args = parseArgs(argc, argv, {}, {});
  if (args.help) {
    std::printf("%s%s", kUsage, kHelp);
    return kExitDone;
  }
  if (!args.error.empty()) return usageError("demo", args.error, kUsage);
  if (args.positional.size() != 1) {
    return usageError(
        "demo",
        args.positional.empty() ? "no output folder given" : "more than one output folder given",
        kUsage);
  }
  if (args.positional[0].empty()) return usageError("demo", "the output folder is empty", kUsage);
  const std::filesystem::path base(args.positional[0]);
  const std::filesystem::path stream = base / "Video" / "Stream";
  const std::filesystem::path textures = base / "Video" / "TexDump";
  if (!makeFolders(stream, textures) || !writeTextures(textures)) return kExitFailed;
  return writeDemoStream(stream) ? kExitDone : kExitFailed;
}
