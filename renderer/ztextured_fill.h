// The textured fill's spans, compiled into the baseline build and again for AVX2 processors
// (zfill_avx2.cpp), where eight texels come from one gather. Receives a set-up triangle, its
// texels and the colour-key switch; hands on the fill's depth-tested texels through walkTriangle.
#pragma once

#include <cstdint>
#include <type_traits>

#include "renderer/zfill.h"
#if defined(__AVX2__)
#include <immintrin.h>
#endif

namespace {

// Texture coordinates at the first pixel of a run and their steps per pixel across it.
struct TexelWalk {
  uint32_t s, t;
  uint32_t dsdx, dtdx;
};

// The texel at s, t: row t >> 22, column s >> 14, both modulo 256.
inline Pixel565 texelAt(const Pixel565* texture, uint32_t s, uint32_t t) {
  return texture[((t & 0x3FC00000) | (s & 0x003FC000)) >> 14];
}

#if defined(__SSE2__)

// A walk in the four 32-bit lanes of one register: s, t, dsdx, dtdx.
using WalkLanes = __m128i;

inline WalkLanes walkLanes(const TexelWalk& w) {
  return _mm_set_epi32(int(w.dtdx), int(w.dsdx), int(w.t), int(w.s));
}

inline TexelWalk walkValues(WalkLanes lanes) {
  alignas(16) uint32_t v[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(v), lanes);
  return {v[0], v[1], v[2], v[3]};
}

// s x z and t x z (or their gradients) in lanes 0 and 1.
using CoordLanes = __m128;

inline CoordLanes coordLanes(float s_z, float t_z) { return _mm_setr_ps(s_z, t_z, 0.0f, 0.0f); }
inline CoordLanes addCoords(CoordLanes a, CoordLanes b) { return _mm_add_ps(a, b); }

// s and t at a run's start from s x z, t x z and 1 / z there, and their slopes: the derivative
// of (sz + dszdx x) / (z + zx x) at x = 0. Both coordinates go through the same single-precision
// operations, in the same order, as one by one; the packed truncation gives INT_MIN out of range
// as fillTruncToInt does.
inline WalkLanes walkFrom(CoordLanes stz, CoordLanes gradient, float zx, float inv) {
  const __m128 scale = _mm_set1_ps(inv);
  const __m128 st = _mm_mul_ps(stz, scale);  // sf, tf
  const __m128 d = _mm_mul_ps(_mm_sub_ps(gradient, _mm_mul_ps(st, _mm_set1_ps(zx))), scale);
  return _mm_cvttps_epi32(_mm_movelh_ps(st, d));
}

// Texels of pixels 2k and 2k + 1 of a block into lanes 2k and 2k + 1; `pair` holds s, t of the
// first of them and s, t of the second.
template <int k>
inline __m128i insertTexelPair(__m128i texels, const Pixel565* texture, __m128i pair) {
  const __m128i fields = _mm_set_epi32(0x3FC00000, 0x003FC000, 0x3FC00000, 0x003FC000);
  __m128i index = _mm_srli_epi32(_mm_and_si128(pair, fields), 14);  // column; row x 256
  index = _mm_or_si128(index, _mm_srli_epi64(index, 32));           // lanes 0 and 2
  texels = _mm_insert_epi16(texels, texture[_mm_extract_epi16(index, 0)], 2 * k);
  return _mm_insert_epi16(texels, texture[_mm_extract_epi16(index, 4)], 2 * k + 1);
}

#if defined(__AVX2__)

// The texels of eight pixels, the first at the walk's start, each next one a step on: pixel k's
// coordinates are the start plus k steps, modulo 2^32, as stepping gives them. One gather reads
// the aligned 32-bit word holding each texel and its pair neighbour, so the array is never read
// past its end; bit 14 of s (the column's lowest bit) picks the texel's half of the word.
inline Lanes16 gatherTexels(const Pixel565* texture, WalkLanes walk) {
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256i s =
      _mm256_add_epi32(_mm256_broadcastd_epi32(walk),
                       _mm256_mullo_epi32(_mm256_broadcastd_epi32(_mm_srli_si128(walk, 8)), lane));
  const __m256i t =
      _mm256_add_epi32(_mm256_broadcastd_epi32(_mm_srli_si128(walk, 4)),
                       _mm256_mullo_epi32(_mm256_broadcastd_epi32(_mm_srli_si128(walk, 12)), lane));
  const __m256i row = _mm256_and_si256(t, _mm256_set1_epi32(0x3FC00000));
  const __m256i column_pair = _mm256_and_si256(s, _mm256_set1_epi32(0x003F8000));
  const __m256i word = _mm256_srli_epi32(_mm256_or_si256(row, column_pair), 15);
  const __m256i pairs = _mm256_i32gather_epi32(reinterpret_cast<const int*>(texture), word, 4);
  const __m256i half = _mm256_and_si256(_mm256_srli_epi32(s, 10), _mm256_set1_epi32(16));
  const __m256i texels = _mm256_srlv_epi32(pairs, half);  // each texel in its lane's low half
  const __m256i low_halves =
      _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1, 0, 1, 4, 5, 8, 9,
                       12, 13, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m256i packed = _mm256_shuffle_epi8(texels, low_halves);  // in 64-bit lanes 0 and 2
  return Lanes16(_mm256_castsi256_si128(_mm256_permute4x64_epi64(packed, _MM_SHUFFLE(3, 1, 2, 0))));
}

#else

// The texels of eight pixels, the first at the walk's start, each next one a step on. The
// coordinates are stepped in pairs of pixels, with the same wrapping 32-bit additions as one by
// one.
inline Lanes16 gatherTexels(const Pixel565* texture, WalkLanes walk) {
  const __m128i steps = _mm_shuffle_epi32(walk, _MM_SHUFFLE(3, 2, 3, 2));  // ds dt ds dt
  const __m128i two_steps = _mm_add_epi32(steps, steps);
  __m128i pair = _mm_shuffle_epi32(walk, _MM_SHUFFLE(1, 0, 1, 0));  // s t s t
  pair = _mm_add_epi32(pair, _mm_slli_si128(steps, 8));             // pixels 0 and 1
  __m128i texels = _mm_setzero_si128();
  texels = insertTexelPair<0>(texels, texture, pair);
  pair = _mm_add_epi32(pair, two_steps);
  texels = insertTexelPair<1>(texels, texture, pair);
  pair = _mm_add_epi32(pair, two_steps);
  texels = insertTexelPair<2>(texels, texture, pair);
  pair = _mm_add_epi32(pair, two_steps);
  texels = insertTexelPair<3>(texels, texture, pair);
  return Lanes16(texels);
}

#endif  // __AVX2__

#else

using WalkLanes = TexelWalk;

inline WalkLanes walkLanes(const TexelWalk& w) { return w; }
inline TexelWalk walkValues(WalkLanes w) { return w; }

struct CoordLanes {
  float s, t;
};

inline CoordLanes coordLanes(float s_z, float t_z) { return {s_z, t_z}; }
inline CoordLanes addCoords(CoordLanes a, CoordLanes b) { return {a.s + b.s, a.t + b.t}; }

inline WalkLanes walkFrom(CoordLanes stz, CoordLanes gradient, float zx, float inv) {
  const float sf = stz.s * inv;
  const float tf = stz.t * inv;
  return {uint32_t(fillTruncToInt(sf)), uint32_t(fillTruncToInt(tf)),
          uint32_t(fillTruncToInt((gradient.s - sf * zx) * inv)),
          uint32_t(fillTruncToInt((gradient.t - tf * zx) * inv))};
}

inline Lanes16 gatherTexels(const Pixel565* texture, const TexelWalk& w) {
  Lanes16 texels;
  uint32_t s = w.s, t = w.t;
  for (int k = 0; k < 8; ++k, s += w.dsdx, t += w.dtdx) texels[k] = texelAt(texture, s, t);
  return texels;
}

#endif

// kKeyed: texels equal to `key` are skipped (the context's blend switch is on). Depth is
// DepthSteps<true> or DepthSteps<false> (zfill.h).
template <bool kKeyed, class Depth>
struct TexturedFill {
  int width;                // of the ZBuffer's rows
  const Pixel565* texture;  // 256 x 256
  Pixel565 key;
  FixedGradient z;
  Depth depth_steps;
  float zx;             // dzdx as a float: how the divisor moves per pixel
  float zx8;            // and per run of eight
  float one_depth_inv;  // with one depth, 1 / that depth: every span's divisor
  Gradient sz, tz;
  CoordLanes gradient;   // dszdx, dtzdx
  CoordLanes gradient8;  // eight times those: one run on

