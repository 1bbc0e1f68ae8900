// The per-frame cost of the 2:1 presentation at the player's 1920 x 1080 render size (a 960 x 540
// window), on each vector path and on the one-pixel-at-a-time rule, next to a memcpy of the same
// source bytes: the filter reads every source byte once and writes them back, as memcpy does.
// Warm (one buffer, in the caches) and cold (buffers cycled through memory).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "player/box_filter.h"

namespace {

constexpr int32_t kWindowWidth = 960;
constexpr int32_t kWindowHeight = 540;
constexpr size_t kSourcePixels = size_t(4) * kWindowWidth * kWindowHeight;
constexpr int64_t kSourceBytes = int64_t(kSourcePixels) * 2;

// Every bit pattern in use, so that no path meets only zeros.
std::vector<Pixel565> renderedPicture() {
  std::vector<Pixel565> pixels(kSourcePixels);
  for (size_t i = 0; i < kSourcePixels; ++i) pixels[i] = Pixel565(i * 37 + i / 1920 * 11);
  return pixels;
}

using Filter = void (*)(Pixel565*, Pixel565*, int32_t, int32_t, int32_t);

// The filter works in place, so the source is filtered again each frame as the player does: the
// values change, the amount of work does not.
void runFilter(benchmark::State& state, Filter filter) {
  std::vector<Pixel565> src = renderedPicture();
  std::vector<Pixel565> window(size_t(kWindowWidth) * kWindowHeight);
  for (auto _ : state) {
    filter(window.data(), src.data(), kWindowWidth, kWindowHeight, 2);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kSourceBytes);
}

void BM_BoxFilterDown1920x1080(benchmark::State& state) { runFilter(state, boxFilterDown); }
BENCHMARK(BM_BoxFilterDown1920x1080)->Unit(benchmark::kMicrosecond);

void BM_BoxFilterDownScalar1920x1080(benchmark::State& state) {
  runFilter(state, boxFilterDownScalar);
}
BENCHMARK(BM_BoxFilterDownScalar1920x1080)->Unit(benchmark::kMicrosecond);

#if defined(__SSE2__)
void BM_BoxFilterDownSse2_1920x1080(benchmark::State& state) {
  runFilter(state, boxFilterDownSse2);
}
BENCHMARK(BM_BoxFilterDownSse2_1920x1080)->Unit(benchmark::kMicrosecond);
#endif

#if defined(KESTRUNE_BOX_FILTER_AVX2)
void BM_BoxFilterDownAvx2_1920x1080(benchmark::State& state) {
  if (!boxFilterHasAvx2()) {
    state.SkipWithError("no AVX2 here");
    return;
  }
  runFilter(state, boxFilterDownAvx2);
}
BENCHMARK(BM_BoxFilterDownAvx2_1920x1080)->Unit(benchmark::kMicrosecond);
#endif

// Enough render buffers that each one has left the caches (32 MiB of L3 on the anchor machine)
// by the time it comes round again: the filter and the copy then read from memory, as a frame
// drawn long enough ago does.
constexpr int kColdBuffers = 24;

void BM_BoxFilterDownCold1920x1080(benchmark::State& state) {
  std::vector<std::vector<Pixel565>> sources(kColdBuffers, renderedPicture());
  std::vector<Pixel565> window(size_t(kWindowWidth) * kWindowHeight);
  size_t next = 0;
  for (auto _ : state) {
    boxFilterDown(window.data(), sources[next].data(), kWindowWidth, kWindowHeight, 2);
    benchmark::ClobberMemory();
    next = (next + 1) % sources.size();
  }
  state.SetBytesProcessed(state.iterations() * kSourceBytes);
}
BENCHMARK(BM_BoxFilterDownCold1920x1080)->Unit(benchmark::kMicrosecond);

void BM_MemcpySameSourceBytesCold(benchmark::State& state) {
  std::vector<std::vector<Pixel565>> sources(kColdBuffers, renderedPicture());
  std::vector<Pixel565> copy(kSourcePixels);
  size_t next = 0;
  for (auto _ : state) {
    std::memcpy(copy.data(), sources[next].data(), size_t(kSourceBytes));
    benchmark::ClobberMemory();
    next = (next + 1) % sources.size();
  }
  state.SetBytesProcessed(state.iterations() * kSourceBytes);
}
BENCHMARK(BM_MemcpySameSourceBytesCold)->Unit(benchmark::kMicrosecond);

void BM_MemcpySameSourceBytes(benchmark::State& state) {
  const std::vector<Pixel565> src = renderedPicture();
  std::vector<Pixel565> copy(kSourcePixels);
  for (auto _ : state) {
    std::memcpy(copy.data(), src.data(), size_t(kSourceBytes));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kSourceBytes);
}
BENCHMARK(BM_MemcpySameSourceBytes)->Unit(benchmark::kMicrosecond);

}  // namespace
