// Scattered workloads: each frame fresh random triangles of areas drawn log-uniformly between two
// sizes in render-buffer pixels, in runs that share a texture slot and a blend mode. Receives the
// options and the generator's state; hands on one frame's triangle records.
#include <algorithm>
#include <cmath>

#include "bench/workload/workload.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
// 1 / tan(26.5 degrees): the player's projection scale from the 0..1 square to device units.
const double kProjectionScale = 1 / std::tan(26.5 * kPi / 180);
constexpr int kShapeTries = 16;

struct Point {
  double x = 0;
  double y = 0;
};

uint8_t gridByte(double value) {
  return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

// A run of triangles ends with probability 1 / run length; a new run draws its slot and mode.
void nextRun(ScatterState& state, const WorkloadOptions& options) {
  if (options.textured > 0 && randomUnit(state.random) < options.textured) {
    state.slot = static_cast<uint8_t>(1 + randomBelow(state.random, options.textures));
  } else {
    state.slot = 0;
  }
  state.mode = randomUnit(state.random) < options.blend ? 1 : 0;
}

// Three corners around the origin in pixels, roughly equilateral, with the given area.
void cornersWithArea(Random& random, double area, Point corners[3]) {
  const double turn = randomUnit(random) * 2 * kPi;
  for (int k = 0; k < 3; ++k) {
    const double angle = turn + k * 2 * kPi / 3 + (randomUnit(random) - 0.5);
    const double reach = 0.7 + 0.6 * randomUnit(random);
    corners[k] = {reach * std::cos(angle), reach * std::sin(angle)};
  }
  const double unit = std::fabs((corners[1].x - corners[0].x) * (corners[2].y - corners[0].y) -
                                (corners[2].x - corners[0].x) * (corners[1].y - corners[0].y)) /
                      2;
  const double scale = std::sqrt(area / std::max(unit, 1e-9));
  for (int k = 0; k < 3; ++k) corners[k] = {corners[k].x * scale, corners[k].y * scale};
}

// Texture coordinates follow the pixels one texel each, kept within one copy of the texture.
void placeTexture(Random& random, const Point corners[3], TriangleRecord& triangle) {
  double low_x = corners[0].x, high_x = low_x, low_y = corners[0].y, high_y = low_y;
  for (int k = 1; k < 3; ++k) {
    low_x = std::min(low_x, corners[k].x), high_x = std::max(high_x, corners[k].x);
    low_y = std::min(low_y, corners[k].y), high_y = std::max(high_y, corners[k].y);
  }
  const double extent = std::max({high_x - low_x, high_y - low_y, 1.0});
  const double density = std::min(1.0, 255 / extent);
  const double base_u = randomUnit(random) * (255 - (high_x - low_x) * density);
  const double base_v = randomUnit(random) * (255 - (high_y - low_y) * density);
  for (int k = 0; k < 3; ++k) {
    triangle.vertices[k].u = gridByte(base_u + (corners[k].x - low_x) * density);
    triangle.vertices[k].v = gridByte(base_v + (corners[k].y - low_y) * density);
  }
}

TriangleRecord scatteredTriangle(ScatterState& state, const WorkloadOptions& options) {
  Random& random = state.random;
  const double area =
      options.min_area * std::pow(options.max_area / options.min_area, randomUnit(random));
  const double step_x = pixelsPerStepX(options.desktop_width);
  const double step_y = pixelsPerStepY(options.desktop_height);
  TriangleRecord triangle;
  triangle.texture_slot = state.slot;
  triangle.blend_mode = state.mode;
  for (int attempt = 0; attempt < kShapeTries; ++attempt) {
    Point corners[3];
    cornersWithArea(random, area, corners);
    const double centre_x = randomUnit(random) * 255;
    const double centre_y = randomUnit(random) * 255;
    const uint16_t colour = static_cast<uint16_t>(nextRandom(random));
    for (int k = 0; k < 3; ++k) {
      TriangleVertex& vertex = triangle.vertices[k];
      vertex.x = gridByte(centre_x + corners[k].x / step_x);
      vertex.y = gridByte(centre_y + corners[k].y / step_y);
      vertex.w = static_cast<uint16_t>(65535 - randomBelow(random, 4096));
      vertex.colour = colour;
    }
    placeTexture(random, corners, triangle);
    if (triangleArea(triangle, options.desktop_width, options.desktop_height) > 0) break;
  }
  return triangle;
}

}  // namespace

double pixelsPerStepX(int desktop_width) {
  return kProjectionScale * (2 * (desktop_width / 2)) / (2 * 255.0);
}

double pixelsPerStepY(int desktop_height) {
  return kProjectionScale * (2 * (desktop_height / 2)) / (2 * 255.0);
}

double triangleArea(const TriangleRecord& triangle, int desktop_width, int desktop_height) {
  const TriangleVertex* v = triangle.vertices;
  const double cross = (double(v[1].x) - v[0].x) * (double(v[2].y) - v[0].y) -
                       (double(v[2].x) - v[0].x) * (double(v[1].y) - v[0].y);
  return std::fabs(cross) / 2 * pixelsPerStepX(desktop_width) * pixelsPerStepY(desktop_height);
}

ScatterState beginScatter(const WorkloadOptions& options) {
  ScatterState state;
  state.random.state = options.seed;
  nextRun(state, options);
  return state;
}

std::vector<TriangleRecord> scatterFrame(ScatterState& state, const WorkloadOptions& options) {
  std::vector<TriangleRecord> triangles;
  triangles.reserve(static_cast<size_t>(options.triangles));
  for (int64_t k = 0; k < options.triangles; ++k) {
    if (k > 0 && randomUnit(state.random) * options.run_length < 1) nextRun(state, options);
    triangles.push_back(scatteredTriangle(state, options));
  }
  return triangles;
}
