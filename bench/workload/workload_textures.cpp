// Texture dumps of the workloads: 8-bit palettized pictures whose palette entry 0 is black, the
// key colour that blend modes 1 and 2 leave out. Scattered workloads get patterned pictures with
// black holes; the scene gets asphalt, grass, a tree, a mountain range, a car and a sign
// board. Receives the options; hands on BMP files named by their ids.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "bench/workload/workload.h"
#include "tools/bmp_writer.h"

namespace {

// "KWRKLD" followed by the slot number: ids that say where the dumps come from.
constexpr uint64_t kIdBase = 0x4B57524B4C440000;

using Texel = int (*)(int column, int row, int width, int height, Random& random);

// A ramp of 255 colours after black, starting from a base colour and brightening.
std::vector<BmpColour> rampPalette(int red, int green, int blue) {
  std::vector<BmpColour> palette = {{0, 0, 0}};
  for (int k = 1; k < 256; ++k) {
    const auto channel = [k](int base) {
      return static_cast<uint8_t>(std::min(255, base / 2 + (base + 64) * k / 320));
    };
    palette.push_back({channel(red), channel(green), channel(blue)});
  }
  return palette;
}

// Checks of two tones with round black holes, one hole per check.
int patternTexel(int column, int row, int width, int height, Random& random) {
  const int cell = std::max(4, std::min(width, height) / 8);
  const double dx = (column % cell) - cell / 2.0;
  const double dy = (row % cell) - cell / 2.0;
  if (dx * dx + dy * dy < cell * cell / 12.0) return 0;
  const int tone = ((column / cell) + (row / cell)) % 2 == 0 ? 60 : 180;
  return tone + randomBelow(random, 60);
}

int asphaltTexel(int column, int, int width, int, Random& random) {
  const bool line = std::abs(column - width / 2) < width / 64 + 1;
  return line ? 250 : 40 + randomBelow(random, 40);
}

int grassTexel(int, int, int, int, Random& random) { return 60 + randomBelow(random, 120); }

// A cone of leaves over a trunk, black around it.
int treeTexel(int column, int row, int width, int height, Random& random) {
  const double across = std::fabs(column - width / 2.0) / width;
  const double down = static_cast<double>(row) / height;
  if (down > 0.8) return across < 0.06 ? 30 : 0;
  return across < 0.45 * down + 0.05 ? 40 + randomBelow(random, 100) : 0;
}

// A ridge line with black sky above it.
int mountainTexel(int column, int row, int width, int height, Random&) {
  const double phase = 2 * 3.14159265358979 * column / width;
  const double ridge = height * (0.35 + 0.2 * std::sin(phase) + 0.1 * std::sin(3 * phase + 1));
  return row < ridge ? 0 : 80 + (row * 150) / height;
}

int carTexel(int column, int row, int width, int height, Random&) {
  const bool window = row < height / 3 && column > width / 8 && column < width * 7 / 8;
  return window ? 30 : 150 + (column * 7 + row * 3) % 80;
}

int boardTexel(int column, int row, int width, int height, Random&) {
  const bool border = column < 8 || row < 8 || column >= width - 8 || row >= height - 8;
  return border ? 240 : ((column / 16 + row / 16) % 2 == 0 ? 120 : 200);
}

struct Look {
  Texel texel;
  int red, green, blue;
};

// Scene slots 1 to 6 in the order the scene names them.
constexpr Look kSceneLooks[kSceneTextures] = {
    {asphaltTexel, 110, 110, 120},  {grassTexel, 60, 150, 50}, {treeTexel, 40, 140, 40},
    {mountainTexel, 120, 110, 140}, {carTexel, 200, 40, 30},   {boardTexel, 230, 200, 60},
};

BmpPicture texturePicture(const WorkloadOptions& options, int slot) {
  const TextureSize size = options.texture_sizes[(slot - 1) % options.texture_sizes.size()];
  const Look look = options.scene ? kSceneLooks[(slot - 1) % kSceneTextures]
                                  : Look{patternTexel, 40 * slot % 256, 90 + 20 * slot % 160,
                                         200 - 25 * slot % 200};
  Random random{options.seed * 1000 + static_cast<uint64_t>(slot)};
  BmpPicture picture;
  picture.width = size.width;
  picture.height = size.height;
  picture.bits = 8;
  picture.palette = rampPalette(look.red, look.green, look.blue);
  for (int row = 0; row < size.height; ++row) {
    for (int column = 0; column < size.width; ++column) {
      picture.indices.push_back(
          static_cast<uint8_t>(look.texel(column, row, size.width, size.height, random)));
    }
  }
  return picture;
}

}  // namespace

uint64_t workloadTextureId(int slot) { return kIdBase + static_cast<uint64_t>(slot); }

std::string dumpFileName(uint64_t id) {
  char name[32];
  std::snprintf(name, sizeof name, "%016llX.bmp", static_cast<unsigned long long>(id));
  return name;
}

bool writeWorkloadTextures(const std::string& folder, const WorkloadOptions& options,
                           std::string* error) {
  const int count = options.scene ? kSceneTextures : options.textures;
  for (int slot = 1; slot <= count; ++slot) {
    const std::string path = folder + "/" + dumpFileName(workloadTextureId(slot));
    if (!writeBmpFile(path, texturePicture(options, slot), error)) return false;
  }
  return true;
}
