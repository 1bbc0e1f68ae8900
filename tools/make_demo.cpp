// Writes the demo recording: ten seconds of coloured triangles turning and drifting across the
// screen, a frame mark every 1/30 s, compressed a few frames per chunk and split into part files
// the way a recorder splits them. Usage: make-demo <folder>; the parts go to
// <folder>/Video/Stream/Recording_12_01_2013_13_41_13.<n>.rec.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "tools/recording_writer.h"

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

// Two triangles covering the screen in a slowly changing dark colour: frames are not cleared.
Bytes backgroundRecords(int frame) {
  const uint16_t colour = packedColour(6, (frame / 20) % 4, 3 + (frame / 30) % 5);
  return joinBytes({triangleRecordBytes(plainTriangle(0, 0, 255, 0, 0, 255, colour)),
                    triangleRecordBytes(plainTriangle(255, 0, 255, 255, 0, 255, colour))});
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

Bytes frameRecords(int frame) {
  return joinBytes({backgroundRecords(frame), pinwheelRecords(frame),
                    frameMarkBytes(static_cast<float>(frame * kFrameSeconds))});
}

Bytes demoStream() {
  Bytes stream = headerBytes();
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-demo <folder>\n");
    return 2;
  }
  const std::filesystem::path folder = std::filesystem::path(argv[1]) / "Video" / "Stream";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::fprintf(stderr, "make-demo: cannot create %s\n", folder.string().c_str());
    return 1;
  }
  const Bytes stream = demoStream();
  // Two full parts and a shorter last one.
  const std::vector<Bytes> parts = splitIntoParts(stream, stream.size() * 2 / 5);
  const std::string path_template = (folder / "Recording_12_01_2013_13_41_13.%i.rec").string();
  if (!writeParts(parts, path_template)) {
    std::fprintf(stderr, "make-demo: cannot write %s\n", path_template.c_str());
    return 1;
  }
  return 0;
}
