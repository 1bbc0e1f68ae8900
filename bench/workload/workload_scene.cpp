// The scene workload: the view from a car driving along a winding, rolling road, as the racing
// game would have recorded it. Sky and a mountain range at the horizon, the ground in rows from
// the draw distance to the car (grass, kerbs, the road in `subdiv` columns), then trees, boards
// and two cars ahead, all painted back to front. Receives the options and a frame number; hands
// on that frame's triangles, clipped to the screen and to a near plane.
#include <algorithm>
#include <cmath>
#include <vector>

#include "bench/workload/workload.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kNear = 0.5;        // metres in front of the eye
constexpr double kEyeHeight = 1.3;   // above the road
constexpr double kHalfFovTan = 1.0;  // a 90-degree view across
constexpr double kFirstRow = 1.5;    // metres ahead of the eye
constexpr int kRows = 29;
constexpr double kRoadHalf = 7;
constexpr double kKerbHalf = 9;
constexpr double kGrassHalf = 60;
constexpr double kTreeSpacing = 15;
constexpr double kTreeReach = 260;
constexpr double kBoardSpacing = 90;
// Texture slots of the scene, matching the pictures of the texture dumps.
constexpr uint8_t kAsphalt = 1, kGrass = 2, kTree = 3, kMountain = 4, kCar = 5, kBoard = 6;

struct Vec {
  double x = 0, y = 0, z = 0;
};

// A polygon corner: camera space (x right, y up, z ahead) or, after projection, screen grid
// units in x and y; u and v in texture units 0..255.
struct Corner {
  double x = 0, y = 0, z = 0, u = 0, v = 0;
};

struct Polygon {
  std::vector<Corner> corners;
  uint8_t slot = 0;
  uint8_t mode = 0;
  uint16_t colour = 0xF000;
};

// The road's heading (radians from north) and height at track distance s.
double heading(double s) { return 0.35 * std::sin(s / 170) + 0.25 * std::sin(s / 61 + 1.3); }
double elevation(double s) { return 4 * std::sin(s / 130) + 1.5 * std::sin(s / 47); }

// The road's centre line, integrated metre by metre from heading(s); the whole metres are kept,
// as every frame asks for the same stretch of road.
Vec centre(double s) {
  static std::vector<Vec> metres = {Vec{}};
  const int whole = static_cast<int>(std::max(s, 0.0));
  while (static_cast<int>(metres.size()) <= whole) {
    const int k = static_cast<int>(metres.size()) - 1;
    const double h = heading(k + 0.5);
    metres.push_back({metres[k].x + std::sin(h), 0, metres[k].z + std::cos(h)});
  }
  Vec at = metres[whole];
  const double rest = std::max(s, 0.0) - whole;
  const double h = heading(whole + rest / 2);
  at.x += std::sin(h) * rest;
  at.z += std::cos(h) * rest;
  at.y = elevation(s);
  return at;
}

struct Camera {
  Vec eye;
  double heading = 0;
  double distance = 0;  // along the track
};

// A point `side` metres right of the centre line at track distance s, `up` above the road.
Vec trackPoint(double s, double side, double up) {
  Vec at = centre(s);
  const double h = heading(s);
  at.x += side * std::cos(h);
  at.z -= side * std::sin(h);
  at.y += up;
  return at;
}

Corner toCamera(const Camera& camera, Vec world, double u, double v) {
  const double dx = world.x - camera.eye.x, dz = world.z - camera.eye.z;
  const double s = std::sin(camera.heading), c = std::cos(camera.heading);
  return {dx * c - dz * s, world.y - camera.eye.y, dx * s + dz * c, u, v};
}

Corner between(const Corner& a, const Corner& b, double t) {
  return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t,
          a.u + (b.u - a.u) * t, a.v + (b.v - a.v) * t};
}

