// Replays a recording as fast as it can through the player's drawing path, for profiling and for
// checking that a change to the renderer leaves every frame's bits as they were. Receives a
// recording template and its texture folder; hands on timings and, on request, a CRC per frame.
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "player/recording_stream.h"
#include "player/render_target.h"
#include "player/stream_records.h"
#include "player/texture_loader.h"
#include "player/triangle_drawing.h"
#include "runtime/screen.h"

namespace {

struct Options {
  std::string recording;
  std::string texture_folder;  // ends in a separator
  int32_t desktop_width = 1920;
  int32_t desktop_height = 1080;
  int64_t frames = -1;  // -1: all
  int repeat = 1;
  bool crc = false;  // a CRC of the window picture and of the render buffer per frame
};

// Every chunk of the recording as it lies in the file, in stream order: the replay decompresses
// each when it comes to it, as the player does, so that the figures include zlib's share.
std::vector<std::vector<uint8_t>> readChunks(StreamState& stream) {
  std::vector<std::vector<uint8_t>> chunks;
  while (streamHasMore(stream)) {
    int32_t length = 0;
    if (readChunkLength(stream, &length) != StreamStep::kGoOn) break;
    int32_t bytes_read = 0;
    if (readChunkData(stream, length, &bytes_read) != StreamStep::kGoOn) break;
    if (!chunkWithinBudget(stream, length)) break;
    const uint8_t* in = stream.input.data();
    chunks.emplace_back(in, in + bytes_read);
  }
  return chunks;
}

using Clock = std::chrono::steady_clock;

struct Replay {
  StreamState* stream = nullptr;  // its buffers decompress each chunk
  RenderTarget* target = nullptr;
  std::vector<Pixel565> window;
  TriangleDrawing drawing;
  const Options* options = nullptr;
  int64_t frames = 0;
  int64_t triangles = 0;
  double unzip_seconds = 0;
  double draw_seconds = 0;
  double filter_seconds = 0;
  std::vector<double> frame_seconds;  // unzip, draw and filter of each frame
  Clock::time_point frame_start = Clock::now();
};

uint32_t crcOf(const Pixel565* pixels, size_t count) {
  return uint32_t(crc32(0, reinterpret_cast<const Bytef*>(pixels), uInt(count * 2)));
}

// Filters the frame drawn so far and reports its CRCs; false once enough frames were shown.
bool endFrame(Replay& replay, Clock::time_point& mark) {
  const Clock::time_point drawn = Clock::now();
  filterFrame(*replay.target, replay.window.data());
  const Clock::time_point filtered = Clock::now();
  replay.draw_seconds += std::chrono::duration<double>(drawn - mark).count();
  replay.filter_seconds += std::chrono::duration<double>(filtered - drawn).count();
  if (replay.options->crc) {
    const size_t render_pixels = size_t(4) * replay.target->width * replay.target->height;
    std::printf("frame %lld window %08x render %08x\n", static_cast<long long>(replay.frames),
                crcOf(replay.window.data(), replay.window.size()),
                crcOf(replay.target->render_buffer, render_pixels));
  }
  ++replay.frames;
  replay.frame_seconds.push_back(
      std::chrono::duration<double>(filtered - replay.frame_start).count());
  mark = Clock::now();
  replay.frame_start = mark;
  return replay.options->frames < 0 || replay.frames < replay.options->frames;
}

// Decompresses one chunk and walks its records as the player does, without pacing; false once
// enough frames were shown.
bool replayChunk(Replay& replay, const std::vector<uint8_t>& compressed, Clock::time_point& mark) {
  StreamState& stream = *replay.stream;
  const Clock::time_point start = Clock::now();
  std::copy(compressed.begin(), compressed.end(), stream.input.begin());
  decompressChunk(stream, int32_t(compressed.size()));
  const Clock::time_point unzipped = Clock::now();
  replay.unzip_seconds += std::chrono::duration<double>(unzipped - start).count();
  mark += unzipped - start;  // not drawing time
  const uint8_t* chunk = stream.output.data();
  const size_t length = size_t(stream.decompressed_length);
  size_t at = 0;
  while (at < length) {
    const uint8_t kind = chunk[at];
    if (kind == kFrameMarkKind && at + kFrameMarkSize <= length) {
      if (!endFrame(replay, mark)) return false;
      at += kFrameMarkSize;
    } else if (kind == kTriangleKind && at + kTriangleRecordSize <= length) {
      drawTriangle(replay.drawing, readTriangleRecord(chunk + at));
      ++replay.triangles;
      at += kTriangleRecordSize;
    } else {
      break;  // point records and unknown kinds end the chunk, as in the player
    }
  }
  return true;
}

bool parseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--texdir" && has_value) {
      options->texture_folder = std::string(argv[++i]) + "/";
    } else if (arg == "--desktop" && has_value) {
      if (std::sscanf(argv[++i], "%dx%d", &options->desktop_width, &options->desktop_height) != 2)
        return false;
    } else if (arg == "--frames" && has_value) {
      options->frames = std::atoll(argv[++i]);
    } else if (arg == "--repeat" && has_value) {
      options->repeat = std::atoi(argv[++i]);
    } else if (arg == "--crc") {
      options->crc = true;
    } else if (options->recording.empty() && arg[0] != '-') {
      options->recording = arg;
    } else {
      return false;
    }
  }
  if (options->recording.empty()) return false;
  if (options->texture_folder.empty()) {
    const size_t slash = options->recording.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : options->recording.substr(0, slash);
    options->texture_folder = folder + "/../TexDump/";
  }
  return true;
}

