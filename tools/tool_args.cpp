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

// The length of the well-formed UTF-8 sequence at text[at], 0 when the bytes there are not one
// (a stray continuation byte, a sequence cut short, an overlong or surrogate form).
static size_t utf8Length(const std::string& text, size_t at) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[at + k]); };
  const unsigned char lead = byte(0);
  const size_t length = lead < 0x80                    ? 1
                        : lead >= 0xC2 && lead <= 0xDF ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return 0;
  }
  if (lead == 0xE0 && byte(1) < 0xA0) return 0;   // overlong
  if (lead == 0xED && byte(1) >= 0xA0) return 0;  // a surrogate
  if (lead == 0xF0 && byte(1) < 0x90) return 0;   // overlong
  if (lead == 0xF4 && byte(1) >= 0x90) return 0;  // beyond U+10FFFF
  return length;
}

// The path as a JSON string: quotes, backslashes and control characters escaped, and bytes that
// are not UTF-8 (a file name may hold any bytes) replaced by U+FFFD, so that the JSON stays valid.
std::string jsonString(const std::string& text) {
  std::string quoted = "\"";
  for (size_t at = 0; at < text.size();) {
    const char c = text[at];
    const size_t length = utf8Length(text, at);
    if (length == 0) {
      quoted += "\\ufffd";
      ++at;
      continue;
    }
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      quoted += escape;
    } else {
      quoted.append(text, at, length);
    }
    at += length;
  }
  return quoted + "\"";
}
