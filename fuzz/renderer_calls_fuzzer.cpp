// Fuzz target: Rasterkit's public interface driven by a byte-coded sequence of calls.
// Receives call codes and their arguments; hands on nothing but a crash, a sanitizer report, an
// assertion or a stray write beside the frame buffer's rows when a valid sequence is mishandled.
//
// Every call is valid: enumerations and argument ranges as the interface requires, glBegin/glEnd
// and display lists nested properly, matrix and name stacks within their depths, viewports inside
// the ZBuffer, and lists that call only lists of lower names (so none reaches itself). No input
// reaches the interface's assertions or fatal errors.
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "renderer/gl.h"
#include "renderer/zbuffer.h"

namespace {

constexpr int kListNames = 16;
constexpr int kTextureNames = 32;
constexpr int kStackDepths[3] = {32, 8, 8};  // model-view, projection, texture
constexpr int kNameStackDepth = 64;
constexpr int kSelectWords = 64;
constexpr int kLargestImageSide = 256;
// Array elements are read at index x (size + stride) floats, size at most 4 and stride at most
// 3: indices below 36 stay inside an array of 256 floats whatever sizes a list sets later.
constexpr int kArrayFloats = 256;
constexpr int kArrayIndices = 36;

struct SurfaceSize {
  int width;
  int height;
};
constexpr SurfaceSize kSurfaces[] = {{1, 1}, {2, 2}, {7, 5}, {13, 9}, {32, 24}, {64, 48}};
constexpr int kSurfaceCount = sizeof(kSurfaces) / sizeof(kSurfaces[0]);

// What the sequence has done so far, as far as the interface's preconditions depend on it.
struct Tracker {
  SurfaceSize surface = {};
  bool in_begin = false;
  bool compiling = false;
  int compiling_list = 0;
  bool list_exists[kListNames] = {};
  int matrix_mode = 0;
  int depth[3] = {};
  bool selecting = false;
  bool select_buffer_set = false;
  int name_depth = 0;
};

// Memory the calls point into: it outlives every context, so pointers kept in ops and arrays
// stay valid.
struct CallerMemory {
  std::vector<uint8_t> image = std::vector<uint8_t>(3 * kLargestImageSide * kLargestImageSide);
  float arrays[4][kArrayFloats] = {};
  unsigned select_buffer[kSelectWords] = {};
};

CallerMemory& memory() {
  static CallerMemory caller;
  return caller;
}

void fillCallerMemory() {
  CallerMemory& m = memory();
  for (size_t k = 0; k < m.image.size(); ++k) m.image[k] = static_cast<uint8_t>(k * 29 + k / 7);
  for (int a = 0; a < 4; ++a) {
    for (int k = 0; k < kArrayFloats; ++k)
      m.arrays[a][k] = static_cast<float>((k * 13 + a) % 17) / 8 - 1;
  }
}

int choiceOf(ByteReader& in, std::initializer_list<int> values) {
  return values.begin()[in.choose(static_cast<int>(values.size()))];
}

void readFloats(ByteReader& in, float* v, int n) {
  for (int k = 0; k < n; ++k) v[k] = in.moderate();
}

int face(ByteReader& in) { return choiceOf(in, {GL_FRONT, GL_BACK, GL_FRONT_AND_BACK}); }

int capability(ByteReader& in) {
  if (in.choose(8) == 0) return static_cast<int>(in.u32());  // unknown ones are ignored
  return choiceOf(in, {GL_CULL_FACE, GL_LIGHTING, GL_COLOR_MATERIAL, GL_FOG, GL_DEPTH_TEST,
                       GL_NORMALIZE, GL_BLEND, GL_TEXTURE_2D, GL_POLYGON_OFFSET_POINT,
                       GL_POLYGON_OFFSET_LINE, GL_POLYGON_OFFSET_FILL, GL_LIGHT0 + in.choose(16)});
}

int materialParameter(ByteReader& in) {
  return choiceOf(in, {GL_EMISSION, GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_AMBIENT_AND_DIFFUSE});
}

int clientArray(ByteReader& in) {
  return choiceOf(in, {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_COLOR_ARRAY, GL_TEXTURE_COORD_ARRAY});
}

// Attributes and vertices: valid inside and outside glBegin/glEnd (vertices only inside).
void vertexCall(Tracker& t, ByteReader& in) {
  float v[4];
  readFloats(in, v, 4);
  if (!t.in_begin) return;
  switch (in.choose(4)) {
    case 0:
      glVertex2f(v[0], v[1]);
      break;
    case 1:
      glVertex3f(v[0], v[1], v[2]);
      break;
    case 2:
      glVertex4f(v[0], v[1], v[2], v[3]);
      break;
    default:
      glVertex3fv(v);
  }
}

void colourCall(ByteReader& in) {
  const float v[4] = {in.unit(), in.unit(), in.unit(), in.unit()};
  switch (in.choose(4)) {
    case 0:
      glColor4f(v[0], v[1], v[2], v[3]);
      break;
    case 1:
      glColor3f(v[0], v[1], v[2]);
      break;
    case 2:
      glColor4fv(v);
      break;
    default:
      glColor3fv(v);
  }
}

void attributeCall(ByteReader& in) {
  float v[4];
  readFloats(in, v, 4);
  switch (in.choose(5)) {
    case 0:
      glNormal3f(v[0], v[1], v[2]);
      break;
    case 1:
      glNormal3fv(v);
      break;
    case 2:
      glTexCoord2f(v[0], v[1]);
      break;
    case 3:
      glTexCoord4f(v[0], v[1], v[2], v[3]);
      break;
    default:
      glEdgeFlag(in.choose(2));
  }
}

void beginEndCall(Tracker& t, ByteReader& in) {
  const int mode = in.choose(10);  // GL_POINTS .. GL_POLYGON
  if (t.in_begin) {
    glEnd();
  } else {
    glBegin(mode);
  }
  t.in_begin = !t.in_begin;
}

// Arguments are read before the call, one after the other: the order in which a call's own
// arguments are evaluated is not fixed.
void stateCall(ByteReader& in) {
  const float v[8] = {in.moderate(), in.moderate(), in.moderate(), in.moderate(),
                      in.unit(),     in.unit(),     in.unit(),     in.unit()};
  const int sides = face(in);
  switch (in.choose(9)) {
    case 0:
      glShadeModel(choiceOf(in, {GL_FLAT, GL_SMOOTH}));
      break;
    case 1:
      glCullFace(sides);
      break;
    case 2:
      glFrontFace(choiceOf(in, {GL_CW, GL_CCW}));
      break;
    case 3:
      glPolygonMode(sides, choiceOf(in, {GL_POINT, GL_LINE, GL_FILL}));
      break;
    case 4:
      glHint(static_cast<int>(v[0] * 1024), static_cast<int>(v[1] * 1024));
      break;
    case 5:
      glPolygonOffset(v[2], v[3]);
      break;
    case 6:
      glClearColor(v[4], v[5], v[6], v[7]);
      break;
    case 7:
      glClearDepth(v[2]);
      break;
    default:
      glClear(static_cast<int>(in.u16()));
  }
}

void switchCall(ByteReader& in) {
  const int cap = capability(in);
  if (in.choose(2) == 0) {
    glEnable(cap);
  } else {
    glDisable(cap);
  }
}

// A viewport inside the ZBuffer: the renderer clips to the view volume only.
void viewportCall(Tracker& t, ByteReader& in) {
  const int x = in.choose(t.surface.width);
  const int y = in.choose(t.surface.height);
  const int width = 1 + in.u8() % (t.surface.width - x);
  const int height = 1 + in.u8() % (t.surface.height - y);
  glViewport(x, y, width, height);
}

void transformCall(ByteReader& in) {
  float m[16];
  readFloats(in, m, 4);
  switch (in.choose(6)) {
    case 0:
      glLoadIdentity();
      break;
    case 1:
      glRotatef(m[0] * 32, m[1], m[2], m[3]);
      break;
    case 2:
      glTranslatef(m[0], m[1], m[2]);
      break;
    case 3:
      glScalef(m[0], m[1], m[2]);
      break;
    case 4:
      readFloats(in, m + 4, 12);
      glLoadMatrixf(m);
      break;
    default:
      readFloats(in, m + 4, 12);
      glMultMatrixf(m);
  }
}

// A frustum as the interface requires it: near and far positive and apart, sides apart.
void frustumCall(ByteReader& in) {
  const double left = in.moderate(), bottom = in.moderate();
  const double right = left + 1.0 / 64 + in.u8() / 16.0;
  const double top = bottom + 1.0 / 64 + in.u8() / 16.0;
  const double near_plane = 1.0 / 256 + in.u8() / 32.0;
  const double far_plane = near_plane + 1.0 / 64 + in.u16() / 64.0;
  glFrustum(left, right, bottom, top, near_plane, far_plane);
}

// Matrix mode and the stacks; never inside a list, whose replay would change them unseen.
void matrixStackCall(Tracker& t, ByteReader& in) {
  const int what = in.choose(3);
  if (t.compiling) return;
  if (what == 0) {
    constexpr int kModes[3] = {GL_MODELVIEW, GL_PROJECTION, GL_TEXTURE};
    t.matrix_mode = in.choose(3);
    glMatrixMode(kModes[t.matrix_mode]);
  } else if (what == 1 && t.depth[t.matrix_mode] + 1 < kStackDepths[t.matrix_mode]) {
    glPushMatrix();
    t.depth[t.matrix_mode] += 1;
  } else if (what == 2 && t.depth[t.matrix_mode] > 0) {
    glPopMatrix();
    t.depth[t.matrix_mode] -= 1;
  }
}

void lightingCall(ByteReader& in) {
  float v[4];
  readFloats(in, v, 4);
  const int light = GL_LIGHT0 + in.choose(16);
  const int sides = face(in);
  switch (in.choose(9)) {
    case 0:
      glMaterialfv(sides, materialParameter(in), v);
      break;
    case 1:
      glMaterialf(sides, GL_SHININESS, in.u8() / 2.0f);  // 0 to 127.5
      break;
    case 2:
      glColorMaterial(sides, materialParameter(in));
      break;
    case 3:
      glLightfv(light,
                choiceOf(in, {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_POSITION, GL_SPOT_DIRECTION}),
                v);
      break;
    case 4:
      glLightf(light, GL_SPOT_CUTOFF, in.choose(4) == 0 ? 180.0f : in.u8() % 91);
      break;
    case 5:
      glLightf(light, GL_SPOT_EXPONENT, in.u8() / 2.0f);
      break;
    case 6:
      glLightf(
          light,
          choiceOf(in, {GL_CONSTANT_ATTENUATION, GL_LINEAR_ATTENUATION, GL_QUADRATIC_ATTENUATION}),
          in.u8() / 16.0f);
      break;
    case 7:
      glLightModelfv(choiceOf(in, {GL_LIGHT_MODEL_AMBIENT, GL_LIGHT_MODEL_LOCAL_VIEWER,
                                   GL_LIGHT_MODEL_TWO_SIDE}),
                     v);
      break;
    default:
      glLightModeli(choiceOf(in, {GL_LIGHT_MODEL_LOCAL_VIEWER, GL_LIGHT_MODEL_TWO_SIDE}),
                    in.choose(2));
  }
}

void textureImageCall(ByteReader& in) {
  const int width = 1 + in.u8();
  const int height = 1 + in.u8();
  const size_t offset = in.u8();
  const size_t needed = 3 * static_cast<size_t>(width) * height;
  const uint8_t* pixels = memory().image.data();
  if (offset + needed <= memory().image.size()) pixels += offset;
  glTexImage2D(GL_TEXTURE_2D, 0, 3, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels);
}

void textureCall(ByteReader& in) {
  unsigned names[4];
  const int n = in.choose(5);
  switch (in.choose(6)) {
    case 0:
      textureImageCall(in);
      break;
    case 1:
      glBindTexture(GL_TEXTURE_2D, in.choose(kTextureNames));
      break;
    case 2:
      glGenTextures(n, names);
      break;
    case 3:
      for (int k = 0; k < n; ++k) names[k] = static_cast<unsigned>(in.choose(kTextureNames));
      glDeleteTextures(n, names);
      break;
    case 4: {
      const int pname = choiceOf(
          in, {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER, GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T});
      const bool wrap = pname == GL_TEXTURE_WRAP_S || pname == GL_TEXTURE_WRAP_T;
      glTexParameteri(GL_TEXTURE_2D, pname,
                      wrap ? GL_REPEAT : choiceOf(in, {GL_NEAREST, GL_LINEAR}));
      break;
    }
    default:
      if (in.choose(2) == 0) {
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
      } else {
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
      }
  }
}

// Array pointers always point into the caller's arrays with sizes 1 to 4 and strides 0 to 3.
void arrayCall(Tracker& t, ByteReader& in) {
  const int size = 1 + in.choose(4);
  const int stride = in.choose(4);
  const int which = in.choose(4);
  const float* array = memory().arrays[which];
  switch (in.choose(7)) {
    case 0:
      glVertexPointer(size, GL_FLOAT, stride, array);
      break;
    case 1:
      glColorPointer(size, GL_FLOAT, stride, array);
      break;
    case 2:
      glNormalPointer(GL_FLOAT, stride, array);
      break;
    case 3:
      glTexCoordPointer(size, GL_FLOAT, stride, array);
      break;
    case 4:
      glEnableClientState(clientArray(in));
      break;
    case 5:
      glDisableClientState(clientArray(in));
      break;
    default:
      if (t.in_begin) glArrayElement(in.choose(kArrayIndices));
  }
}

// Leaving GL_SELECT empties the name stack, and outside GL_SELECT the name ops change nothing,
// so after every mode change the stack is empty.
void renderModeCall(Tracker& t, ByteReader& in) {
  const bool select = in.choose(2) == 1;
  if (select && !t.select_buffer_set) return;
  glRenderMode(select ? GL_SELECT : GL_RENDER);
  t.selecting = select;
  t.name_depth = 0;
}

// Selection: the name stack only outside lists (a replayed glInitNames would empty it unseen).
void selectionCall(Tracker& t, ByteReader& in) {
  const unsigned name = in.u16();
  switch (in.choose(6)) {
    case 0:
      if (t.selecting) break;
      glSelectBuffer(in.u8() % (kSelectWords + 1), memory().select_buffer);
      t.select_buffer_set = true;
      break;
    case 1:
      renderModeCall(t, in);
      break;
    case 2:
      if (t.compiling) break;
      glInitNames();
      t.name_depth = 0;
      break;
    case 3:
      if (t.compiling || (t.selecting && t.name_depth >= kNameStackDepth)) break;
      glPushName(name);
      if (t.selecting) t.name_depth += 1;
      break;
    case 4:
      if (t.compiling || (t.selecting && t.name_depth == 0)) break;
      glPopName();
      if (t.selecting) t.name_depth -= 1;
      break;
    default:
      if (t.compiling || (t.selecting && t.name_depth == 0)) break;
      glLoadName(name);
  }
}

// Lists: a list holds only calls whose replay leaves glBegin/glEnd, the matrix mode and the stacks
// as they were, and calls only lists of lower names, so no list ever reaches itself.
void listCall(Tracker& t, ByteReader& in) {
  const int name = in.choose(kListNames);
  switch (in.choose(4)) {
    case 0:
      if (t.compiling || t.in_begin) break;
      glNewList(static_cast<unsigned>(name), choiceOf(in, {GL_COMPILE, GL_COMPILE_AND_EXECUTE}));
      t.compiling = true;
      t.compiling_list = name;
      t.list_exists[name] = true;
      break;
    case 1:
      if (!t.compiling) break;
      if (t.in_begin) glEnd();
      t.in_begin = false;
      glEndList();
      t.compiling = false;
      break;
    case 2: {
      const unsigned first = glGenLists(1 + in.choose(4));
      for (int k = 0; k < 4 && first + k < kListNames; ++k) {
        t.list_exists[first + k] = t.list_exists[first + k] || glIsList(first + k) == 1;
      }
      break;
    }
    default:
      if (t.in_begin || !t.list_exists[name]) break;
      if (t.compiling && name >= t.compiling_list) break;
      glCallList(static_cast<unsigned>(name));
  }
}

void issueCall(Tracker& t, ByteReader& in) {
  switch (in.choose(15)) {
    case 0:
    case 1:
    case 2:
      vertexCall(t, in);
      break;
    case 3:
      colourCall(in);
      break;
    case 4:
      attributeCall(in);
      break;
    case 5:
      beginEndCall(t, in);
      break;
    case 6:
      stateCall(in);
      break;
    case 7:
      switchCall(in);
      break;
    case 8:
      viewportCall(t, in);
      break;
    case 9:
      if (in.choose(4) == 0) {
        frustumCall(in);
      } else {
        transformCall(in);
      }
      break;
    case 10:
      matrixStackCall(t, in);
      break;
    case 11:
      lightingCall(in);
      break;
    case 12:
      textureCall(in);
      break;
    case 13:
      arrayCall(t, in);
      break;
    default:
      if (in.choose(2) == 0) {
        selectionCall(t, in);
      } else {
        listCall(t, in);
      }
  }
}

// The frame buffer lies in the caller's memory between two guard rows, and odd widths leave two
// bytes of padding at the end of each row: drawing never writes into either.
constexpr uint8_t kGuardByte = 0xA5;

struct GuardedPixels {
  std::vector<uint8_t> bytes;
  int line_bytes = 0;
  int width = 0;
  int height = 0;

