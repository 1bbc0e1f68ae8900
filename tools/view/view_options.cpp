// Reads `kestrune view`'s arguments into ViewOptions and holds its usage and help texts.
#include "tools/view/view_options.h"

#include "player/recording_stream.h"
#include "player/render_target.h"
#include "runtime/process.h"

const char* const kViewUsage =
    "usage: kestrune view [REC] [--all-parts] [--textures DIR] [--desktop WxH] [--start F]\n"
    "       [--paused] [--loop | --exit-at-end] [--log FILE] [--threads N] [--budget MiB]\n";

const char* const kViewHelp =
    "\n"
    "Plays the recording REC in a window at its own pace, with exact seeking: every frame shown\n"
    "is exactly what `kestrune render` writes for it. Frames that could not be shown in time are\n"
    "drawn all the same and counted. Paths are taken as given; \"%i\" names part files.\n"
    "Without REC it plays the demo recording installed with it.\n"
    "\n"
    "keys:\n"
    "  Space, p        pause / resume\n"
    "  Right, Left     seek 5 s forward / back;  Up, Down  seek 60 s forward / back\n"
    "  . ,             one frame forward / back (pauses)\n"
    "  [ ]             speed down / up by 10%;  { }  halve / double (1/16x to 16x)\n"
    "  Backspace       speed back to 1x\n"
    "  Home, End       first / last frame;  0 to 9  jump to 0% to 90%\n"
    "  l               A-B loop: set A, set B, clear;  L  loop the whole recording\n"
    "  s               save the frame shown as REC-NAME_frame_NNNNNN.png in this folder\n"
    "  o               show / hide the on-screen display;  i  statistics\n"
    "  f, Alt+Enter    full screen (also a double click)\n"
    "  q, Escape       quit (also the close button)\n"
    "mouse: a click or drag on the progress bar seeks there; the wheel seeks 5 s.\n"
    "\n"
    "options:\n"
    "  --all-parts     REC is part 0 of a recording in numbered parts (NAME.0.rec): play them\n"
    "                  all, as NAME.%i.rec (what the desktop entry asks for)\n"
    "  --textures DIR  texture dumps folder (default: the recording's folder/../TexDump/)\n"
    "  --desktop WxH   the desktop the frames are drawn for (default: the real one, as the\n"
    "                  player sees it); the window and frames are W/2 x H/2\n"
    "  --start F       start at frame F;  --paused  start paused\n"
    "  --loop          play again from the start at the end (default: pause on the last frame)\n"
    "  --exit-at-end   quit at the end\n"
    "  --log FILE      write one line per event (present SEQ frame N, seek N, pause N,\n"
    "                  resume N, speed X, loop A B, loop off, saved PATH, osd on|off,\n"
    "                  stats on|off, fullscreen, end N, quit), as it happens\n"
    "  --threads N     threads that draw the frames shown, 1 to 64 (default: KESTRUNE_THREADS,\n"
    "                  else one per processor); drawing ahead for seeking runs at low\n"
    "                  priority on the processor time left over\n"
    "  --budget MiB    memory for the seek engine, snapshots included (default 1024)\n"
    "\n"
    "Exit codes: 0 done, 1 failed (the recording, the window or a file), 2 bad usage.\n";

ParsedArgs parseViewArgs(int argc, const char* const* argv) {
  return parseArgs(argc, argv, {"textures", "desktop", "start", "log", "threads", "budget"},
                   {"paused", "loop", "exit-at-end", "all-parts"});
}

std::string partSeriesOf(const std::string& path) {
  const size_t name = path.find_last_of("/\\");
  const size_t part = path.rfind(".0.");
  if (part == std::string::npos || (name != std::string::npos && part < name)) return path;
  return path.substr(0, part + 1) + "%i" + path.substr(part + 2);
}

std::string readViewOptions(const ParsedArgs& args, ViewOptions* options) {
  if (!args.error.empty()) return args.error;
  if (args.positional.size() > 1) return "more than one recording given";
  if (args.positional.empty()) {
    options->recording = defaultRecordingPath(executableFolder());
    if (!hasPartZero(options->recording)) {
      return "no recording given, and no demo recording installed beside the program";
    }
  } else {
    options->recording = args.positional[0];
    if (args.has("all-parts")) options->recording = partSeriesOf(options->recording);
  }
  if (const std::string* textures = args.option("textures")) {
    options->textures = *textures;
    if (!options->textures.empty() && options->textures.back() != '/') options->textures += '/';
  }
  if (const std::string* log = args.option("log")) options->log_path = *log;
  if (const std::string* desktop = args.option("desktop")) {
    if (!parseDesktopSize(*desktop, &options->desktop)) return badDesktopSize(*desktop);
    options->desktop_given = true;
  }
  if (const std::string* start = args.option("start")) {
    if (!parseCount(*start, 0, INT64_MAX, &options->start)) return "bad frame \"" + *start + "\"";
  }
  if (const std::string* budget = args.option("budget")) {
    if (!parseCount(*budget, 16, 1 << 20, &options->budget_mib)) {
      return "bad budget \"" + *budget + "\" (want MiB from 16 to 1048576)";
    }
  }
  options->paused = args.has("paused");
  options->loop = args.has("loop");
  options->exit_at_end = args.has("exit-at-end");
  if (options->loop && options->exit_at_end) return "--loop and --exit-at-end exclude each other";
  options->threads = defaultRasterThreads();
  return readThreadsOption(args, &options->threads);
}
