// Reads `kestrune export`'s arguments into ExportOptions and holds its usage and help texts.
#include "tools/export/export_options.h"

#include <cstdlib>

#include "player/render_target.h"

const char* const kExportUsage =
    "usage: kestrune export REC OUT [--format mp4|mkv|webm] [--fps N | --vfr] [--lossless]\n"
    "       [--frames A-B | --from T --to T] [--desktop WxH] [--crf N] [--preset NAME]\n"
    "       [--threads N] [--quiet]\n";

const char* const kExportHelp =
    "\n"
    "Writes the recording REC as the video file OUT, drawn exactly as `kestrune render` draws\n"
    "it (every frame drawn and filtered, whatever the machine's speed), timed as a viewer sees\n"
    "it: each frame from its mark's time stamp, pauses of 0.25 s or more cut to 230 ms.\n"
    "\n"
    "OUT's extension sets the kind: .mp4 H.264 (libx264, yuv420p), .mkv and .webm VP9\n"
    "(yuv420p); with --lossless, .mkv FFV1 in RGB, each 5-6-5 channel widened by repeating its\n"
    "top bits as the PNG output does, so that decoding it gives `kestrune render`'s pixels.\n"
    "The file is written under a temporary name beside OUT and renamed when it is complete.\n"
    "\n"
    "options:\n"
    "  --format KIND   mp4, mkv or webm: the kind for an OUT without that extension\n"
    "  --fps N         a constant rate of N frames/s (default 30): each video frame shows the\n"
    "                  recorded frame on screen at its time, repeated or left out, never redrawn\n"
    "  --vfr           one video frame per recorded frame that is on screen, at its own time\n"
    "  --lossless      FFV1 in .mkv, RGB: exactly the rendered pixels\n"
    "  --frames A-B    the clip from frame A's start to frame B's end\n"
    "  --from T --to T the clip from T to T seconds (either may be left out)\n"
    "  --desktop WxH   the desktop the frames are drawn for (default 1920x1080); the video is\n"
    "                  W/2 x H/2\n"
    "  --crf N         quality: lower is better (H.264 0 to 51, default 23; VP9 0 to 63,\n"
    "                  default 32)\n"
    "  --preset NAME   speed against size: x264's ultrafast, superfast, veryfast, faster,\n"
    "                  fast, medium, slow, slower, veryslow, placebo. H.264's default is\n"
    "                  ultrafast, the fastest; slower presets make smaller files of the same\n"
    "                  quality. VP9 maps the names onto its speeds (default: veryfast's)\n"
    "  --threads N     threads that draw and encode, 1 to 64 (default: one per processor)\n"
    "  --quiet         no progress line on standard error\n"
    "\n"
    "Exit codes: 0 done, 1 failed (the recording, the encoder or the output), 2 bad usage.\n";

namespace {

bool endsWith(const std::string& text, const char* suffix) {
  const std::string tail(suffix);
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string readKind(const ParsedArgs& args, ExportOptions* options) {
  VideoSettings& video = options->video;
  const bool lossless = args.has("lossless");
  // --format stands in for the extension, for names that have none (a device, say).
  const std::string* format = args.option("format");
  const std::string name = format != nullptr ? "." + *format : options->out;
  if (format != nullptr && *format != "mp4" && *format != "mkv" && *format != "webm") {
    return "bad format \"" + *format + "\" (want mp4, mkv or webm)";
  }
  if (endsWith(name, ".mp4") && !lossless) {
    video.container = "mp4";
    video.codec = VideoCodec::kH264;
  } else if (endsWith(name, ".mkv")) {
    video.container = "matroska";
    video.codec = lossless ? VideoCodec::kFfv1 : VideoCodec::kVp9;
  } else if (endsWith(name, ".webm") && !lossless) {
    video.container = "webm";
    video.codec = VideoCodec::kVp9;
  } else if (lossless) {
    return "--lossless writes .mkv files only";
  } else {
    return "unknown extension in \"" + options->out + "\" (want .mp4, .mkv or .webm)";
  }
  return "";
}

bool parseSeconds(const std::string& text, double* seconds) {
  char* end = nullptr;
  *seconds = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && *seconds >= 0 && *seconds < 1e9;
}

std::string readClip(const ParsedArgs& args, ExportOptions* options) {
  if (const std::string* frames = args.option("frames")) {
    if (!parseFrameRange(*frames, &options->frames)) {
      return "bad frame range \"" + *frames + "\" (want A-B, A- or A)";
    }
    options->frames_given = true;
  }
  for (const char* name : {"from", "to"}) {
    const std::string* value = args.option(name);
    if (value == nullptr) continue;
    double* seconds = std::string(name) == "from" ? &options->from : &options->to;
    if (!parseSeconds(*value, seconds)) return "bad time \"" + *value + "\" (want seconds)";
    if (options->frames_given) return "--frames and --from/--to exclude each other";
  }
  if (options->to >= 0 && options->to <= std::max(options->from, 0.0)) {
    return "--to must lie after --from";
  }
  return "";
}

// kPresetNames fastest first: "ultrafast, superfast, ... veryslow or placebo".
std::string presetChoices() {
  std::string text;
  for (int index = 9; index >= 0; --index) {
    text += kPresetNames[index];
    text += index > 1 ? ", " : index == 1 ? " or " : "";
  }
  return text;
}

std::string readQuality(const ParsedArgs& args, ExportOptions* options) {
  if (const std::string* fps = args.option("fps")) {
    int64_t value = 0;
    if (!parseCount(*fps, 1, 240, &value)) return "bad rate \"" + *fps + "\" (want 1 to 240)";
    options->fps = int(value);
  }
  options->vfr = args.has("vfr");
  if (options->vfr && args.has("fps")) return "--fps and --vfr exclude each other";
  const VideoCodec codec = options->video.codec;
  if (const std::string* crf = args.option("crf"); crf != nullptr && codec != VideoCodec::kFfv1) {
    const int highest = highestCrf(codec);
    int64_t value = 0;
    if (!parseCount(*crf, 0, highest, &value)) {
      return "bad crf \"" + *crf + "\" (want 0 to " + std::to_string(highest) + ")";
    }
    options->video.crf = int(value);
  }
  if (const std::string* preset = args.option("preset")) {
    if (presetIndex(*preset) < 0)
      return "bad preset \"" + *preset + "\" (want " + presetChoices() + ")";
    options->video.preset = *preset;
  }
  return "";
}

}  // namespace

ParsedArgs parseExportArgs(int argc, const char* const* argv) {
  return parseArgs(argc, argv,
                   {"fps", "frames", "from", "to", "desktop", "crf", "preset", "threads", "format"},
                   {"vfr", "lossless", "quiet"});
}

std::string readExportOptions(const ParsedArgs& args, ExportOptions* options) {
  if (!args.error.empty()) return args.error;
  if (args.positional.size() != 2) return "want a recording and an output file";
  options->recording = args.positional[0];
  options->out = args.positional[1];
  for (auto* read : {readKind, readClip, readQuality}) {
    const std::string problem = read(args, options);
    if (!problem.empty()) return problem;
  }
  if (const std::string* desktop = args.option("desktop")) {
    if (!parseDesktopSize(*desktop, &options->desktop)) return badDesktopSize(*desktop);
  }
  options->quiet = args.has("quiet");
  options->threads = defaultRasterThreads();
  return readThreadsOption(args, &options->threads);
}
