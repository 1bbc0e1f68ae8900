// The texture dump loader: turns the recording header's 32 texture ids into renderer textures.
// Receives the header's ids and the palettized BMP dumps they name; hands on the TextureTable of
// renderer texture names and one "Texture #i (id.bmp)" line per non-empty slot.
#pragma once
#include <cstdint>
#include <string>

#include "player/recording_stream.h"
#include "runtime/image.h"

constexpr int kTextureTableSize = kTextureSlots + 1;  // entry 0 is never set

// Renderer texture names by texture slot; 0 = no texture.
struct TextureTable {
  uint32_t names[kTextureTableSize] = {};
};

// Where dumps lie, relative to the executable's folder.
inline constexpr const char* kTextureFolder = "../Video/TexDump/";

// The largest dump the loader expands: each side at most 8192 texels and at most 4194304
// (2048 x 2048) texels in all, so the W x 3H index image stays below 13 MB. Larger dumps are
// given no image.
constexpr int32_t kMaxTextureSide = 8192;
constexpr int64_t kMaxTextureTexels = int64_t{1} << 22;

// The renderer calls the loader makes, so that a test can stand in for the renderer.
struct TextureCalls {
  void (*gen_textures)(int n, unsigned* names);
  void (*bind_texture)(int target, int texture);
  void (*tex_parameteri)(int target, int pname, int param);
  void (*tex_image_2d)(int target, int level, int components, int width, int height, int border,
                       int format, int type, const void* pixels);
};

// Rasterkit's own entry points.
const TextureCalls& rendererTextureCalls();

// Loads slots 1 to 32 into `table`, indexed by the triangles' texture slots, through the
// renderer from `folder` (ending in a separator). Needs the renderer's context.
void loadTextures(const RecordingHeader& header, TextureTable& table,
                  const std::string& folder = kTextureFolder);

// The same with the calls, the table and the folder (ending in a separator) given.
// Without `report`, the player's lines for each texture are left out (a second context that
// loads the same textures says nothing new).
void loadTexturesWith(const RecordingHeader& header, const TextureCalls& calls, TextureTable& table,
                      const std::string& folder, bool report = true);

// The texture folder beside a recording: the folder of its part 0 (the template's first "%i"
// replaced by 0, as in every part name), then "/../TexDump/", the place the player finds
// textures relative to the demo recording.
std::string textureFolderOf(const std::string& path_template);

// The folder, the id as 16 upper-case hexadecimal digits, then ".bmp".
std::string textureDumpPath(const std::string& folder, uint64_t id);

enum class DumpLoad {
  kLoaded,      // texels are ready
  kCannotOpen,  // the file cannot be opened
  kNoImage,     // a size out of range or a file that is no readable dump: nothing to upload
};

// A dump's texels: width x height triples of red, green, blue, top row first, without gaps,
// 6 bits per channel in the top bits of each byte. They live in `image`, which the holder
// releases with releaseTextureDump.
struct TextureDump {
  Image* image = nullptr;
  const uint8_t* texels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
};

// Reads the dump's size, decodes it into an index image of width x 3 height cells and expands
// the indices into texels in place. Needs no screen and no renderer, so it runs on any thread.
// Only kLoaded leaves an image to release.
DumpLoad loadTextureDump(const std::string& path, TextureDump* dump);
void releaseTextureDump(TextureDump* dump);

// Turns the palette words of loadImage into texel words: e' = (e << 2) & 0xFFFFFF.
void widenPalette(int32_t palette[256]);

// Replaces the width x height indices in `image` (cell (c, r) at r x pitch + c) by their
// palette entries' red, green and blue bytes, texel p = r x width + c at bytes 3p to 3p + 2.
// The image must hold at least 3 x height rows. Gives the first texel byte.
uint8_t* buildTexels(Image* image, const int32_t palette[256], int32_t width, int32_t height);
