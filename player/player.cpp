// The player's entry and main loop: chooses the recording, checks its header, opens the window,
// loads the textures, then plays chunk after chunk until the stream ends or a stop key is pressed.
// Receives the command line; hands on messages on standard output and the exit code: 1 after a
// failure the player reports (a recording it cannot open or read on, no window), else 0.
#include "player/player.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "player/chunk_loop.h"
#include "player/player_output.h"
#include "player/record_walk.h"
#include "player/recording_stream.h"
#include "player/render_target.h"
#include "player/stop_keys.h"
#include "player/texture_loader.h"
#include "player/triangle_drawing.h"
#include "runtime/keyboard.h"
#include "runtime/process.h"
#include "runtime/screen.h"
#include "runtime/timing.h"

static constexpr int kExitDone = 0;
static constexpr int kExitFailed = 1;

// Relative paths (the recording, the textures) are resolved from the executable's folder, not
// from the directory the player was started in.
static void useExecutableFolder() {
  const std::string folder = executableFolder();
  if (!folder.empty()) changeDirectory(folder);
}

// Start-up failures wait for a key before the program ends; a closed keyboard does not wait.
static void waitForKeyAfterFailure() { sleepFor(-1, 0); }

// Opens part 0 and checks its header; false (after the message and the wait) on failure.
static bool openStream(StreamState& stream, RecordingHeader* header) {
  switch (openRecording(stream, header)) {
    case OpenRecordingResult::kOpened:
      return true;
    case OpenRecordingResult::kCannotOpen:
      printMessage("Failed to open video file\n");
      break;
    case OpenRecordingResult::kNotRecording:
      printMessage("File not a Kestrune recording.\n");
      break;
  }
  waitForKeyAfterFailure();
  return false;
}

// With KESTRUNE_PRESENT_STATS=1, how many frames were shown and dropped, on standard error (the
// player's own messages are not changed by it).
static void reportFrameCounts(const PacingState& pacing) {
  const char* wanted = std::getenv("KESTRUNE_PRESENT_STATS");
  if (wanted == nullptr || std::strcmp(wanted, "1") != 0) return;
  std::fprintf(stderr, "frames: %lld presented, %lld dropped\n",
               static_cast<long long>(pacing.frames_presented),
               static_cast<long long>(pacing.frames_dropped));
}

// "Done.", then keys pressed earlier are dropped and the next key ends the program. When no
// source of keys is left, nothing waits.
static void finishPlayback() {
  printMessage("Done.");
  while (!readKey().empty()) {
  }
  while (readKey().empty() && !keyboardClosed()) sleepFor(1, 1);
}

// The game reads its dumps from one fixed folder; the installed demo's lie beside it.
static std::string textureFolderFor(const std::string& path_template) {
  return path_template == kInstalledDemoPath ? textureFolderOf(path_template) : kTextureFolder;
}

int runPlayer(int argc, const char* const* argv) {
  openStandardStreams();  // a closed standard input is no keyboard, and no file takes its place
  startStdinKeyboard();   // keys and a closed standard input count from the start
  useExecutableFolder();
  StreamState stream;
  stream.path_template = recordingPath(argc, argv);
  RecordingHeader header;
  if (!openStream(stream, &header)) return kExitFailed;
  allocateChunkBuffers(stream);
  RenderTarget target;
  if (!openRenderTarget(target)) {
    waitForKeyAfterFailure();
    return kExitFailed;
  }
  TextureTable textures;
  loadTextures(header, textures, textureFolderFor(stream.path_template));  // needs the context
  // Pacing starts after the rest of start-up, so that opening the window and loading textures
  // does not make the first frames late.
  PlaybackState playback =
      startPlayback(realPacingServices(target), rendererTriangleDrawing(textures));
  ChunkLoopHooks hooks;
  hooks.stop_requested = stopKeyPressed;  // Escape or the close button, before every chunk
  const StreamStep end = playChunks(stream, playback, hooks);
  if (end == StreamStep::kExitNow) sleepFor(1000, 1);  // the overflow message stays up a second
  reportFrameCounts(playback.pacing);
  if (end == StreamStep::kExitNow) return kExitFailed;
  finishPlayback();
  return end == StreamStep::kBroken || screenOutputFailed() ? kExitFailed : kExitDone;
}
