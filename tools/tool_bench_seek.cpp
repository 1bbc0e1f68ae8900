// Measures the seek engine on a recording: opens it (the index is timed), plays it at its own
// pace while drawing ahead runs until every frame is seekable, then times seeks to a fixed set of
// random frames and one-frame steps back. Receives the options; hands on the figures.
#include "tools/tool_bench_seek.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "runtime/platform.h"
#include "runtime/timing.h"
#include "seek/seek_engine.h"
#include "tools/tool_commands.h"

namespace {

struct Latencies {
  double median = 0, p95 = 0, worst = 0;
};

struct SeekFigures {
  int64_t frames = 0;
  double playing_seconds = 0;  // from the first frame mark's stamp to the last one's
  double index_seconds = 0;
  double seekable_seconds = 0;  // from opening until drawing ahead reached the last frame
  int64_t played = 0;           // frames the foreground drew while drawing ahead ran
  int64_t late = 0;             // of those, the ones drawn after they were due
  StoreFigures store;
  int64_t budget = 0;
  Latencies random;
  Latencies step_back;
  int64_t peak_bytes = 0;
};

Latencies latenciesOf(std::vector<double> seconds) {
  if (seconds.empty()) return {};
  std::sort(seconds.begin(), seconds.end());
  const size_t n = seconds.size();
  const size_t p95 = (95 * n + 99) / 100 - 1;
  return {seconds[(n - 1) / 2], seconds[p95], seconds.back()};
}

// Plays the frames at their time stamps' pace from the start until drawing ahead has reached
// the last frame (waiting at the last frame when playing gets there first), counting the frames
// drawn after they were due: drawing ahead must leave the foreground its pace.
bool playUntilSeekable(SeekEngine& engine, SeekFigures& figures) {
  const std::vector<IndexedFrame>& frames = engine.index.frames;
  const int64_t last = int64_t(frames.size()) - 1;
  if (seekFrame(engine, 0) != SeekResult::kDone) return false;
  const double start = timerSeconds();  // frame 0 is shown now; the others follow at their stamps
  for (int64_t frame = 1; frame <= last && !engine.ahead->finished.load(); ++frame) {
    if (seekFrame(engine, frame) != SeekResult::kDone) return false;
    const double due = start + frames[size_t(frame)].time_stamp - frames[0].time_stamp;
    const double wait = due - timerSeconds();
    figures.played += 1;
    if (wait < 0) figures.late += 1;
    sleepMilliseconds(wait > 0 ? int(wait * 1000) : 0);
  }
  while (!engine.ahead->finished.load()) sleepMilliseconds(10);
  return true;
}

// A fixed sequence of frames, the same in every run.
std::vector<int64_t> randomFrames(int64_t count, int64_t frames) {
  std::vector<int64_t> chosen;
  uint64_t state = 0x9E3779B97F4A7C15u;
  for (int64_t k = 0; k < count; ++k) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    chosen.push_back(static_cast<int64_t>((state >> 33) % static_cast<uint64_t>(frames)));
  }
  return chosen;
}

double timedSeek(SeekEngine& engine, int64_t frame) {
  const double start = timerSeconds();
  seekFrame(engine, frame);
  return timerSeconds() - start;
}

void timeSeeks(SeekEngine& engine, int64_t count, SeekFigures& figures) {
  const int64_t frames = frameCount(engine);
  std::vector<double> random;
  for (int64_t frame : randomFrames(count, frames)) random.push_back(timedSeek(engine, frame));
  std::vector<double> back;
  for (int64_t frame : randomFrames(count / 2, frames)) {
    if (frame == 0) continue;
    seekFrame(engine, frame);
    back.push_back(timedSeek(engine, frame - 1));
  }
  figures.random = latenciesOf(random);
  figures.step_back = latenciesOf(back);
}

