// The desktop size a program may be told to assume instead of the display's: one upper limit and
// one reading of "WxH" for the player's KESTRUNE_DESKTOP and the tool's --desktop. Receives the
// text; hands on the two sides, or the words that say what is wanted.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The largest side of a desktop given in place of the display's. The render buffer is the
// desktop's size, and the drawing is checked up to here.
inline constexpr int32_t kDesktopSideMax = 32768;

// "WxH" or "WXH": two runs of decimal digits and nothing else, each side from `smallest` to
// kDesktopSideMax. False, with *width and *height untouched, on anything else.
bool readDesktopSize(std::string_view text, int32_t smallest, int32_t* width, int32_t* height);

// What readDesktopSize wants, for messages: "WxH, each from <smallest> to 32768".
std::string desktopSizeWanted(int32_t smallest);
