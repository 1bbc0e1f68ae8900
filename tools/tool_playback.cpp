// The tool's playback over the player's drawing path: start-up like the player's, frame marks
// filtered and handed on without pacing. Receives a recording path, a desktop size and a frame
// sink; hands on every frame's filtered picture and the counts of what was played.
#include "tools/tool_playback.h"

#include <cstdio>

#include "renderer/gl.h"
#include "runtime/timing.h"

namespace {

// Every frame is filtered, also those outside the range: filtering leaves its pair averages in
// the render buffer, and the next frame is drawn over them, exactly as in the player.
PlaybackStep takeFrameMark(void* context, float) {
  ToolPlayback& playback = *static_cast<ToolPlayback*>(context);
  const int64_t index = playback.frames_met++;
  glFinish();  // the frame's drawing, which the drawing threads may still owe, is not filtering
  const double start = timerSeconds();
  filterFrame(playback.target, playback.target.window_picture);
  playback.filter_seconds += timerSeconds() - start;
  const FramePicture picture = {playback.target.window_picture, playback.target.width,
                                playback.target.height};
  if (playback.frames.contains(index) && playback.sink.take != nullptr &&
      !playback.sink.take(playback.sink.context, index, picture)) {
    playback.sink_failed = true;
    return PlaybackStep::kStop;
  }
  return index >= playback.frames.last ? PlaybackStep::kStop : PlaybackStep::kGoOn;
}

bool openStream(const char* command, const std::string& path, ToolPlayback& playback) {
  playback.stream.path_template = path;
  switch (openRecording(playback.stream, &playback.header)) {
    case OpenRecordingResult::kOpened:
      allocateChunkBuffers(playback.stream);
      return true;
    case OpenRecordingResult::kCannotOpen:
      std::fprintf(stderr, "kestrune %s: cannot open %s\n", command,
                   partFileName(path, 0).name.c_str());
      return false;
    case OpenRecordingResult::kNotRecording:
      std::fprintf(stderr, "kestrune %s: %s is not a Kestrune recording (no \"KREC\" magic)\n",
                   command, partFileName(path, 0).name.c_str());
      return false;
  }
  return false;
}

}  // namespace

bool openToolPlayback(const char* command, const std::string& path, const DesktopSize& desktop,
                      ToolPlayback* playback) {
  if (!openStream(command, path, *playback)) return false;
  if (!openRenderSurface(playback->target, desktop.width / 2, desktop.height / 2)) {
    std::fprintf(stderr, "kestrune %s: no memory for a %dx%d render buffer\n", command,
                 desktop.width, desktop.height);
    closeRecording(playback->stream);
    return false;
  }
  rkSetRasterThreads(playback->threads);
  loadTexturesWith(playback->header, rendererTextureCalls(), playback->textures,
                   textureFolderOf(path));
  return true;
}

PlayedRecording playToolRecording(ToolPlayback& playback, const ChunkLoopHooks& hooks) {
  glMakeCurrent(playback.target.context);
  TriangleDrawing drawing;
  drawing.calls = &rendererDrawingCalls();
  drawing.textures = &playback.textures;
  PlaybackState state = startUnpacedPlayback({takeFrameMark, &playback}, drawing);
  PlayedRecording played;
  played.end = playChunks(playback.stream, state, hooks);
  played.triangles = state.triangles_walked;
  return played;
}

void closeToolPlayback(ToolPlayback& playback) {
  closeRenderSurface(playback.target);
  closeRecording(playback.stream);
}
