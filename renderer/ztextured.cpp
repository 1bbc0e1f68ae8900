// The perspective-divided textured fill: s x z and t x z are interpolated linearly across the
// screen and divided by the interpolated depth once every eight pixels, with linear steps in
// between. Receives three ScreenPoints, the texel array and the colour-key switch; hands on
// depth-tested texels, copied unchanged.
#include <cstdint>
#include <initializer_list>

#include "renderer/zfill.h"
#include "renderer/ztriangle.h"

namespace {

// Texture coordinates at the first pixel of a run and their steps per pixel across it.
struct TexelWalk {
  uint32_t s, t;
  uint32_t dsdx, dtdx;
};

// kKeyed: texels equal to `key` are skipped (the context's blend switch is on).
template <bool kKeyed>
struct TexturedFill {
  int width;                // of the ZBuffer's rows
  const Pixel565* texture;  // 256 x 256
  Pixel565 key;
  FixedGradient z;
  Block32 z_steps;  // k x dzdx in lane k
  float zx;         // dzdx as a float: how the divisor moves per pixel
  float zx8;        // and per run of eight
  Gradient sz, tz;
  float dszdx8, dtzdx8;

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

  // s and t at a run's start from s x z, t x z and 1 / z there, and their slopes: the
  // derivative of (sz + dszdx x) / (z + zx x) at x = 0.
  TexelWalk walkFrom(float s_z, float t_z, float inv) const {
    float sf = s_z * inv;
    float tf = t_z * inv;
    return {uint32_t(fillTruncToInt(sf)), uint32_t(fillTruncToInt(tf)),
            uint32_t(fillTruncToInt((sz.dx - sf * zx) * inv)),
            uint32_t(fillTruncToInt((tz.dx - tf * zx) * inv))};
  }

  Pixel565 texel(uint32_t s, uint32_t t) const {
    return texture[((t & 0x3FC00000) | (s & 0x003FC000)) >> 14];  // row t >> 22, column s >> 14
  }

  // The lanes set in `lanes` of the block whose lane k is pixel offset + k of the span; that
  // pixel samples the walk that starts at pixel `origin`, offset + k - origin steps on.
  void block(Pixel565* pixels, uint16_t* depth, uint32_t z0, int offset, Lanes16 lanes, TexelWalk w,
             int origin) const {
    const uint32_t m = uint32_t(offset - origin);
    uint32_t s = w.s + m * w.dsdx;
    uint32_t t = w.t + m * w.dtdx;
    auto next = [&] {
      Pixel565 texel_value = texel(s, t);
      s += w.dsdx;
      t += w.dtdx;
      return texel_value;
    };
    const Pixel565 t0 = next(), t1 = next(), t2 = next(), t3 = next();  // a gather, in order
    const Pixel565 t4 = next(), t5 = next(), t6 = next(), t7 = next();
    Lanes16 texels = {t0, t1, t2, t3, t4, t5, t6, t7};
    if constexpr (kKeyed) lanes &= Lanes16(texels != (Lanes16{} + key));
    Block32 zs = offsetLanes(z0 + uint32_t(offset) * z.dx, z_steps);
    writeBlock(pixels + offset, depth + offset, zs, texels, lanes);
  }

  // Pixel i of the span, for rows narrower than a block.
  void pixel(Pixel565* pixels, uint16_t* depth, uint32_t z0, int i, TexelWalk w) const {
    uint32_t zz = (z0 + uint32_t(i) * z.dx) >> 14;
    if (zz < depth[i]) return;
    Pixel565 texel_value = texel(w.s + uint32_t(i) * w.dsdx, w.t + uint32_t(i) * w.dtdx);
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
    float inv = 1.0f / f;
    float s_z = e.sz.value;
    float t_z = e.tz.value;
    int i = 0;
    for (; n - i >= 8; i += 8) {  // runs of eight from the span's start, one division each
      const TexelWalk w = walkFrom(s_z, t_z, inv);
      f += zx8;
      inv = 1.0f / f;  // for the next run
      block(pixels, depth, z0, i, kAllLanes, w, i);
      s_z += dszdx8;
      t_z += dtzdx8;
    }
    if (i == n) return;
    const TexelWalk w = walkFrom(s_z, t_z, inv);  // the last 1..7 pixels step linearly from here
    if (i > 0) {
      block(pixels, depth, z0, n - 8, laneRange(8 - (n - i), 8), w, i);  // ends at the span's end
    } else if (width >= 8) {
      const int start = slidBlockOffset(x1, width);
      block(pixels, depth, z0, start, laneRange(-start, n - start), w, 0);
    } else {
      for (int k = 0; k < n; ++k) pixel(pixels, depth, z0, k, w);
    }
  }
};

template <bool kKeyed>
void fillTextured(ZBuffer* zb, const TriangleSetup& tri, Pixel565 key) {
  TexturedFill<kKeyed> fill;
  fill.texture = zb->texture;
  fill.key = key;
  fill.z = fixedGradient(tri, &ScreenPoint::z);
  fill.z_steps = laneMultiples(fill.z.dx);
  fill.width = zb->width;
  fill.zx = float(int32_t(fill.z.dx));
  fill.zx8 = 8.0f * fill.zx;
  fill.sz = gradientOf(tri, tri.p1->sz - tri.p0->sz, tri.p2->sz - tri.p0->sz);
  fill.tz = gradientOf(tri, tri.p1->tz - tri.p0->tz, tri.p2->tz - tri.p0->tz);
  fill.dszdx8 = 8.0f * fill.sz.dx;
  fill.dtzdx8 = 8.0f * fill.tz.dx;
  walkTriangle(zb, tri, fill);
}

}  // namespace

void zbFillTexturedKeyed(ZBuffer* zb, ScreenPoint* p0, ScreenPoint* p1, ScreenPoint* p2,
                         int blend_on, int transparent_key) {
  if (zb->texture == nullptr) return;  // no texels to sample: the triangle is skipped
  TriangleSetup tri;
  if (!setUpTriangle(p0, p1, p2, &tri)) return;
  for (ScreenPoint* p : {p0, p1, p2}) {
    p->sz = float(p->s) * float(p->z);
    p->tz = float(p->t) * float(p->z);
  }
  // A key outside 16 bits matches no texel, so only a key that can match takes the keyed path.
  if (blend_on != 0 && (transparent_key & ~0xFFFF) == 0) {
    fillTextured<true>(zb, tri, Pixel565(transparent_key));
  } else {
    fillTextured<false>(zb, tri, 0);
  }
}
