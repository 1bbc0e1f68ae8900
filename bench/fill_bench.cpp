// Cost of the three triangle fills at the player's 1920 x 1080 render size, on triangles like
// the player's (50-500 pixels, all points at one depth, drawn near one another) and on large
// ones. Reports triangles
// and covered pixels per second; the pixel count is the triangles' geometric area.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "renderer/screen_point.h"
#include "renderer/zbuffer.h"
#include "renderer/ztriangle.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kTriangles = 4096;
constexpr int kDepth = 1 << 29;  // mid-range, the same for every point as in the player

struct Triangle {
  ScreenPoint p[3];
};

struct TriangleSet {
  std::vector<Triangle> triangles;
  double pixels = 0;  // total geometric area
};

ScreenPoint randomPoint(std::mt19937& rng, int cx, int cy, int radius) {
  std::uniform_int_distribution<int> offset(-radius, radius);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::uniform_int_distribution<int> channel(0, 65535);
  ScreenPoint p{};
  p.x = std::min(kWidth - 1, std::max(0, cx + offset(rng)));
  p.y = std::min(kHeight - 1, std::max(0, cy + offset(rng)));
  p.z = kDepth;
  p.s = int(unit(rng) * 4177920.0f + 8192.0f);  // as clipping converts coordinates 0..1
  p.t = int(unit(rng) * 1069547520.0f + 2097152.0f);
  p.r = channel(rng);
  p.g = channel(rng);
  p.b = channel(rng);
  return p;
}

// kTriangles triangles whose areas lie in [min_area, max_area]. Like a model's mesh, each lies
// near the one before: the centre wanders across the screen in steps of about one triangle.
TriangleSet makeTriangles(int min_area, int max_area) {
  std::mt19937 rng(20130112);
  const int radius = int(std::sqrt(double(max_area)) * 1.2);
  std::uniform_int_distribution<int> step(-radius, radius);
  int x = kWidth / 2, y = kHeight / 2;
  TriangleSet set;
  while (int(set.triangles.size()) < kTriangles) {
    x = (x + step(rng) + kWidth) % kWidth;
    y = (y + step(rng) + kHeight) % kHeight;
    Triangle t{{randomPoint(rng, x, y, radius), randomPoint(rng, x, y, radius),
                randomPoint(rng, x, y, radius)}};
    double area = std::abs(double(t.p[1].x - t.p[0].x) * (t.p[2].y - t.p[0].y) -
                           double(t.p[2].x - t.p[0].x) * (t.p[1].y - t.p[0].y)) /
                  2;
    if (area < min_area || area > max_area) continue;
    set.triangles.push_back(t);
    set.pixels += area;
  }
  return set;
}

const TriangleSet& trianglesOfSize(int size_class) {
  static const TriangleSet small = makeTriangles(50, 500);
  static const TriangleSet large = makeTriangles(20000, 200000);
  return size_class == 0 ? small : large;
}

// A texture with one texel in eight equal to the key colour 0x0000.
const std::vector<Pixel565>& benchTexture() {
  static const std::vector<Pixel565> texels = [] {
    std::vector<Pixel565> t(256 * 256);
    std::mt19937 rng(7);
    for (Pixel565& texel : t) texel = Pixel565(rng() % 8 == 0 ? 0 : (rng() | 1));
    return t;
  }();
  return texels;
}

enum class Fill { kFlat, kSmooth, kTextured, kTexturedKeyed };

// Arguments: the size class (0: 50-500 pixels, 1: 20000-200000 pixels).
template <Fill kFill>
void BM_Fill(benchmark::State& state) {
  ZBuffer* zb = zbOpen(kWidth, kHeight, kZbMode565, 0, nullptr, nullptr, nullptr);
  zbClear(zb, 1, 0, 1, 0, 0, 0);
  zbSetTexture(zb, benchTexture().data());
  TriangleSet set = trianglesOfSize(int(state.range(0)));
  for (auto _ : state) {
    for (Triangle& t : set.triangles) {
      if constexpr (kFill == Fill::kFlat) zbFillFlat(zb, &t.p[0], &t.p[1], &t.p[2]);
      if constexpr (kFill == Fill::kSmooth) zbFillSmooth(zb, &t.p[0], &t.p[1], &t.p[2]);
      if constexpr (kFill == Fill::kTextured) {
        zbFillTexturedKeyed(zb, &t.p[0], &t.p[1], &t.p[2], 0, 0);
      }
      if constexpr (kFill == Fill::kTexturedKeyed) {
        zbFillTexturedKeyed(zb, &t.p[0], &t.p[1], &t.p[2], 1, 0);
      }
    }
    benchmark::ClobberMemory();
  }
  const double iterations = double(state.iterations());
  state.counters["triangles"] =
      benchmark::Counter(iterations * double(set.triangles.size()), benchmark::Counter::kIsRate);
  state.counters["pixels"] =
      benchmark::Counter(iterations * set.pixels, benchmark::Counter::kIsRate);
  zbClose(zb);
}

BENCHMARK_TEMPLATE(BM_Fill, Fill::kFlat)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Fill, Fill::kSmooth)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Fill, Fill::kTextured)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Fill, Fill::kTexturedKeyed)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
