// Opens the index and the two drawers, runs drawing ahead on its thread, and answers seeks from
// the nearest snapshot or from where the foreground stands. Receives a recording and frames;
// hands on their pictures.
#include "seek/seek_engine.h"

#include <algorithm>

#include "renderer/gl.h"
#include "runtime/platform.h"
#include "runtime/timing.h"

namespace {

// Snapshots are first taken every this many frames; the spacing doubles when the budget fills.
constexpr int64_t kFirstSpacing = 8;
// What the process needs besides the engine's own buffers: code, libraries, heaps.
constexpr int64_t kProcessReserve = int64_t{32} << 20;

// The bytes one drawer's buffers take: render buffer, window picture and depth buffer, and the
// compressor's scratch for two buffers.
int64_t drawerBytes(const SeekOptions& options) {
  const int64_t window = int64_t{options.desktop_width / 2} * int64_t{options.desktop_height / 2};
  return 18 * window + 2 * 9 * window;
}

}  // namespace

int64_t seekFixedBytes(const SeekOptions& options, int64_t frames) {
  return 2 * drawerBytes(options) + frames * int64_t{sizeof(IndexedFrame)} + 2 * kInputBufferSize +
         2 * kOutputBufferSize + kProcessReserve;
}

namespace {

bool aheadFrameDone(void* context, FrameDrawer& drawer) {
  DrawAhead& ahead = *static_cast<DrawAhead*>(context);
  if (snapshotWanted(*ahead.store, drawer.frame)) {
    auto snapshot = std::make_shared<Snapshot>();
    if (snapshotDrawer(drawer, *ahead.codec, snapshot.get())) {
      keepSnapshot(*ahead.store, std::move(snapshot));
    }
  }
  ahead.reached.store(drawer.frame);
  return !ahead.stop.load();
}

// The drawing threads are started here, after the priority is lowered, so that they have the
// low priority too.
void drawAhead(DrawAhead* ahead, SeekEngine* engine) {
  lowerThreadPriority();
  glMakeCurrent(ahead->drawer.target.context);
  rkSetRasterThreads(ahead->threads);
  drawUntil(ahead->drawer, INT64_MAX);
  if (!ahead->stop.load()) engine->seekable_at.store(timerSeconds());
  ahead->finished.store(true);
  glMakeCurrent(nullptr);
}

bool openAhead(SeekEngine& engine, const SeekOptions& options, std::string* error) {
  engine.ahead = std::make_unique<DrawAhead>();
  DrawAhead& ahead = *engine.ahead;
  if (!openFrameDrawer(engine.foreground.path, options.desktop_width, options.desktop_height, 1,
                       false, &ahead.drawer, error, options.texture_folder)) {
    engine.ahead.reset();
    return false;
  }
  ahead.threads = options.ahead_threads;
  ahead.codec = makeSnapshotCodec();
  ahead.store = &engine.store;
  ahead.drawer.listener = {aheadFrameDone, &ahead};
  glMakeCurrent(nullptr);  // the thread makes it current there
  ahead.thread = std::thread(drawAhead, &ahead, &engine);
  return true;
}

// Waits until drawing ahead has reached `frame` (or ended); false when cancelled.
bool waitForAhead(SeekEngine& engine, int64_t frame, const SeekProgress& progress) {
  DrawAhead* ahead = engine.ahead.get();
  if (ahead == nullptr) return true;
  while (ahead->reached.load() < frame && !ahead->finished.load()) {
    if (progress.cancel != nullptr && progress.cancel->load()) return false;
    if (progress.waiting != nullptr)
      progress.waiting(progress.context, ahead->reached.load(), frame);
    sleepMilliseconds(5);
  }
  return true;
}

// Draws the foreground on to `target` from where it stands, stopping early when cancelled.
SeekResult drawForegroundTo(FrameDrawer& drawer, int64_t target, const SeekProgress& progress) {
  drawer.cancel = progress.cancel;
  const bool reached = drawUntil(drawer, target);
  drawer.cancel = nullptr;
  if (reached) return SeekResult::kDone;
  const bool cancelled = progress.cancel != nullptr && progress.cancel->load();
  return cancelled ? SeekResult::kCancelled : SeekResult::kFailed;
}

// Puts the foreground where drawing on to `frame` is shortest: where it stands, or at the
// nearest snapshot before the frame, or at the start.
bool placeForeground(SeekEngine& engine, int64_t frame) {
  FrameDrawer& drawer = engine.foreground;
  const std::shared_ptr<const Snapshot> snapshot = snapshotBefore(engine.store, frame);
  const int64_t snapshot_frame = snapshot ? snapshot->frame : -1;
  const bool can_go_on = !drawer.ended && drawer.frame < frame && drawer.frame >= snapshot_frame;
  if (can_go_on) return true;
  if (snapshot) return restoreDrawer(drawer, *engine.codec, *snapshot);
  return restartDrawer(drawer);
}

}  // namespace