  struct Edge {
    EdgeValue<uint32_t> z;
    EdgeValue<float> sz, tz;
  };

  Edge edgeStart(const ScreenPoint& from, int x_step_min) const {
    return {edgeValue(uint32_t(from.z), z.dx, z.dy, x_step_min),
            edgeValue(from.sz, sz.dx, sz.dy, x_step_min),
            edgeValue(from.tz, tz.dx, tz.dy, x_step_min)};
  }
  static void edgeStep(Edge* e, bool carry) {
    advanceEdge(&e->z, carry);
    advanceEdge(&e->sz, carry);
    advanceEdge(&e->tz, carry);
  }
  static void edgeJump(Edge* e, const LeftEdge& before, int rows, int carries) {
    jumpEdge(&e->z, rows, carries);
    replayLeftEdge(before, rows, [e](bool carry) {
      advanceEdge(&e->sz, carry);
      advanceEdge(&e->tz, carry);
    });
  }

  // The lanes set in `lanes` of the block whose lane k is pixel offset + k of the span, sampling
  // the walk from that block's first pixel on.
  void block(Pixel565* pixels, uint16_t* depth, uint32_t z0, int offset, Lanes16 lanes,
             WalkLanes walk) const {
    const Lanes16 texels = gatherTexels(texture, walk);
    if constexpr (kKeyed) lanes &= Lanes16(texels != (Lanes16{} + key));
    writeBlock(pixels + offset, depth + offset, depth_steps.at(z0, offset), texels, lanes);
  }