double medianOf(std::vector<double> values) {
  if (values.empty()) return 0;
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

// Every pass over the chunks; kept out of line so that a profiler can count it alone
// (valgrind --tool=callgrind --toggle-collect='*replayPasses*').
__attribute__((noinline)) void replayPasses(Replay& replay,
                                            const std::vector<std::vector<uint8_t>>& chunks) {
  for (int pass = 0; pass < replay.options->repeat; ++pass) {
    Clock::time_point mark = Clock::now();
    bool more = true;
    for (size_t c = 0; c < chunks.size() && more; ++c) more = replayChunk(replay, chunks[c], mark);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: workload_replay REC [--texdir DIR] [--desktop WxH] [--frames N] "
                 "[--repeat N] [--crc]\n");
    return 2;
  }
  StreamState stream;
  stream.path_template = options.recording;
  RecordingHeader header;
  if (openRecording(stream, &header) != OpenRecordingResult::kOpened) {
    std::fprintf(stderr, "cannot open %s\n", options.recording.c_str());
    return 1;
  }
  allocateChunkBuffers(stream);
  const std::vector<std::vector<uint8_t>> chunks = readChunks(stream);

  // Texture dumps are decoded into images, which need an open screen: a headless one, that
  // nothing is ever presented to.
  setPreferredPresenter("Headless");
  if (openScreen(options.desktop_width / 2, options.desktop_height / 2, 16, 1, 0, 0) != 0) {
    std::fprintf(stderr, "cannot open a headless screen\n");
    return 1;
  }
  RenderTarget target;
  if (!openRenderSurface(target, options.desktop_width / 2, options.desktop_height / 2)) return 1;
  loadTexturesWith(header, rendererTextureCalls(), textureTable(), options.texture_folder);

  Replay replay;
  replay.stream = &stream;
  replay.target = &target;
  replay.window.assign(size_t(target.width) * target.height, 0);
  replay.drawing = rendererTriangleDrawing();
  replay.options = &options;
  const Clock::time_point start = Clock::now();
  replay.frame_start = Clock::now();
  replayPasses(replay, chunks);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf(
      "frames %lld triangles %lld seconds %.3f fps %.1f unzip_ms %.3f draw_ms %.3f filter_ms "
      "%.3f median_frame_ms %.3f\n",
      static_cast<long long>(replay.frames), static_cast<long long>(replay.triangles), seconds,
      replay.frames / seconds, 1000 * replay.unzip_seconds / double(replay.frames),
      1000 * replay.draw_seconds / double(replay.frames),
      1000 * replay.filter_seconds / double(replay.frames), 1000 * medianOf(replay.frame_seconds));
  closeRenderSurface(target);
  closeScreen();
  return 0;
}
