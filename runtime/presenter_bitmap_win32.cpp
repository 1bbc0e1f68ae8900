// Frame-buffer rows as a device-independent bitmap for the GDI presenter. Receives the screen's
// format and rows first..last of its frame buffer; hands on the bitmap header (colour masks or a
// grey palette) and top-down bitmap rows, in the frame buffer itself or in a staging copy.
#include "runtime/presenter_bitmap_win32.h"

#include <cstring>

namespace {

// Depths of 8 bits and below are shown as grey levels: pixel value v of a d-bit screen is the
// grey v * 255 / (2^d - 1), so 0 is black and the largest value white.
void fillGreyPalette(RGBQUAD* colours, int depth) {
  const int top = (1 << depth) - 1;
  for (int i = 0; i < 256; ++i) {
    const BYTE grey = static_cast<BYTE>((i < top ? i : top) * 255 / top);
    colours[i] = RGBQUAD{grey, grey, grey, 0};
  }
}

}  // namespace

const BITMAPINFO* bitmapInfo(const GdiBitmap& b) {
  return reinterpret_cast<const BITMAPINFO*>(&b.bitmap);
}

bool describeBitmap(const ScreenState& screen, GdiBitmap& b) {
  BITMAPINFOHEADER& h = b.bitmap.header;
  h.biSize = sizeof h;
  h.biWidth = screen.width;
  h.biHeight = -screen.height;  // negative: rows run top row first
  h.biPlanes = 1;
  h.biCompression = BI_RGB;
  switch (screen.depth) {
    case 15:  // 16-bit BI_RGB is 5-5-5
    case 24:
    case 32:
      h.biBitCount = static_cast<WORD>(screen.depth == 15 ? 16 : screen.depth);
      break;
    case 16: {
      const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
      h.biBitCount = 16;
      h.biCompression = BI_BITFIELDS;
      std::memcpy(b.bitmap.colours, masks, sizeof masks);
      break;
    }
    case 1:
    case 2:
    case 4:
    case 8:
      h.biBitCount = 8;
      fillGreyPalette(b.bitmap.colours, screen.depth);
      break;
    default:
      return false;
  }
  if (screen.bytes_per_pixel * 8 != h.biBitCount) return false;
  b.dib_pitch = (screen.width * screen.bytes_per_pixel + 3) & ~3;
  if (b.dib_pitch != screen.pitch)
    b.staging.resize(static_cast<size_t>(b.dib_pitch) * screen.height);
  return true;
}

BitmapSpan prepareSpan(ScreenState& screen, GdiBitmap& b, int first, int last) {
  if (first < 0) first = 0;
  if (last >= screen.height) last = screen.height - 1;
  if (first > last) return BitmapSpan{first, 0, nullptr};
  const int rows = last - first + 1;
  b.bitmap.header.biHeight = -rows;
  const uint8_t* source = screen.pixels.data() + static_cast<size_t>(first) * screen.pitch;
  if (b.staging.empty()) return BitmapSpan{first, rows, source};
  for (int r = 0; r < rows; ++r) {
    std::memcpy(b.staging.data() + static_cast<size_t>(r) * b.dib_pitch,
                source + static_cast<size_t>(r) * screen.pitch, screen.pitch);
  }
  return BitmapSpan{first, rows, b.staging.data()};
}
