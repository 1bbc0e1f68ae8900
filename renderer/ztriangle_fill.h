// The flat and Gouraud fills' spans, compiled into the baseline build and again for AVX2
// processors (zfill_avx2.cpp). Receives three ScreenPoints and the ZBuffer; hands on
// depth-tested 5-6-5 pixels and depth values through walkTriangle.
#pragma once

#include <cstdint>
#include <type_traits>

#include "renderer/zfill.h"

namespace {

// One colour for the whole triangle; only depth is interpolated. Depth is DepthSteps<true> or
// DepthSteps<false> (zfill.h).
template <class Depth>
struct FlatFill {
  int width;  // of the ZBuffer's rows
  Pixel565 colour;
  FixedGradient z;
  Depth depth_steps;

  using Edge = EdgeValue<uint32_t>;  // depth

  Edge edgeStart(const ScreenPoint& from, int x_step_min) const {
    return edgeValue(uint32_t(from.z), z.dx, z.dy, x_step_min);
  }
  static void edgeStep(Edge* e, bool carry) { advanceEdge(e, carry); }
  static void edgeJump(Edge* e, const LeftEdge&, int rows, int carries) {
    jumpEdge(e, rows, carries);
  }

  void span(Pixel565* row, uint16_t* depth_row, int x1, int x2, const Edge& e) const {
    Pixel565* pixels = row + x1;
    uint16_t* depth = depth_row + x1;
    const uint32_t z0 = e.value;
    const Lanes16 colours = Lanes16{} + colour;
    drawSpan(
        x1, x2 - x1 + 1, width,
        [&](int offset, Lanes16 lanes) {
          writeBlock(pixels + offset, depth + offset, depth_steps.at(z0, offset), colours, lanes);
        },
        [&](int i) { plotFragment(pixels + i, depth + i, z0 + uint32_t(i) * z.dx, colour); });
  }
};

// The Gouraud fill carries red, green and blue in one word: red in bits 22-31 (10 bits), blue
// in bits 12-20 (9 bits), green in bits 0-10 (11 bits), with bits 11 and 21 kept clear so that
// the carry out of one field never reaches the next. Masking after each addition makes each
// field wrap by itself.
constexpr uint32_t kPackedFields = 0xFFDFF7FF;
constexpr uint32_t kRedField = 0xFFC00000;
constexpr uint32_t kBlueField = 0x001FF000;
constexpr uint32_t kGreenField = 0x000007FF;
// The pixel's bits within the packed word: red 27-31, blue 16-20, green 5-10.
constexpr uint32_t kPackedPixelBits = 0xF81F07E0;

uint32_t packColour(uint32_t r, uint32_t g, uint32_t b) {
  return ((r << 16) & kRedField) | ((b << 5) & kBlueField) | ((g >> 5) & kGreenField);
}

// Per-pixel step of the packed colour; the divisions scale each gradient to its field and
// truncate toward zero.
uint32_t packColourStep(uint32_t drdx, uint32_t dgdx, uint32_t dbdx) {
  return ((uint32_t(int32_t(drdx) / 64) << 22) & kRedField) |
         ((uint32_t(int32_t(dbdx) / 128) << 12) & kBlueField) |
         (uint32_t(int32_t(dgdx) / 32) & kGreenField);
}

// The packed colour n steps on (n taken modulo 2^32, so a negative n steps back): each field
// moves by n times its step, modulo its width.
uint32_t advancePacked(uint32_t packed, uint32_t step, uint32_t n) {
  uint32_t red = (packed & kRedField) + n * (step & kRedField);  // wraps out of bit 31
  uint32_t blue = ((packed & kBlueField) + n * (step & kBlueField)) & kBlueField;
  uint32_t green = ((packed & kGreenField) + n * (step & kGreenField)) & kGreenField;
  return red | blue | green;
}

inline Pixel565 packedPixel(uint32_t packed) {
  uint32_t w = packed & kPackedPixelBits;
  return Pixel565(w | (w >> 16));
}

// Both terms of each lane have clear carry bits, so their sum carries at most into bits 11 and
// 21, which no pixel bit reads: no mask is needed.
inline Lanes16 packedPixels(uint32_t base, const Block32& steps) {
  Lanes32 lo = (base + steps.lo) & kPackedPixelBits;
  Lanes32 hi = (base + steps.hi) & kPackedPixelBits;
  return lowHalves(lo | (lo >> 16), hi | (hi >> 16));
}

template <class Depth>
struct SmoothFill {
  int width;  // of the ZBuffer's rows
  FixedGradient z, r, g, b;
  uint32_t colour_step;   // packed step per pixel
  uint32_t colour_step8;  // and per block of eight
  Depth depth_steps;
  Block32 colour_steps;  // k packed steps in lane k

  struct Edge {
    EdgeValue<uint32_t> z, r, g, b;
  };

