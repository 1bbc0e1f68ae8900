// Ops: the records of words that every state-changing or drawing call becomes, the table that
// gives each op code its print text, word count and handler, and addOp, the one path by which
// entry points issue them (to be executed, compiled into a display list and/or traced).
#pragma once

#include <bit>
#include <cstdint>

struct RenderContext;

// One cell of an op record, read as a signed 32-bit int, a single float or a pointer according
// to the op's layout. Ints and floats live in the low 32 bits. A pointer needs the whole cell,
// so the cell is as wide as a pointer: 32 bits in the Windows build, 64 in the native one. Every
// op therefore keeps its word count and the position of each parameter in both builds; only a
// native display list takes twice the memory.
struct OpWord {
  std::uintptr_t bits;

  static OpWord ofInt(int v) { return {static_cast<uint32_t>(v)}; }
  static OpWord ofFloat(float v) { return {std::bit_cast<uint32_t>(v)}; }
  static OpWord ofPointer(const void* p) { return {reinterpret_cast<std::uintptr_t>(p)}; }

  int asInt() const { return static_cast<int>(static_cast<uint32_t>(bits)); }
  float asFloat() const { return std::bit_cast<float>(static_cast<uint32_t>(bits)); }
  void* asPointer() const { return reinterpret_cast<void*>(bits); }
};

// Op codes, in table order.
enum OpCode : int {
  kOpColor = 0,
  kOpTexCoord = 1,
  kOpEdgeFlag = 2,
  kOpNormal = 3,
  kOpBegin = 4,
  kOpVertex = 5,
  kOpEnd = 6,
  kOpEnableDisable = 7,
  kOpMatrixMode = 8,
  kOpLoadMatrix = 9,
  kOpLoadIdentity = 10,
  kOpMultMatrix = 11,
  kOpPushMatrix = 12,
  kOpPopMatrix = 13,
  kOpRotate = 14,
  kOpTranslate = 15,
  kOpScale = 16,
  kOpViewport = 17,
  kOpFrustum = 18,
  kOpMaterial = 19,
  kOpColorMaterial = 20,
  kOpLight = 21,
  kOpLightModel = 22,
  kOpClear = 23,
  kOpClearColor = 24,
  kOpClearDepth = 25,
  kOpInitNames = 26,
  kOpPushName = 27,
  kOpPopName = 28,
  kOpLoadName = 29,
  kOpTexImage2D = 30,
  kOpBindTexture = 31,
  kOpTexEnv = 32,
  kOpTexParameter = 33,
  kOpPixelStore = 34,
  kOpShadeModel = 35,
  kOpCullFace = 36,
  kOpFrontFace = 37,
  kOpPolygonMode = 38,
  kOpCallList = 39,
  kOpHint = 40,
  kOpEndList = 41,     // end of a display list
  kOpNextBuffer = 42,  // continue the display list in the block the pointer word names
  kOpArrayElement = 43,
  kOpEnableClientState = 44,
  kOpDisableClientState = 45,
  kOpVertexPointer = 46,
  kOpColorPointer = 47,
  kOpNormalPointer = 48,
  kOpTexCoordPointer = 49,
  kOpPolygonOffset = 50,
  kOpCount = 51
};

// No op record is longer than this (glLoadMatrix and glMultMatrix).
inline constexpr int kMaxOpWords = 17;

// An op's behaviour: record[0] is the op code, record[1..] its parameters.
using OpHandler = void (*)(RenderContext* c, const OpWord* record);

struct OpInfo {
  // The op's name, a space and its quoted parameter format, printed by the trace with each
  // %f replaced by a float parameter (%g) and every other %-letter by an int (%d).
  const char* print_text;
  int word_count;  // the op word included
  OpHandler handler;
};

extern const OpInfo opTable[kOpCount];

// Issues an op on the current context: executes it when execute_flag is set, appends it to the
// list being compiled when compile_flag is set, and prints it when trace_flag is set, in that
// order. The record is copied only when compiled.
void addOp(const OpWord* record);

// Prints one op record to standard error the way the trace does.
void traceOp(const OpWord* record);

// The 8-word Color op for r, g, b, a: the four floats, then red, green and blue as the
// rasterizer's integers (c x scale + offset in single precision, truncated toward zero; red and
// blue map to 1024..64512, green to 512..65024). glColor and glArrayElement both pack it here.
void packColorOp(OpWord record[8], float r, float g, float b, float a);
// Red, green and blue of that op alone: what glColor stores as the current colour's integers
// when it sets them without a record.
void packColorChannels(int channels[3], float r, float g, float b);
