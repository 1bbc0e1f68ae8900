// The command line of `kestrune export`: the recording, the video file and its kind (from the
// extension), the timing (a constant rate or one frame per recorded frame), the clip, the desktop,
// the quality and the threads. Receives argv; hands on the options or the usage problem.
#pragma once
#include <cstdint>
#include <string>

#include "tools/export/video_encoder.h"
#include "tools/tool_args.h"

struct ExportOptions {
  std::string recording;
  std::string out;
  VideoSettings video;  // container and codec from the extension; size set once the desktop is
  DesktopSize desktop;
  int fps = 30;
  bool vfr = false;
  FrameRange frames;  // --frames A-B
  bool frames_given = false;
  double from = -1;  // --from / --to, seconds on the viewing timeline; below 0 when not given
  double to = -1;
  bool quiet = false;
  int threads = 1;
};

extern const char* const kExportUsage;
extern const char* const kExportHelp;

ParsedArgs parseExportArgs(int argc, const char* const* argv);
// Fills *options; gives the usage problem, empty when there is none.
std::string readExportOptions(const ParsedArgs& args, ExportOptions* options);
