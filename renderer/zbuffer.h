// The drawing surface: a 5-6-5 frame buffer, a 16-bit depth buffer, the pixel mode that decides
// how the picture is copied out, and the texel array that textured fills sample. Receives sizes,
// caller memory and clear colours; hands the buffers on to the fills and the picture to callers.
#pragma once
#include <cstdint>

// One frame-buffer pixel: red in bits 15-11, green in bits 10-5, blue in bits 4-0, stored
// little-endian. The render buffer, textures and the window's frame buffer all use it.
using Pixel565 = uint16_t;

// Pixel modes: drawing is always 5-6-5; the mode only chooses the copy-out format.
constexpr int kZbMode565 = 1;      // 16-bit 5-6-5 rows, copied as they are
constexpr int kZbModeDither8 = 2;  // 8-bit palette indexes, ordered dither over a 5x9x5 cube
constexpr int kZbModeRgb32 = 3;    // 32-bit 0x00RRGGBB words
constexpr int kZbModeRgb24 = 4;    // 24-bit pixels, bytes B, G, R per pixel (as a 24-bit DIB)

// Size of the mode-2 colour cube: 5 red x 9 green x 5 blue levels.
constexpr int kZbCubeColors = 225;

struct ZBuffer {
  int width;              // pixels per row
  int height;             // rows; row 0 is the top of the picture
  int line_bytes;         // bytes from one frame-buffer row to the next (width x 2 rounded up to 4)
  int mode;               // kZbMode565 .. kZbModeRgb24
  uint16_t* depth;        // width x height values, no row padding; larger is nearer
  Pixel565* pixels;       // height rows of line_bytes bytes; padding bytes are never written
  int owns_pixels;        // 1: pixels was allocated here and is freed on close; 0: the caller's
  int color_count;        // mode 2: number of palette entries, else 0
  uint8_t* dither_table;  // mode 2: 32768 entries, 15-bit dither index to palette index
  int* cube_colors;       // mode 2: color_count ints, the cube as 0x00RRGGBB
  const Pixel565* texture;  // 256 x 256 texels sampled by textured fills; null until set
};

// The top 5, 6 and 5 bits of channels on the 0..65535 scale, truncated (never rounded).
constexpr Pixel565 rgbToPixel(int r, int g, int b) {
  return static_cast<Pixel565>((r & 0xF800) | ((g >> 5) & 0x07E0) | (b >> 11));
}

// A new surface of width x height in `mode`, or null for an unknown mode, a size below 1 or a
// failed allocation (nothing is left allocated then). Mode 2 reads cube_to_palette (a palette
// index for each of the 225 cube indexes b + 5g + 45r) and writes the cube's colours into the first
// entries of palette_out, zeroing it up to color_count; fewer than 225 colours end the process
// with "zdither: not enough colors". caller_pixels, when not null, becomes the frame buffer (at
// least height x line_bytes bytes, kept by the caller). Neither buffer is cleared.
ZBuffer* zbOpen(int width, int height, int mode, int color_count, const uint8_t* cube_to_palette,
                int* palette_out, Pixel565* caller_pixels);

// Frees the depth buffer, the mode-2 tables, an owned frame buffer and the record.
void zbClose(ZBuffer* zb);

// New size: width rounded down to a multiple of 4, rows of width x 2 bytes, a new depth buffer,
// and caller_pixels (when not null) or a newly allocated frame buffer. Allocations are unchecked.
void zbResize(ZBuffer* zb, Pixel565* caller_pixels, int width, int height);

// Fills every depth value with the low 16 bits of depth_value when clear_depth is non-zero, and
// every pixel with rgbToPixel(r, g, b) when clear_color is non-zero. Row padding is untouched.
void zbClear(ZBuffer* zb, int clear_depth, int depth_value, int clear_color, int r, int g, int b);

// Writes the picture into dest in the format of the mode; dest_line is the destination's row
// pitch in bytes as the mode interprets it (halved in mode 2, tripled in mode 4). Never writes
// past the width x bytes-per-pixel bytes of any destination row; rows may run bottom-up (a
// negative pitch). Mode 2 asserts that dest and its row size dest_line / 2 are both even.
void zbCopyOut(const ZBuffer* zb, void* dest, int dest_line);

// The texel array the next textured fill samples; owned by its texture object.
void zbSetTexture(ZBuffer* zb, const Pixel565* texels);
