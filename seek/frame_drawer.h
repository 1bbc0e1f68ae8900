// A recording drawn frame by frame on a renderer context of its own, able to stop at any frame
// mark, go on from there, start again from a snapshot or from the beginning. Receives a
// recording, a desktop size and the frame wanted; hands on that frame's filtered window picture,
// exactly as `kestrune render` writes it.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "player/chunk_loop.h"
#include "player/render_target.h"
#include "player/texture_loader.h"
#include "seek/snapshot.h"

struct FrameDrawer;

// Told after every frame drawn and filtered; false stops the drawing there.
struct FrameListener {
  bool (*frame_done)(void* context, FrameDrawer& drawer) = nullptr;
  void* context = nullptr;
};

struct FrameDrawer {
  std::string path;
  StreamState stream;
  RecordingHeader header;
  RenderTarget target;
  TextureTable textures;
  PlaybackState playback;
  FrameListener listener;
  const std::atomic<bool>* cancel = nullptr;  // set: drawing stops at the next frame mark
  int64_t frame = -1;                         // the last frame drawn (or restored)
  int64_t picture_frame = -1;  // the frame whose picture target.window_picture holds; -1: none
  int64_t stop_at = -1;        // drawing stops after this frame
  // Where the next record lies: in the chunk still in the output buffer (resume_in_chunk), in the
  // chunk at `next_chunk` (resume_at_checkpoint), or at the stream's present place.
  bool resume_in_chunk = false;
  bool resume_at_checkpoint = false;
  StreamCheckpoint next_chunk;
  int64_t next_offset = 0;
  int64_t last_record_offset = 0;   // of the record being handled
  bool ended = false;               // the stream has no more frames
  RendererSwitches start_switches;  // as start-up leaves them, for restarting
};

// Opens the recording and a render surface for the desktop, loads the textures and sets the
// drawing with `threads` raster threads. The drawer's context stays current on the calling thread;
// a thread that draws with it later makes it current there (glMakeCurrent). The drawer must stay
// where it was opened (its playback points into it). Without `report` the texture lines are not
// printed. Textures come from `texture_folder`, or when it is empty from the recording's folder's
// ../TexDump/. False with a message in *error, nothing left open.
bool openFrameDrawer(const std::string& path, int desktop_width, int desktop_height, int threads,
                     bool report, FrameDrawer* drawer, std::string* error,
                     const std::string& texture_folder = "");
void closeFrameDrawer(FrameDrawer& drawer);

// Draws on until frame `frame` has been drawn and filtered. False when the stream ends first, or
// the cancel flag or the listener stopped the drawing (drawer.frame says how far it came).
bool drawUntil(FrameDrawer& drawer, int64_t frame);

// Back to start-up: the buffers as the player clears them, the fixed state, the cache empty, the
// stream at its first chunk. False when part 0 cannot be opened again.
bool restartDrawer(FrameDrawer& drawer);

// The state after the snapshot's frame: the next drawUntil goes on from its next record. The
// window picture is not restored: draw at least one frame before showing it.
bool restoreDrawer(FrameDrawer& drawer, SnapshotCodec& codec, const Snapshot& snapshot);

// A snapshot of the frame just drawn (drawer.frame).
bool snapshotDrawer(FrameDrawer& drawer, SnapshotCodec& codec, Snapshot* snapshot);