void printText(const SeekBenchOptions& options, const SeekFigures& f) {
  const auto ms = [](double seconds) { return 1000 * seconds; };
  const auto mib = [](int64_t bytes) { return double(bytes) / double(1 << 20); };
  std::printf("recording        %s\n", options.recording.c_str());
  std::printf("desktop          %dx%d, threads %d\n", options.desktop.width, options.desktop.height,
              options.threads);
  std::printf("frames           %lld (%.1f s of playing)\n", static_cast<long long>(f.frames),
              f.playing_seconds);
  std::printf("index            %.3f s\n", f.index_seconds);
  std::printf("seekable after   %.3f s (%.1f%% of the playing time)\n", f.seekable_seconds,
              f.playing_seconds > 0 ? 100 * f.seekable_seconds / f.playing_seconds : 0);
  std::printf("played meanwhile %lld frames, %lld of them late\n", static_cast<long long>(f.played),
              static_cast<long long>(f.late));
  std::printf("snapshots        %lld, every %lld frames, %.1f MiB of %.1f MiB for snapshots\n",
              static_cast<long long>(f.store.count), static_cast<long long>(f.store.spacing),
              mib(f.store.used), mib(f.budget));
  std::printf("random seeks     median %.1f ms, p95 %.1f ms, worst %.1f ms\n", ms(f.random.median),
              ms(f.random.p95), ms(f.random.worst));
  std::printf("one frame back   median %.1f ms, p95 %.1f ms, worst %.1f ms\n",
              ms(f.step_back.median), ms(f.step_back.p95), ms(f.step_back.worst));
  std::printf("peak memory      %.1f MiB (budget %lld MiB)\n", mib(f.peak_bytes),
              static_cast<long long>(options.budget_mib));
}

void printJson(const SeekBenchOptions& options, const SeekFigures& f) {
  std::printf(
      "{\"recording\": %s, \"desktop_width\": %d, \"desktop_height\": %d, \"threads\": %d, "
      "\"frames\": %lld, \"playing_seconds\": %.6f, \"index_seconds\": %.6f, "
      "\"seekable_seconds\": %.6f, \"frames_played\": %lld, \"frames_late\": %lld, "
      "\"snapshots\": %lld, \"snapshot_spacing\": %lld, "
      "\"snapshot_bytes\": %lld, \"snapshot_budget_bytes\": %lld, \"budget_bytes\": %lld, "
      "\"seek_ms\": {\"median\": %.3f, \"p95\": %.3f, \"worst\": %.3f}, "
      "\"step_back_ms\": {\"median\": %.3f, \"p95\": %.3f, \"worst\": %.3f}, "
      "\"peak_memory_bytes\": %lld}\n",
      jsonString(options.recording).c_str(), options.desktop.width, options.desktop.height,
      options.threads, static_cast<long long>(f.frames), f.playing_seconds, f.index_seconds,
      f.seekable_seconds, static_cast<long long>(f.played), static_cast<long long>(f.late),
      static_cast<long long>(f.store.count), static_cast<long long>(f.store.spacing),
      static_cast<long long>(f.store.used), static_cast<long long>(f.budget),
      static_cast<long long>(options.budget_mib << 20), 1000 * f.random.median, 1000 * f.random.p95,
      1000 * f.random.worst, 1000 * f.step_back.median, 1000 * f.step_back.p95,
      1000 * f.step_back.worst, static_cast<long long>(f.peak_bytes));
}

}  // namespace

int runSeekBench(const SeekBenchOptions& options) {
  SeekOptions settings;
  settings.desktop_width = options.desktop.width;
  settings.desktop_height = options.desktop.height;
  settings.threads = options.threads;
  settings.budget = options.budget_mib << 20;
  SeekEngine engine;
  std::string error;
  if (!openSeekEngine(options.recording, settings, &engine, &error)) {
    std::fprintf(stderr, "kestrune bench: %s\n", error.c_str());
    return kExitFailed;
  }
  SeekFigures figures;
  figures.frames = frameCount(engine);
  figures.playing_seconds =
      engine.index.frames.back().time_stamp - engine.index.frames.front().time_stamp;
  figures.index_seconds = engine.indexed_at - engine.opened_at;
  const bool played = playUntilSeekable(engine, figures);
  figures.seekable_seconds = engine.seekable_at.load() - engine.opened_at;
  figures.store = storeFigures(engine.store);
  figures.budget = engine.store.budget;
  if (played) timeSeeks(engine, options.seeks, figures);
  closeSeekEngine(engine);
  figures.peak_bytes = peakMemoryBytes();
  if (!played) {
    std::fprintf(stderr, "kestrune bench: a seek failed\n");
    return kExitFailed;
  }
  if (options.json) {
    printJson(options, figures);
  } else {
    printText(options, figures);
  }
  return kExitDone;
}
