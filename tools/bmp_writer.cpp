// Encodes palettized BMP dumps: receives a picture of indices and its palette; hands on the file
// header, an info header of the asked size, the colour table and bottom-up (or top-down) rows
// packed from each byte's most significant bit and padded to 4 bytes.
#include "tools/bmp_writer.h"

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kSrgbColourSpace = 0x73524742;  // "sRGB", of the 108- and 124-byte headers
constexpr uint32_t kPixelsPerMetre = 2835;         // 72 dots per inch

void append16(Bytes& bytes, uint16_t value) {
  bytes.push_back(static_cast<uint8_t>(value));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void append32(Bytes& bytes, uint32_t value) {
  append16(bytes, static_cast<uint16_t>(value));
  append16(bytes, static_cast<uint16_t>(value >> 16));
}

uint32_t paletteEntries(const BmpPicture& picture) { return uint32_t{1} << picture.bits; }

uint32_t pixelOffset(const BmpPicture& picture) {
  return kFileHeaderSize + picture.info_header_size + 4 * paletteEntries(picture) + picture.gap;
}

// The 40 bytes every info header starts with, then the later versions' fields up to the asked
// size: colour masks (56 and more), colour space (108 and more), rendering intent (124).
void appendInfoHeader(Bytes& bytes, const BmpPicture& picture, uint32_t pixel_bytes) {
  const size_t start = bytes.size();
  append32(bytes, picture.info_header_size);
  append32(bytes, static_cast<uint32_t>(picture.width));
  append32(bytes, static_cast<uint32_t>(picture.top_down ? -picture.height : picture.height));
  append16(bytes, 1);  // planes
  append16(bytes, static_cast<uint16_t>(picture.bits));
  append32(bytes, 0);  // no compression
  append32(bytes, pixel_bytes);
  append32(bytes, kPixelsPerMetre);
  append32(bytes, kPixelsPerMetre);
  append32(bytes, paletteEntries(picture));  // colours used
  append32(bytes, 0);                        // colours important: all
  if (picture.info_header_size >= 108) {
    bytes.resize(start + 56, 0);  // no colour masks for palettized pictures
    append32(bytes, kSrgbColourSpace);
  }
  if (picture.info_header_size >= 124) {
    bytes.resize(start + 108, 0);  // end points and gamma, unused with sRGB
    append32(bytes, 4);            // intent: pictures
  }
  bytes.resize(start + picture.info_header_size, 0);
}

void appendPalette(Bytes& bytes, const BmpPicture& picture) {
  for (uint32_t k = 0; k < paletteEntries(picture); ++k) {
    const BmpColour colour = k < picture.palette.size() ? picture.palette[k] : BmpColour{};
    bytes.insert(bytes.end(), {colour.blue, colour.green, colour.red, 0xA5});
  }
}

uint8_t indexAt(const BmpPicture& picture, size_t row, size_t column) {
  const size_t at = row * static_cast<size_t>(picture.width) + column;
  return at < picture.indices.size() ? picture.indices[at] : 0;
}

// One stored row: indices packed from the most significant bit, then the filler.
void appendRow(Bytes& bytes, const BmpPicture& picture, size_t row) {
  const size_t start = bytes.size();
  const size_t width = static_cast<size_t>(picture.width);
  const size_t bits = static_cast<size_t>(picture.bits);
  bytes.resize(start + (width * bits + 7) / 8, 0);
  const uint8_t mask = static_cast<uint8_t>((1 << bits) - 1);
  for (size_t c = 0; c < width; ++c) {
    const size_t shift = 8 - bits - (c * bits) % 8;
    bytes[start + c * bits / 8] |= static_cast<uint8_t>((indexAt(picture, row, c) & mask) << shift);
  }
  bytes.resize(start + bmpRowBytes(picture.width, picture.bits), picture.filler);
}

}  // namespace

size_t bmpRowBytes(int32_t width, int bits) {
  return (static_cast<size_t>(width) * static_cast<size_t>(bits) + 31) / 32 * 4;
}

Bytes bmpBytes(const BmpPicture& picture) {
  const uint32_t pixel_bytes =
      static_cast<uint32_t>(bmpRowBytes(picture.width, picture.bits) * picture.height);
  Bytes bytes = {'B', 'M'};
  append32(bytes, pixelOffset(picture) + pixel_bytes);
  append32(bytes, 0);  // reserved
  append32(bytes, pixelOffset(picture));
  appendInfoHeader(bytes, picture, pixel_bytes);
  appendPalette(bytes, picture);
  bytes.resize(bytes.size() + picture.gap, 0xEE);
  for (int32_t k = 0; k < picture.height; ++k) {
    appendRow(bytes, picture, static_cast<size_t>(picture.top_down ? k : picture.height - 1 - k));
  }
  return bytes;
}

void patchUint16(Bytes& bytes, size_t offset, uint16_t value) {
  bytes.at(offset) = static_cast<uint8_t>(value);
  bytes.at(offset + 1) = static_cast<uint8_t>(value >> 8);
}

void patchUint32(Bytes& bytes, size_t offset, uint32_t value) {
  patchUint16(bytes, offset, static_cast<uint16_t>(value));
  patchUint16(bytes, offset + 2, static_cast<uint16_t>(value >> 16));
}

bool writeBmpFile(const std::string& path, const BmpPicture& picture, std::string* error) {
  return writeFileBytes(path, bmpBytes(picture), error);
}
