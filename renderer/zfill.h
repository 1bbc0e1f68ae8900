// What the three triangle fills share: the set-up (points sorted by row, area, gradients), the
// edge walk that hands a fill one span per row with its left-edge values, and the depth-tested
// writes of one fragment or of eight at once. Receives ScreenPoints; hands on spans and pixels.
#pragma once

#include <algorithm>
#include <bit>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "renderer/screen_point.h"
#include "renderer/zbuffer.h"
#include "renderer/ztriangle.h"

// The float set-up must round every operation to single precision, the same in every build;
// x87 arithmetic keeps intermediates in 80 bits and would change pixels.
#if defined(__i386__) && !defined(__SSE2_MATH__)
#error "the triangle fills need SSE2 floating point (-msse2 -mfpmath=sse)"
#endif
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The points sorted by row and the terms that every gradient is made of.
struct TriangleSetup {
  const ScreenPoint* p0;  // top point
  const ScreenPoint* p1;  // middle point
  const ScreenPoint* p2;  // bottom point; points on one row keep the order they were given in
  float area;             // (p1 - p0) x (p2 - p0): > 0 when p1 lies right of the edge p0-p2
  float fdx1, fdy1;       // p1 - p0, divided by area
  float fdx2, fdy2;       // p2 - p0, divided by area
};

// Sorts the points and computes the area terms; false (and nothing set) when the area is 0.
bool setUpTriangle(const ScreenPoint* a, const ScreenPoint* b, const ScreenPoint* c,
                   TriangleSetup* tri);

// The fills' two builds: every row when band is null, else the band's rows. The AVX2 one
// (zfill_avx2.cpp) exists in 64-bit x86 builds and runs only on processors that report AVX2;
// both give the same pixels. (32-bit Windows keeps to SSE2: its stack is not kept aligned for
// the spills of 32-byte registers.)
void fillFlatBaseline(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1,
                      const ScreenPoint* p2, const RowBand* band);
void fillSmoothBaseline(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1,
                        const ScreenPoint* p2, const RowBand* band);
void fillTexturedBaseline(ZBuffer* zb, const Pixel565* texels, const TriangleSetup& tri, bool keyed,
                          Pixel565 key, const RowBand* band);
#if defined(__x86_64__) && defined(__GNUC__)
#define KESTRUNE_FILL_AVX2 1
bool fillHasAvx2();
void fillFlatAvx2(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1, const ScreenPoint* p2,
                  const RowBand* band);
void fillSmoothAvx2(ZBuffer* zb, const ScreenPoint* p0, const ScreenPoint* p1,
                    const ScreenPoint* p2, const RowBand* band);
void fillTexturedAvx2(ZBuffer* zb, const Pixel565* texels, const TriangleSetup& tri, bool keyed,
                      Pixel565 key, const RowBand* band);
#endif