  // The same for a block that starts `m` pixels after (or, m < 0, before) the walk's pixel.
  void blockFrom(Pixel565* pixels, uint16_t* depth, uint32_t z0, int offset, Lanes16 lanes,
                 const TexelWalk& w, int m) const {
    const TexelWalk moved = {w.s + uint32_t(m) * w.dsdx, w.t + uint32_t(m) * w.dtdx, w.dsdx,
                             w.dtdx};
    block(pixels, depth, z0, offset, lanes, walkLanes(moved));
  }

  // Pixel i of the span, for rows narrower than a block.
  void pixel(Pixel565* pixels, uint16_t* depth, uint32_t z0, int i, TexelWalk w) const {
    uint32_t zz = (z0 + uint32_t(i) * z.dx) >> 14;
    if (zz < depth[i]) return;
    Pixel565 texel_value = texelAt(texture, w.s + uint32_t(i) * w.dsdx, w.t + uint32_t(i) * w.dtdx);
    if (kKeyed && texel_value == key) return;  // neither colour nor depth
    pixels[i] = texel_value;
    depth[i] = uint16_t(zz);
  }

  void span(Pixel565* row, uint16_t* depth_row, int x1, int x2, const Edge& e) const {
    const int n = x2 - x1 + 1;
    if (n <= 0) return;
    Pixel565* pixels = row + x1;
    uint16_t* depth = depth_row + x1;
    const uint32_t z0 = e.z.value;
    float f = float(int32_t(z0));
    float inv = Depth::kOneDepth ? one_depth_inv : 1.0f / f;
    CoordLanes stz = coordLanes(e.sz.value, e.tz.value);
    int i = 0;
    for (; n - i >= 8; i += 8) {  // runs of eight from the span's start, one division each
      const WalkLanes walk = walkFrom(stz, gradient, zx, inv);
      if constexpr (!Depth::kOneDepth) {  // with one depth, f + 0 is f: the same divisor
        f += zx8;
        inv = 1.0f / f;  // for the next run
      }
      block(pixels, depth, z0, i, kAllLanes, walk);
      stz = addCoords(stz, gradient8);
    }
    if (i == n) return;
    // The last 1..7 pixels step linearly from here.
    const TexelWalk w = walkValues(walkFrom(stz, gradient, zx, inv));
    if (i > 0) {
      // The block that ends at the span's end, its lanes already drawn switched off.
      blockFrom(pixels, depth, z0, n - 8, laneRange(8 - (n - i), 8), w, n - 8 - i);
    } else if (width >= 8) {
      const int start = slidBlockOffset(x1, width);
      blockFrom(pixels, depth, z0, start, laneRange(-start, n - start), w, start);
    } else {
      for (int k = 0; k < n; ++k) pixel(pixels, depth, z0, k, w);
    }
  }
};

template <bool kKeyed, class Band>
void fillTextured(ZBuffer* zb, const Pixel565* texels, const TriangleSetup& tri, Pixel565 key,
                  Band band) {
  const FixedGradient z = fixedGradient(tri, &ScreenPoint::z);
  withDepthSteps(tri, z.dx, [&](const auto& depth_steps) {
    TexturedFill<kKeyed, std::decay_t<decltype(depth_steps)>> fill;
    fill.texture = texels;
    fill.key = key;
    fill.z = z;
    fill.depth_steps = depth_steps;
    fill.width = zb->width;
    fill.zx = float(int32_t(fill.z.dx));
    fill.zx8 = 8.0f * fill.zx;
    fill.one_depth_inv = 1.0f / float(tri.p0->z);  // each span starts at depth p0.z then
    fill.sz = gradientOf(tri, tri.p1->sz - tri.p0->sz, tri.p2->sz - tri.p0->sz);
    fill.tz = gradientOf(tri, tri.p1->tz - tri.p0->tz, tri.p2->tz - tri.p0->tz);
    fill.gradient = coordLanes(fill.sz.dx, fill.tz.dx);
    fill.gradient8 = coordLanes(8.0f * fill.sz.dx, 8.0f * fill.tz.dx);
    walkTriangle(zb, tri, fill, band);
  });
}

template <class Band>
void fillTexturedSetUp(ZBuffer* zb, const Pixel565* texels, const TriangleSetup& tri, bool keyed,
                       Pixel565 key, Band band) {
  if (keyed) {
    fillTextured<true>(zb, texels, tri, key, band);
  } else {
    fillTextured<false>(zb, texels, tri, 0, band);
  }
}

// Every row when band is null, else the band's rows.
inline void fillTexturedInBand(ZBuffer* zb, const Pixel565* texels, const TriangleSetup& tri,
                               bool keyed, Pixel565 key, const RowBand* band) {
  inBandOrWhole(band, [&](auto rows) { fillTexturedSetUp(zb, texels, tri, keyed, key, rows); });
}

}  // namespace
