// Writes frames of `kestrune render` as raw little-endian 5-6-5 files or 8-bit RGB PNG files.
// Receives a filtered window picture; hands on the file.
#include "tools/tool_frame_files.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "runtime/files.h"

// PNG data compressed by zlib, which both builds link already: twice as fast as stb's own deflate,
// and a third smaller. At zlib's default level, whatever level stb asks for. The result is freed
// by stb with free().
namespace {

unsigned char* deflateForPng(const unsigned char* data, int size, int* out_size, int) {
  uLongf packed_size = compressBound(static_cast<uLong>(size));
  auto* packed = static_cast<unsigned char*>(std::malloc(packed_size));
  if (packed == nullptr) return nullptr;
  if (compress2(packed, &packed_size, data, static_cast<uLong>(size), Z_DEFAULT_COMPRESSION) !=
      Z_OK) {
    std::free(packed);
    return nullptr;
  }
  *out_size = static_cast<int>(packed_size);
  return packed;
}

}  // namespace

// The PNG encoder's one implementation in the program. stb zero-fills its records with "= { 0 }",
// which -Wextra reports.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBIW_ZLIB_COMPRESS deflateForPng
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

std::string frameFileName(int64_t index, const char* extension) {
  char name[48];
  std::snprintf(name, sizeof name, "frame_%06lld.%s", static_cast<long long>(index), extension);
  return name;
}

Rgb8 widenPixel(Pixel565 pixel) {
  const unsigned red = (pixel >> 11) & 31;
  const unsigned green = (pixel >> 5) & 63;
  const unsigned blue = pixel & 31;
  return {static_cast<uint8_t>(red << 3 | red >> 2), static_cast<uint8_t>(green << 2 | green >> 4),
          static_cast<uint8_t>(blue << 3 | blue >> 2)};
}

namespace {

// One row as little-endian 16-bit values.
void rawRow(const Pixel565* pixels, int32_t width, uint8_t* out) {
  for (int32_t x = 0; x < width; ++x) {
    out[2 * x] = static_cast<uint8_t>(pixels[x] & 0xFF);
    out[2 * x + 1] = static_cast<uint8_t>(pixels[x] >> 8);
  }
}

// One row as 8-bit red, green and blue.
void rgbRow(const Pixel565* pixels, int32_t width, uint8_t* out) {
  for (int32_t x = 0; x < width; ++x) {
    const Rgb8 colour = widenPixel(pixels[x]);
    out[3 * x] = colour.red;
    out[3 * x + 1] = colour.green;
    out[3 * x + 2] = colour.blue;
  }
}

const Pixel565* rowOf(const FramePicture& picture, int32_t row) {
  return picture.pixels + static_cast<size_t>(row) * static_cast<size_t>(picture.width);
}

// The picture as 8-bit RGB rows, top first, three bytes a pixel.
std::vector<uint8_t> rgbPicture(const FramePicture& picture) {
  const size_t row_bytes = 3 * static_cast<size_t>(picture.width);
  std::vector<uint8_t> rgb(row_bytes * static_cast<size_t>(picture.height));
  for (int32_t row = 0; row < picture.height; ++row) {
    rgbRow(rowOf(picture, row), picture.width, rgb.data() + row_bytes * static_cast<size_t>(row));
  }
  return rgb;
}

// stb hands on the encoded file in pieces; they are gathered in memory.
void appendEncoded(void* context, void* data, int size) {
  auto& bytes = *static_cast<std::vector<uint8_t>*>(context);
  const auto* piece = static_cast<const uint8_t*>(data);
  bytes.insert(bytes.end(), piece, piece + size);
}

bool finish(OutputFile* file, bool written, std::string* error) {
  if (finishOutputFile(file, written)) return true;
  *error = file->error;
  return false;
}

}  // namespace

bool writeRawFrame(const std::string& path, const FramePicture& picture, std::string* error) {
  OutputFile file;
  if (!beginOutputFile(path, &file)) {
    *error = file.error;
    return false;
  }
  std::vector<uint8_t> bytes(2 * static_cast<size_t>(picture.width));
  bool written = true;
  for (int32_t row = 0; row < picture.height && written; ++row) {
    rawRow(rowOf(picture, row), picture.width, bytes.data());
    written = std::fwrite(bytes.data(), 1, bytes.size(), file.stream) == bytes.size();
  }
  return finish(&file, written, error);
}

bool writePngFrame(const std::string& path, const FramePicture& picture, std::string* error) {
  const std::vector<uint8_t> rgb = rgbPicture(picture);
  std::vector<uint8_t> encoded;
  if (stbi_write_png_to_func(appendEncoded, &encoded, picture.width, picture.height, 3, rgb.data(),
                             3 * picture.width) == 0) {
    *error = "cannot write " + path + ": the PNG encoder failed";
    return false;
  }
  return writeOutputFile(path, encoded.data(), encoded.size(), error);
}
