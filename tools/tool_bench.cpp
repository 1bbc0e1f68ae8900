// `kestrune bench`: plays a recording through the player's drawing path as fast as it can and
// reports how long each step took. Receives the recording, a desktop size and a repeat count;
// hands on frames/s, triangles/s and milliseconds per frame by step, as text or JSON.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "player/player_output.h"
#include "runtime/timing.h"
#include "tools/tool_args.h"
#include "tools/tool_commands.h"
#include "tools/tool_playback.h"

namespace {

constexpr const char* kUsage =
    "usage: kestrune bench REC [--desktop WxH] [--repeat N] [--threads N] [--json]\n";

constexpr const char* kHelp =
    "\n"
    "Plays the whole recording REC through the player's drawing path (the path of kestrune\n"
    "render, without writing files) with no pacing and no dropped frame, as fast as it can, and\n"
    "reports frames/s, triangles/s and milliseconds per frame for each step: reading the chunks,\n"
    "decompressing them, decoding and drawing the records, and the 2:1 filter at every frame.\n"
    "Opening the recording and loading its textures are not timed.\n"
    "\n"
    "options:\n"
    "  --desktop WxH  the desktop size the player would see (default 1920x1080)\n"
    "  --repeat N     play it N times (1 to 1000, default 1) and report the median run (by\n"
    "                 total time; the lower of the two middle runs when N is even)\n"
    "  --threads N    threads that draw the triangles, 1 to 64 (default: KESTRUNE_THREADS,\n"
    "                 else one per processor)\n"
    "  --json         one JSON object on standard output instead of text\n"
    "\n"
    "Exit codes: 0 done, 1 failed (the recording cannot be opened or ends in a damaged chunk),\n"
    "2 bad usage.\n";

struct BenchOptions {
  std::string recording;
  DesktopSize desktop;
  int64_t repeat = 1;
  int threads = defaultRasterThreads();
  bool json = false;
};

// Seconds spent in each step of one run.
struct RunTimes {
  double read = 0;
  double decompress = 0;
  double walk = 0;    // decoding and drawing: the walk's time less the filter's
  double filter = 0;  // the 2:1 filter at every frame mark, which runs inside the walk
  int64_t frames = 0;
  int64_t triangles = 0;
  bool damaged = false;
  double total() const { return read + decompress + walk + filter; }
};

// Adds the time since the last phase change to the phase that was running.
struct PhaseClock {
  RunTimes* times = nullptr;
  ChunkPhase phase = ChunkPhase::kFinished;
  double since = 0;
};

double* phaseSeconds(RunTimes& times, ChunkPhase phase) {
  switch (phase) {
    case ChunkPhase::kRead:
      return &times.read;
    case ChunkPhase::kDecompress:
      return &times.decompress;
    case ChunkPhase::kWalk:
      return &times.walk;
    case ChunkPhase::kFinished:
      break;
  }
  return nullptr;
}

void phaseBegins(void* context, ChunkPhase phase) {
  PhaseClock& clock = *static_cast<PhaseClock*>(context);
  const double now = timerSeconds();
  if (double* seconds = phaseSeconds(*clock.times, clock.phase)) *seconds += now - clock.since;
  clock.phase = phase;
  clock.since = now;
}

std::string readOptions(const ParsedArgs& args, BenchOptions* options) {
  if (!args.error.empty()) return args.error;
  if (args.positional.empty()) return "no recording given";
  if (args.positional.size() > 1) return "more than one recording given";
  options->recording = args.positional[0];
  if (const std::string* desktop = args.option("desktop")) {
    if (!parseDesktopSize(*desktop, &options->desktop)) {
      return badDesktopSize(*desktop);
    }
  }
  if (const std::string* repeat = args.option("repeat")) {
    if (!parseCount(*repeat, 1, 1000, &options->repeat)) {
      return "bad repeat count \"" + *repeat + "\" (want 1 to 1000)";
    }
  }
  options->json = args.has("json");
  return readThreadsOption(args, &options->threads);
}

// One whole playback; only the chunk loop is timed. False when the recording cannot be opened.
bool benchRun(const BenchOptions& options, RunTimes* times) {
  ToolPlayback playback;
  playback.threads = options.threads;
  if (!openToolPlayback("bench", options.recording, options.desktop, &playback)) return false;
  PhaseClock clock;
  clock.times = times;
  ChunkLoopHooks hooks;
  hooks.phase_begins = phaseBegins;
  hooks.context = &clock;
  const PlayedRecording played = playToolRecording(playback, hooks);
  times->walk -= playback.filter_seconds;
  times->filter = playback.filter_seconds;
  times->frames = playback.frames_met;
  times->triangles = played.triangles;
  times->damaged = played.end != StreamStep::kEnd;
  closeToolPlayback(playback);
  return true;
}

double perSecond(int64_t count, double seconds) { return seconds > 0 ? count / seconds : 0; }
double msPerFrame(double seconds, int64_t frames) {
  return frames > 0 ? 1000 * seconds / double(frames) : 0;
}

// The length of the well-formed UTF-8 sequence at text[at], 0 when the bytes there are not one
// (a stray continuation byte, a sequence cut short, an overlong or surrogate form).
size_t utf8Length(const std::string& text, size_t at) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[at + k]); };
  const unsigned char lead = byte(0);
  const size_t length = lead < 0x80                    ? 1
                        : lead >= 0xC2 && lead <= 0xDF ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return 0;
  }
  if (lead == 0xE0 && byte(1) < 0xA0) return 0;   // overlong
  if (lead == 0xED && byte(1) >= 0xA0) return 0;  // a surrogate
  if (lead == 0xF0 && byte(1) < 0x90) return 0;   // overlong
  if (lead == 0xF4 && byte(1) >= 0x90) return 0;  // beyond U+10FFFF
  return length;
}

