// The BMP header reader: receives a path or a file's first bytes, hands on the fields of the file
// and info headers, little-endian, with the bytes a short file lacks read as 0.
#include "runtime/bmp_header.h"

#include <algorithm>
#include <cstring>

#include "runtime/files.h"

namespace {

uint32_t littleEndian32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
         (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

}  // namespace

BmpHeader parseBmpHeader(const uint8_t* bytes, size_t count) {
  uint8_t header[kBmpHeadersSize] = {};
  const size_t present = std::min(count, kBmpHeadersSize);
  if (present > 0) std::memcpy(header, bytes, present);
  BmpHeader parsed;
  parsed.present = present;
  parsed.magic = present >= 2 && header[0] == 'B' && header[1] == 'M';
  parsed.pixels_at = littleEndian32(header + 10);
  parsed.info_size = littleEndian32(header + 14);
  parsed.width = static_cast<int32_t>(littleEndian32(header + 18));
  parsed.height = static_cast<int32_t>(littleEndian32(header + 22));
  parsed.bits = header[28] | (header[29] << 8);
  parsed.compression = littleEndian32(header + 30);
  return parsed;
}

bool bmpHasSizeFields(const BmpHeader& header) {
  return header.magic && header.present >= kBmpSizeFieldsEnd;
}

BmpHeader readBmpHeaderOf(int file) {
  uint8_t bytes[kBmpHeadersSize] = {};
  int32_t got = 0;
  readAt(file, 1, bytes, static_cast<int32_t>(sizeof bytes), &got);
  return parseBmpHeader(bytes, static_cast<size_t>(std::max(got, 0)));
}

bool readBmpHeader(const char* path, BmpHeader* header) {
  const int file = openUnderFreeNumber(path);
  if (file == 0) return false;
  *header = readBmpHeaderOf(file);
  closeFile(file);
  return true;
}
