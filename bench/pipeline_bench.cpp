// Cost of the whole drawing path at the player's 1920 x 1080 render size: one glBegin /
// glEnd per triangle with a colour, texture coordinates and a position per vertex through a
// perspective projection, as the player draws, for small (about 100 pixels) and large (about
// 100,000 pixels) triangles, flat, smooth and textured. Reports triangles and pixels per second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "renderer/gl.h"
#include "renderer/zbuffer.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

struct Vertex {
  float x, y;     // object coordinates (z = 0)
  float s, t;     // texture coordinates
  float r, g, b;  // colour
};

struct Triangle {
  Vertex v[3];
};

struct TriangleSet {
  std::vector<Triangle> triangles;
  double pixels = 0;  // total geometric area on the screen
};

// The projection below puts object z = 0 at w = 2 and maps object x = +-2 and y = +-2 onto
// the screen's edges, so a pixel position maps back to object space like this.
float objectX(float column) { return (column / (kWidth - 0.5f) * 2 - 1) * 2; }
float objectY(float row) { return (1 - row / (kHeight - 0.5f) * 2) * 2; }

// `count` roughly equilateral triangles of `area` pixels each, turned at random, anywhere on
// the screen, wound counter-clockwise and with random colours and texture coordinates.
TriangleSet makeTriangles(int count, double area) {
  std::mt19937 rng(20130112);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  const double side = std::sqrt(4 * area / std::sqrt(3.0));
  const double radius = side / std::sqrt(3.0);
  TriangleSet set;
  for (int i = 0; i < count; ++i) {
    const double cx = radius + unit(rng) * (kWidth - 1 - 2 * radius);
    const double cy = radius + unit(rng) * (kHeight - 1 - 2 * radius);
    const double turn = unit(rng) * 6.2831853;
    Triangle t;
    double px[3], py[3];
    for (int k = 0; k < 3; ++k) {
      // Angles decreasing on a screen whose y grows downward: counter-clockwise in object space.
      const double angle = turn - k * 2.0943951;
      px[k] = cx + radius * std::cos(angle);
      py[k] = cy + radius * std::sin(angle);
      t.v[k] = {objectX(float(px[k])),
                objectY(float(py[k])),
                unit(rng),
                unit(rng),
                unit(rng),
                unit(rng),
                unit(rng)};
    }
    set.pixels +=
        std::fabs((px[1] - px[0]) * (py[2] - py[0]) - (px[2] - px[0]) * (py[1] - py[0])) / 2;
    set.triangles.push_back(t);
  }
  return set;
}

enum class Fill { kFlat, kSmooth, kTextured };

// A context over a 1920 x 1080 ZBuffer with the player's kind of projection and one 256 x 256
// texture of random texels; torn down when the benchmark ends.
class Scene {
 public:
  explicit Scene(Fill fill) : frame_(size_t(kWidth) * kHeight) {
    zb_ = zbOpen(kWidth, kHeight, kZbMode565, 0, nullptr, nullptr, frame_.data());
    glInitContext(zb_);
    glMatrixMode(GL_PROJECTION);
    glFrustum(-1, 1, -1, 1, 1, 3);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(0, 0, -2);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    std::mt19937 rng(7);
    image_.resize(256 * 256 * 3);
    for (uint8_t& byte : image_) byte = uint8_t(rng());
    unsigned name;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, int(name));
    glTexImage2D(GL_TEXTURE_2D, 0, 3, 256, 256, 0, GL_RGB, GL_UNSIGNED_BYTE, image_.data());
    glShadeModel(fill == Fill::kFlat ? GL_FLAT : GL_SMOOTH);
    if (fill == Fill::kTextured) glEnable(GL_TEXTURE_2D);
  }
  ~Scene() {
    glCloseContext();
    zbClose(zb_);
  }
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

 private:
  std::vector<Pixel565> frame_;
  std::vector<uint8_t> image_;
  ZBuffer* zb_;
};

// Every fragment is at the same depth, so every one passes the depth test, as in the player.
void drawTriangles(const TriangleSet& set) {
  for (const Triangle& t : set.triangles) {
    glBegin(GL_TRIANGLES);
    for (const Vertex& v : t.v) {
      glTexCoord2f(v.s, v.t);
      glColor4f(v.r, v.g, v.b, 1);
      glVertex3f(v.x, v.y, 0);
    }
    glEnd();
  }
}

void BM_Pipeline(benchmark::State& state, Fill fill, int count, double area) {
  const TriangleSet set = makeTriangles(count, area);
  Scene scene(fill);
  for (auto _ : state) {
    drawTriangles(set);
    benchmark::ClobberMemory();
  }
  const double iterations = double(state.iterations());
  state.counters["triangles/s"] =
      benchmark::Counter(iterations * double(set.triangles.size()), benchmark::Counter::kIsRate);
  state.counters["pixels/s"] = benchmark::Counter(
      iterations * set.pixels, benchmark::Counter::kIsRate, benchmark::Counter::OneK::kIs1000);
}

BENCHMARK_CAPTURE(BM_Pipeline, SmallFlat, Fill::kFlat, 4096, 100.0);
BENCHMARK_CAPTURE(BM_Pipeline, SmallSmooth, Fill::kSmooth, 4096, 100.0);
BENCHMARK_CAPTURE(BM_Pipeline, SmallTextured, Fill::kTextured, 4096, 100.0);
BENCHMARK_CAPTURE(BM_Pipeline, LargeFlat, Fill::kFlat, 64, 100000.0);
BENCHMARK_CAPTURE(BM_Pipeline, LargeSmooth, Fill::kSmooth, 64, 100000.0);
BENCHMARK_CAPTURE(BM_Pipeline, LargeTextured, Fill::kTextured, 64, 100000.0);

}  // namespace
