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
#include "tools/tool_bench_seek.h"
#include "tools/tool_commands.h"
#include "tools/tool_playback.h"

namespace {

constexpr const char* kUsage =
    "usage: kestrune bench REC [--desktop WxH] [--repeat N] [--threads N] [--json]\n"
    "       kestrune bench REC --seek [--desktop WxH] [--threads N] [--budget MiB] [--seeks N]\n"
    "                      [--json]\n";

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
    "With --seek it measures the seek engine instead: the time to index the frames, the time\n"
    "until every frame is seekable while the recording plays at its own pace (drawing ahead on\n"
    "a thread of its own), the snapshots kept and their bytes, and the latency of seeks to a\n"
    "fixed set of random frames and of one-frame steps back (median, p95, worst), and the\n"
    "process's peak memory.\n"
    "  --budget MiB   memory for the whole engine, snapshots included (16 to 1048576, default\n"
    "                 1024)\n"
    "  --seeks N      random seeks to time (1 to 100000, default 100); half as many steps back\n"
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

std::string readSeekOptions(const ParsedArgs& args, const BenchOptions& options,
                            SeekBenchOptions* seek) {
  if (!args.has("seek")) return "--budget and --seeks go with --seek";
  if (args.has("repeat")) return "--repeat does not go with --seek";
  seek->recording = options.recording;
  seek->desktop = options.desktop;
  seek->threads = options.threads;
  seek->json = options.json;
  const std::string* budget = args.option("budget");
  if (budget != nullptr && !parseCount(*budget, 16, int64_t{1} << 20, &seek->budget_mib)) {
    return "bad budget \"" + *budget + "\" (want 16 to 1048576 MiB)";
  }
  const std::string* seeks = args.option("seeks");
  if (seeks != nullptr && !parseCount(*seeks, 1, 100000, &seek->seeks)) {
    return "bad seek count \"" + *seeks + "\" (want 1 to 100000)";
  }
  return "";
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
  const ParsedArgs args =
      parseArgs(argc, argv, {"desktop", "repeat", "threads", "budget", "seeks"}, {"json", "seek"});
  if (args.help) {
    std::printf("%s%s", kUsage, kHelp);
    return kExitDone;
  }
  BenchOptions options;
  const std::string problem = readOptions(args, &options);
  if (!problem.empty()) return usageError("bench", problem, kUsage);
  setMessageStream(stderr);  // the player's messages (textures loaded); standard output is ours
  if (args.has("seek") || args.has("budget") || args.has("seeks")) {
    SeekBenchOptions seek;
    const std::string seek_problem = readSeekOptions(args, options, &seek);
    if (!seek_problem.empty()) return usageError("bench", seek_problem, kUsage);
    return runSeekBench(seek);
  }  // the player's messages (textures loaded); standard output is ours
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
