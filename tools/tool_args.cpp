// Reading the tool's command-line arguments. Receives argv and option tables; hands on positional
// arguments, option values, frame ranges and desktop sizes.
#include "tools/tool_args.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "runtime/desktop_size.h"

bool parseCount(const std::string& text, int64_t min, int64_t max, int64_t* value) {
  if (text.empty() || text.size() > 18) return false;
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  const int64_t number = std::strtoll(text.c_str(), nullptr, 10);
  if (number < min || number > max) return false;
  *value = number;
  return true;
}

bool parseFrameRange(const std::string& text, FrameRange* range) {
  const size_t dash = text.find('-');
  FrameRange parsed;
  if (dash == std::string::npos) {
    if (!parseCount(text, 0, INT64_MAX, &parsed.first)) return false;
    parsed.last = parsed.first;
  } else {
    if (!parseCount(text.substr(0, dash), 0, INT64_MAX, &parsed.first)) return false;
    const std::string last = text.substr(dash + 1);
    if (!last.empty() && !parseCount(last, 0, INT64_MAX, &parsed.last)) return false;
    if (parsed.last < parsed.first) return false;
  }
  *range = parsed;
  return true;
}

// Frames are drawn at half the desktop's size, so each side needs at least 2.
constexpr int32_t kToolDesktopSideMin = 2;

bool parseDesktopSize(const std::string& text, DesktopSize* size) {
  return readDesktopSize(text, kToolDesktopSideMin, &size->width, &size->height);
}

std::string badDesktopSize(const std::string& text) {
  return "bad desktop size \"" + text + "\" (want " + desktopSizeWanted(kToolDesktopSideMin) + ")";
}

const std::string* ParsedArgs::option(const std::string& name) const {
  const std::string* found = nullptr;
  for (const auto& [key, value] : options) {
    if (key == name) found = &value;
  }
  return found;
}

static bool listed(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::string readThreadsOption(const ParsedArgs& args, int* threads) {
  const std::string* text = args.option("threads");
  if (text == nullptr) return "";
  int64_t value = 0;
  if (!parseCount(*text, 1, 64, &value)) {
    return "bad thread count \"" + *text + "\" (want 1 to 64)";
  }
  *threads = int(value);
  return "";
}

ParsedArgs parseArgs(int argc, const char* const* argv, const std::vector<std::string>& valued,
                     const std::vector<std::string>& flags) {
  ParsedArgs parsed;
  for (int i = 0; i < argc && parsed.error.empty(); ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      parsed.help = true;
    } else if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      std::string name = arg.substr(2);
      const size_t equals = name.find('=');
      std::string value;
      const bool inline_value = equals != std::string::npos;
      if (inline_value) {
        value = name.substr(equals + 1);
        name.resize(equals);
      }
      if (listed(flags, name) && !inline_value) {
        parsed.options.emplace_back(name, "");
      } else if (!listed(valued, name)) {
        parsed.error = "unknown option --" + name;
      } else if (inline_value) {
        parsed.options.emplace_back(name, value);
      } else if (i + 1 < argc) {
        parsed.options.emplace_back(name, argv[++i]);
      } else {
        parsed.error = "--" + name + " needs a value";
      }
    } else {
      parsed.positional.push_back(arg);
    }
  }
  return parsed;
}

int usageError(const char* command, const std::string& message, const char* usage) {
  std::fprintf(stderr, "kestrune %s: %s\n%s", command, message.c_str(), usage);
  return kExitUsage;
}
