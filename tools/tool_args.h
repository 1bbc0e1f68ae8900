// Reading the tool's command-line arguments: options with values, frame ranges and desktop
// sizes. Receives argv; hands on plain values, or an error text for the usage message.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Frames counted from 0 at the first frame mark; both ends included.
struct FrameRange {
  int64_t first = 0;
  int64_t last = INT64_MAX;
  bool contains(int64_t frame) const { return frame >= first && frame <= last; }
};

struct DesktopSize {
  int32_t width = 1920;
  int32_t height = 1080;
};

// "A-B", "A-" or "A": false on anything else, on B < A and on negative numbers.
bool parseFrameRange(const std::string& text, FrameRange* range);

// "WxH" with both sides from 2 to the desktop limit the player keeps to as well (32768).
bool parseDesktopSize(const std::string& text, DesktopSize* size);

// The usage problem of a --desktop value that parseDesktopSize refuses:
// bad desktop size "TEXT" (want WxH, each from 2 to 32768)
std::string badDesktopSize(const std::string& text);

// A whole number from min to max, the whole text.
bool parseCount(const std::string& text, int64_t min, int64_t max, int64_t* value);

// "--threads N", N from 1 to 64, into *threads, which keeps its value when the option is
// absent. Gives the usage problem, empty when there is none.
struct ParsedArgs;
std::string readThreadsOption(const ParsedArgs& args, int* threads);

// The arguments split into positional ones and "--name value" / "--name=value" options.
// `valued` lists the options that take a value, `flags` those that take none. "--help" and "-h"
// set `help`. Anything unknown or a missing value leaves a message in `error`.
struct ParsedArgs {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;  // name without "--", value
  bool help = false;
  std::string error;
  // The last value given for an option; nullptr when absent.
  const std::string* option(const std::string& name) const;
  bool has(const std::string& name) const { return option(name) != nullptr; }
};

ParsedArgs parseArgs(int argc, const char* const* argv, const std::vector<std::string>& valued,
                     const std::vector<std::string>& flags);

// Prints "kestrune <command>: <message>" and the usage line on standard error; gives kExitUsage.
int usageError(const char* command, const std::string& message, const char* usage);

// The text as a JSON string: quotes, backslashes and control characters escaped, and bytes that
// are not UTF-8 (a file name may hold any bytes) replaced by U+FFFD, so that the JSON stays valid.
std::string jsonString(const std::string& text);
