// Vertex arrays: receives the client-state, pointer and array-element ops; hands each element of
// the enabled arrays on as the colour and vertex ops (run directly on the context) and as the
// current normal and texture coordinates.
#include <algorithm>
#include <cstddef>

#include "renderer/context.h"
#include "renderer/error.h"
#include "renderer/gl.h"
#include "renderer/stages.h"

namespace {

constexpr int kVertexArrayBit = 1;
constexpr int kColorArrayBit = 2;
constexpr int kNormalArrayBit = 4;
constexpr int kTexCoordArrayBit = 8;
constexpr int kNormalSize = 3;  // the normal array has no size of its own

int clientStateBit(int array) {
  switch (array) {
    case GL_VERTEX_ARRAY:
      return kVertexArrayBit;
    case GL_COLOR_ARRAY:
      return kColorArrayBit;
    case GL_NORMAL_ARRAY:
      return kNormalArrayBit;
    case GL_TEXTURE_COORD_ARRAY:
      return kTexCoordArrayBit;
    default:
      RK_ASSERT(0, "arrays");
      return 0;
  }
}

// Element `index` of an array: its first `size` floats (at most four) over `defaults`. Reading
// no more than `size` floats keeps an element of an odd size (1 for a vertex, 2 for a colour)
// from reaching into the next one or past the caller's array.
Vec4 readElement(const ClientArray& a, int size, int index, Vec4 defaults) {
  const float* e = a.pointer + std::ptrdiff_t(index) * (size + a.stride);
  float v[4] = {defaults.x, defaults.y, defaults.z, defaults.w};
  std::copy(e, e + std::clamp(size, 0, 4), v);
  return {v[0], v[1], v[2], v[3]};
}

void issueColor(RenderContext* c, const Vec4& rgba) {
  OpWord p[8];
  packColorOp(p, rgba.x, rgba.y, rgba.z, rgba.w);
  glopColor(c, p);
}

void issueVertex(RenderContext* c, const Vec4& v) {
  const OpWord p[5] = {OpWord::ofInt(kOpVertex), OpWord::ofFloat(v.x), OpWord::ofFloat(v.y),
                       OpWord::ofFloat(v.z), OpWord::ofFloat(v.w)};
  glopVertex(c, p);
}

void setArray(ClientArray* a, const OpWord* p) {
  a->size = p[1].asInt();
  a->stride = p[3].asInt();
  a->pointer = static_cast<const float*>(p[4].asPointer());
}

}  // namespace

// The colour and vertex ops go straight to their handlers: a display list holds the
// ArrayElement op, and replaying it reads the arrays as they are at that time.
void glopArrayElement(RenderContext* c, const OpWord* p) {
  const int i = p[1].asInt();
  const int bits = c->client_state_bits;
  const Vec4 unit_w = {0.0f, 0.0f, 0.0f, 1.0f};
  if (bits & kColorArrayBit) {
    issueColor(c, readElement(c->color_array, c->color_array.size, i, unit_w));
  }
  if (bits & kNormalArrayBit) {
    const Vec4 n = readElement(c->normal_array, kNormalSize, i, unit_w);
    c->current_normal = {n.x, n.y, n.z, 0.0f};
  }
  if (bits & kTexCoordArrayBit) {
    c->current_tex_coord = readElement(c->tex_coord_array, c->tex_coord_array.size, i, unit_w);
  }
  if (bits & kVertexArrayBit) {
    issueVertex(c, readElement(c->vertex_array, c->vertex_array.size, i, unit_w));
  }
}

void glopEnableClientState(RenderContext* c, const OpWord* p) {
  c->client_state_bits |= clientStateBit(p[1].asInt());
}

void glopDisableClientState(RenderContext* c, const OpWord* p) {
  c->client_state_bits &= ~clientStateBit(p[1].asInt());
}

// The type was checked to be GL_FLOAT by the entry point.
void glopVertexPointer(RenderContext* c, const OpWord* p) { setArray(&c->vertex_array, p); }

void glopColorPointer(RenderContext* c, const OpWord* p) { setArray(&c->color_array, p); }

void glopTexCoordPointer(RenderContext* c, const OpWord* p) { setArray(&c->tex_coord_array, p); }

void glopNormalPointer(RenderContext* c, const OpWord* p) {
  c->normal_array.size = kNormalSize;
  c->normal_array.stride = p[2].asInt();
  c->normal_array.pointer = static_cast<const float*>(p[3].asPointer());
}
