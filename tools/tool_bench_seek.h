// `kestrune bench --seek`: the seek engine's figures. Receives the recording and the engine's
// settings; hands on index time, time until the whole recording is seekable while it plays,
// snapshots and their bytes, seek latencies and the process's peak memory, as text or JSON.
#pragma once
#include <cstdint>
#include <string>

#include "tools/tool_args.h"

struct SeekBenchOptions {
  std::string recording;
  DesktopSize desktop;
  int threads = 1;
  int64_t budget_mib = 1024;
  int64_t seeks = 100;  // random seeks timed; half as many one-frame steps back
  bool json = false;
};

int runSeekBench(const SeekBenchOptions& options);