bool openSeekEngine(const std::string& path, const SeekOptions& options, SeekEngine* engine,
                    std::string* error) {
  engine->opened_at = timerSeconds();
  engine->index = buildFrameIndex(path);
  engine->indexed_at = timerSeconds();
  if (engine->index.open == OpenRecordingResult::kOpened && engine->index.frames.empty()) {
    *error = path + " has no frames to seek to (no frame mark)";
    return false;
  }
  const int64_t fixed = seekFixedBytes(options, frameCount(*engine));
  if (options.budget < fixed) {
    *error = "a memory budget of " + std::to_string(options.budget >> 20) + " MiB is below the " +
             std::to_string((fixed >> 20) + 1) + " MiB this desktop's buffers need";
    return false;
  }
  startSnapshotStore(engine->store, options.budget - fixed, kFirstSpacing);
  if (!openFrameDrawer(path, options.desktop_width, options.desktop_height, options.threads, true,
                       &engine->foreground, error, options.texture_folder)) {
    return false;
  }
  engine->codec = makeSnapshotCodec();
  if (options.draw_ahead && !openAhead(*engine, options, error)) {
    closeFrameDrawer(engine->foreground);
    return false;
  }
  glMakeCurrent(engine->foreground.target.context);
  return true;
}

void closeSeekEngine(SeekEngine& engine) {
  if (engine.ahead) {
    engine.ahead->stop.store(true);
    engine.ahead->thread.join();
    closeFrameDrawer(engine.ahead->drawer);
    engine.ahead.reset();
  }
  closeFrameDrawer(engine.foreground);
}

SeekResult seekFrame(SeekEngine& engine, int64_t frame, const SeekProgress& progress) {
  const int64_t target = std::clamp<int64_t>(frame, 0, frameCount(engine) - 1);
  if (!waitForAhead(engine, target, progress)) return SeekResult::kCancelled;
  FrameDrawer& drawer = engine.foreground;
  if (drawer.picture_frame == target) return SeekResult::kDone;
  if (!placeForeground(engine, target)) return SeekResult::kFailed;
  return drawForegroundTo(drawer, target, progress);
}

SeekResult drawOnTo(SeekEngine& engine, int64_t frame, const SeekProgress& progress) {
  FrameDrawer& drawer = engine.foreground;
  const int64_t target = std::clamp<int64_t>(frame, 0, frameCount(engine) - 1);
  if (drawer.frame < 0 || drawer.frame >= target || drawer.ended) {
    return seekFrame(engine, target, progress);
  }
  return drawForegroundTo(drawer, target, progress);
}

int64_t frameCount(const SeekEngine& engine) {
  return static_cast<int64_t>(engine.index.frames.size());
}

const Pixel565* seekPicture(const SeekEngine& engine) {
  return engine.foreground.target.window_picture;
}
