// `kestrune render`: draws every frame of a recording through the player's drawing path and
// writes each as the window would show it. Receives the recording, an output folder, a frame
// range, a desktop size and a file format; hands on one PNG or raw file per frame.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "player/player_output.h"
#include "runtime/platform.h"
#include "runtime/timing.h"
#include "tools/tool_args.h"
#include "tools/tool_commands.h"
#include "tools/tool_frame_files.h"
#include "tools/tool_playback.h"

namespace {

constexpr const char* kUsage =
    "usage: kestrune render REC --out DIR [--frames A-B] [--desktop WxH] [--format png|raw]\n"
    "       [--threads N]\n";

constexpr const char* kHelp =
    "\n"
    "Draws every frame of the recording REC exactly as the player does (same start-up state,\n"
    "same textures, same drawing) and writes each as its window shows it: the render buffer of\n"
    "the desktop's size filtered 2:1 into a window of half that size. There is no pacing and no\n"
    "frame is dropped. Frames are counted from 0 at the first frame mark; frame N is written to\n"
    "DIR/frame_NNNNNN.png or DIR/frame_NNNNNN.raw. Textures are read from the recording's\n"
    "folder/../TexDump/. The player's messages go to standard error.\n"
    "\n"
    "options:\n"
    "  --out DIR         folder for the frame files, created when missing (required)\n"
    "  --frames A-B      write frames A to B only (\"A-\": A to the end, \"A\": frame A alone);\n"
    "                    earlier frames are still drawn, and drawing stops after B\n"
    "  --desktop WxH     the desktop size the player would see (default 1920x1080); frames are\n"
    "                    W/2 x H/2 pixels\n"
    "  --format png|raw  png (default): 8-bit RGB, each 5-6-5 channel widened by repeating its\n"
    "                    top bits (r8 = r5<<3 | r5>>2, g8 = g6<<2 | g6>>4, b8 as r8);\n"
    "                    raw: W/2 x H/2 little-endian 16-bit 5-6-5 values, rows top first\n"
    "  --threads N       threads that draw the triangles, 1 to 64 (default: KESTRUNE_THREADS,\n"
    "                    else one per processor); the frames are the same for every N\n"
    "\n"
    "Exit codes: 0 done, 1 failed (the recording or a file), 2 bad usage.\n";

struct RenderOptions {
  std::string recording;
  std::string out;
  FrameRange frames;
  bool frames_given = false;
  DesktopSize desktop;
  bool png = true;
  int threads = defaultRasterThreads();
};

// What the frame sink needs while frames arrive.
struct RenderOutput {
  std::string folder;
  bool png = true;
  int32_t width = 0;
  int32_t height = 0;
  int64_t written = 0;
  bool progress = false;  // a progress line on standard error, which is a terminal
  double last_progress = 0;
};

// Fills *options from the parsed arguments; gives the usage problem, empty when there is none.
std::string readOptions(const ParsedArgs& args, RenderOptions* options) {
  if (!args.error.empty()) return args.error;
  if (args.positional.empty()) return "no recording given";
  if (args.positional.size() > 1) return "more than one recording given";
  options->recording = args.positional[0];
  const std::string* out = args.option("out");
  if (out == nullptr || out->empty()) return "--out DIR is required";
  options->out = *out;
  if (const std::string* frames = args.option("frames")) {
    if (!parseFrameRange(*frames, &options->frames)) {
      return "bad frame range \"" + *frames + "\" (want A-B, A- or A)";
    }
    options->frames_given = true;
  }
  if (const std::string* desktop = args.option("desktop")) {
    if (!parseDesktopSize(*desktop, &options->desktop)) {
      return badDesktopSize(*desktop);
    }
  }
  if (const std::string* format = args.option("format")) {
    if (*format != "png" && *format != "raw") {
      return "bad format \"" + *format + "\" (want png or raw)";
    }
    options->png = *format == "png";
  }
  return readThreadsOption(args, &options->threads);
}

void showProgress(RenderOutput& output, int64_t index, bool last) {
  if (!output.progress) return;
  const double now = timerSeconds();
  if (!last && now - output.last_progress < 0.2) return;
  output.last_progress = now;
  std::fprintf(stderr, "\rkestrune render: frame %lld, %lld written", static_cast<long long>(index),
               static_cast<long long>(output.written));
  if (last) std::fputc('\n', stderr);
  std::fflush(stderr);
}

bool writeFrame(void* context, int64_t index, const FramePicture& window) {
  RenderOutput& output = *static_cast<RenderOutput*>(context);
  const std::string path = output.folder + "/" + frameFileName(index, output.png ? "png" : "raw");
  std::string error;
  const bool written =
      output.png ? writePngFrame(path, window, &error) : writeRawFrame(path, window, &error);
  if (!written) {
    if (output.progress) std::fputc('\n', stderr);
    std::fprintf(stderr, "kestrune render: %s\n", error.c_str());
    return false;
  }
  ++output.written;
  showProgress(output, index, false);
  return true;
}

bool makeFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!error && std::filesystem::is_directory(folder, error)) return true;
  std::fprintf(stderr, "kestrune render: cannot create the folder %s\n", folder.c_str());
  return false;
}

// The outcome once playback has ended, with the summary on standard output.
int reportRender(const RenderOptions& options, const ToolPlayback& playback,
                 const PlayedRecording& played, RenderOutput& output) {
  if (playback.frames_met > 0) showProgress(output, playback.frames_met - 1, true);
  if (playback.sink_failed) return kExitFailed;
  std::printf("%lld frame%s of %dx%d written to %s\n", static_cast<long long>(output.written),
              output.written == 1 ? "" : "s", output.width, output.height, options.out.c_str());
  if (played.end != StreamStep::kEnd) {
    std::fprintf(stderr, "kestrune render: the recording ends in a damaged chunk\n");
    return kExitFailed;
  }
  if (playback.frames_met == 0) {
    std::fprintf(stderr, "kestrune render: the recording holds no frame\n");
    return kExitFailed;
  }
  if (options.frames_given && output.written == 0) {
    std::fprintf(stderr, "kestrune render: no frame in that range; the recording has %lld\n",
                 static_cast<long long>(playback.frames_met));
    return kExitFailed;
  }
  return kExitDone;
}

}  // namespace

int runRender(int argc, const char* const* argv) {
  const ParsedArgs args =
      parseArgs(argc, argv, {"out", "frames", "desktop", "format", "threads"}, {});
  if (args.help) {
    std::printf("%s%s", kUsage, kHelp);
    return kExitDone;
  }
  RenderOptions options;
  const std::string problem = readOptions(args, &options);
  if (!problem.empty()) return usageError("render", problem, kUsage);
  setMessageStream(stderr);  // the player's messages (textures loaded); standard output is ours
  ToolPlayback playback;
  playback.threads = options.threads;
  if (!openToolPlayback("render", options.recording, options.desktop, &playback)) {
    return kExitFailed;
  }
  if (!makeFolder(options.out)) {
    closeToolPlayback(playback);
    return kExitFailed;
  }
  RenderOutput output;
  output.folder = options.out;
  output.png = options.png;
  output.width = playback.target.width;
  output.height = playback.target.height;
  output.progress = isTerminal(stderr);
  playback.frames = options.frames;
  playback.sink = {writeFrame, &output};
  const PlayedRecording played = playToolRecording(playback);
  closeToolPlayback(playback);
  return reportRender(options, playback, played, output);
}
