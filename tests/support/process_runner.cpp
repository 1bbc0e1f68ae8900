// POSIX fork/exec with pipes and a watchdog deadline: a child that hangs is killed so that a test
// fails instead of blocking. Receives program and options; hands on output and exit status.
#include "tests/support/process_runner.h"

#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

extern char** environ;

namespace {

long long nowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void closeFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Our environment with the given entries added; an entry replaces one of the same name.
std::vector<std::string> childEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    bool replaced = false;
    for (const std::string& added : extra) {
      replaced = replaced || added.substr(0, added.find('=')) == name;
    }
    if (!replaced) entries.push_back(text);
  }
  entries.insert(entries.end(), extra.begin(), extra.end());
  return entries;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (std::string& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

// Runs in the child between fork and exec: only async-signal-safe calls.
[[noreturn]] void execChild(const char* program, char* const* argv, char* const* envp,
                            const char* folder, int input, int out, int err) {
  dup2(input, STDIN_FILENO);
  dup2(out, STDOUT_FILENO);
  dup2(err, STDERR_FILENO);
  if (folder[0] != '\0' && chdir(folder) != 0) _exit(126);
  execve(program, argv, envp);
  _exit(127);
}

// Reads what is ready on the child's output pipes, waiting at most until `until_ms`.
// False when both pipes have reached their end.
bool pumpOutput(RunningProcess& process, long long until_ms) {
  pollfd fds[2] = {{process.out_fd, POLLIN, 0}, {process.err_fd, POLLIN, 0}};
  if (process.out_fd < 0 && process.err_fd < 0) return false;
  const long long wait = until_ms - nowMs();
  if (poll(fds, 2, wait > 0 ? static_cast<int>(wait) : 0) <= 0) return true;
  int* fd_of[2] = {&process.out_fd, &process.err_fd};
  std::string* text_of[2] = {&process.result.out, &process.result.err};
  for (int i = 0; i < 2; ++i) {
    if (fds[i].revents == 0) continue;
    char buffer[4096];
    const ssize_t got = read(*fd_of[i], buffer, sizeof(buffer));
    if (got > 0) {
      text_of[i]->append(buffer, static_cast<size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      closeFd(*fd_of[i]);
    }
  }
  return true;
}

}  // namespace

bool startProcess(const std::string& program, const ProcessOptions& options,
                  RunningProcess* process) {
  signal(SIGPIPE, SIG_IGN);  // writing to a child that has exited must not end the test
  int input[2], out[2], err[2];
  if (pipe2(input, O_CLOEXEC) != 0) return false;
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return false;
  std::vector<std::string> argv_texts = {program};
  argv_texts.insert(argv_texts.end(), options.arguments.begin(), options.arguments.end());
  std::vector<std::string> env_texts = childEnvironment(options.environment);
  std::vector<char*> argv = pointers(argv_texts);
  std::vector<char*> envp = pointers(env_texts);
  const pid_t pid = fork();
  if (pid == 0) {
    execChild(program.c_str(), argv.data(), envp.data(), options.working_folder.c_str(), input[0],
              out[1], err[1]);
  }
  close(input[0]);
  close(out[1]);
  close(err[1]);
  *process = RunningProcess{};
  process->pid = pid;
  process->input_fd = input[1];
  process->out_fd = out[0];
  process->err_fd = err[0];
  process->deadline_ms = nowMs() + options.timeout_ms;
  return pid > 0;
}

bool readOutputUntil(RunningProcess& process, const std::string& text, int wait_ms) {
  const long long until = std::min(nowMs() + wait_ms, process.deadline_ms);
  while (process.result.out.find(text) == std::string::npos) {
    if (nowMs() >= until || !pumpOutput(process, until)) break;
  }
  return process.result.out.find(text) != std::string::npos;
}

bool processRunning(RunningProcess& process) {
  if (process.pid <= 0) return false;
  int status = 0;
  const pid_t done = waitpid(process.pid, &status, WNOHANG);
  if (done == 0) return true;
  if (done == process.pid) {
    process.result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    process.pid = -1;
  }
  return false;
}

bool waitForExit(RunningProcess& process, int wait_ms) {
  const long long until = std::min(nowMs() + wait_ms, process.deadline_ms);
  while (processRunning(process)) {
    if (nowMs() >= until) return false;
    if (!pumpOutput(process, std::min(nowMs() + 2, until))) usleep(2000);
  }
  return true;
}

bool writeInput(RunningProcess& process, const std::string& bytes) {
  size_t written = 0;
  while (process.input_fd >= 0 && written < bytes.size()) {
    const ssize_t got = write(process.input_fd, bytes.data() + written, bytes.size() - written);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    written += static_cast<size_t>(got);
  }
  return written == bytes.size();
}

void closeInput(RunningProcess& process) { closeFd(process.input_fd); }

ProcessResult finishProcess(RunningProcess& process) {
  closeInput(process);
  while (nowMs() < process.deadline_ms && pumpOutput(process, process.deadline_ms)) {
  }
  while (processRunning(process) && nowMs() < process.deadline_ms) usleep(2000);
  if (process.pid > 0) {
    kill(process.pid, SIGKILL);
    waitpid(process.pid, nullptr, 0);
    process.pid = -1;
    process.result.timed_out = true;
    process.result.exit_code = -1;
  }
  closeFd(process.out_fd);
  closeFd(process.err_fd);
  return process.result;
}

ProcessResult runProcess(const std::string& program, const ProcessOptions& options,
                         const std::string& input) {
  RunningProcess process;
  if (!startProcess(program, options, &process)) return ProcessResult{};
  writeInput(process, input);
  return finishProcess(process);
}

ProcessResult runThroughShell(const std::string& setup, const std::string& program,
                              ProcessOptions options) {
  std::vector<std::string> arguments = {"-c", setup + "; exec \"$0\" \"$@\"", program};
  arguments.insert(arguments.end(), options.arguments.begin(), options.arguments.end());
  options.arguments = arguments;
  return runProcess("/bin/sh", options);
}

#endif  // _WIN32
