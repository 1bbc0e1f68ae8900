// Writes palettized BMP texture dumps for tests and the demo: 1, 2, 4 or 8 bits per pixel, any
// width and height, info headers of 40, 56, 108 or 124 bytes, rows padded to 4 bytes.
// Receives a picture of palette indices (top row first) and its palette; hands on file bytes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/recording_writer.h"

// Byte offsets of the fields a reader looks at, for tests that damage a dump on purpose.
constexpr size_t kBmpPixelOffsetField = 10;
constexpr size_t kBmpInfoSizeField = 14;
constexpr size_t kBmpWidthField = 18;
constexpr size_t kBmpHeightField = 22;
constexpr size_t kBmpBitsField = 28;
constexpr size_t kBmpCompressionField = 30;

struct BmpColour {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
};

struct BmpPicture {
  int32_t width = 0;
  int32_t height = 0;
  int bits = 8;                    // 1, 2, 4 or 8
  uint32_t info_header_size = 40;  // 40, 56, 108 or 124
  std::vector<BmpColour> palette;  // up to 2^bits entries; missing ones are written black
  std::vector<uint8_t> indices;    // width x height, top row first; missing ones are 0
  bool top_down = false;           // store rows top row first, with a negative height
  uint8_t filler = 0;              // the bytes that pad each row to a multiple of 4
  uint32_t gap = 0;                // bytes of 0xEE between the palette and the first row
};

// Bytes per stored row: width x bits rounded up to a multiple of 4 bytes.
size_t bmpRowBytes(int32_t width, int bits);

// The whole file. Palette entries are written blue, green, red and a spare byte of 0xA5.
Bytes bmpBytes(const BmpPicture& picture);

// Overwrites 2 or 4 bytes of a file image, little-endian.
void patchUint16(Bytes& bytes, size_t offset, uint16_t value);
void patchUint32(Bytes& bytes, size_t offset, uint32_t value);

// Writes bmpBytes(picture) to the path; false when the file cannot be written.
bool writeBmpFile(const std::string& path, const BmpPicture& picture, std::string* error = nullptr);
