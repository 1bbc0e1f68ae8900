// Writes frames of `kestrune render` as raw little-endian 5-6-5 files or 8-bit RGB PNG files.
// Receives a filtered window picture; hands on the file.
#include "tools/tool_frame_files.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>

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

bool writeRawFrame(const std::string& path, const std::vector<Pixel565>& pixels) {
  std::vector<uint8_t> bytes(2 * pixels.size());
  for (size_t k = 0; k < pixels.size(); ++k) {
    bytes[2 * k] = static_cast<uint8_t>(pixels[k] & 0xFF);
    bytes[2 * k + 1] = static_cast<uint8_t>(pixels[k] >> 8);
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

namespace {

std::vector<uint8_t> rgbRows(const std::vector<Pixel565>& pixels) {
  std::vector<uint8_t> rgb(3 * pixels.size());
  for (size_t k = 0; k < pixels.size(); ++k) {
    const Rgb8 colour = widenPixel(pixels[k]);
    rgb[3 * k] = colour.red;
    rgb[3 * k + 1] = colour.green;
    rgb[3 * k + 2] = colour.blue;
  }
  return rgb;
}

// libpng reports errors by longjmp back here, so nothing with a destructor lives in this frame:
// the rows are made by the caller.
bool encodePng(std::FILE* file, const uint8_t* rgb, int32_t width, int32_t height) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const size_t row_bytes = 3 * static_cast<size_t>(width);
  for (int32_t row = 0; row < height; ++row) {
    png_write_row(png, rgb + static_cast<size_t>(row) * row_bytes);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool writePngFrame(const std::string& path, const std::vector<Pixel565>& pixels, int32_t width,
                   int32_t height) {
  const std::vector<uint8_t> rgb = rgbRows(pixels);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool encoded = encodePng(file, rgb.data(), width, height);
  return std::fclose(file) == 0 && encoded;
}