// Keeps the part of the polygon where inside(corner) >= 0 (inside is affine in the corner).
template <typename Inside>
std::vector<Corner> clipPolygon(const std::vector<Corner>& corners, Inside inside) {
  std::vector<Corner> kept;
  for (size_t k = 0; k < corners.size(); ++k) {
    const Corner& a = corners[k];
    const Corner& b = corners[(k + 1) % corners.size()];
    const double da = inside(a), db = inside(b);
    if (da >= 0) kept.push_back(a);
    if ((da >= 0) != (db >= 0)) kept.push_back(between(a, b, da / (da - db)));
  }
  return kept;
}

// Camera space to the 0..255 screen grid; y = 0 is the top.
Corner project(const Corner& corner, double width_to_height) {
  const double x = 127.5 + 127.5 * corner.x / (corner.z * kHalfFovTan);
  const double y = 127.5 - 127.5 * corner.y * width_to_height / (corner.z * kHalfFovTan);
  return {x, y, corner.z, corner.u, corner.v};
}

std::vector<Corner> clipToScreen(std::vector<Corner> corners) {
  corners = clipPolygon(corners, [](const Corner& c) { return c.x; });
  corners = clipPolygon(corners, [](const Corner& c) { return 255 - c.x; });
  corners = clipPolygon(corners, [](const Corner& c) { return c.y; });
  return clipPolygon(corners, [](const Corner& c) { return 255 - c.y; });
}