// Everything below is inline and is compiled into the baseline fills and again, with AVX2's
// instructions, into the AVX2 fills. Each instruction set gets its own namespace, so
// that the linker never hands one build's copy of a helper to the other.
#if defined(__AVX2__)
#define KESTRUNE_FILL_ISA fill_avx2
#else
#define KESTRUNE_FILL_ISA fill_base
#endif
inline namespace KESTRUNE_FILL_ISA {

// Change of a quantity per pixel to the right and per row down, from its differences between
// the sorted points: d1 = Q(p1) - Q(p0), d2 = Q(p2) - Q(p0).
struct Gradient {
  float dx;
  float dy;
};

inline Gradient gradientOf(const TriangleSetup& tri, float d1, float d2) {
  return {tri.fdy2 * d1 - tri.fdy1 * d2, tri.fdx1 * d2 - tri.fdx2 * d1};
}

// float to int, truncating toward zero. Values outside the int range and NaN give INT_MIN, the
// value x86's conversion instruction produces, so slivers with huge gradients stay defined; on
// x86 that instruction is used directly.
inline int fillTruncToInt(float v) {
#if defined(__SSE2__)
  return _mm_cvtt_ss2si(_mm_set_ss(v));
#else
  return (v >= -2147483648.0f && v < 2147483648.0f) ? int(v) : INT_MIN;
#endif
}

// Gradient of one of the points' integer fields (depth, a colour channel), truncated toward
// zero and carried as uint32_t so that stepping wraps instead of overflowing.
struct FixedGradient {
  uint32_t dx;
  uint32_t dy;
};

inline FixedGradient fixedGradient(const TriangleSetup& tri, int ScreenPoint::*field) {
  int q0 = tri.p0->*field;
  Gradient g = gradientOf(tri, float(tri.p1->*field - q0), float(tri.p2->*field - q0));
  return {uint32_t(fillTruncToInt(g.dx)), uint32_t(fillTruncToInt(g.dy))};
}

// A quantity carried down the left edge with its two row steps: every row x advances by
// step_min or by step_min + 1, and the quantity by dQdy + dQdx x that advance. T is uint32_t
// for fixed-point values (wrapping arithmetic, as the fixed-point formats expect) or float.
template <class T>
struct EdgeValue {
  T value;
  T step_min;  // dQdy + dQdx x step_min
  T step_max;  // step_min + dQdx
};

template <class T>
EdgeValue<T> edgeValue(T start, T dqdx, T dqdy, int x_step_min) {
  T step_min = dqdy + dqdx * T(x_step_min);
  return {start, step_min, step_min + dqdx};
}

template <class T>
void advanceEdge(EdgeValue<T>* e, bool carry) {
  e->value += carry ? e->step_max : e->step_min;
}

// The left edge: a whole column and an error term that picks, row by row, the floor of the
// 16.16 slope or one more, so that the column is the ceiling of the edge stepped by that slope.
// Every field fits 32 bits at any width: the column stays inside the triangle and the floor of
// the slope is at most the width.
struct LeftEdge {
  int x;
  int error;
  int error_step;  // fraction of the slope, 0..0xFFFF
  int step_min;    // floor of the slope
};

// The right edge: its column in 16.16 fixed point, whose floor ends each span. 64 bits, since a
// column of 32768 or more, or one step past the last row of a steep edge, leaves 32.
struct RightEdge {
  int64_t x;
  int64_t slope;
};

// (dx << 16) / dy truncated toward zero; 0 for an edge with no rows. An edge across more than
// 32767 columns needs more than 32 bits.
inline int64_t edgeSlope(const ScreenPoint& from, const ScreenPoint& to) {
  int dy = to.y - from.y;
  return dy > 0 ? int64_t(to.x - from.x) * 65536 / dy : 0;
}

inline LeftEdge leftEdge(const ScreenPoint& from, const ScreenPoint& to) {
  int64_t slope = edgeSlope(from, to);
  return {from.x, 0, int(slope & 0xFFFF), int(slope >> 16)};
}

inline RightEdge rightEdge(const ScreenPoint& from, const ScreenPoint& to) {
  return {int64_t(from.x) * 65536, edgeSlope(from, to)};
}

// Moves the left edge down one row; true when it took the larger step.
inline bool stepLeftEdge(LeftEdge* e) {
  e->error += e->error_step;
  bool carry = e->error > 0;
  e->error -= carry ? 0x10000 : 0;
  e->x += e->step_min + (carry ? 1 : 0);
  return carry;
}

// Moves the left edge `rows` rows down at once, to where that many steps leave it, and returns
// how many of them were larger steps. Each step adds error_step to the error and takes 0x10000
// back on a carry, keeping it in (-0x10000, 0]; so the carries are the one count that brings
// error + rows x error_step back into that range.
inline int jumpLeftEdge(LeftEdge* e, int rows) {
  const int64_t total = int64_t(e->error) + int64_t(rows) * e->error_step;
  const int64_t carries = total > 0 ? (total + 0xFFFF) >> 16 : 0;
  e->error = int(total - carries * 0x10000);
  e->x = int(e->x + int64_t(rows) * e->step_min + carries);
  return int(carries);
}

// A fixed-point interpolant `rows` rows down, `carries` of them larger steps: the same wrapping
// sum as stepping row by row.
inline void jumpEdge(EdgeValue<uint32_t>* e, int rows, int carries) {
  e->value += uint32_t(rows) * e->step_min + uint32_t(carries) * (e->step_max - e->step_min);
}

// Float interpolants have no such closed form: each row's addition rounds. They are stepped row
// by row with the carries of the left edge as it was before the jump.
template <class Step>
void replayLeftEdge(LeftEdge before, int rows, const Step& step) {
  for (; rows > 0; --rows) step(stepLeftEdge(&before));
}

// Every row of a triangle, for walkTriangle.
struct AllRows {};

// draw(band) for a band, draw(AllRows{}) for the whole triangle when band is null.
template <class Draw>
void inBandOrWhole(const RowBand* band, const Draw& draw) {
  if (band != nullptr) {
    draw(*band);
  } else {
    draw(AllRows{});
  }
}

// Walks the triangle's rows top to bottom in two parts: A from p0.y to p1.y - 1, B from p1.y
// to p2.y inclusive. The edge that runs p0-p2 serves both parts and is set up once; the other
// side restarts at p1. Fill provides:
//   Edge                      the interpolants of the left edge
//   edgeStart(point, step)    an Edge starting at point for a left edge of floor slope step
//   edgeStep(&edge, carry)    one row down, carry as from stepLeftEdge
//   edgeJump(&edge, left, rows, carries)  `rows` rows down at once, `carries` of them larger
//                             steps, `left` the left edge before the jump
//   span(row, depth_row, x1, x2, edge)   pixels x1..x2 inclusive of one row (none if x2 < x1)
// Band is a RowBand: only its rows get spans. The edges jump to the band's first row with the
// very columns, error terms and interpolants that a walk over every row above would give them,
// so a triangle drawn band by band gives the pixels of one drawn in one go. Band is AllRows for
// the whole triangle.
template <class Fill, class Band>
void walkTriangle(ZBuffer* zb, const TriangleSetup& tri, const Fill& fill, Band band) {
  constexpr bool kBanded = std::is_same_v<Band, RowBand>;
  const ScreenPoint& p0 = *tri.p0;
  const ScreenPoint& p1 = *tri.p1;
  const ScreenPoint& p2 = *tri.p2;
  const ptrdiff_t pixel_pitch = zb->line_bytes / 2;  // line_bytes is a multiple of 4
  const ptrdiff_t depth_pitch = zb->width;
  Pixel565* row = zb->pixels + p0.y * pixel_pitch;
  uint16_t* depth_row = zb->depth + p0.y * depth_pitch;

  const bool middle_on_right = tri.area > 0;
  LeftEdge left = leftEdge(p0, middle_on_right ? p2 : p1);
  typename Fill::Edge values = fill.edgeStart(p0, left.step_min);
  RightEdge right = rightEdge(p0, middle_on_right ? p1 : p2);
  int rows = p1.y - p0.y;  // part A
  int y = p0.y;
  for (bool part_b = false;; part_b = true) {
    if constexpr (kBanded) {
      const int skipped = std::min(rows, band.begin - y);
      if (skipped > 0) {
        const LeftEdge before = left;
        fill.edgeJump(&values, before, skipped, jumpLeftEdge(&left, skipped));
        right.x += right.slope * skipped;
        row += pixel_pitch * skipped;
        depth_row += depth_pitch * skipped;
        rows -= skipped;
        y += skipped;
      }
      rows = std::min(rows, band.end - y);
    }
    for (; rows > 0; --rows, ++y) {
      fill.span(row, depth_row, left.x, int(right.x >> 16), values);
      Fill::edgeStep(&values, stepLeftEdge(&left));
      right.x += right.slope;
      row += pixel_pitch;
      depth_row += depth_pitch;
    }
    if (part_b) break;
    if constexpr (kBanded) {
      if (y >= band.end) break;
    }
    if (middle_on_right) {
      right = rightEdge(p1, p2);
    } else {
      left = leftEdge(p1, p2);
      values = fill.edgeStart(p1, left.step_min);
    }
    rows = p2.y - p1.y + 1;
  }
}

static_assert(std::endian::native == std::endian::little,
              "the low 16 bits of a 32-bit lane are taken as the even 16-bit element");

// Eight neighbouring pixels or depth values: one SSE2 register where the target has them (GCC
// and Clang lower the operations to scalars elsewhere).
typedef uint16_t Lanes16 __attribute__((vector_size(16)));
// Four 32-bit fixed-point values. Eight of them are carried as two of these: vectors wider than
// the target's registers compile badly (their comparisons go lane by lane).
typedef uint32_t Lanes32 __attribute__((vector_size(16)));
typedef int32_t SignedLanes32 __attribute__((vector_size(16)));

// Eight 32-bit values, one per pixel of a block: lanes 0-3 and 4-7.
struct Block32 {
  Lanes32 lo;
  Lanes32 hi;
};

inline constexpr Lanes16 kLaneIndex16 = {0, 1, 2, 3, 4, 5, 6, 7};
inline constexpr Lanes16 kAllLanes = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF,
                                      0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};

