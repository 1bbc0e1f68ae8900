// The SDL presenter's key tables: SDL's scancodes to the PC's set-1 scancodes and key codes, as
// SDL keeps its own scancode tables apart. Receives SDL key symbols, scancodes, the keyboard
// state and text; hands on held flags, key codes and the characters of text to the key queue.
#include "runtime/presenter_keys_sdl.h"

#include <SDL.h>

#include <cstddef>
#include <cstdint>

#include "runtime/keyboard.h"

namespace {

struct ScancodePair {
  SDL_Scancode sdl;
  uint8_t code;
};

// SDL's scancodes (USB usage numbers) to the PC's set-1 scancodes used by the key-held flags.
// Keys that set 1 sends with an E0 prefix share the flag of the key they extend (right Ctrl with
// left Ctrl, the arrows with keypad 8, 4, 6 and 2), as in the Windows scancode-to-key table.
// clang-format off
constexpr ScancodePair kHeldScancodes[] = {
    {SDL_SCANCODE_ESCAPE, 0x01},         {SDL_SCANCODE_1, 0x02},
    {SDL_SCANCODE_2, 0x03},              {SDL_SCANCODE_3, 0x04},
    {SDL_SCANCODE_4, 0x05},              {SDL_SCANCODE_5, 0x06},
    {SDL_SCANCODE_6, 0x07},              {SDL_SCANCODE_7, 0x08},
    {SDL_SCANCODE_8, 0x09},              {SDL_SCANCODE_9, 0x0A},
    {SDL_SCANCODE_0, 0x0B},              {SDL_SCANCODE_MINUS, 0x0C},
    {SDL_SCANCODE_EQUALS, 0x0D},         {SDL_SCANCODE_BACKSPACE, 0x0E},
    {SDL_SCANCODE_TAB, 0x0F},            {SDL_SCANCODE_Q, 0x10},
    {SDL_SCANCODE_W, 0x11},              {SDL_SCANCODE_E, 0x12},
    {SDL_SCANCODE_R, 0x13},              {SDL_SCANCODE_T, 0x14},
    {SDL_SCANCODE_Y, 0x15},              {SDL_SCANCODE_U, 0x16},
    {SDL_SCANCODE_I, 0x17},              {SDL_SCANCODE_O, 0x18},
    {SDL_SCANCODE_P, 0x19},              {SDL_SCANCODE_LEFTBRACKET, 0x1A},
    {SDL_SCANCODE_RIGHTBRACKET, 0x1B},   {SDL_SCANCODE_RETURN, 0x1C},
    {SDL_SCANCODE_KP_ENTER, 0x1C},       {SDL_SCANCODE_LCTRL, 0x1D},
    {SDL_SCANCODE_RCTRL, 0x1D},          {SDL_SCANCODE_A, 0x1E},
    {SDL_SCANCODE_S, 0x1F},              {SDL_SCANCODE_D, 0x20},
    {SDL_SCANCODE_F, 0x21},              {SDL_SCANCODE_G, 0x22},
    {SDL_SCANCODE_H, 0x23},              {SDL_SCANCODE_J, 0x24},
    {SDL_SCANCODE_K, 0x25},              {SDL_SCANCODE_L, 0x26},
    {SDL_SCANCODE_SEMICOLON, 0x27},      {SDL_SCANCODE_APOSTROPHE, 0x28},
    {SDL_SCANCODE_GRAVE, 0x29},          {SDL_SCANCODE_LSHIFT, 0x2A},
    {SDL_SCANCODE_BACKSLASH, 0x2B},      {SDL_SCANCODE_NONUSHASH, 0x2B},
    {SDL_SCANCODE_Z, 0x2C},              {SDL_SCANCODE_X, 0x2D},
    {SDL_SCANCODE_C, 0x2E},              {SDL_SCANCODE_V, 0x2F},
    {SDL_SCANCODE_B, 0x30},              {SDL_SCANCODE_N, 0x31},
    {SDL_SCANCODE_M, 0x32},              {SDL_SCANCODE_COMMA, 0x33},
    {SDL_SCANCODE_PERIOD, 0x34},         {SDL_SCANCODE_SLASH, 0x35},
    {SDL_SCANCODE_KP_DIVIDE, 0x35},      {SDL_SCANCODE_RSHIFT, 0x36},
    {SDL_SCANCODE_KP_MULTIPLY, 0x37},    {SDL_SCANCODE_PRINTSCREEN, 0x37},
    {SDL_SCANCODE_LALT, 0x38},           {SDL_SCANCODE_RALT, 0x38},
    {SDL_SCANCODE_SPACE, 0x39},          {SDL_SCANCODE_CAPSLOCK, 0x3A},
    {SDL_SCANCODE_F1, 0x3B},             {SDL_SCANCODE_F2, 0x3C},
    {SDL_SCANCODE_F3, 0x3D},             {SDL_SCANCODE_F4, 0x3E},
    {SDL_SCANCODE_F5, 0x3F},             {SDL_SCANCODE_F6, 0x40},
    {SDL_SCANCODE_F7, 0x41},             {SDL_SCANCODE_F8, 0x42},
    {SDL_SCANCODE_F9, 0x43},             {SDL_SCANCODE_F10, 0x44},
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x45},   {SDL_SCANCODE_SCROLLLOCK, 0x46},
    {SDL_SCANCODE_KP_7, 0x47},           {SDL_SCANCODE_HOME, 0x47},
    {SDL_SCANCODE_KP_8, 0x48},           {SDL_SCANCODE_UP, 0x48},
    {SDL_SCANCODE_KP_9, 0x49},           {SDL_SCANCODE_PAGEUP, 0x49},
    {SDL_SCANCODE_KP_MINUS, 0x4A},       {SDL_SCANCODE_KP_4, 0x4B},
    {SDL_SCANCODE_LEFT, 0x4B},           {SDL_SCANCODE_KP_5, 0x4C},
    {SDL_SCANCODE_KP_6, 0x4D},           {SDL_SCANCODE_RIGHT, 0x4D},
    {SDL_SCANCODE_KP_PLUS, 0x4E},        {SDL_SCANCODE_KP_1, 0x4F},
    {SDL_SCANCODE_END, 0x4F},            {SDL_SCANCODE_KP_2, 0x50},
    {SDL_SCANCODE_DOWN, 0x50},           {SDL_SCANCODE_KP_3, 0x51},
    {SDL_SCANCODE_PAGEDOWN, 0x51},       {SDL_SCANCODE_KP_0, 0x52},
    {SDL_SCANCODE_INSERT, 0x52},         {SDL_SCANCODE_KP_PERIOD, 0x53},
    {SDL_SCANCODE_DELETE, 0x53},         {SDL_SCANCODE_NONUSBACKSLASH, 0x56},
    {SDL_SCANCODE_F11, 0x57},            {SDL_SCANCODE_F12, 0x58},
    {SDL_SCANCODE_LGUI, 0x5B},           {SDL_SCANCODE_RGUI, 0x5C},
    {SDL_SCANCODE_APPLICATION, 0x5D},
};
// clang-format on

