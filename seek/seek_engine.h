// The seek engine: any frame of a recording, exactly as `kestrune render` writes it, reached
// quickly. At opening it indexes the frames and starts drawing ahead on a thread of its own
// (its own renderer context, on processor time the caller leaves over), which keeps snapshots in
// a memory budget; a seek restores the nearest snapshot before the frame and draws on from there.
// Receives a recording and the frames wanted; hands on their filtered window pictures.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "seek/frame_drawer.h"
#include "seek/frame_index.h"
#include "seek/snapshot_store.h"

struct SeekOptions {
  int desktop_width = 1920;
  int desktop_height = 1080;
  int threads = 1;                    // the foreground's raster threads
  int ahead_threads = 2;              // drawing ahead's raster threads, at low priority
  int64_t budget = int64_t{1} << 30;  // bytes for the whole engine, snapshots included
  bool draw_ahead = true;
  std::string texture_folder;  // empty: the recording's folder's ../TexDump/
};

// The drawing-ahead thread and what it shares with the caller.
struct DrawAhead {
  FrameDrawer drawer;
  std::unique_ptr<SnapshotCodec, void (*)(SnapshotCodec*)> codec{nullptr, nullptr};
  SnapshotStore* store = nullptr;
  std::atomic<int64_t> reached{-1};   // the last frame drawn ahead
  std::atomic<bool> finished{false};  // the stream is used up (or drawing failed)
  std::atomic<bool> stop{false};
  int threads = 1;  // its raster threads
  std::thread thread;
};

struct SeekEngine {
  FrameIndex index;
  SnapshotStore store;
  FrameDrawer foreground;
  std::unique_ptr<SnapshotCodec, void (*)(SnapshotCodec*)> codec{nullptr, nullptr};
  std::unique_ptr<DrawAhead> ahead;
  double opened_at = 0;                // timer seconds when opening began
  double indexed_at = 0;               // when the index was complete
  std::atomic<double> seekable_at{0};  // when drawing ahead had reached the last frame
};

// Indexes the recording and opens both drawers (the foreground's context is current on the
// calling thread afterwards). False with a message in *error: a recording that cannot be opened,
// no frame mark in it ("has no frames to seek to"), a budget too small for the buffers.
bool openSeekEngine(const std::string& path, const SeekOptions& options, SeekEngine* engine,
                    std::string* error);
void closeSeekEngine(SeekEngine& engine);

// What the engine needs besides its snapshots for a recording of `frames` frames: both drawers'
// buffers, the index, the chunk buffers and a reserve for the process itself.
int64_t seekFixedBytes(const SeekOptions& options, int64_t frames);

// What a seek that must wait for drawing ahead tells its caller, and how it is cancelled.
struct SeekProgress {
  void (*waiting)(void* context, int64_t reached, int64_t wanted) = nullptr;
  const std::atomic<bool>* cancel = nullptr;
  void* context = nullptr;
};

enum class SeekResult { kDone, kCancelled, kFailed };

// Draws frame `frame` (beyond the last frame: the last one) into the foreground's window
// picture. A frame past what drawing ahead has reached is waited for, with progress reports.
SeekResult seekFrame(SeekEngine& engine, int64_t frame, const SeekProgress& progress = {});

// Playing forward: draws on from the foreground's frame to `frame` without waiting for drawing
// ahead; a frame at or behind the foreground's is reached through seekFrame.
SeekResult drawOnTo(SeekEngine& engine, int64_t frame, const SeekProgress& progress = {});

int64_t frameCount(const SeekEngine& engine);
// The foreground's picture: target.width x target.height 5-6-5 pixels of frame
// engine.foreground.frame.
const Pixel565* seekPicture(const SeekEngine& engine);
