// Draws a recording frame by frame through the player's chunk loop, stopping at the frame mark
// asked for and going on from that record later, or from a snapshot's. Receives the recording
// and the frame wanted; hands on the filtered picture in the target's window picture.
#include "seek/frame_drawer.h"

#include "player/stream_records.h"
#include "renderer/gl.h"

namespace {

bool noteRecord(void* context, const StreamRecord& record) {
  static_cast<FrameDrawer*>(context)->last_record_offset = record.offset;
  return true;
}

// Every frame is filtered, as `kestrune render` does: the filter's averages stay in the render
// buffer and the next frame is drawn over them.
PlaybackStep takeFrameMark(void* context, float) {
  FrameDrawer& drawer = *static_cast<FrameDrawer*>(context);
  drawer.frame = drawer.playback.frames_walked - 1;
  filterFrame(drawer.target, drawer.target.window_picture);
  drawer.picture_frame = drawer.frame;
  drawer.next_chunk = drawer.stream.chunk_start;
  drawer.next_offset = drawer.last_record_offset + kFrameMarkSize;
  const FrameListener& listener = drawer.listener;
  bool go_on = listener.frame_done == nullptr || listener.frame_done(listener.context, drawer);
  if (drawer.cancel != nullptr && drawer.cancel->load()) go_on = false;
  if (go_on && drawer.frame < drawer.stop_at) return PlaybackStep::kGoOn;
  drawer.resume_in_chunk = true;
  return PlaybackStep::kStop;
}

void startDrawing(FrameDrawer& drawer) {
  TriangleDrawing drawing;
  drawing.calls = &rendererDrawingCalls();
  drawing.textures = &drawer.textures;
  drawer.playback = startUnpacedPlayback({takeFrameMark, &drawer}, drawing);
  drawer.frame = -1;
  drawer.picture_frame = -1;
  drawer.resume_in_chunk = false;
  drawer.resume_at_checkpoint = false;
  drawer.ended = false;
}

bool openStream(FrameDrawer& drawer, std::string* error) {
  drawer.stream.path_template = drawer.path;
  drawer.stream.events = StreamEvents{nullptr, nullptr, noteRecord, nullptr, &drawer};
  switch (openRecording(drawer.stream, &drawer.header)) {
    case OpenRecordingResult::kOpened:
      return true;
    case OpenRecordingResult::kCannotOpen:
      *error = "cannot open " + partFileName(drawer.path, 0).name;
      return false;
    case OpenRecordingResult::kNotRecording:
      *error = partFileName(drawer.path, 0).name + " is not a Kestrune recording";
      return false;
  }
  return false;
}

}  // namespace

bool openFrameDrawer(const std::string& path, int desktop_width, int desktop_height, int threads,
                     bool report, FrameDrawer* drawer, std::string* error,
                     const std::string& texture_folder) {
  drawer->path = path;
  if (!openStream(*drawer, error)) return false;
  allocateChunkBuffers(drawer->stream);
  if (!openRenderSurface(drawer->target, desktop_width / 2, desktop_height / 2)) {
    *error = "no memory for a " + std::to_string(desktop_width) + "x" +
             std::to_string(desktop_height) + " render buffer";
    closeRecording(drawer->stream);
    return false;
  }
  rkSetRasterThreads(threads);
  const std::string folder = texture_folder.empty() ? textureFolderOf(path) : texture_folder;
  loadTexturesWith(drawer->header, rendererTextureCalls(), drawer->textures, folder, report);
  drawer->start_switches = currentSwitches();
  startDrawing(*drawer);
  return true;
}

void closeFrameDrawer(FrameDrawer& drawer) {
  glMakeCurrent(drawer.target.context);
  closeRenderSurface(drawer.target);
  closeRecording(drawer.stream);
}

bool drawUntil(FrameDrawer& drawer, int64_t frame) {
  if (drawer.frame >= frame || drawer.ended) return drawer.frame == frame;
  drawer.stop_at = frame;
  StreamStep step = StreamStep::kGoOn;
  if (drawer.resume_in_chunk) {
    drawer.resume_in_chunk = false;
    step = walkRestOfChunk(drawer.stream, drawer.playback, drawer.next_offset);
  } else if (drawer.resume_at_checkpoint) {
    drawer.resume_at_checkpoint = false;
    if (!resumeStream(drawer.stream, drawer.next_chunk)) step = StreamStep::kBroken;
    if (step == StreamStep::kGoOn) {
      step = playChunkFrom(drawer.stream, drawer.playback, drawer.next_offset);
    }
  }
  if (step == StreamStep::kGoOn) step = playChunks(drawer.stream, drawer.playback);
  if (!drawer.resume_in_chunk) drawer.ended = true;  // not stopped at a mark: the stream ended
  return drawer.frame == frame;
}

bool restartDrawer(FrameDrawer& drawer) {
  closeRecording(drawer.stream);
  RecordingHeader header;
  if (openRecording(drawer.stream, &header) != OpenRecordingResult::kOpened) return false;
  glFinish();
  setFixedRendererState(drawer.target.width, drawer.target.height);
  applySwitches(drawer.start_switches);
  startDrawing(drawer);
  return true;
}

bool restoreDrawer(FrameDrawer& drawer, SnapshotCodec& codec, const Snapshot& snapshot) {
  if (!restoreSnapshot(codec, snapshot, drawer.target)) return false;
  startDrawing(drawer);
  drawer.playback.drawing.cache = snapshot.cache;
  drawer.playback.frames_walked = snapshot.frame + 1;
  drawer.playback.triangles_walked = snapshot.triangles_walked;
  drawer.frame = snapshot.frame;
  drawer.resume_at_checkpoint = true;
  drawer.next_chunk = snapshot.chunk;
  drawer.next_offset = snapshot.record_offset;
  return true;
}

bool snapshotDrawer(FrameDrawer& drawer, SnapshotCodec& codec, Snapshot* snapshot) {
  snapshot->frame = drawer.frame;
  snapshot->chunk = drawer.next_chunk;
  snapshot->record_offset = drawer.next_offset;
  snapshot->triangles_walked = drawer.playback.triangles_walked;
  snapshot->cache = drawer.playback.drawing.cache;
  return takeSnapshot(codec, drawer.target, snapshot);
}