// k x step in lane k.
inline Block32 laneMultiples(uint32_t step) {
  return {Lanes32{0, 1, 2, 3} * step, Lanes32{4, 5, 6, 7} * step};
}

// base + steps in every lane.
inline Block32 offsetLanes(uint32_t base, const Block32& steps) {
  return {base + steps.lo, base + steps.hi};
}

// The low 16 bits of each of the eight values. SSE2 packs with signed saturation, so each value
// is first sign-extended from its low 16 bits, which the packing then keeps as they are.
inline Lanes16 lowHalves(Lanes32 lo, Lanes32 hi) {
#if defined(__SSE2__)
  __m128i l = _mm_srai_epi32(_mm_slli_epi32(__m128i(lo), 16), 16);
  __m128i h = _mm_srai_epi32(_mm_slli_epi32(__m128i(hi), 16), 16);
  return Lanes16(_mm_packs_epi32(l, h));
#else
  return __builtin_shufflevector((Lanes16)lo, (Lanes16)hi, 0, 2, 4, 6, 8, 10, 12, 14);
#endif
}

// min(v, 0xFFFF) of each of eight values below 2^31. SSE2's signed saturation does it on the
// values moved down by 0x8000, which the final exclusive-or moves back up.
inline Lanes16 saturatedHalves(Lanes32 lo, Lanes32 hi) {
#if defined(__SSE2__)
  const __m128i bias = _mm_set1_epi32(0x8000);
  __m128i packed =
      _mm_packs_epi32(_mm_sub_epi32(__m128i(lo), bias), _mm_sub_epi32(__m128i(hi), bias));
  return Lanes16(packed) ^ 0x8000;
#else
  return lowHalves(lo | Lanes32(SignedLanes32(lo) > 0xFFFF),
                   hi | Lanes32(SignedLanes32(hi) > 0xFFFF));
#endif
}