uint8_t gridByte(double value) {
  return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

TriangleVertex vertexOf(const Corner& corner, uint16_t colour) {
  TriangleVertex vertex;
  vertex.x = gridByte(corner.x);
  vertex.y = gridByte(corner.y);
  vertex.u = gridByte(corner.u);
  vertex.v = gridByte(corner.v);
  vertex.w = static_cast<uint16_t>(std::clamp(65535 / std::max(corner.z, 1.0), 1.0, 65535.0));
  vertex.colour = colour;
  return vertex;
}

// A screen polygon as a fan of triangles; those that collapse on the grid are left out.
void emitFan(const Polygon& polygon, const std::vector<Corner>& corners,
             std::vector<TriangleRecord>& out) {
  for (size_t k = 1; k + 1 < corners.size(); ++k) {
    TriangleRecord triangle;
    triangle.texture_slot = polygon.slot;
    triangle.blend_mode = polygon.mode;
    triangle.vertices[0] = vertexOf(corners[0], polygon.colour);
    triangle.vertices[1] = vertexOf(corners[k], polygon.colour);
    triangle.vertices[2] = vertexOf(corners[k + 1], polygon.colour);
    if (triangleArea(triangle, 2, 2) > 0) out.push_back(triangle);
  }
}

// A polygon in camera space: cut at the near plane, projected, cut at the screen's edges.
void emitWorld(const Polygon& polygon, double width_to_height, std::vector<TriangleRecord>& out) {
  std::vector<Corner> corners =
      clipPolygon(polygon.corners, [](const Corner& c) { return c.z - kNear; });
  for (Corner& corner : corners) corner = project(corner, width_to_height);
  emitFan(polygon, clipToScreen(corners), out);
}

uint16_t packed(int flag, int red, int green, int blue) {
  return static_cast<uint16_t>((flag << 12) | (red << 8) | (green << 4) | blue);
}

// Two bands of sky shading from deep blue to haze, down to just below the horizon.
void emitSky(std::vector<TriangleRecord>& out) {
  const uint16_t top = packed(0, 2, 4, 12), middle = packed(0, 5, 8, 14),
                 haze = packed(0, 10, 12, 15);
  const double rows[3] = {0, 80, 131};
  const uint16_t colours[3] = {top, middle, haze};
  for (int band = 0; band < 2; ++band) {
    Polygon polygon;
    polygon.corners = {
        {0, rows[band]}, {255, rows[band]}, {255, rows[band + 1]}, {0, rows[band + 1]}};
    std::vector<TriangleRecord> triangles;
    emitFan(polygon, polygon.corners, triangles);
    for (TriangleRecord& triangle : triangles) {
      for (TriangleVertex& vertex : triangle.vertices) {
        vertex.colour = vertex.y == rows[band] ? colours[band] : colours[band + 1];
      }
      out.push_back(triangle);
    }
  }
}

// The mountain range turns with the view: one copy of the texture per 40 grid units.
void emitMountains(const Camera& camera, std::vector<TriangleRecord>& out) {
  constexpr double kWidth = 40;
  const double shift = std::fmod(camera.heading * 255 / (kPi / 2), kWidth);
  const double offset = shift < 0 ? shift + kWidth : shift;
  for (int k = -1; k < 8; ++k) {
    const double left = k * kWidth - offset;
    Polygon polygon;
    polygon.slot = kMountain;
    polygon.mode = 1;
    polygon.corners = {{left, 110, 0, 0, 0},
                       {left + kWidth, 110, 0, 255, 0},
                       {left + kWidth, 131, 0, 255, 255},
                       {left, 131, 0, 0, 255}};
    emitFan(polygon, clipToScreen(polygon.corners), out);
  }
}

// One ground quad between two rows and two sides, with its texture or colour.
void emitGroundQuad(const Camera& camera, double near_s, double far_s, double left, double right,
                    double u0, double u1, Polygon polygon, double width_to_height,
                    std::vector<TriangleRecord>& out) {
  polygon.corners = {toCamera(camera, trackPoint(far_s, left, 0), u0, 0),
                     toCamera(camera, trackPoint(far_s, right, 0), u1, 0),
                     toCamera(camera, trackPoint(near_s, right, 0), u1, 255),
                     toCamera(camera, trackPoint(near_s, left, 0), u0, 255)};
  emitWorld(polygon, width_to_height, out);
}

// One row of ground across the track: grass, kerb, the road's columns, kerb, grass.
void emitGroundRow(const Camera& camera, int row, double near_s, double far_s, int subdiv,
                   double width_to_height, std::vector<TriangleRecord>& out) {
  Polygon grass, kerb, road;
  grass.slot = kGrass;
  road.slot = kAsphalt;
  kerb.colour = row % 2 == 0 ? packed(15, 14, 2, 2) : packed(15, 15, 15, 15);
  emitGroundQuad(camera, near_s, far_s, -kGrassHalf, -kKerbHalf, 0, 255, grass, width_to_height,
                 out);
  emitGroundQuad(camera, near_s, far_s, -kKerbHalf, -kRoadHalf, 0, 0, kerb, width_to_height, out);
  for (int column = 0; column < subdiv; ++column) {
    const double left = -kRoadHalf + 2 * kRoadHalf * column / subdiv;
    const double right = -kRoadHalf + 2 * kRoadHalf * (column + 1) / subdiv;
    emitGroundQuad(camera, near_s, far_s, left, right, 255.0 * column / subdiv,
                   255.0 * (column + 1) / subdiv, road, width_to_height, out);
  }
  emitGroundQuad(camera, near_s, far_s, kRoadHalf, kKerbHalf, 0, 0, kerb, width_to_height, out);
  emitGroundQuad(camera, near_s, far_s, kKerbHalf, kGrassHalf, 0, 255, grass, width_to_height, out);
}

void emitGround(const Camera& camera, const WorkloadOptions& options, double width_to_height,
                std::vector<TriangleRecord>& out) {
  const double ratio = options.draw_distance / kFirstRow;
  for (int row = kRows - 1; row >= 0; --row) {
    const double near_s = camera.distance + kFirstRow * std::pow(ratio, double(row) / kRows);
    const double far_s = camera.distance + kFirstRow * std::pow(ratio, double(row + 1) / kRows);
    emitGroundRow(camera, row, near_s, far_s, options.subdiv, width_to_height, out);
  }
}

// Something standing by or on the road, drawn after everything further away.
struct Standing {
  double distance = 0;  // ahead of the camera along the track
  Polygon polygon;      // camera space
};

// An upright quad facing the camera at a track point: a tree or a board.
Standing billboard(const Camera& camera, double s, double side, double width, double height,
                   uint8_t slot, uint8_t mode) {
  Standing standing;
  standing.distance = s - camera.distance;
  const Corner foot = toCamera(camera, trackPoint(s, side, 0), 0, 0);
  const double half = width / 2;
  standing.polygon.slot = slot;
  standing.polygon.mode = mode;
  standing.polygon.corners = {{foot.x - half, foot.y + height, foot.z, 0, 0},
                              {foot.x + half, foot.y + height, foot.z, 255, 0},
                              {foot.x + half, foot.y, foot.z, 255, 255},
                              {foot.x - half, foot.y, foot.z, 0, 255}};
  return standing;
}

// A car as a box: its two sides, its roof and its back, in that order.
void addCar(const Camera& camera, double s, double side, std::vector<Standing>& standing) {
  constexpr double kHalfWidth = 0.9, kHeight = 1.3, kLength = 4.2;
  const auto at = [&](double along, double across, double up, double u, double v) {
    return toCamera(camera, trackPoint(s + along, side + across, up), u, v);
  };
  Polygon left{{at(kLength, -kHalfWidth, 0, 0, 255), at(kLength, -kHalfWidth, kHeight, 0, 0),
                at(0, -kHalfWidth, kHeight, 255, 0), at(0, -kHalfWidth, 0, 255, 255)},
               kCar,
               0,
               0xF000};
  Polygon right{{at(0, kHalfWidth, 0, 0, 255), at(0, kHalfWidth, kHeight, 0, 0),
                 at(kLength, kHalfWidth, kHeight, 255, 0), at(kLength, kHalfWidth, 0, 255, 255)},
                kCar,
                0,
                0xF000};
  Polygon roof{{at(kLength, -kHalfWidth, kHeight, 0, 0), at(kLength, kHalfWidth, kHeight, 0, 0),
                at(0, kHalfWidth, kHeight, 0, 0), at(0, -kHalfWidth, kHeight, 0, 0)},
               0,
               0,
               packed(15, 6, 2, 2)};
  Polygon back{{at(0, -kHalfWidth, kHeight, 0, 0), at(0, kHalfWidth, kHeight, 255, 0),
                at(0, kHalfWidth, 0, 255, 255), at(0, -kHalfWidth, 0, 0, 255)},
               kCar,
               0,
               0xF000};
  for (const Polygon& polygon : {left, right, roof, back}) {
    standing.push_back({s - camera.distance + 0.01, polygon});
  }
}

std::vector<Standing> standingThings(const Camera& camera, double time) {
  std::vector<Standing> things;
  const double first = std::ceil(camera.distance / kTreeSpacing) * kTreeSpacing;
  for (double s = first; s < camera.distance + kTreeReach; s += kTreeSpacing) {
    const double sway = std::fmod(s * 0.37, 3.0);
    things.push_back(billboard(camera, s, -12 - sway, 3.5, 7, kTree, 1));
    things.push_back(billboard(camera, s + kTreeSpacing / 2, 12 + sway, 3.5, 7, kTree, 1));
  }
  const double board = std::ceil(camera.distance / kBoardSpacing) * kBoardSpacing;
  for (double s = board; s < camera.distance + kTreeReach; s += kBoardSpacing) {
    things.push_back(billboard(camera, s, -10, 8, 4, kBoard, 0));
  }
  addCar(camera, camera.distance + 14 + 6 * std::sin(time * 0.5), -3, things);
  addCar(camera, camera.distance + 45 + 12 * std::sin(time * 0.3), 3, things);
  std::stable_sort(things.begin(), things.end(),
                   [](const Standing& a, const Standing& b) { return a.distance > b.distance; });
  return things;
}

}  // namespace

std::vector<TriangleRecord> sceneFrame(const WorkloadOptions& options, int64_t frame) {
  const double time = static_cast<double>(frame) / options.fps;
  const double width_to_height =
      static_cast<double>(options.desktop_width) / options.desktop_height;
  Camera camera;
  camera.distance = 5 + options.speed * time;
  camera.eye = trackPoint(camera.distance, -2, kEyeHeight);
  camera.heading = heading(camera.distance + 6);
  std::vector<TriangleRecord> out;
  emitSky(out);
  emitMountains(camera, out);
  emitGround(camera, options, width_to_height, out);
  for (const Standing& thing : standingThings(camera, time)) {
    emitWorld(thing.polygon, width_to_height, out);
  }
  return out;
}