  GuardedPixels(int w, int h)
      : bytes(static_cast<size_t>(h + 2) * ((2 * w + 3) / 4 * 4), kGuardByte),
        line_bytes((2 * w + 3) / 4 * 4),
        width(w),
        height(h) {}

  Pixel565* frame() { return reinterpret_cast<Pixel565*>(bytes.data() + line_bytes); }

  bool guardsKept() const {
    for (int row = 0; row < height + 2; ++row) {
      const bool guard_row = row == 0 || row == height + 1;
      for (int at = guard_row ? 0 : 2 * width; at < line_bytes; ++at) {
        if (bytes[static_cast<size_t>(row) * line_bytes + at] != kGuardByte) return false;
      }
    }
    return true;
  }
};

// Arrays point into the caller's memory before anything can enable them.
void pointArraysAtMemory() {
  glVertexPointer(4, GL_FLOAT, 0, memory().arrays[0]);
  glColorPointer(4, GL_FLOAT, 0, memory().arrays[1]);
  glNormalPointer(GL_FLOAT, 0, memory().arrays[2]);
  glTexCoordPointer(4, GL_FLOAT, 0, memory().arrays[3]);
}

// Ends an open primitive and list so that the context can be closed cleanly.
void finish(Tracker& t) {
  if (t.in_begin) glEnd();
  if (t.compiling) glEndList();
  if (t.selecting) glRenderMode(GL_RENDER);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fillCallerMemory();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteReader in(data, size);
  Tracker t;
  t.surface = kSurfaces[in.choose(kSurfaceCount)];
  GuardedPixels pixels(t.surface.width, t.surface.height);
  ZBuffer* zb =
      zbOpen(t.surface.width, t.surface.height, kZbMode565, 0, nullptr, nullptr, pixels.frame());
  FUZZ_CHECK(zb != nullptr && zb->line_bytes == pixels.line_bytes);
  glInitContext(zb);
  pointArraysAtMemory();
  while (!in.empty()) issueCall(t, in);
  finish(t);
  glCloseContext();
  zbClose(zb);
  FUZZ_CHECK(pixels.guardsKept());
  return 0;
}
