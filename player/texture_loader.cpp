// The texture dump loader: receives the header's 32 ids, reads each dump's size, indices and
// palette, expands the indices into RGB texels in place and hands them on to the renderer with
// glTexImage2D; the generated names go into the TextureTable.
#include "player/texture_loader.h"

#include <cstring>

#include "player/player_output.h"
#include "renderer/gl.h"
#include "runtime/bmp_header.h"
#include "runtime/text.h"

namespace {

constexpr int kIdDigits = 16;

// Sizes the loader expands. Negative heights (rows stored top row first) are refused here too.
bool withinTextureLimits(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || width > kMaxTextureSide || height > kMaxTextureSide) {
    return false;
  }
  return int64_t{width} * height <= kMaxTextureTexels;
}

// Narrow images have a pitch of more than three times their width; back to front, their texel
// writes would overtake cells not yet read. Moving the rows together first (row r to r x width,
// front to back, so that no row is overwritten before it has moved) makes the pitch the width.
void packRows(uint8_t* cells, int64_t pitch, int32_t width, int32_t height) {
  for (int64_t r = 1; r < height; ++r) std::memmove(cells + r * width, cells + r * pitch, width);
}

void setTextureParameters(const TextureCalls& calls) {
  calls.tex_parameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  calls.tex_parameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  calls.tex_parameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  calls.tex_parameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
}

// One non-empty slot: its line, its texture name, its parameters and, when the dump can be
// read, its image.
void loadSlot(int slot, uint64_t id, const TextureCalls& calls, TextureTable& table,
              const std::string& folder, bool report) {
  if (report) printMessage("Texture #%i (%s.bmp)\n", slot, hexText(id, kIdDigits).c_str());
  calls.gen_textures(1, &table.names[slot]);
  calls.bind_texture(GL_TEXTURE_2D, static_cast<int>(table.names[slot]));
  setTextureParameters(calls);
  const std::string path = textureDumpPath(folder, id);
  TextureDump dump;
  switch (loadTextureDump(path, &dump)) {
    case DumpLoad::kCannotOpen:
      if (report) printMessage("Failed to open '%s'\n", path.c_str());
      return;
    case DumpLoad::kNoImage:  // the name stays, bound and parameterised, without an image
      return;
    case DumpLoad::kLoaded:
      calls.tex_image_2d(GL_TEXTURE_2D, 0, 3, dump.width, dump.height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                         dump.texels);
      releaseTextureDump(&dump);
      return;
  }
}

}  // namespace

const TextureCalls& rendererTextureCalls() {
  static const TextureCalls calls = {glGenTextures, glBindTexture, glTexParameteri, glTexImage2D};
  return calls;
}

void loadTextures(const RecordingHeader& header, TextureTable& table, const std::string& folder) {
  loadTexturesWith(header, rendererTextureCalls(), table, folder);
}

void loadTexturesWith(const RecordingHeader& header, const TextureCalls& calls, TextureTable& table,
                      const std::string& folder, bool report) {
  for (int slot = 1; slot <= kTextureSlots; ++slot) {
    const uint64_t id = header.texture_ids[slot - 1];
    if (id != 0) loadSlot(slot, id, calls, table, folder, report);
  }
}

std::string textureFolderOf(const std::string& path_template) {
  // Part 0's real name: a "%i" in a folder's name belongs to that folder.
  const std::string part0 = partFileName(path_template, 0).name;
#ifdef _WIN32
  const size_t slash = part0.find_last_of("/\\");  // Windows takes either separator
#else
  const size_t slash = part0.rfind('/');
#endif
  const std::string folder = slash == std::string::npos ? "." : part0.substr(0, slash);
  return folder + "/../TexDump/";
}

std::string textureDumpPath(const std::string& folder, uint64_t id) {
  return folder + hexText(id, kIdDigits) + ".bmp";
}

DumpLoad loadTextureDump(const std::string& path, TextureDump* dump) {
  // The size as the info header gives it; a file too short to hold it reads 0 there.
  BmpHeader header;
  if (!readBmpHeader(path.c_str(), &header)) return DumpLoad::kCannotOpen;
  const int32_t width = header.width;
  const int32_t height = header.height;
  if (!withinTextureLimits(width, height)) return DumpLoad::kNoImage;
  Image* image = createImage(width, 3 * height, 0, 8);
  if (image == nullptr) return DumpLoad::kNoImage;
  int32_t palette[256] = {};
  if (loadImage(path.c_str(), image, palette) != 0) {  // not a dump that can be decoded
    destroyImage(image);
    return DumpLoad::kNoImage;
  }
  widenPalette(palette);
  dump->image = image;
  dump->texels = buildTexels(image, palette, width, height);
  dump->width = width;
  dump->height = height;
  return DumpLoad::kLoaded;
}

void releaseTextureDump(TextureDump* dump) {
  destroyImage(dump->image);
  *dump = TextureDump{};
}

void widenPalette(int32_t palette[256]) {
  for (int k = 0; k < 256; ++k) {
    palette[k] = static_cast<int32_t>((static_cast<uint32_t>(palette[k]) << 2) & 0xFFFFFF);
  }
}

uint8_t* buildTexels(Image* image, const int32_t palette[256], int32_t width, int32_t height) {
  uint8_t* cells = imagePixels(image);
  int64_t pitch = image->pitch;
  if (pitch > 3 * int64_t{width}) {
    packRows(cells, pitch, width, height);
    pitch = width;
  }
  // Back to front: with a pitch of at most 3 x width, texel p's three bytes land only on cells
  // of texels already read (for p = 0 on its own cell, just read).
  for (int64_t r = height - 1; r >= 0; --r) {
    for (int64_t c = width - 1; c >= 0; --c) {
      const uint32_t entry = static_cast<uint32_t>(palette[cells[r * pitch + c]]);
      uint8_t* texel = cells + 3 * (r * width + c);
      texel[0] = static_cast<uint8_t>(entry);        // red
      texel[1] = static_cast<uint8_t>(entry >> 8);   // green
      texel[2] = static_cast<uint8_t>(entry >> 16);  // blue
    }
  }
  return cells;
}
