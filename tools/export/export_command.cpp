// `kestrune export`: draws every frame of the recording with the tool's drawing path and hands
// the ones on screen in the clip to the video encoder, on a constant rate or one per frame, into
// a temporary file that takes OUT's name when it is complete. Receives the command line; hands on
// the exit code, a progress line on a terminal and a summary on standard output.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "player/player_output.h"
#include "runtime/files.h"
#include "runtime/platform.h"
#include "runtime/timing.h"
#include "seek/frame_times.h"
#include "tools/export/encode_thread.h"
#include "tools/export/export_options.h"
#include "tools/tool_commands.h"
#include "tools/tool_playback.h"

namespace {

// The clip on the viewing timeline and what has been encoded of it.
struct ExportRun {
  const ExportOptions* options = nullptr;
  FrameTimes times;
  double from = 0, to = 0;                  // seconds: the clip is [from, to)
  int64_t first_frame = 0, last_frame = 0;  // the recorded frames on screen in the clip
  int64_t outputs = 0;                      // video frames to write (for the progress line)
  int64_t written = 0;                      // video frames written
  int64_t last_pts = -1;                    // --vfr: the last time stamp written, in milliseconds
  VideoEncoder* encoder = nullptr;
  EncodeThread* encoding = nullptr;
  std::string error;
  bool progress = false;
  double started = 0, last_progress = 0;
};

// Sets the clip from the options; false after a message when it holds nothing.
bool chooseClip(ExportRun& run) {
  const ExportOptions& options = *run.options;
  const int64_t last = int64_t(run.times.start.size()) - 1;
  run.from = 0;
  run.to = run.times.length;
  if (options.frames_given) {
    if (options.frames.first > last) {
      std::fprintf(stderr, "kestrune export: no frame in that range; the recording has %lld\n",
                   static_cast<long long>(last + 1));
      return false;
    }
    run.from = run.times.start[size_t(options.frames.first)];
    run.to = frameEnd(run.times, std::min(options.frames.last, last));
  }
  if (options.from >= 0) run.from = std::min(options.from, run.times.length);
  if (options.to >= 0) run.to = std::min(options.to, run.times.length);
  if (run.to <= run.from) {
    std::fprintf(stderr, "kestrune export: the clip is empty (the recording is %.3f s long)\n",
                 run.times.length);
    return false;
  }
  run.first_frame = frameAt(run.times, run.from);
  run.last_frame = frameAt(run.times, run.to);
  while (run.last_frame > run.first_frame && run.times.start[size_t(run.last_frame)] >= run.to) {
    --run.last_frame;
  }
  const double fps = options.fps;
  run.outputs = options.vfr ? run.last_frame - run.first_frame + 1
                            : int64_t(std::ceil((run.to - run.from) * fps - 1e-9));
  return true;
}

void showProgress(ExportRun& run, bool last) {
  if (!run.progress) return;
  const double now = timerSeconds();
  if (!last && now - run.last_progress < 0.25) return;
  run.last_progress = now;
  const double done = double(run.written) / double(std::max<int64_t>(run.outputs, 1));
  const double elapsed = std::max(now - run.started, 1e-6);
  const double video_seconds =
      run.options->vfr ? done * (run.to - run.from) : double(run.written) / run.options->fps;
  const double left = done > 0 ? elapsed * (1 - done) / done : 0;
  std::fprintf(stderr,
               "\rkestrune export: frame %lld of %lld, %3.0f%%, %.1fx real time, %.0f s left ",
               static_cast<long long>(run.written), static_cast<long long>(run.outputs), 100 * done,
               video_seconds / elapsed, left);
  if (last) std::fputc('\n', stderr);
  std::fflush(stderr);
}

bool encode(ExportRun& run, const FramePicture& picture, int64_t pts) {
  if (!queuePicture(*run.encoding, picture.pixels, pts, &run.error)) return false;
  run.written += 1;
  showProgress(run, false);
  return true;
}

// Each recorded frame as it is drawn: encoded for every video frame whose time falls in its hold
// (a constant rate), or once at its own time (--vfr), within the clip.
bool takeFrame(void* context, int64_t index, const FramePicture& picture) {
  ExportRun& run = *static_cast<ExportRun*>(context);
  if (index < run.first_frame) return true;
  const double start = std::max(run.times.start[size_t(index)], run.from);
  const double end = std::min(frameEnd(run.times, index), run.to);
  if (run.options->vfr) {
    const int64_t pts = std::llround((start - run.from) * 1000);
    if (end <= start || pts <= run.last_pts) return true;  // never on screen in the clip
    run.last_pts = pts;
    return encode(run, picture, pts);
  }
  const double fps = run.options->fps;
  while (run.written < run.outputs && run.from + double(run.written) / fps < end) {
    if (!encode(run, picture, run.written)) return false;
  }
  return true;
}

bool openOutput(ExportRun& run, ExportOptions& options, int width, int height, OutputFile* file) {
  if (!beginOutputFile(options.out, file)) {
    std::fprintf(stderr, "kestrune export: %s\n", file->error.c_str());
    return false;
  }
  options.video.width = width;
  options.video.height = height;
  options.video.time_base = options.vfr ? 1000 : options.fps;
  options.video.frame_rate = options.fps;
  options.video.threads = options.threads;
  run.encoder = openVideoEncoder(file->stream, options.video, &run.error);
  if (run.encoder != nullptr) return true;
  std::fprintf(stderr, "kestrune export: %s\n", run.error.c_str());
  finishOutputFile(file, false);
  return false;
}

// Plays the recording into the encoder; the video takes OUT's name only when all went well.
int exportVideo(ExportRun& run, ExportOptions& options, ToolPlayback& playback) {
  OutputFile file;
  if (!openOutput(run, options, playback.target.width, playback.target.height, &file)) {
    return kExitFailed;
  }
  playback.frames = FrameRange{0, run.last_frame};
  playback.sink = {takeFrame, &run};
  run.progress = !options.quiet && isTerminal(stderr);
  run.started = timerSeconds();
  run.encoding = startEncodeThread(*run.encoder, playback.target.width, playback.target.height, 3);
  const PlayedRecording played = playToolRecording(playback);
  bool done = stopEncodeThread(run.encoding, !playback.sink_failed, &run.error);
  showProgress(run, true);
  closeVideoEncoder(run.encoder);
  if (done && played.end != StreamStep::kEnd && playback.frames_met <= run.last_frame) {
    run.error = "the recording ends in a damaged chunk";
    done = false;
  }
  if (!finishOutputFile(&file, done) && done) run.error = file.error;
  if (!run.error.empty()) {
    std::fprintf(stderr, "kestrune export: %s\n", run.error.c_str());
    return kExitFailed;
  }
  std::printf("%lld video frames of %dx%d (%.3f s) written to %s\n",
              static_cast<long long>(run.written), playback.target.width, playback.target.height,
              run.to - run.from, options.out.c_str());
  return kExitDone;
}

}  // namespace

