// The command line of `kestrune view`: the recording, where its textures are, the window's
// desktop, where and how playback starts and ends, the event log. Receives argv; hands on the
// options or the usage problem.
#pragma once
#include <cstdint>
#include <string>

#include "tools/tool_args.h"

struct ViewOptions {
  std::string recording;
  std::string textures;  // empty: the recording's folder's ../TexDump/
  std::string log_path;  // empty: no event log
  DesktopSize desktop;
  bool desktop_given = false;  // else the desktop the window opens on, as the player sees it
  int64_t start = 0;
  bool paused = false;
  bool loop = false;
  bool exit_at_end = false;
  int threads = 1;
  int64_t budget_mib = 1024;
};

extern const char* const kViewUsage;
extern const char* const kViewHelp;

// Fills *options; gives the usage problem, empty when there is none.
std::string readViewOptions(const ParsedArgs& args, ViewOptions* options);

// "NAME.0.EXT" as the template "NAME.%i.EXT" of all the recording's parts; any other path as it
// is (a ".0." in a folder's name does not count).
std::string partSeriesOf(const std::string& path);

// parseArgs' lists for this command.
ParsedArgs parseViewArgs(int argc, const char* const* argv);