// Keys that type no text post 255 with an extended code above it, the code a PC console program
// reads after its 0 or 0xE0 prefix: the key's set-1 scancode ("H" for Up, ";" for F1, "S" for
// Delete), except F11 and F12, whose console codes are 0x85 and 0x86.
constexpr ScancodePair kExtendedKeys[] = {
    {SDL_SCANCODE_F1, 0x3B},     {SDL_SCANCODE_F2, 0x3C},       {SDL_SCANCODE_F3, 0x3D},
    {SDL_SCANCODE_F4, 0x3E},     {SDL_SCANCODE_F5, 0x3F},       {SDL_SCANCODE_F6, 0x40},
    {SDL_SCANCODE_F7, 0x41},     {SDL_SCANCODE_F8, 0x42},       {SDL_SCANCODE_F9, 0x43},
    {SDL_SCANCODE_F10, 0x44},    {SDL_SCANCODE_F11, 0x85},      {SDL_SCANCODE_F12, 0x86},
    {SDL_SCANCODE_HOME, 0x47},   {SDL_SCANCODE_UP, 0x48},       {SDL_SCANCODE_PAGEUP, 0x49},
    {SDL_SCANCODE_LEFT, 0x4B},   {SDL_SCANCODE_RIGHT, 0x4D},    {SDL_SCANCODE_END, 0x4F},
    {SDL_SCANCODE_DOWN, 0x50},   {SDL_SCANCODE_PAGEDOWN, 0x51}, {SDL_SCANCODE_INSERT, 0x52},
    {SDL_SCANCODE_DELETE, 0x53},
};

