// Images in memory: receives sizes and BMP paths; hands on header-plus-rows blocks, palette
// indices decoded into 8-bit cells and the palette as 6-bit-per-channel words. Sizes and offsets
// read from a file are checked against the image and the file, so lies cannot reach outside them.
#include "runtime/image.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/bmp_header.h"
#include "runtime/files.h"

namespace {

// What the decoder needs of a BMP file's headers.
struct BmpLayout {
  int64_t width = 0;
  int64_t height = 0;  // always positive; bottom_up tells the row order
  bool bottom_up = true;
  int bits = 0;
  int64_t palette_at = 0;  // file offset of the colour table
  int64_t pixels_at = 0;   // file offset of the first stored row
  int64_t stride = 0;      // bytes per stored row, a multiple of 4
  int64_t file_length = 0;
};

int bytesPerPixelOfDepth(int depth) {
  switch (depth) {
    case 8:
      return 1;
    case 16:
      return 2;
    case 24:
      return 3;
    case 32:
      return 4;
    default:
      return 0;
  }
}

void fillPixels(Image* image, uint32_t colour) {
  uint8_t* pixels = imagePixels(image);
  const size_t size = static_cast<size_t>(image->bytes_per_pixel);
  for (int32_t row = 0; row < image->height; ++row) {
    uint8_t* cell = pixels + static_cast<size_t>(row) * static_cast<size_t>(image->pitch);
    for (int32_t column = 0; column < image->width; ++column, cell += size) {
      for (size_t k = 0; k < size; ++k) cell[k] = static_cast<uint8_t>(colour >> (8 * k));
    }
  }
}

// 0 when an image of this size may be made, else its error code. The size is tested by
// division: pitch x height need not fit in 64 bits.
int checkImageRequest(int width, int height, int bytes_per_pixel, int64_t pitch) {
  if (width <= 0 || height <= 0 || bytes_per_pixel == 0) return 1;
  if (height > (kMaxImageBytes - static_cast<int64_t>(sizeof(Image))) / pitch) {
    return kImageTooLarge;
  }
  return 0;
}

bool supportedBits(int bits) { return bits == 1 || bits == 2 || bits == 4 || bits == 8; }

// Takes the headers the decoder needs; false when the file is not a BMP this decoder reads.
bool readLayout(int file, BmpLayout* layout) {
  const BmpHeader header = readBmpHeaderOf(file);
  if (!header.magic || header.present < kBmpHeadersSize || header.info_size < kBmpInfoHeaderSize ||
      header.width <= 0 || header.height == 0 || !supportedBits(header.bits) ||
      header.compression != 0) {
    return false;
  }
  layout->width = header.width;
  layout->height = header.height > 0 ? int64_t{header.height} : -int64_t{header.height};
  layout->bottom_up = header.height > 0;
  layout->bits = header.bits;
  layout->palette_at = static_cast<int64_t>(kBmpFileHeaderSize) + int64_t{header.info_size};
  layout->pixels_at = header.pixels_at;
  layout->stride = (layout->width * header.bits + 31) / 32 * 4;
  layout->file_length = fileLength(file);
  return true;
}

// 2^bits entries of blue, green, red and a spare byte; entries past the end of the file read 0.
void readPalette(int file, const BmpLayout& layout, int32_t* palette) {
  uint8_t table[256 * 4] = {};
  const int entries = 1 << layout.bits;
  if (layout.palette_at < layout.file_length) {
    readAt(file, layout.palette_at + 1, table, entries * 4);
  }
  for (int k = 0; k < entries; ++k) {
    const uint8_t* entry = table + 4 * k;
    const uint32_t bgr = (uint32_t{entry[0]} << 16) | (uint32_t{entry[1]} << 8) | entry[2];
    palette[k] = static_cast<int32_t>((bgr >> 2) & 0x3F3F3F);
  }
}

// Indices are packed from each byte's most significant bit when there are several per byte.
uint8_t indexAt(const uint8_t* row, int64_t column, int bits) {
  if (bits == 8) return row[column];
  const int64_t bit = column * bits;
  const int shift = 8 - bits - static_cast<int>(bit % 8);
  return static_cast<uint8_t>((row[bit / 8] >> shift) & ((1 << bits) - 1));
}

// Reads picture row r from the file into image row r, as far as both reach.
void readRow(int file, const BmpLayout& layout, int64_t r, int64_t columns,
             std::vector<uint8_t>& bytes, uint8_t* cells) {
  const int64_t stored_row = layout.bottom_up ? layout.height - 1 - r : r;
  // Sizes from the file are at most 2^31 rows of 2^31 bytes: the sum fits in 64 bits.
  const int64_t at = layout.pixels_at + stored_row * layout.stride;
  if (at >= layout.file_length) return;  // the file ends before this row
  int32_t got = 0;
  readAt(file, at + 1, bytes.data(), static_cast<int32_t>(bytes.size()), &got);
  const int64_t present = std::min<int64_t>(columns, int64_t{got} * 8 / layout.bits);
  for (int64_t c = 0; c < present; ++c) cells[c] = indexAt(bytes.data(), c, layout.bits);
}

void readRows(int file, const BmpLayout& layout, Image* image) {
  const int64_t columns = std::min<int64_t>(layout.width, image->width);
  const int64_t rows = std::min<int64_t>(layout.height, image->height);
  std::vector<uint8_t> bytes(static_cast<size_t>((columns * layout.bits + 7) / 8));
  for (int64_t r = 0; r < rows; ++r) {
    uint8_t* cells = imagePixels(image) + r * image->pitch;
    readRow(file, layout, r, columns, bytes, cells);
  }
}

}  // namespace

Image* createImage(int width, int height, uint32_t colour, int depth, int* error) {
  const int bytes_per_pixel = bytesPerPixelOfDepth(depth);
  const int64_t pitch = (int64_t{width} * bytes_per_pixel + 15) / 16 * 16;
  int code = checkImageRequest(width, height, bytes_per_pixel, pitch);
  Image* image = nullptr;
  if (code == 0) {
    image = static_cast<Image*>(std::malloc(sizeof(Image) + static_cast<size_t>(pitch * height)));
    if (image == nullptr) {
      code = kImageNoMemory;
    } else {
      *image = Image{kImageTypeMemory, bytes_per_pixel, width, height, static_cast<int32_t>(pitch),
                     {0, 0, 0}};
      // Row padding is zeroed as well, so nothing of the block is left undefined.
      std::memset(imagePixels(image), 0, static_cast<size_t>(pitch * height));
      if (colour != 0) fillPixels(image, colour);
    }
  }
  if (error != nullptr) *error = code;
  return image;
}

int loadImage(const char* path, Image* image, int32_t* palette) {
  if (path == nullptr || image == nullptr || image->bytes_per_pixel != 1) return 1;
  const int file = openUnderFreeNumber(path);
  if (file == 0) return kImageCannotOpen;
  BmpLayout layout;
  const bool readable = readLayout(file, &layout);
  if (readable) {
    if (palette != nullptr) readPalette(file, layout, palette);
    readRows(file, layout, image);
  }
  closeFile(file);
  return readable ? 0 : kImageNotReadable;
}

int destroyImage(Image* image) {
  if (image == nullptr) return 1;
  std::free(image);
  return 0;
}
