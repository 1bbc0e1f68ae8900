// Helpers of the vertex, assembly, clipping and pipeline tests: a context over a ZBuffer of a
// chosen size (over test memory with guard bands around it), and recorders that stand in for
// the drawing stage and log what reaches it, through the context's user_data.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "renderer/context.h"
#include "renderer/gl.h"
#include "renderer/stage_records.h"
#include "renderer/vertex.h"
#include "renderer/zbuffer.h"

// One call that reached a recorder: its kind and copies of its vertices as they were then.
struct DrawCall {
  char kind;  // 'p' point, 'l' line, 't' triangle, 'F' front drawer, 'B' back drawer
  std::vector<GLVertex> vertices;
};

struct DrawLog {
  std::vector<DrawCall> calls;
};

inline DrawLog* drawLogOf(RenderContext* c) { return static_cast<DrawLog*>(c->user_data); }

inline void recordPoint(RenderContext* c, GLVertex* v) {
  drawLogOf(c)->calls.push_back({'p', {*v}});
}
inline void recordLine(RenderContext* c, GLVertex* a, GLVertex* b) {
  drawLogOf(c)->calls.push_back({'l', {*a, *b}});
}
inline void recordTriangle(RenderContext* c, GLVertex* a, GLVertex* b, GLVertex* d) {
  drawLogOf(c)->calls.push_back({'t', {*a, *b, *d}});
}
inline void recordFront(RenderContext* c, GLVertex* a, GLVertex* b, GLVertex* d) {
  drawLogOf(c)->calls.push_back({'F', {*a, *b, *d}});
}
inline void recordBack(RenderContext* c, GLVertex* a, GLVertex* b, GLVertex* d) {
  drawLogOf(c)->calls.push_back({'B', {*a, *b, *d}});
}

// Assembly's output, recorded instead of clipped.
inline constexpr PrimitiveDrawers kRecordingDrawers = {recordPoint, recordLine, recordTriangle};

// A fresh context over a kWidth x kHeight ZBuffer whose frame buffer is test memory with
// kGuardRows rows of kGuard pixels before and after it, so that a write past the buffer shows.
template <int kWidth, int kHeight>
class PipelineTestAt : public ::testing::Test {
 protected:
  static constexpr int kGuardRows = 4;
  static constexpr Pixel565 kGuard = 0x5A5A;
  static constexpr int kPitch = ((kWidth * 2 + 3) & ~3) / 2;  // pixels per row, padding included

  void SetUp() override {
    memory_.assign(size_t(kPitch) * (kHeight + 2 * kGuardRows), kGuard);
    zb = zbOpen(kWidth, kHeight, kZbMode565, 0, nullptr, nullptr,
                memory_.data() + size_t(kPitch) * kGuardRows);
    ASSERT_NE(zb, nullptr);
    glInitContext(zb);
    c = glCurrentContext();
    c->user_data = &log;
    zbClear(zb, 1, 0, 1, 0, 0, 0);
  }

  void TearDown() override {
    glCloseContext();
    zbClose(zb);
  }

  // glBegin, then the recorders in place of the triangle drawers it chose.
  void beginRecorded(int mode) {
    glBegin(mode);
    c->draw_front = recordFront;
    c->draw_back = recordBack;
  }

  Pixel565 pixel(int x, int y) const {
    Pixel565 p;
    std::memcpy(&p, reinterpret_cast<const uint8_t*>(zb->pixels) + y * zb->line_bytes + 2 * x, 2);
    return p;
  }
  uint16_t depth(int x, int y) const { return zb->depth[y * kWidth + x]; }

  // True while every guard pixel before and after the frame buffer holds kGuard.
  bool guardsIntact() const {
    const size_t guard = size_t(kPitch) * kGuardRows;
    for (size_t i = 0; i < guard; ++i) {
      if (memory_[i] != kGuard || memory_[memory_.size() - 1 - i] != kGuard) return false;
    }
    return true;
  }

  ZBuffer* zb = nullptr;
  RenderContext* c = nullptr;
  DrawLog log;

 private:
  std::vector<Pixel565> memory_;
};

// The object x of each vertex of each call as letters (1 = a, 2 = b, ...), calls separated by
// spaces, e.g. "abc cbd": how the assembly tests name their vertices.
inline std::string vertexNames(const DrawLog& log) {
  std::string names;
  for (const DrawCall& call : log.calls) {
    if (!names.empty()) names += ' ';
    for (const GLVertex& v : call.vertices) names += char('a' - 1 + int(v.coord.x));
  }
  return names;
}

// The edge flags of each call's vertices, calls separated by spaces, e.g. "110 011".
inline std::string edgeFlags(const DrawLog& log) {
  std::string flags;
  for (const DrawCall& call : log.calls) {
    if (!flags.empty()) flags += ' ';
    for (const GLVertex& v : call.vertices) flags += char('0' + v.edge_flag);
  }
  return flags;
}

// The kinds of the calls in order, e.g. "FFB".
inline std::string callKinds(const DrawLog& log) {
  std::string kinds;
  for (const DrawCall& call : log.calls) kinds += call.kind;
  return kinds;
}