// Lanes below j set, for j = 0..8.
inline constexpr Lanes16 kLanesBelow[9] = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0xFFFF, 0, 0, 0, 0, 0, 0, 0},
    {0xFFFF, 0xFFFF, 0, 0, 0, 0, 0, 0},
    {0xFFFF, 0xFFFF, 0xFFFF, 0, 0, 0, 0, 0},
    {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0, 0, 0, 0},
    {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0, 0, 0},
    {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0, 0},
    {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0},
    {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF},
};

// All bits set in lanes from..to - 1 (0 <= from <= to <= 8).
inline Lanes16 laneRange(int from, int to) { return kLanesBelow[to] & ~kLanesBelow[from]; }

inline Lanes16 load8(const uint16_t* p) {
  Lanes16 v;
  std::memcpy(&v, p, sizeof v);  // spans start anywhere: unaligned
  return v;
}

inline void store8(uint16_t* p, Lanes16 v) { std::memcpy(p, &v, sizeof v); }

// One fragment of depth z (16.14). The stored depth is compared with z >> 14 in 32 bits, so a
// fragment past 16 bits (z >= 2^30, right at the near plane) always passes and stores the low 16.
inline void plotFragment(Pixel565* pixel, uint16_t* depth, uint32_t z, Pixel565 colour) {
  uint32_t zz = z >> 14;
  if (zz >= *depth) {
    *pixel = colour;
    *depth = uint16_t(zz);
  }
}

// The depth of eight fragments in the two forms the depth step needs: `near` to compare with
// the stored values, `stored` to write where the step passes.
struct BlockDepth {
  Lanes16 near;    // z >> 14 saturated to 0xFFFF: a larger value passes either way
  Lanes16 stored;  // the low 16 bits of z >> 14
};

