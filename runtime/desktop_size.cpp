// Reading a desktop size given as text. Receives "WxH"; hands on the two sides, or false.
#include "runtime/desktop_size.h"

namespace {

// A side: digits only, at least one, from smallest to kDesktopSideMax. Stops counting as soon as
// the value passes the limit, so any number of digits is safe.
bool readSide(std::string_view digits, int32_t smallest, int32_t* side) {
  if (digits.empty()) return false;
  int32_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
    if (value > kDesktopSideMax) return false;
  }
  if (value < smallest) return false;
  *side = value;
  return true;
}

}  // namespace

bool readDesktopSize(std::string_view text, int32_t smallest, int32_t* width, int32_t* height) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string_view::npos) return false;
  int32_t w = 0;
  int32_t h = 0;
  if (!readSide(text.substr(0, x), smallest, &w) || !readSide(text.substr(x + 1), smallest, &h)) {
    return false;
  }
  *width = w;
  *height = h;
  return true;
}

std::string desktopSizeWanted(int32_t smallest) {
  return "WxH, each from " + std::to_string(smallest) + " to " + std::to_string(kDesktopSideMax);
}
