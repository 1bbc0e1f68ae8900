// `kestrune export` in the Windows build: FFmpeg's libraries are not packaged for mingw-w64, so
// the command only says where it is available. Receives the command line; hands on exit code 1.
#include <cstdio>

#include "tools/tool_args.h"
#include "tools/tool_commands.h"

int runExport(int, const char* const*) {
  std::fprintf(stderr,
               "kestrune export: not available in the Windows build (it needs FFmpeg's "
               "libraries); use the Linux build\n");
  return kExitFailed;
}