// With Num Lock off the keypad types no digits and acts as the navigation keys it is marked with.
constexpr ScancodePair kKeypadNavigation[] = {
    {SDL_SCANCODE_KP_7, 0x47},      {SDL_SCANCODE_KP_8, 0x48}, {SDL_SCANCODE_KP_9, 0x49},
    {SDL_SCANCODE_KP_4, 0x4B},      {SDL_SCANCODE_KP_6, 0x4D}, {SDL_SCANCODE_KP_1, 0x4F},
    {SDL_SCANCODE_KP_2, 0x50},      {SDL_SCANCODE_KP_3, 0x51}, {SDL_SCANCODE_KP_0, 0x52},
    {SDL_SCANCODE_KP_PERIOD, 0x53},
};

template <size_t N>
int findCode(const ScancodePair (&table)[N], SDL_Scancode scancode) {
  for (const ScancodePair& pair : table) {
    if (pair.sdl == scancode) return pair.code;
  }
  return 0;
}

int extendedKey(int code) { return 255 | (code << 8); }

}  // namespace

int sdlHeldScancode(SDL_Scancode scancode) { return findCode(kHeldScancodes, scancode); }

void sdlHeldKeys(const Uint8* state, bool (&held)[kScancodes]) {
  for (bool& flag : held) flag = false;
  for (const ScancodePair& pair : kHeldScancodes) held[pair.code] |= state[pair.sdl] != 0;
}

// The key code a key-down posts, 0 when it posts none (its text arrives as SDL_TEXTINPUT, or
// it is a modifier). Control characters come from here because SDL sends no text for them.
int sdlKeyDownCode(const SDL_Keysym& key) {
  switch (key.sym) {
    case SDLK_ESCAPE:
      return 27;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return 13;
    case SDLK_BACKSPACE:
      return 8;
    case SDLK_TAB:
      return 9;
    default:
      break;
  }
  bool control = (key.mod & KMOD_CTRL) != 0 && (key.mod & KMOD_ALT) == 0;
  if (control && key.sym >= SDLK_a && key.sym <= SDLK_z) return key.sym - SDLK_a + 1;
  if (int code = findCode(kExtendedKeys, key.scancode)) return extendedKey(code);
  if ((key.mod & KMOD_NUM) == 0) {
    if (int code = findCode(kKeypadNavigation, key.scancode)) return extendedKey(code);
  }
  return 0;
}

// Decodes UTF-8 text and posts each character that Latin-1 holds; others cannot be expressed
// in a one-byte key code and are dropped, as are malformed bytes.
void sdlPostText(const char* text) {
  const auto* byte = reinterpret_cast<const unsigned char*>(text);
  while (*byte != 0) {
    int length = *byte < 0x80 ? 1 : (*byte >> 5) == 6 ? 2 : (*byte >> 4) == 14 ? 3 : 4;
    int character = length == 1 ? *byte : length == 2 ? *byte & 0x1F : -1;
    for (int i = 1; i < length; ++i) {
      if ((byte[i] & 0xC0) != 0x80) {
        character = -1;
        length = i;
        break;
      }
      if (character >= 0) character = (character << 6) | (byte[i] & 0x3F);
    }
    if (character >= 0 && character < 256) postKey(character);
    byte += length;
  }
}

// Held flags follow SDL's keyboard state while the window has the focus; on losing it they are
