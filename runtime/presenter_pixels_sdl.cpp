// Frame-buffer rows as SDL texture pixels. Receives the screen's depth and the rows of its frame
// buffer; hands on the texture format and the rows copied out in it, widened where SDL's own
// conversion would get the colours wrong.
#include "runtime/presenter_pixels_sdl.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// A channel of the given bits widened to 8: its top bits fill the low end, so 0 stays 0 and
// the top value becomes 255.
uint32_t widen(uint32_t value, int bits) {
  return (value << (8 - bits)) | (value >> (2 * bits - 8));
}

uint32_t rgbWord(uint32_t r, uint32_t g, uint32_t b) { return (r << 16) | (g << 8) | b; }

uint32_t fromPixel565(uint16_t pixel) {
  return rgbWord(widen(pixel >> 11, 5), widen((pixel >> 5) & 0x3F, 6), widen(pixel & 0x1F, 5));
}

uint32_t fromPixel555(uint16_t pixel) {
  return rgbWord(widen((pixel >> 10) & 0x1F, 5), widen((pixel >> 5) & 0x1F, 5),
                 widen(pixel & 0x1F, 5));
}

// The top index is white.
uint32_t fromGreyLevel(uint8_t index, int depth) {
  uint32_t top = (1u << depth) - 1;
  uint32_t grey = (index & top) * 255 / top;
  return rgbWord(grey, grey, grey);
}

template <typename Widen>
void widenPixels16(const uint8_t* source, int width, uint32_t* out, Widen widen_pixel) {
  for (int x = 0; x < width; ++x) {
    uint16_t pixel = 0;
    std::memcpy(&pixel, source + x * 2, sizeof pixel);  // little-endian, maybe unaligned
    out[x] = widen_pixel(pixel);
  }
}

// One frame-buffer row as 0x00RRGGBB words.
void widenRow(const uint8_t* source, const ScreenState& screen, Widening widening, uint32_t* out) {
  if (widening == Widening::kFrom565) {
    widenPixels16(source, screen.width, out, fromPixel565);
  } else if (widening == Widening::kFrom555) {
    widenPixels16(source, screen.width, out, fromPixel555);
  } else {
    for (int x = 0; x < screen.width; ++x) out[x] = fromGreyLevel(source[x], screen.depth);
  }
}

}  // namespace

bool choosePixelLayout(const ScreenState& screen, PixelLayout* layout) {
  int depth = screen.depth;
  int bytes = screen.bytes_per_pixel;
  layout->texture_format = SDL_PIXELFORMAT_RGB888;  // 0x00RRGGBB little-endian words
  if (depth == 15 && bytes == 2) {
    layout->widening = Widening::kFrom555;
  } else if (depth == 16 && bytes == 2) {
    layout->widening = Widening::kFrom565;
  } else if (depth == 24 && bytes == 3) {
    layout->texture_format = SDL_PIXELFORMAT_BGR24;  // bytes blue, green, red, like a DIB
  } else if (depth == 32 && bytes == 4) {
    layout->widening = Widening::kNone;
  } else if (depth <= 8 && bytes == 1) {
    layout->widening = Widening::kGreyLevels;
  } else {
    return false;
  }
  return true;
}

void copyTextureRows(const ScreenState& screen, Widening widening, int first, int count,
                     TextureRows* rows) {
  const uint8_t* source = screen.pixels.data() + static_cast<size_t>(first) * screen.pitch;
  const size_t row_words = static_cast<size_t>(screen.width);
  if (widening == Widening::kNone) {
    const size_t bytes = static_cast<size_t>(screen.pitch) * count;
    rows->words.resize((bytes + 3) / 4);
    std::memcpy(rows->words.data(), source, bytes);
    rows->pitch = screen.pitch;
    return;
  }
  rows->words.resize(row_words * count);
  for (int row = 0; row < count; ++row) {
    widenRow(source + static_cast<size_t>(row) * screen.pitch, screen, widening,
             rows->words.data() + row * row_words);
  }
  rows->pitch = static_cast<int>(row_words * 4);
}
