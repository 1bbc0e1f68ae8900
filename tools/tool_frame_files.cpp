// Writes frames of `kestrune render` as raw little-endian 5-6-5 files or 8-bit RGB PNG files.
// Receives a filtered window picture; hands on the file.
#include "tools/tool_frame_files.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "runtime/files.h"

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

// libpng reports errors by longjmp back here, so nothing with a destructor lives in this frame:
// the row buffer is made by the caller. False when libpng gave up (a write failed).
bool encodePng(std::FILE* file, const FramePicture& picture, uint8_t* row_buffer) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width),
               static_cast<png_uint_32>(picture.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int32_t row = 0; row < picture.height; ++row) {
    rgbRow(rowOf(picture, row), picture.width, row_buffer);
    png_write_row(png, row_buffer);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
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
  OutputFile file;
  if (!beginOutputFile(path, &file)) {
    *error = file.error;
    return false;
  }
  std::vector<uint8_t> row(3 * static_cast<size_t>(picture.width));
  const bool encoded = encodePng(file.stream, picture, row.data());
  return finish(&file, encoded && std::ferror(file.stream) == 0, error);
}
