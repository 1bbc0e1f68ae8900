// The headers of a BMP file, read in one place for the image decoder, the texture loader and the
// tool's report. Receives a path or a file's first bytes; hands on the header fields as the file
// stores them, with bytes the file does not hold read as 0.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t kBmpFileHeaderSize = 14;
constexpr size_t kBmpInfoHeaderSize = 40;  // the smallest info header with 32-bit sizes
constexpr size_t kBmpHeadersSize = kBmpFileHeaderSize + kBmpInfoHeaderSize;
// The bytes up to and including the bits-per-pixel field.
constexpr size_t kBmpSizeFieldsEnd = 30;

struct BmpHeader {
  size_t present = 0;        // bytes of the two headers the file holds, 0 to kBmpHeadersSize
  bool magic = false;        // the file begins with "BM"
  uint32_t pixels_at = 0;    // file offset of the first stored row (offset 10)
  uint32_t info_size = 0;    // the info header's own size (offset 14)
  int32_t width = 0;         // offset 18
  int32_t height = 0;        // offset 22; negative when rows are stored top row first
  int bits = 0;              // bits per pixel (offset 28)
  uint32_t compression = 0;  // offset 30; 0 for uncompressed rows
};

// The fields of the first `count` bytes of a file (at most kBmpHeadersSize are looked at).
BmpHeader parseBmpHeader(const uint8_t* bytes, size_t count);

// True when the file begins with "BM" and holds the fields up to the bits per pixel.
bool bmpHasSizeFields(const BmpHeader& header);

// Reads the headers of an open file (by its number) from its first byte.
BmpHeader readBmpHeaderOf(int file);

// Reads the headers of the file at `path`; false when it cannot be opened.
bool readBmpHeader(const char* path, BmpHeader* header);
