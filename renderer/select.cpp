// Selection: receives glRenderMode, glSelectBuffer, the name-stack ops and, in GL_SELECT mode,
// the hits of the point, line and triangle drawers; hands hit records (name count, depth range,
// names) on to the caller's select buffer.
#include "renderer/select.h"

#include <algorithm>
#include <cstddef>

#include "renderer/context.h"
#include "renderer/error.h"
#include "renderer/gl.h"
#include "renderer/stages.h"

namespace {

constexpr int kRecordHeaderWords = 3;  // name count, first depth, second depth

// Ends the current mode and gives glRenderMode's result for it.
int leaveRenderMode(RenderContext* c) {
  switch (c->render_mode) {
    case GL_RENDER:
      return 0;
    case GL_SELECT: {
      const int hits = c->select_overflow ? -c->select_hits : c->select_hits;
      c->select_overflow = 0;
      c->select_cursor = c->select_buffer;
      c->name_stack_size = 0;
      return hits;
    }
    default:
      RK_ASSERT(0, "select");
      return 0;
  }
}

void enterRenderMode(RenderContext* c, int mode) {
  switch (mode) {
    case GL_RENDER:
      c->render_mode = GL_RENDER;
      return;
    case GL_SELECT:
      RK_ASSERT_TEXT(c->select_buffer != nullptr, "c->select_buffer != NULL", "select");
      c->render_mode = GL_SELECT;
      c->select_cursor = c->select_buffer;
      c->select_hits = 0;
      c->select_overflow = 0;
      c->select_hit = nullptr;
      return;
    default:
      RK_ASSERT(0, "select");
  }
}

// A new record at the cursor holding the name stack, or the overflow flag when it would not fit
// in the words left. The check is made in pointer-difference arithmetic so that no capacity,
// however small or negative, lets a record past the buffer's end.
void openHitRecord(RenderContext* c, unsigned first, unsigned second) {
  const int n = c->name_stack_size;
  const std::ptrdiff_t used = c->select_cursor - c->select_buffer;
  if (used + kRecordHeaderWords + n > c->select_capacity) {
    c->select_overflow = 1;
    return;
  }
  unsigned* record = c->select_cursor;
  record[0] = static_cast<unsigned>(n);
  record[1] = first;
  record[2] = second;
  std::copy(c->name_stack, c->name_stack + n, record + kRecordHeaderWords);
  c->select_hit = record;
  c->select_cursor = record + kRecordHeaderWords + n;
  c->select_hits += 1;
}

bool selecting(const RenderContext* c) { return c->render_mode == GL_SELECT; }

unsigned depthOf(const GLVertex* v) { return static_cast<unsigned>(v->screen.z); }

}  // namespace

int glRenderMode(int mode) {
  RenderContext* c = glCurrentContext();
  const int result = leaveRenderMode(c);
  enterRenderMode(c, mode);
  return result;
}

void glSelectBuffer(int size, unsigned* buffer) {
  RenderContext* c = glCurrentContext();
  RK_ASSERT(c->render_mode != GL_SELECT, "select");
  c->select_buffer = buffer;
  c->select_capacity = size;
}

// The name-stack ops act only in GL_SELECT mode. Each ends the current record, so that the next
// hit opens one holding the changed stack.

void glopInitNames(RenderContext* c, const OpWord*) {
  if (!selecting(c)) return;
  c->name_stack_size = 0;
  c->select_hit = nullptr;
}

void glopPushName(RenderContext* c, const OpWord* p) {
  if (!selecting(c)) return;
  RK_ASSERT_TEXT(c->name_stack_size < MAX_NAME_STACK_DEPTH,
                 "c->name_stack_size<MAX_NAME_STACK_DEPTH", "select");
  c->name_stack[c->name_stack_size++] = static_cast<unsigned>(p[1].asInt());
  c->select_hit = nullptr;
}

void glopPopName(RenderContext* c, const OpWord*) {
  if (!selecting(c)) return;
  RK_ASSERT_TEXT(c->name_stack_size > 0, "c->name_stack_size>0", "select");
  c->name_stack_size -= 1;
  c->select_hit = nullptr;
}

void glopLoadName(RenderContext* c, const OpWord* p) {
  if (!selecting(c)) return;
  RK_ASSERT_TEXT(c->name_stack_size > 0, "c->name_stack_size>0", "select");
  c->name_stack[c->name_stack_size - 1] = static_cast<unsigned>(p[1].asInt());
  c->select_hit = nullptr;
}

void addSelectHit(RenderContext* c, unsigned first, unsigned second) {
  // Outside GL_SELECT the cursor may be null or stale: a stray hit must not write anything.
  if (!selecting(c) || c->select_overflow) return;
  unsigned* hit = c->select_hit;
  if (hit == nullptr) {
    openHitRecord(c, first, second);
    return;
  }
  hit[1] = std::min(hit[1], first);
  hit[2] = std::max(hit[2], second);
}

void selectPointHit(RenderContext* c, const GLVertex* v) {
  addSelectHit(c, depthOf(v), depthOf(v));
}

void selectLineHit(RenderContext* c, const GLVertex* va, const GLVertex* vb) {
  const unsigned za = depthOf(va), zb = depthOf(vb);
  addSelectHit(c, 0xFFFFFFFFu - std::min(za, zb), 0xFFFFFFFFu - std::max(za, zb));
}

void drawTriangleSelect(RenderContext* c, GLVertex* va, GLVertex* vb, GLVertex* vc) {
  const auto [smallest, largest] = std::minmax({depthOf(va), depthOf(vb), depthOf(vc)});
  addSelectHit(c, 0xFFFFFFFFu - smallest, 0xFFFFFFFFu - largest);
}