// The path as a JSON string: quotes, backslashes and control characters escaped, and bytes that
// are not UTF-8 (a file name may hold any bytes) replaced by U+FFFD, so that the JSON stays valid.
std::string jsonString(const std::string& text) {
  std::string quoted = "\"";
  for (size_t at = 0; at < text.size();) {
    const char c = text[at];
    const size_t length = utf8Length(text, at);
    if (length == 0) {
      quoted += "\\ufffd";
      ++at;
      continue;
    }
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      quoted += escape;
    } else {
      quoted.append(text, at, length);
    }
    at += length;
  }
  return quoted + "\"";
}

void printJson(const BenchOptions& options, const RunTimes& run) {
  std::printf(
      "{\"recording\": %s, \"desktop_width\": %d, \"desktop_height\": %d, \"window_width\": %d, "
      "\"window_height\": %d, \"threads\": %d, \"runs\": %lld, \"frames\": %lld, \"triangles\": "
      "%lld, "
      "\"seconds\": %.6f, \"frames_per_second\": %.3f, \"frames_per_second_without_read\": %.3f, "
      "\"triangles_per_second\": %.1f, "
      "\"ms_per_frame\": %.6f, \"read_ms_per_frame\": %.6f, \"decompress_ms_per_frame\": %.6f, "
      "\"decode_draw_ms_per_frame\": %.6f, \"filter_ms_per_frame\": %.6f}\n",
      jsonString(options.recording).c_str(), options.desktop.width, options.desktop.height,
      options.desktop.width / 2, options.desktop.height / 2, options.threads,
      static_cast<long long>(options.repeat), static_cast<long long>(run.frames),
      static_cast<long long>(run.triangles), run.total(), perSecond(run.frames, run.total()),
      perSecond(run.frames, run.total() - run.read), perSecond(run.triangles, run.total()),
      msPerFrame(run.total(), run.frames), msPerFrame(run.read, run.frames),
      msPerFrame(run.decompress, run.frames), msPerFrame(run.walk, run.frames),
      msPerFrame(run.filter, run.frames));
}

void printText(const BenchOptions& options, const RunTimes& run) {
  std::printf("recording     %s\n", options.recording.c_str());
  std::printf("desktop       %dx%d (window %dx%d)\n", options.desktop.width, options.desktop.height,
              options.desktop.width / 2, options.desktop.height / 2);
  std::printf("threads       %d\n", options.threads);
  std::printf("runs          %lld%s\n", static_cast<long long>(options.repeat),
              options.repeat > 1 ? " (median run shown)" : "");
  std::printf("frames        %lld\n", static_cast<long long>(run.frames));
  std::printf("triangles     %lld\n", static_cast<long long>(run.triangles));
  std::printf("seconds       %.4f\n", run.total());
  std::printf("frames/s      %.1f\n", perSecond(run.frames, run.total()));
  std::printf("triangles/s   %.0f\n", perSecond(run.triangles, run.total()));
  std::printf("ms per frame  %.4f: read %.4f, decompress %.4f, decode+draw %.4f, filter %.4f\n",
              msPerFrame(run.total(), run.frames), msPerFrame(run.read, run.frames),
              msPerFrame(run.decompress, run.frames), msPerFrame(run.walk, run.frames),
              msPerFrame(run.filter, run.frames));
}

}  // namespace

int runBench(int argc, const char* const* argv) {
  const ParsedArgs args = parseArgs(argc, argv, {"desktop", "repeat", "threads"}, {"json"});
  if (args.help) {
    std::printf("%s%s", kUsage, kHelp);
    return kExitDone;
  }
  BenchOptions options;
  const std::string problem = readOptions(args, &options);
  if (!problem.empty()) return usageError("bench", problem, kUsage);
  setMessageStream(stderr);  // the player's messages (textures loaded); standard output is ours
  std::vector<RunTimes> runs(static_cast<size_t>(options.repeat));
  for (RunTimes& run : runs) {
    if (!benchRun(options, &run)) return kExitFailed;
  }
  std::sort(runs.begin(), runs.end(),
            [](const RunTimes& a, const RunTimes& b) { return a.total() < b.total(); });
  const RunTimes& median = runs[(runs.size() - 1) / 2];
  if (options.json) {
    printJson(options, median);
  } else {
    printText(options, median);
  }
  if (median.damaged) {
    std::fprintf(stderr, "kestrune bench: the recording ends in a damaged chunk\n");
    return kExitFailed;
  }
  if (median.frames == 0) {
    std::fprintf(stderr, "kestrune bench: the recording holds no frame\n");
    return kExitFailed;
  }
  return kExitDone;
}
