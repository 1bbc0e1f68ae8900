// Image conversion for texture upload: receives a caller's 8-bit RGB image of any size and hands
// on the 256 x 256 array of 5-6-5 texels that the textured fill samples, resampled to the nearest
// source pixel and converted once, so that texel fetch needs no per-texture scaling.
#pragma once

#include <cstdint>

#include "renderer/zbuffer.h"

// Texels per side of every stored texture image.
inline constexpr int kTextureSide = 256;

// The top 5 bits of red, 6 of green and 5 of blue.
constexpr Pixel565 rgbBytesToPixel(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<Pixel565>(((r << 8) & 0xF800) | ((g << 3) & 0x07E0) | (b >> 3));
}

// The source column (or row) that destination column i (0..255) takes from an image `size`
// pixels wide: floor(i x size / 256), the 16.16 step size x 256 accumulated i times, shifted
// down 16. Computed in 64 bits, so it holds for every positive int size and stays below it.
inline int resampleIndex(int i, int size) { return static_cast<int>((int64_t{i} * size) >> 8); }

// Whether a width x height image of 3-byte pixels can be read at all: both sides positive and
// its byte count addressable. An image larger than the address space cannot exist, so a caller
// claiming one has given wrong sizes.
bool isReadableRgbImage(int width, int height);

// Fills `texels` (256 x 256, row 0 first) from `rgb`: width x height pixels of red, green, blue
// bytes, rows packed without padding, row 0 first. Reads only the source pixels it samples:
// 256 x 256 at most, whatever the size. Requires isReadableRgbImage(width, height).
void convertRgbImage(const uint8_t* rgb, int width, int height, Pixel565* texels);
