// Runs a program as a child process with pipes on its standard input, output and error, for the
// end-to-end tests. Receives the program, its arguments, extra environment and a time limit;
// hands on what it printed and how it ended. A run that exceeds its limit is killed.
#pragma once
#include <string>
#include <vector>

// Whether this build, and so the programs its tests run, uses AddressSanitizer: such a program
// reserves terabytes of address space for its shadow memory, so limits on memory do not apply.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kProgramsUnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kProgramsUnderAddressSanitizer = true;
#else
constexpr bool kProgramsUnderAddressSanitizer = false;
#endif
#else
constexpr bool kProgramsUnderAddressSanitizer = false;
#endif

struct ProcessOptions {
  std::vector<std::string> arguments;    // after the program's name
  std::vector<std::string> environment;  // "NAME=value" entries added to (or replacing) ours
  std::string working_folder;            // "" = ours
  int timeout_ms = 20000;
};

struct ProcessResult {
  std::string out;
  std::string err;
  int exit_code = -1;  // -1 when killed by a signal or the time limit
  bool timed_out = false;
};

// A child that is still running; standard input stays open until closeInput.
struct RunningProcess {
  int pid = -1;
  int input_fd = -1;
  int out_fd = -1;
  int err_fd = -1;
  long long deadline_ms = 0;  // on the monotonic clock
  ProcessResult result;
};

// Starts the program; false when it cannot be started.
bool startProcess(const std::string& program, const ProcessOptions& options,
                  RunningProcess* process);
// Collects standard output until it holds `text` or the time runs out; true when it appeared.
bool readOutputUntil(RunningProcess& process, const std::string& text, int wait_ms);
// True while the child has not exited.
bool processRunning(RunningProcess& process);
// Waits up to `wait_ms` for the child to exit by itself, standard input left as it is, while
// collecting its output; true when it exited.
bool waitForExit(RunningProcess& process, int wait_ms);
// Writes bytes to the child's standard input; false when they could not all be written.
bool writeInput(RunningProcess& process, const std::string& bytes);
void closeInput(RunningProcess& process);
// Closes standard input, reads both outputs to their end and reaps the child, killing it when
// its time runs out.
ProcessResult finishProcess(RunningProcess& process);

// Starts the program with `input` as its whole standard input (then closed) and waits for it.
ProcessResult runProcess(const std::string& program, const ProcessOptions& options,
                         const std::string& input = "");

// Runs the program with options.arguments through /bin/sh after the shell commands `setup`
// (closing a descriptor, lowering a limit, redirecting output), which apply to the program alone.
// Standard input is empty and closed unless `setup` changes it.
ProcessResult runThroughShell(const std::string& setup, const std::string& program,
                              ProcessOptions options);