inline BlockDepth blockDepth(const Block32& z) {
  Lanes32 zz_lo = z.lo >> 14;  // below 2^18
  Lanes32 zz_hi = z.hi >> 14;
  return {saturatedHalves(zz_lo, zz_hi), lowHalves(zz_lo, zz_hi)};
}

// The same depth in every lane: a triangle whose three points share one depth has it at every
// pixel, since its depth gradients are exactly 0.
inline BlockDepth uniformBlockDepth(uint32_t z) {
  const uint32_t zz = z >> 14;
  return {Lanes16{} + uint16_t(zz > 0xFFFF ? 0xFFFF : zz), Lanes16{} + uint16_t(zz)};
}

// Eight fragments at once, as plotFragment does each of them: a lane is written where its depth
// passes and `allowed` has its bits set. Lanes that are not written get their old values back.
inline void writeBlock(Pixel565* pixels, uint16_t* depth, const BlockDepth& z, Lanes16 colour,
                       Lanes16 allowed) {
  Lanes16 stored = load8(depth);
  Lanes16 pass = Lanes16(z.near >= stored) & allowed;
  store8(depth, (z.stored & pass) | (stored & ~pass));
  store8(pixels, (colour & pass) | (load8(pixels) & ~pass));
}

inline void writeBlock(Pixel565* pixels, uint16_t* depth, const Block32& z, Lanes16 colour,
                       Lanes16 allowed) {
  writeBlock(pixels, depth, blockDepth(z), colour, allowed);
}

// The depth of the blocks of one triangle: stepped from each span's left end by dzdx, or one
// value throughout when the triangle's depth gradients are 0 (kUniform).
template <bool kUniform>
struct DepthSteps {
  static constexpr bool kOneDepth = kUniform;
  uint32_t dzdx;
  Block32 z_steps;     // k x dzdx in lane k
  BlockDepth uniform;  // kUniform: the depth of every block

  static DepthSteps of(uint32_t dzdx, uint32_t z) {
    return {dzdx, laneMultiples(dzdx), uniformBlockDepth(z)};
  }
  // The block whose lane k is pixel offset + k of a span whose first pixel has depth z0.
  BlockDepth at(uint32_t z0, int offset) const {
    if constexpr (kUniform) return uniform;
    return blockDepth(offsetLanes(z0 + uint32_t(offset) * dzdx, z_steps));
  }
};

// Calls draw(DepthSteps<...>) for the triangle's depth gradient dzdx, with the uniform form when
// its three points share one depth (then both gradients are exactly 0 and so are all edge steps).
template <class Draw>
void withDepthSteps(const TriangleSetup& tri, uint32_t dzdx, const Draw& draw) {
  const int z = tri.p0->z;
  if (tri.p1->z == z && tri.p2->z == z) {
    draw(DepthSteps<true>::of(0, uint32_t(z)));
  } else {
    draw(DepthSteps<false>::of(dzdx, uint32_t(z)));
  }
}

// Where the block of a span shorter than eight pixels starts, relative to the span's first
// pixel at column x1: at the span, or slid left (an offset < 0) so that it stays inside a row
// of `width` >= 8 pixels. Its lanes outside the span are switched off.
inline int slidBlockOffset(int x1, int width) { return width - 8 - x1 < 0 ? width - 8 - x1 : 0; }

// Draws the n pixels of a span that starts at column x1 of a row `width` pixels wide, as blocks
// of eight. block(offset, lanes) draws the lanes set in `lanes` of the block whose lane k is
// pixel offset + k of the span. A span of eight or more goes block by block from its start and
// ends with the block that ends at its end, its lanes already drawn switched off. A shorter span
// is one slid block. Rows narrower than a block go one pixel at a time, in order.
template <class Block, class Pixel>
inline void drawSpan(int x1, int n, int width, const Block& block, const Pixel& pixel) {
  if (n >= 8) {
    int i = 0;
    for (; i + 8 <= n; i += 8) block(i, kAllLanes);
    if (i < n) block(n - 8, laneRange(8 - (n - i), 8));
  } else if (n > 0) {
    if (width >= 8) {
      const int start = slidBlockOffset(x1, width);
      block(start, laneRange(-start, n - start));
    } else {
      for (int i = 0; i < n; ++i) pixel(i);
    }
  }
}

}  // namespace KESTRUNE_FILL_ISA
