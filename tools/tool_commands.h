// The kestrune tool's subcommands. Each receives the arguments after its own name and hands on
// the process exit code: 0 done, 1 failed, 2 bad usage.
#pragma once

int runInfo(int argc, const char* const* argv);
int runDump(int argc, const char* const* argv);
int runRender(int argc, const char* const* argv);
int runBench(int argc, const char* const* argv);
int runDemo(int argc, const char* const* argv);
int runView(int argc, const char* const* argv);
int runExport(int argc, const char* const* argv);
