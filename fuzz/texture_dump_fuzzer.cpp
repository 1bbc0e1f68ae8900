// Fuzz target: the texture dump loader over arbitrary files: the size read, the BMP decoding of
// loadImage, the in-place texel expansion and the renderer's upload of what comes out.
// Receives the bytes of one dump file; hands on nothing but a crash, a sanitizer report or a
// failed check when the loader mishandles it.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "player/render_target.h"
#include "player/texture_loader.h"
#include "renderer/gl.h"
#include "runtime/screen.h"

namespace {

// Texels carry 6 bits per channel in the top bits of each byte: the low two bits are clear.
// Up to 12 MB are looked at, so the loop is kept free of coverage hooks and branches.
__attribute__((no_sanitize("coverage"))) uint8_t lowBitsOfTexels(const uint8_t* texels,
                                                                 int64_t bytes) {
  uint8_t low_bits = 0;
  for (int64_t k = 0; k < bytes; ++k) low_bits |= texels[k];
  return low_bits & 3;
}

void checkTexels(const TextureDump& dump) {
  FUZZ_CHECK(dump.width >= 1 && dump.height >= 1);
  FUZZ_CHECK(dump.width <= kMaxTextureSide && dump.height <= kMaxTextureSide);
  FUZZ_CHECK(int64_t{dump.width} * dump.height <= kMaxTextureTexels);
  FUZZ_CHECK(lowBitsOfTexels(dump.texels, 3 * int64_t{dump.width} * dump.height) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  silenceStandardOutput();
  privateFolder();
  // Images are made only while a screen is open; the headless one needs no display.
  setPreferredPresenter("headless");
  FUZZ_CHECK(openScreen(16, 16, 16, 1, 0, 0) == 0);
  static RenderTarget target;
  FUZZ_CHECK(openRenderSurface(target, 4, 4));  // the renderer context the upload goes to
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = privateFolder() + "/0000000000000001.bmp";
  writeFuzzFile(path, data, size);
  TextureDump dump;
  const DumpLoad result = loadTextureDump(path, &dump);
  FUZZ_CHECK(result != DumpLoad::kCannotOpen);
  if (result != DumpLoad::kLoaded) {
    FUZZ_CHECK(dump.image == nullptr);
    return 0;
  }
  checkTexels(dump);
  glTexImage2D(GL_TEXTURE_2D, 0, 3, dump.width, dump.height, 0, GL_RGB, GL_UNSIGNED_BYTE,
               dump.texels);
  releaseTextureDump(&dump);
  return 0;
}
