// The per-frame cost of the 2:1 presentation at the player's 1920 x 1080 render size (a 960 x 540
// window), on each vector path and on the one-pixel-at-a-time rule, next to a memcpy of the same
// source bytes: the filter reads every source byte once and writes them back, as memcpy does.
// Warm (one buffer, in the caches) and cold (buffers cycled through memory), and from memory at
// 3840 x 2160 and 7680 x 4320 desktops, on one thread and on the renderer's drawing threads.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "player/box_filter.h"
#include "player/render_target.h"
#include "renderer/gl.h"

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

// Enough render buffers that each one has left the caches (32 MiB of L3 on this machine)
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

// The player's render buffers at a 3840 x 2160 desktop (a 1920 x 1080 window) and at a 7680 x
// 4320 one, each far larger than the caches, filtered from memory on one thread next to a memcpy
// of the same source bytes: the filter's goal is to stay within 1.3 times the copy's time. The
// buffers cycled through add up to at least 512 MiB, so none is still cached when it comes round.
size_t coldBufferCount(size_t source_bytes) {
  constexpr size_t kCycledBytes = size_t(512) << 20;
  return std::max<size_t>(2, (kCycledBytes + source_bytes - 1) / source_bytes);
}

// Distinct contents per buffer are not needed: each is filtered again in place, as above.
std::vector<std::vector<Pixel565>> coldSources(int32_t w, int32_t h) {
  const size_t pixels = size_t(4) * size_t(w) * size_t(h);
  std::vector<Pixel565> picture(pixels);
  for (size_t i = 0; i < pixels; ++i) picture[i] = Pixel565(i * 37 + i / (2 * size_t(w)) * 11);
  return std::vector<std::vector<Pixel565>>(coldBufferCount(pixels * 2), picture);
}

void runColdFilter(benchmark::State& state, Filter filter, int32_t w, int32_t h) {
  std::vector<std::vector<Pixel565>> sources = coldSources(w, h);
  std::vector<Pixel565> window(size_t(w) * size_t(h));
  size_t next = 0;
  for (auto _ : state) {
    filter(window.data(), sources[next].data(), w, h, 2);
    benchmark::ClobberMemory();
    next = (next + 1) % sources.size();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(sources[0].size()) * 2);
}

void runColdMemcpy(benchmark::State& state, int32_t w, int32_t h) {
  std::vector<std::vector<Pixel565>> sources = coldSources(w, h);
  std::vector<Pixel565> copy(sources[0].size());
  size_t next = 0;
  for (auto _ : state) {
    std::memcpy(copy.data(), sources[next].data(), copy.size() * 2);
    benchmark::ClobberMemory();
    next = (next + 1) % sources.size();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(copy.size()) * 2);
}

void BM_ColdFilter(benchmark::State& state, int32_t w, int32_t h) {
  runColdFilter(state, boxFilterDown, w, h);
}
void BM_ColdMemcpy(benchmark::State& state, int32_t w, int32_t h) { runColdMemcpy(state, w, h); }
BENCHMARK_CAPTURE(BM_ColdFilter, from3840x2160, 1920, 1080)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ColdMemcpy, of3840x2160, 1920, 1080)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ColdFilter, from7680x4320, 3840, 2160)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ColdMemcpy, of7680x4320, 3840, 2160)->Unit(benchmark::kMicrosecond);

// The filter and the copy taking turns on the cycled buffers, each timed on its own, so that both
// meet the same load from whatever else runs on this shared machine; filter_per_copy is the ratio
// of their summed times. The time reported is the filter's.
void BM_ColdFilterPerCopy(benchmark::State& state, int32_t w, int32_t h) {
  using Clock = std::chrono::steady_clock;
  std::vector<std::vector<Pixel565>> sources = coldSources(w, h);
  std::vector<Pixel565> copy(sources[0].size());
  std::vector<Pixel565> window(size_t(w) * size_t(h));
  double filter_seconds = 0;
  double copy_seconds = 0;
  size_t next = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    std::memcpy(copy.data(), sources[next].data(), copy.size() * 2);
    benchmark::ClobberMemory();
    const Clock::time_point copied = Clock::now();
    boxFilterDown(window.data(), sources[(next + 1) % sources.size()].data(), w, h, 2);
    benchmark::ClobberMemory();
    const Clock::time_point filtered = Clock::now();
    next = (next + 2) % sources.size();
    copy_seconds += std::chrono::duration<double>(copied - start).count();
    filter_seconds += std::chrono::duration<double>(filtered - copied).count();
    state.SetIterationTime(std::chrono::duration<double>(filtered - copied).count());
  }
  state.counters["filter_per_copy"] = filter_seconds / copy_seconds;
}
BENCHMARK_CAPTURE(BM_ColdFilterPerCopy, from3840x2160, 1920, 1080)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ColdFilterPerCopy, from7680x4320, 3840, 2160)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// The player's filter at a 3840 x 2160 desktop split over the renderer's drawing threads, as
// filterFrame runs it, from memory: 1 thread (the caller alone) and 2 (two workers and the caller).
struct FilterBands {
  Pixel565* window;
  Pixel565* source;
  int32_t w;
};

void filterBands(void* arg, int begin, int end) {
  const FilterBands& job = *static_cast<const FilterBands*>(arg);
  boxFilterRows(job.window, job.source, job.w, begin, end);
}

void BM_ColdFilterOnDrawingThreads(benchmark::State& state) {
  constexpr int32_t w = 1920;
  constexpr int32_t h = 1080;
  RenderTarget context_holder;  // a context for the drawing threads; its own buffer is unused
  if (!openRenderSurface(context_holder, 1, 1)) {
    state.SkipWithError("no render surface");
    return;
  }
  rkSetRasterThreads(int(state.range(0)));
  std::vector<std::vector<Pixel565>> sources = coldSources(w, h);
  std::vector<Pixel565> window(size_t(w) * size_t(h));
  size_t next = 0;
  for (auto _ : state) {
    FilterBands job{window.data(), sources[next].data(), w};
    rkRunRowJob(filterBands, &job, h);
    benchmark::ClobberMemory();
    next = (next + 1) % sources.size();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(sources[0].size()) * 2);
  closeRenderSurface(context_holder);
}
BENCHMARK(BM_ColdFilterOnDrawingThreads)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

#if defined(__SSE2__)
// The SSE2 path that 32-bit Windows and processors without AVX2 take.
void BM_ColdFilterSse2(benchmark::State& state, int32_t w, int32_t h) {
  runColdFilter(state, boxFilterDownSse2, w, h);
}
BENCHMARK_CAPTURE(BM_ColdFilterSse2, from3840x2160, 1920, 1080)->Unit(benchmark::kMicrosecond);
#endif

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
