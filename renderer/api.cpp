// The public entry points: receive the caller's arguments, pack them into op records in the
// caller's stack frame (converting colours to rasterizer integers on the way) and hand each
// record to addOp. Enumeration checks that belong to an entry point are made here. The calls that
// make up triangles do their op's work directly while it would only be executed (see glBegin).
#include "renderer/context.h"
#include "renderer/error.h"
#include "renderer/gl.h"
#include "renderer/stages.h"
#include "renderer/vertex.h"

namespace {

OpWord opCode(OpCode code) { return OpWord::ofInt(code); }
OpWord intWord(int v) { return OpWord::ofInt(v); }
OpWord floatWord(float v) { return OpWord::ofFloat(v); }
OpWord floatWord(double v) { return OpWord::ofFloat(toFloat(v)); }

// Whether an op issued now would only be executed: no display list is being compiled and the
// trace is off. addOp would then do nothing but run the op's handler.
bool executesOnly(const RenderContext* c) {
  return c->execute_flag != 0 && c->compile_flag == 0 && c->trace_flag == 0;
}

// The op's handler at once while addOp would do nothing else; addOp otherwise.
void runOrAdd(OpHandler handler, const OpWord* p) {
  RenderContext* c = current_render_context;
  if (executesOnly(c)) {
    handler(c, p);
  } else {
    addOp(p);
  }
}

void issue(OpCode code) {
  OpWord p[1] = {opCode(code)};
  addOp(p);
}

void issueInt(OpCode code, int a) {
  OpWord p[2] = {opCode(code), intWord(a)};
  addOp(p);
}

void issueInts(OpCode code, int a, int b) {
  OpWord p[3] = {opCode(code), intWord(a), intWord(b)};
  addOp(p);
}

// Ops 32 and 33: three ints and four float slots that stay 0.
void issueTextureSetting(OpCode code, int target, int pname, int param) {
  OpWord p[8] = {opCode(code),    intWord(target), intWord(pname),  intWord(param),
                 floatWord(0.0f), floatWord(0.0f), floatWord(0.0f), floatWord(0.0f)};
  addOp(p);
}

void issueFloats3(OpCode code, float a, float b, float c) {
  OpWord p[4] = {opCode(code), floatWord(a), floatWord(b), floatWord(c)};
  addOp(p);
}

void issueFloats4(OpCode code, float a, float b, float c, float d) {
  OpWord p[5] = {opCode(code), floatWord(a), floatWord(b), floatWord(c), floatWord(d)};
  addOp(p);
}

// Ops 46, 47 and 49; op 48 has no size.
void issueArrayPointer(OpCode code, int size, int type, int stride, const void* pointer) {
  RK_ASSERT(type == GL_FLOAT, "arrays");
  OpWord p[5] = {opCode(code), intWord(size), intWord(type), intWord(stride),
                 OpWord::ofPointer(pointer)};
  addOp(p);
}

// How many values glLightfv reads for a parameter: colours and the position have four, the
// spot direction three, the rest one. The others stay 0.
int lightValueCount(int pname) {
  if (pname == GL_AMBIENT || pname == GL_DIFFUSE || pname == GL_SPECULAR || pname == GL_POSITION) {
    return 4;
  }
  return pname == GL_SPOT_DIRECTION ? 3 : 1;
}

void issueLight(int light, int pname, const float* v, int count) {
  OpWord p[7] = {opCode(kOpLight), intWord(light),  intWord(pname), floatWord(0.0f),
                 floatWord(0.0f),  floatWord(0.0f), floatWord(0.0f)};
  for (int k = 0; k < count; ++k) p[3 + k] = floatWord(v[k]);
  addOp(p);
}

void issueLightModel(int pname, const float* v, int count) {
  OpWord p[6] = {opCode(kOpLightModel), intWord(pname),  floatWord(0.0f),
                 floatWord(0.0f),       floatWord(0.0f), floatWord(0.0f)};
  for (int k = 0; k < count; ++k) p[2 + k] = floatWord(v[k]);
  addOp(p);
}

void issueMatrix(OpCode code, const float* m) {
  OpWord p[17];
  p[0] = opCode(code);
  for (int k = 0; k < 16; ++k) p[1 + k] = floatWord(m[k]);
  addOp(p);
}

}  // namespace

// Primitives and current attributes. glBegin, glEnd, glVertex3f, glColor4f and glTexCoord2f,
// the calls that make up every triangle the player sends, do their op's work directly while an
// op would only be executed: glBegin and glEnd run the handler (runOrAdd); the three per-vertex
// calls skip the record too, where the op's work allows it.

void glBegin(int mode) {
  const OpWord p[2] = {opCode(kOpBegin), intWord(mode)};
  runOrAdd(glopBegin, p);
}

