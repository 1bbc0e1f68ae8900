// The player's drawing path for the tool: the same start-up (render surface, fixed renderer state,
// texture loading) and the same chunk loop, with frame marks taken over so that every frame is
// drawn and filtered 2:1 without pacing, on a renderer context of the playback's own, so that
// playbacks on different threads draw at once. Receives a recording path and a desktop size;
// hands each filtered frame to the caller.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "player/chunk_loop.h"
#include "player/render_target.h"
#include "player/texture_loader.h"
#include "tools/tool_args.h"
#include "tools/tool_frame_files.h"

struct RenderContext;

// Takes the filtered window picture of frame `index` (counted from 0 at the first frame mark);
// false stops playback as failed.
struct FrameSink {
  bool (*take)(void* context, int64_t index, const FramePicture& window) = nullptr;
  void* context = nullptr;
};

// One playback of a recording, from its start-up to its end.
struct ToolPlayback {
  StreamState stream;
  RecordingHeader header;
  RenderTarget target;  // with the renderer context of this playback's own
  TextureTable textures;
  FrameRange frames;  // frames handed to the sink; playback stops after the last
  FrameSink sink;
  int threads = 1;         // the renderer's drawing threads, set before opening
  int64_t frames_met = 0;  // frame marks met so far
  double filter_seconds = 0;
  bool sink_failed = false;
};

// Opens part 0, checks the header, opens the render surface for the desktop and loads the
// textures, as the player's start-up does, and has the renderer draw with playback->threads. No
// screen is opened. The playback gets a renderer context of its own, current on the calling
// thread afterwards; a context current there before is left open and no longer current. False
// after a message on standard error (naming `command`), with nothing left open. The player's
// messages go where setMessageStream sent them.
bool openToolPlayback(const char* command, const std::string& path, const DesktopSize& desktop,
                      ToolPlayback* playback);

// Plays the whole recording (up to the last frame of playback->frames) through the shared chunk
// loop, with the playback's context made current on the calling thread (one thread at a time):
// every frame mark filters the render buffer into the target's window picture and, within the
// range, hands it to the sink. Gives how the chunk loop ended and the triangle records walked.
struct PlayedRecording {
  StreamStep end = StreamStep::kEnd;
  int64_t triangles = 0;
};
PlayedRecording playToolRecording(ToolPlayback& playback, const ChunkLoopHooks& hooks = {});

// Frees the render surface with its context and closes the open part file. The calling thread is
// left with no current context.
void closeToolPlayback(ToolPlayback& playback);
