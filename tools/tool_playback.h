// The player's drawing path for the tool: the same start-up (render surface, fixed renderer state,
// texture loading) and the same chunk loop, with frame marks taken over so that every frame is
// drawn and filtered 2:1 without pacing. Receives a recording path and a desktop size; hands each
// filtered frame to the caller.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "player/chunk_loop.h"
#include "player/render_target.h"
#include "player/texture_loader.h"
#include "runtime/byte_buffer.h"
#include "tools/tool_args.h"
#include "tools/tool_frame_files.h"

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
  RenderTarget target;
  TextureTable textures;
  ByteBuffer window;  // target.width x target.height pixels, the filtered picture
  FrameRange frames;  // frames handed to the sink; playback stops after the last
  FrameSink sink;
  int threads = 1;         // the renderer's drawing threads, set before opening
  int64_t frames_met = 0;  // frame marks met so far
  double filter_seconds = 0;
  bool sink_failed = false;
};

// Opens the screen that the image services of texture loading need: headless, 1 x 1 (nothing is
// presented on it; frames are filtered into the tool's own buffer), standard input not taken as
// a keyboard. Sends the player's messages to standard error. Once per process; false after a
// message.
bool openToolScreen(const char* command);

// The texture folder beside a recording: the folder of its part 0 (the template's first "%i"
// replaced by 0, as in every part name), then "/../TexDump/", the place the player finds
// textures relative to the demo recording.
std::string textureFolderOf(const std::string& path_template);

// Opens part 0, checks the header, opens the render surface for the desktop and loads the
// textures, as the player's start-up does, and has the renderer draw with playback->threads. False
// after a message on standard error (naming `command`), with nothing left open.
bool openToolPlayback(const char* command, const std::string& path, const DesktopSize& desktop,
                      ToolPlayback* playback);

// Plays the whole recording (up to the last frame of playback->frames) through the shared chunk
// loop: every frame mark filters the render buffer into playback->window and, within the range,
// hands it to the sink. Gives how the chunk loop ended and the triangle records walked.
struct PlayedRecording {
  StreamStep end = StreamStep::kEnd;
  int64_t triangles = 0;
};
PlayedRecording playToolRecording(ToolPlayback& playback, const ChunkLoopHooks& hooks = {});

// Frees the render surface and closes the open part file.
void closeToolPlayback(ToolPlayback& playback);