void glEnd() {
  const OpWord p[1] = {opCode(kOpEnd)};
  runOrAdd(glopEnd, p);
}

void glVertex4f(float x, float y, float z, float w) { issueFloats4(kOpVertex, x, y, z, w); }

void glVertex2f(float x, float y) { glVertex4f(x, y, 0.0f, 1.0f); }

// Unlit separate triangles take the immediate triangle path; a vertex outside glBegin (an
// assertion), other modes and lit vertices take the Vertex op.
void glVertex3f(float x, float y, float z) {
  RenderContext* c = current_render_context;
  if (executesOnly(c) && c->in_begin != 0 && c->primitive == GL_TRIANGLES && c->lighting_on == 0) {
    processTriangleVertex(c, x, y, z);
  } else {
    glVertex4f(x, y, z, 1.0f);
  }
}

void glVertex3fv(const float* v) { glVertex4f(v[0], v[1], v[2], 1.0f); }

void glNormal3f(float x, float y, float z) { issueFloats3(kOpNormal, x, y, z); }

void glNormal3fv(const float* v) { glNormal3f(v[0], v[1], v[2]); }

// With colour material on, the Color op also sets a material: that stays with the op.
void glColor4f(float r, float g, float b, float a) {
  RenderContext* c = current_render_context;
  if (executesOnly(c) && c->color_material_on == 0) {
    c->current_color = {r, g, b, a};
    packColorChannels(c->current_color_fixed, r, g, b);
    return;
  }
  OpWord p[8];
  packColorOp(p, r, g, b, a);
  addOp(p);
}

void glColor4fv(const float* v) { glColor4f(v[0], v[1], v[2], v[3]); }

void glColor3f(float r, float g, float b) { glColor4f(r, g, b, 1.0f); }

void glColor3fv(const float* v) { glColor4f(v[0], v[1], v[2], 1.0f); }

void glTexCoord4f(float s, float t, float r, float q) { issueFloats4(kOpTexCoord, s, t, r, q); }

void glTexCoord2f(float s, float t) {
  RenderContext* c = current_render_context;
  if (executesOnly(c)) {
    c->current_tex_coord = {s, t, 0.0f, 1.0f};
  } else {
    glTexCoord4f(s, t, 0.0f, 1.0f);
  }
}

void glTexCoord2fv(const float* v) { glTexCoord4f(v[0], v[1], 0.0f, 1.0f); }

void glEdgeFlag(int flag) { issueInt(kOpEdgeFlag, flag); }

// Rendering state. The condition texts are reported as written, spacing included.

void glShadeModel(int mode) {
  RK_ASSERT(mode == GL_FLAT || mode == GL_SMOOTH, "api");
  issueInt(kOpShadeModel, mode);
}

void glCullFace(int mode) {
  RK_ASSERT(mode == GL_BACK || mode == GL_FRONT || mode == GL_FRONT_AND_BACK, "api");
  issueInt(kOpCullFace, mode);
}

void glFrontFace(int mode) {
  RK_ASSERT(mode == GL_CCW || mode == GL_CW, "api");
  issueInt(kOpFrontFace, mode == GL_CCW ? 0 : 1);
}

void glPolygonMode(int face, int mode) {
  RK_ASSERT(face == GL_BACK || face == GL_FRONT || face == GL_FRONT_AND_BACK, "api");
  // clang-format off
  RK_ASSERT(mode == GL_POINT || mode == GL_LINE || mode==GL_FILL, "api");
  // clang-format on
  issueInts(kOpPolygonMode, face, mode);
}

void glEnable(int cap) { issueInts(kOpEnableDisable, cap, 1); }

void glDisable(int cap) { issueInts(kOpEnableDisable, cap, 0); }

void glHint(int target, int mode) { issueInts(kOpHint, target, mode); }

void glPolygonOffset(float factor, float units) {
  OpWord p[3] = {opCode(kOpPolygonOffset), floatWord(factor), floatWord(units)};
  addOp(p);
}

void glViewport(int x, int y, int width, int height) {
  OpWord p[5] = {opCode(kOpViewport), intWord(x), intWord(y), intWord(width), intWord(height)};
  addOp(p);
}

void glClearColor(float r, float g, float b, float a) { issueFloats4(kOpClearColor, r, g, b, a); }

void glClearDepth(double depth) {
  OpWord p[2] = {opCode(kOpClearDepth), floatWord(depth)};
  addOp(p);
}

void glClear(int mask) { issueInt(kOpClear, mask); }

// Matrices.

void glMatrixMode(int mode) { issueInt(kOpMatrixMode, mode); }

void glLoadIdentity() { issue(kOpLoadIdentity); }

