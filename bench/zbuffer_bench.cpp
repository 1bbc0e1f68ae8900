// Per-frame costs of the drawing surface at the player's 1920 x 1080 render size: clearing colour
// and depth, and copying the picture out in each of the four pixel modes. Reports bytes written
// per second alongside the time per frame.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "renderer/zbuffer.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

ZBuffer* openForBench(int mode, std::vector<uint8_t>* cube, std::vector<int>* palette) {
  cube->resize(kZbCubeColors);
  palette->resize(256);
  for (int i = 0; i < kZbCubeColors; ++i) (*cube)[i] = uint8_t(i);
  ZBuffer* zb = zbOpen(kWidth, kHeight, mode, 256, cube->data(), palette->data(), nullptr);
  // A picture with every bit pattern in use, so no conversion meets only zeros.
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) zb->pixels[y * kWidth + x] = Pixel565(x * 37 + y * 11);
  }
  return zb;
}

// As the player clears every frame: depth to 0 and a background colour.
void BM_ZbClearColourAndDepth(benchmark::State& state) {
  ZBuffer* zb = zbOpen(kWidth, kHeight, kZbMode565, 0, nullptr, nullptr, nullptr);
  for (auto _ : state) {
    zbClear(zb, 1, 0, 1, 0x4000, 0x8000, 0xC000);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(kWidth) * kHeight * 4);
  zbClose(zb);
}
BENCHMARK(BM_ZbClearColourAndDepth)->Unit(benchmark::kMicrosecond);

// Values whose two bytes differ on both buffers: the wide-store path rather than memset.
void BM_ZbClearUnevenValues(benchmark::State& state) {
  ZBuffer* zb = zbOpen(kWidth, kHeight, kZbMode565, 0, nullptr, nullptr, nullptr);
  for (auto _ : state) {
    zbClear(zb, 1, 0x1234, 1, 0x4000, 0x8000, 0xC000);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(kWidth) * kHeight * 4);
  zbClose(zb);
}
BENCHMARK(BM_ZbClearUnevenValues)->Unit(benchmark::kMicrosecond);

// Argument: the pixel mode; destination rows are packed (mode 4 counts its pitch in pixels).
void BM_ZbCopyOut(benchmark::State& state) {
  static const int kBytesPerPixel[] = {0, 2, 1, 4, 3};
  static const int kDestLine[] = {0, kWidth * 2, kWidth * 2, kWidth * 4, kWidth};
  int mode = int(state.range(0));
  std::vector<uint8_t> cube;
  std::vector<int> palette;
  ZBuffer* zb = openForBench(mode, &cube, &palette);
  std::vector<uint8_t> dest(size_t(kWidth) * kHeight * kBytesPerPixel[mode]);
  for (auto _ : state) {
    zbCopyOut(zb, dest.data(), kDestLine[mode]);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(dest.size()));
  zbClose(zb);
}
BENCHMARK(BM_ZbCopyOut)->DenseRange(1, 4)->Unit(benchmark::kMicrosecond);

}  // namespace
