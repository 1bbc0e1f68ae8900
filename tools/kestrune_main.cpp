// The kestrune tool: inspects, dumps, renders and benchmarks recordings, and writes the demo.
// Receives the command line; hands it to the subcommand it names and gives its exit code.
#include <cstdio>
#include <cstring>

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
    "  demo OUTDIR   writes the demo recording and its texture dumps\n"
    "\n"
    "A recording path with \"%i\" names numbered part files. Paths are taken as given.\n"
    "\"kestrune <command> --help\" describes a command.\n";

struct Command {
  const char* name;
  int (*run)(int argc, const char* const* argv);
};

constexpr Command kCommands[] = {
    {"info", runInfo},   {"dump", runDump}, {"render", runRender},
    {"bench", runBench}, {"demo", runDemo},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
      std::strcmp(argv[1], "help") == 0) {
    std::fputs(kUsage, stdout);
    return kExitDone;
  }
  for (const Command& command : kCommands) {
    if (std::strcmp(argv[1], command.name) == 0) return command.run(argc - 2, argv + 2);
  }
  std::fprintf(stderr, "kestrune: unknown command \"%s\"\n%s", argv[1], kUsage);
  return kExitUsage;
}
