// How the SDL presenter's texture holds the frame buffer: receives the screen's depth and rows;
// hands on the texture format and rows copied out of the frame buffer in that format.
#pragma once
#include <SDL.h>

#include <cstdint>
#include <vector>

#include "runtime/screen_state.h"

// How the frame buffer's bytes become texture pixels. 24- and 32-bit pixels have SDL formats
// with the same memory layout and are copied as they are. 15- and 16-bit pixels are widened to
// 8 bits a channel here, by repeating each channel's top bits, because SDL's own conversion
// shows full green (63) as 254: white would not be white. Depths of 8 and below (one byte a
// pixel, no palette in the screen) are shown as grey levels.
enum class Widening { kNone, kFrom565, kFrom555, kGreyLevels };

struct PixelLayout {
  Uint32 texture_format = SDL_PIXELFORMAT_UNKNOWN;
  Widening widening = Widening::kNone;
};

// The layout for the screen's depth and pixel size; false when the texture cannot show it.
bool choosePixelLayout(const ScreenState& screen, PixelLayout* layout);

// Rows copied out of the frame buffer in the texture's format, `pitch` bytes apart from the
// start of `words` (whole words, so that widened rows are aligned).
struct TextureRows {
  std::vector<uint32_t> words;
  int pitch = 0;
};

// Caller holds the presenter's lock. Copies `count` rows from row `first` (both within the
// screen) into *rows: as they are, or widened to 0x00RRGGBB words.
void copyTextureRows(const ScreenState& screen, Widening widening, int first, int count,
                     TextureRows* rows);