int runExport(int argc, const char* const* argv) {
  const ParsedArgs args = parseExportArgs(argc, argv);
  if (args.help) {
    std::printf("%s%s", kExportUsage, kExportHelp);
    return kExitDone;
  }
  ExportOptions options;
  const std::string problem = readExportOptions(args, &options);
  if (!problem.empty()) return usageError("export", problem, kExportUsage);
  const bool subsampled = options.video.codec != VideoCodec::kFfv1;
  if (subsampled && (options.desktop.width % 4 != 0 || options.desktop.height % 4 != 0)) {
    return usageError("export", "4:2:0 video needs a desktop whose sides are multiples of 4",
                      kExportUsage);
  }
  setMessageStream(stderr);  // the player's messages (textures loaded); standard output is ours
  ExportRun run;
  run.options = &options;
  run.times = frameTimesOf(buildFrameIndex(options.recording));
  ToolPlayback playback;
  playback.threads = options.threads;
  if (!openToolPlayback("export", options.recording, options.desktop, &playback)) {
    return kExitFailed;
  }
  int code = kExitFailed;
  if (run.times.start.empty()) {
    std::fprintf(stderr, "kestrune export: the recording holds no frame\n");
  } else if (chooseClip(run)) {
    code = exportVideo(run, options, playback);
  }
  closeToolPlayback(playback);
  return code;
}
