// Frame files of `kestrune render`: the filtered window picture as raw 5-6-5 values or as an
// 8-bit RGB PNG. Receives width x height pixels; hands on one file per frame.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "renderer/zbuffer.h"

// "frame_" and the frame's number in six or more digits, then "." and the extension.
std::string frameFileName(int64_t index, const char* extension);

// 8-bit red, green and blue of a 5-6-5 pixel, each channel's top bits repeated into the low
// ones (r8 = r5 << 3 | r5 >> 2, g8 = g6 << 2 | g6 >> 4), so 0 stays 0 and full stays 255.
struct Rgb8 {
  uint8_t red, green, blue;
};
Rgb8 widenPixel(Pixel565 pixel);

// width x height little-endian 16-bit values, rows top first. False when the file cannot be
// written.
bool writeRawFrame(const std::string& path, const std::vector<Pixel565>& pixels);

// An 8-bit RGB PNG through libpng. False when the file cannot be written.
bool writePngFrame(const std::string& path, const std::vector<Pixel565>& pixels, int32_t width,
                   int32_t height);
