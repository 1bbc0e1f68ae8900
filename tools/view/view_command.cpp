// `kestrune view`: opens the recording in the seek engine and a window of half the desktop, then
// runs the viewer until it quits. Receives the command line; hands on the exit code.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "player/player_output.h"
#include "runtime/keyboard.h"
#include "runtime/platform.h"
#include "runtime/screen.h"
#include "runtime/timing.h"
#include "tools/tool_commands.h"
#include "tools/view/viewer.h"
#include "window/scaled_window.h"

namespace {

// The recording's file name without its folder, part number and extension:
// "Stream/Race.%i.rec" gives "Race".
std::string recordingName(const std::string& path_template) {
  std::string name = path_template.substr(path_template.find_last_of("/\\") + 1);
  for (const char* suffix : {".rec", ".%i"}) {
    const size_t length = std::strlen(suffix);
    if (name.size() > length && name.compare(name.size() - length, length, suffix) == 0) {
      name.resize(name.size() - length);
    }
  }
  return name.empty() ? "recording" : name;
}

bool openWindow(const Viewer& viewer) {
  const int32_t width = viewer.engine.foreground.target.width;
  const int32_t height = viewer.engine.foreground.target.height;
  setFrameDumpFolder("");  // the viewer writes its own dumps, without the display over them
  hookCreation(0);
  // Resized or maximised, the picture keeps its aspect between bars, as in full screen.
  if (openScaledScreen(width, height, 16, 1, keepAspectWindowed, 0) != 0) return false;
  setupScaledWindow(width, height, 1, 1);
  startStdinKeyboard();
  return true;
}

bool openViewer(Viewer& viewer, std::string* error) {
  const ViewOptions& options = viewer.options;
  SeekOptions seek;
  seek.desktop_width = options.desktop.width;
  seek.desktop_height = options.desktop.height;
  const ScreenInfo desktop = screenInfo();  // no screen open yet: the desktop's mode
  if (!options.desktop_given && desktop.width >= 2 && desktop.height >= 2) {
    seek.desktop_width = desktop.width;
    seek.desktop_height = desktop.height;
  }
  seek.threads = options.threads;
  seek.budget = options.budget_mib << 20;
  seek.texture_folder = options.textures;
  if (!openSeekEngine(options.recording, seek, &viewer.engine, error)) return false;
  viewer.times = frameTimesOf(viewer.engine.index);
  viewer.last_frame = frameCount(viewer.engine) - 1;
  viewer.name = recordingName(options.recording);
  if (const char* dumps = std::getenv("KESTRUNE_FRAME_DUMP")) {
    std::error_code ignored;  // a folder that cannot be made is reported at the first write
    std::filesystem::create_directories(dumps, ignored);
    viewer.dump_folder = dumps;
  }
  return true;
}

void updateRates(Viewer& viewer) {
  RateCounter& rates = viewer.rates;
  const double now = timerSeconds();
  if (now - rates.since < 1) return;
  rates.drawn_rate = double(rates.drawn) / (now - rates.since);
  rates.shown_rate = double(rates.shown) / (now - rates.since);
  rates.drawn = rates.shown = 0;
  rates.since = now;
  if (viewer.stats_on) viewer.redraw = true;
}

void expireMessages(Viewer& viewer) {
  const double now = timerSeconds();
  const size_t before = viewer.messages.size();
  std::erase_if(viewer.messages, [now](const OsdMessage& m) { return m.until <= now; });
  if (viewer.messages.size() != before) viewer.redraw = true;
}

// Until the next frame is due while playing (at most 10 ms, so keys are answered at once).
int idleMilliseconds(const Viewer& viewer) {
  if (viewer.paused || viewer.shown >= viewer.last_frame) return 10;
  const double wait =
      (frameEnd(viewer.times, viewer.shown) - timelinePosition(viewer)) / viewer.speed;
  return std::clamp(static_cast<int>(wait * 1000), 0, 10);
}

// Nothing can change any more: no window, standard input used up, and nothing playing.
bool nothingLeftToDo(const Viewer& viewer) { return viewer.paused && keyboardClosed(); }

void runLoop(Viewer& viewer) {
  viewer.paused = viewer.options.paused;  // before the first frame, whose title says so
  if (!startAt(viewer, viewer.options.start)) return logEvent(viewer, "quit");
  viewer.rates.since = timerSeconds();
  while (!viewer.quit) {
    handleInput(viewer);
    if (viewer.quit) break;
    if (!viewer.paused) playDueFrames(viewer);
    expireMessages(viewer);
    updateRates(viewer);
    if (viewer.redraw) presentShown(viewer, false);
    if (nothingLeftToDo(viewer)) break;
    sleepMilliseconds(idleMilliseconds(viewer));
  }
  logEvent(viewer, "quit");
}

int closeViewer(Viewer& viewer) {
  closeScreen();  // the window goes at once
  closeSeekEngine(viewer.engine);
  if (viewer.log != nullptr && viewer.log != stdout) std::fclose(viewer.log);
  return viewer.failed ? kExitFailed : kExitDone;
}

}  // namespace

int runView(int argc, const char* const* argv) {
  const ParsedArgs args = parseViewArgs(argc, argv);
  if (args.help) {
    std::printf("%s%s", kViewUsage, kViewHelp);
    return kExitDone;
  }
  setMessageStream(stderr);  // the player's messages (textures loaded); standard output is ours
  Viewer viewer;
  const std::string problem = readViewOptions(args, &viewer.options);
  if (!problem.empty()) return usageError("view", problem, kViewUsage);
  std::string error;
  if (!openViewer(viewer, &error)) {
    std::fprintf(stderr, "kestrune view: %s\n", error.c_str());
    return kExitFailed;
  }
  if (!viewer.options.log_path.empty()) {
    viewer.log = std::fopen(viewer.options.log_path.c_str(), "w");
    if (viewer.log == nullptr) {
      std::fprintf(stderr, "kestrune view: cannot write %s\n", viewer.options.log_path.c_str());
      closeSeekEngine(viewer.engine);
      return kExitFailed;
    }
  }
  if (!openWindow(viewer)) {
    std::fprintf(stderr, "kestrune view: could not open the window\n");
    viewer.failed = true;
    return closeViewer(viewer);
  }
  viewer.font = makeOsdFont(osdFontHeight(viewer.engine.foreground.target.height));
  runLoop(viewer);
  return closeViewer(viewer);
}
