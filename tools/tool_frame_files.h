// Frame files of `kestrune render`: the filtered window picture as raw 5-6-5 values or as an
// 8-bit RGB PNG. Receives width x height pixels; hands on one file per frame.
#pragma once
#include <cstdint>
#include <string>

#include "renderer/zbuffer.h"

// "frame_" and the frame's number in six or more digits, then "." and the extension.
std::string frameFileName(int64_t index, const char* extension);

// 8-bit red, green and blue of a 5-6-5 pixel, each channel's top bits repeated into the low
// ones (r8 = r5 << 3 | r5 >> 2, g8 = g6 << 2 | g6 >> 4), so 0 stays 0 and full stays 255.
struct Rgb8 {
  uint8_t red, green, blue;
};
Rgb8 widenPixel(Pixel565 pixel);

// A window picture: width x height pixels, rows top first.
struct FramePicture {
  const Pixel565* pixels;
  int32_t width;
  int32_t height;
};

// width x height little-endian 16-bit values, rows top first. The file is written whole or not
// at all, and only as a regular file; false with the reason in *error when it cannot be written.
bool writeRawFrame(const std::string& path, const FramePicture& picture, std::string* error);

// An 8-bit RGB PNG, encoded in memory by stb_image_write and written as writeRawFrame writes.
bool writePngFrame(const std::string& path, const FramePicture& picture, std::string* error);