  Edge edgeStart(const ScreenPoint& from, int x_step_min) const {
    return {edgeValue(uint32_t(from.z), z.dx, z.dy, x_step_min),
            edgeValue(uint32_t(from.r), r.dx, r.dy, x_step_min),
            edgeValue(uint32_t(from.g), g.dx, g.dy, x_step_min),
            edgeValue(uint32_t(from.b), b.dx, b.dy, x_step_min)};
  }
  static void edgeStep(Edge* e, bool carry) {
    advanceEdge(&e->z, carry);
    advanceEdge(&e->r, carry);
    advanceEdge(&e->g, carry);
    advanceEdge(&e->b, carry);
  }
  static void edgeJump(Edge* e, const LeftEdge&, int rows, int carries) {
    jumpEdge(&e->z, rows, carries);
    jumpEdge(&e->r, rows, carries);
    jumpEdge(&e->g, rows, carries);
    jumpEdge(&e->b, rows, carries);
  }

  void span(Pixel565* row, uint16_t* depth_row, int x1, int x2, const Edge& e) const {
    Pixel565* pixels = row + x1;
    uint16_t* depth = depth_row + x1;
    const uint32_t z0 = e.z.value;
    const uint32_t colour0 = packColour(e.r.value, e.g.value, e.b.value);
    uint32_t colour = colour0;  // the one-by-one path steps it pixel after pixel
    // Blocks mostly follow each other eight pixels apart; the colour of such a block is the
    // previous one's plus eight steps, each field wrapping by itself as the masking makes it.
    int next_offset = 0;
    uint32_t next_colour = colour0;
    drawSpan(
        x1, x2 - x1 + 1, width,
        [&](int offset, Lanes16 lanes) {
          const uint32_t block_colour =
              offset == next_offset ? next_colour : advancePacked(colour0, colour_step, offset);
          next_offset = offset + 8;
          next_colour = (block_colour + colour_step8) & kPackedFields;
          writeBlock(pixels + offset, depth + offset, depth_steps.at(z0, offset),
                     packedPixels(block_colour, colour_steps), lanes);
        },
        [&](int i) {
          plotFragment(pixels + i, depth + i, z0 + uint32_t(i) * z.dx, packedPixel(colour));
          colour = (colour + colour_step) & kPackedFields;  // written or not
        });
  }
};

template <class Band>
void fillFlat(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1, const ScreenPoint* p2,
              Band band) {
  TriangleSetup tri;
  if (!setUpTriangle(p0, p1, p2, &tri)) return;
  const FixedGradient z = fixedGradient(tri, &ScreenPoint::z);
  withDepthSteps(tri, z.dx, [&](const auto& depth_steps) {
    FlatFill<std::decay_t<decltype(depth_steps)>> fill;
    fill.width = zb->width;
    fill.colour = rgbToPixel(tri.p2->r, tri.p2->g, tri.p2->b);  // the bottom-most point's
    fill.z = z;
    fill.depth_steps = depth_steps;
    walkTriangle(zb, tri, fill, band);
  });
}

template <class Band>
void fillSmooth(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1, const ScreenPoint* p2,
                Band band) {
  TriangleSetup tri;
  if (!setUpTriangle(p0, p1, p2, &tri)) return;
  const FixedGradient z = fixedGradient(tri, &ScreenPoint::z);
  withDepthSteps(tri, z.dx, [&](const auto& depth_steps) {
    SmoothFill<std::decay_t<decltype(depth_steps)>> fill;
    fill.width = zb->width;
    fill.z = z;
    fill.r = fixedGradient(tri, &ScreenPoint::r);
    fill.g = fixedGradient(tri, &ScreenPoint::g);
    fill.b = fixedGradient(tri, &ScreenPoint::b);
    fill.colour_step = packColourStep(fill.r.dx, fill.g.dx, fill.b.dx);
    fill.colour_step8 = advancePacked(0, fill.colour_step, 8);
    fill.depth_steps = depth_steps;
    for (int k = 0; k < 4; ++k) {
      fill.colour_steps.lo[k] = advancePacked(0, fill.colour_step, k);
      fill.colour_steps.hi[k] = advancePacked(0, fill.colour_step, k + 4);
    }
    walkTriangle(zb, tri, fill, band);
  });
}

// The whole triangle when band is null, else the band's rows.
inline void fillFlatInBand(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1,
                           const ScreenPoint* p2, const RowBand* band) {
  inBandOrWhole(band, [&](auto rows) { fillFlat(zb, p0, p1, p2, rows); });
}

inline void fillSmoothInBand(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1,
                             const ScreenPoint* p2, const RowBand* band) {
  inBandOrWhole(band, [&](auto rows) { fillSmooth(zb, p0, p1, p2, rows); });
}

}  // namespace