void glLoadMatrixf(const float* m) { issueMatrix(kOpLoadMatrix, m); }

void glMultMatrixf(const float* m) { issueMatrix(kOpMultMatrix, m); }

void glPushMatrix() { issue(kOpPushMatrix); }

void glPopMatrix() { issue(kOpPopMatrix); }

void glRotatef(float angle, float x, float y, float z) { issueFloats4(kOpRotate, angle, x, y, z); }

void glTranslatef(float x, float y, float z) { issueFloats3(kOpTranslate, x, y, z); }

void glScalef(float x, float y, float z) { issueFloats3(kOpScale, x, y, z); }

void glFrustum(double left, double right, double bottom, double top, double near_plane,
               double far_plane) {
  OpWord p[7] = {opCode(kOpFrustum), floatWord(left),       floatWord(right),    floatWord(bottom),
                 floatWord(top),     floatWord(near_plane), floatWord(far_plane)};
  addOp(p);
}

// Lighting and materials. The value arrays are read only as far as the parameter has values.

void glMaterialfv(int mode, int pname, const float* v) {
  // clang-format off
  RK_ASSERT(mode == GL_FRONT || mode == GL_BACK || mode==GL_FRONT_AND_BACK, "api");
  // clang-format on
  int count = pname == GL_SHININESS ? 1 : 4;
  OpWord p[7] = {opCode(kOpMaterial), intWord(mode),   intWord(pname), floatWord(0.0f),
                 floatWord(0.0f),     floatWord(0.0f), floatWord(0.0f)};
  for (int k = 0; k < count; ++k) p[3 + k] = floatWord(v[k]);
  addOp(p);
}

void glMaterialf(int mode, int pname, float v) {
  const float values[4] = {v, 0.0f, 0.0f, 0.0f};
  glMaterialfv(mode, pname, values);
}

void glColorMaterial(int face, int pname) { issueInts(kOpColorMaterial, face, pname); }

void glLightfv(int light, int pname, const float* v) {
  issueLight(light, pname, v, lightValueCount(pname));
}

void glLightf(int light, int pname, float v) { issueLight(light, pname, &v, 1); }

void glLightModelfv(int pname, const float* v) {
  issueLightModel(pname, v, pname == GL_LIGHT_MODEL_AMBIENT ? 4 : 1);
}

void glLightModeli(int pname, int param) {
  float value = static_cast<float>(param);
  issueLightModel(pname, &value, 1);
}

// Textures.

void glTexImage2D(int target, int level, int components, int width, int height, int border,
                  int format, int type, const void* pixels) {
  OpWord p[10] = {opCode(kOpTexImage2D),    intWord(target), intWord(level),
                  intWord(components),      intWord(width),  intWord(height),
                  intWord(border),          intWord(format), intWord(type),
                  OpWord::ofPointer(pixels)};
  addOp(p);
}

void glBindTexture(int target, int texture) { issueInts(kOpBindTexture, target, texture); }

void glTexEnvi(int target, int pname, int param) {
  issueTextureSetting(kOpTexEnv, target, pname, param);
}

void glTexParameteri(int target, int pname, int param) {
  issueTextureSetting(kOpTexParameter, target, pname, param);
}

void glPixelStorei(int pname, int param) { issueInts(kOpPixelStore, pname, param); }

// Selection names.

void glInitNames() { issue(kOpInitNames); }

void glPushName(unsigned name) { issueInt(kOpPushName, static_cast<int>(name)); }

void glPopName() { issue(kOpPopName); }

void glLoadName(unsigned name) { issueInt(kOpLoadName, static_cast<int>(name)); }

// Display lists: only the call is an op.

void glCallList(unsigned list) { issueInt(kOpCallList, static_cast<int>(list)); }

// Vertex arrays.

void glArrayElement(int index) { issueInt(kOpArrayElement, index); }

void glEnableClientState(int array) { issueInt(kOpEnableClientState, array); }

void glDisableClientState(int array) { issueInt(kOpDisableClientState, array); }

void glVertexPointer(int size, int type, int stride, const void* pointer) {
  issueArrayPointer(kOpVertexPointer, size, type, stride, pointer);
}

void glColorPointer(int size, int type, int stride, const void* pointer) {
  issueArrayPointer(kOpColorPointer, size, type, stride, pointer);
}

void glNormalPointer(int type, int stride, const void* pointer) {
  RK_ASSERT(type == GL_FLOAT, "arrays");
  OpWord p[4] = {opCode(kOpNormalPointer), intWord(type), intWord(stride),
                 OpWord::ofPointer(pointer)};
  addOp(p);
}

void glTexCoordPointer(int size, int type, int stride, const void* pointer) {
  issueArrayPointer(kOpTexCoordPointer, size, type, stride, pointer);
}
