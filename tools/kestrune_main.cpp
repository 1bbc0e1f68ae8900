// The kestrune tool: inspects, dumps, renders and benchmarks recordings, and writes the demo.
// Receives the command line; hands it to the subcommand it names and gives its exit code.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "runtime/process.h"
#include "tools/tool_args.h"
#include "tools/tool_commands.h"

namespace {

constexpr const char* kUsage =
    "usage: kestrune <command> [arguments]\n"
    "\n"
    "commands:\n"
    "  info REC      header, textures, parts, chunks, records, frames and anomalies\n"
    "  dump REC      one line per record, as text\n"
    "  render REC    every frame as the window shows it, as PNG or raw 5-6-5 files\n"
    "  bench REC     plays the recording as fast as possible and reports the time it takes\n"
    "  view REC      plays the recording in a window, with pause, seeking and frame steps\n"
    "  export REC OUT  writes the recording as a video file (.mp4, .mkv, .webm)\n"
    "  demo OUTDIR   writes the demo recording and its texture dumps\n"
    "\n"
    "A recording path with \"%i\" names numbered part files. Paths are taken as given.\n"
    "\"kestrune <command> --help\" describes a command; \"kestrune --version\" gives the\n"
    "version.\n";

struct Command {
  const char* name;
  int (*run)(int argc, const char* const* argv);
};

constexpr Command kCommands[] = {
    {"info", runInfo}, {"dump", runDump}, {"render", runRender}, {"bench", runBench},
    {"demo", runDemo}, {"view", runView}, {"export", runExport},
};

// Standard output is the tool's product: a write that failed (a full disk, a closed stream) fails
// the command, after saying so.
int finishStandardOutput(const char* command, int exit_code) {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  if (flushed && std::ferror(stdout) == 0) return exit_code;
  const int error_number = errno != 0 ? errno : EIO;
  std::fprintf(stderr, "kestrune%s%s: cannot write standard output: %s\n", *command ? " " : "",
               command, std::strerror(error_number));
  return kExitFailed;
}

bool isOneOf(const char* arg, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (std::strcmp(arg, name) == 0) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  openStandardStreams();  // no file the tool opens may take the place of a closed stream
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  if (isOneOf(argv[1], {"--help", "-h", "help"})) {
    std::fputs(kUsage, stdout);
    return finishStandardOutput("", kExitDone);
  }
  if (isOneOf(argv[1], {"--version", "-V", "version"})) {
    std::printf("kestrune %s\n", KESTRUNE_VERSION);
    return finishStandardOutput("", kExitDone);
  }
  for (const Command& command : kCommands) {
    if (std::strcmp(argv[1], command.name) == 0) {
      if (argc == 3 && isOneOf(argv[2], {"--version", "-V"})) {  // "kestrune view --version"
        std::printf("kestrune %s\n", KESTRUNE_VERSION);
        return finishStandardOutput(command.name, kExitDone);
      }
      return finishStandardOutput(command.name, command.run(argc - 2, argv + 2));
    }
  }
  std::fprintf(stderr, "kestrune: unknown command \"%s\"\n%s", argv[1], kUsage);
  return kExitUsage;
}
