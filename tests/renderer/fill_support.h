// Helpers of the triangle-fill tests: a small drawing surface over test memory with a known
// background and depth, points built by position, and whole-frame comparisons against expected
// grids written as character maps or as rows of values.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "renderer/screen_point.h"
#include "renderer/zbuffer.h"
#include "tests/renderer/zbuffer_support.h"

// A colour no fill in these tests produces, so untouched pixels show.
constexpr Pixel565 kBackground = 0x1234;

// A width x height surface with every pixel kBackground and every depth value `depth`.
class FillCanvas {
 public:
  FillCanvas(int width, int height, uint16_t depth = 0)
      : frame_(size_t(height) * (((width * 2 + 3) & ~3) / 2)),
        zb_(openOver(width, height, kZbMode565, frame_.data())) {
    zbClear(zb_, 1, depth, 0, 0, 0, 0);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) setPixel(x, y, kBackground);
    }
  }
  ~FillCanvas() { zbClose(zb_); }
  FillCanvas(const FillCanvas&) = delete;
  FillCanvas& operator=(const FillCanvas&) = delete;

  ZBuffer* zb() const { return zb_; }
  int width() const { return zb_->width; }
  int height() const { return zb_->height; }
  Pixel565 pixel(int x, int y) const { return pixelAt(zb_, x, y); }
  void setPixel(int x, int y, Pixel565 p) { std::memcpy(pixelBytes(zb_, x, y), &p, 2); }
  uint16_t depth(int x, int y) const { return zb_->depth[y * zb_->width + x]; }
  void setDepth(int x, int y, uint16_t d) { zb_->depth[y * zb_->width + x] = d; }

 private:
  std::vector<Pixel565> frame_;
  ZBuffer* zb_;
};

// Expected values of a whole frame, row by row; starts as `fill` everywhere.
struct Grid {
  Grid(int width, int height, uint16_t fill) : width(width), values(size_t(width) * height, fill) {}
  // Values from column x0 of row y on.
  Grid& row(int y, int x0, std::initializer_list<uint16_t> run) {
    for (uint16_t v : run) values[size_t(y) * width + x0++] = v;
    return *this;
  }
  Grid& set(int x, int y, uint16_t v) {
    values[size_t(y) * width + x] = v;
    return *this;
  }
  int width;
  std::vector<uint16_t> values;
};

// A grid from a character map: '.' is `background`, other characters come from the legend.
inline Grid gridFromMap(std::initializer_list<const char*> rows, uint16_t background,
                        const std::map<char, uint16_t>& legend) {
  Grid grid(int(std::string(*rows.begin()).size()), int(rows.size()), background);
  int y = 0;
  for (const char* row : rows) {
    for (int x = 0; row[x] != '\0'; ++x) {
      if (row[x] != '.') grid.set(x, y, legend.at(row[x]));
    }
    ++y;
  }
  return grid;
}

// Where a test draws its figure: at the left of rows narrower than a block of eight pixels (its
// spans go one pixel at a time), or moved right by dx against the right edge of wider rows (its
// spans go by blocks, short ones slid left to stay inside the row).
struct Placement {
  int width;
  int dx;
};

// The grid of a figure drawn at `at`: moved right by at.dx, `fill` around it.
inline Grid placed(const Grid& figure, Placement at, uint16_t fill) {
  const int height = int(figure.values.size()) / figure.width;
  Grid grid(at.width, height, fill);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < figure.width; ++x) {
      grid.set(x + at.dx, y, figure.values[size_t(y) * figure.width + x]);
    }
  }
  return grid;
}

inline std::string formatGrid(const std::vector<uint16_t>& values, int width) {
  std::string text;
  char cell[8];
  for (size_t i = 0; i < values.size(); ++i) {
    std::snprintf(cell, sizeof cell, "%04X%c", values[i], (i + 1) % width == 0 ? '\n' : ' ');
    text += cell;
  }
  return text;
}

inline ::testing::AssertionResult sameGrid(const std::vector<uint16_t>& actual, const Grid& want,
                                           const char* what) {
  if (actual == want.values) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << what << " differ.\nactual:\n"
                                       << formatGrid(actual, want.width) << "expected:\n"
                                       << formatGrid(want.values, want.width);
}

inline ::testing::AssertionResult picture(const FillCanvas& canvas, const Grid& want) {
  std::vector<uint16_t> actual;
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) actual.push_back(canvas.pixel(x, y));
  }
  return sameGrid(actual, want, "pixels");
}

inline ::testing::AssertionResult depths(const FillCanvas& canvas, const Grid& want) {
  std::vector<uint16_t> actual;
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) actual.push_back(canvas.depth(x, y));
  }
  return sameGrid(actual, want, "depth values");
}

inline ScreenPoint point(int x, int y, int z) {
  ScreenPoint p{};
  p.x = x;
  p.y = y;
  p.z = z;
  return p;
}

inline ScreenPoint moved(ScreenPoint p, int dx) {
  p.x += dx;
  return p;
}

inline ScreenPoint coloured(int x, int y, int z, int r, int g, int b) {
  ScreenPoint p = point(x, y, z);
  p.r = r;
  p.g = g;
  p.b = b;
  return p;
}
