// The matrix stacks: receives the matrix ops and changes the top of the selected stack; hands
// on, at each glBegin, the derived matrices that vertex processing uses (mvp_matrix,
// normal_matrix) and the flags that let it skip work (mvp_affine_w, texture_matrix_on).
#include <cmath>

#include "renderer/context.h"
#include "renderer/error.h"
#include "renderer/gl.h"
#include "renderer/stages.h"

namespace {

constexpr double kPi = 3.141592653589793;

Matrix4* top(RenderContext* c) { return c->matrix_stack_ptr[c->current_matrix]; }

// Every op that changes a matrix asks for the recompute at the next glBegin. That includes the
// texture matrix: texture_matrix_on is only re-evaluated by the recompute, and setting (never
// clearing) the flag cannot discard a recompute that a model-view or projection op left pending.
void matrixChanged(RenderContext* c) { c->mvp_dirty = 1; }

// The 16 words of glLoadMatrix and glMultMatrix are in column order: value k is row k mod 4,
// column k div 4.
Matrix4 matrixFromColumns(const OpWord* values) {
  Matrix4 m;
  for (int k = 0; k < 16; ++k) m.m[4 * (k % 4) + k / 4] = values[k].asFloat();
  return m;
}

// The rotation of the OpenGL glRotate definition about a unit axis.
Matrix4 rotationAboutUnitAxis(float t, float x, float y, float z) {
  float c = std::cos(t);
  float s = std::sin(t);
  float d = 1.0f - c;
  Matrix4 r;
  m4Identity(&r);
  float* m = r.m;
  m[0] = x * x + c * (1.0f - x * x);
  m[1] = x * y * d - z * s;
  m[2] = x * z * d + y * s;
  m[4] = x * y * d + z * s;
  m[5] = y * y + c * (1.0f - y * y);
  m[6] = y * z * d - x * s;
  m[8] = x * z * d - y * s;
  m[9] = y * z * d + x * s;
  m[10] = z * z + c * (1.0f - z * z);
  return r;
}

// Rotation about one coordinate axis when exactly one component is non-zero, the identity when
// none is. False for a general axis.
bool axisRotation(Matrix4* r, float t, float x, float y, float z) {
  if (y == 0.0f && z == 0.0f) {
    if (x == 0.0f) {
      m4Identity(r);
    } else {
      m4Rotation(r, x < 0.0f ? -t : t, 0);
    }
    return true;
  }
  if (x == 0.0f && z == 0.0f) {
    m4Rotation(r, y < 0.0f ? -t : t, 1);
    return true;
  }
  if (x == 0.0f && y == 0.0f) {
    m4Rotation(r, z < 0.0f ? -t : t, 2);
    return true;
  }
  return false;
}

}  // namespace

void glopMatrixMode(RenderContext* c, const OpWord* p) {
  switch (p[1].asInt()) {
    case GL_MODELVIEW:
      c->current_matrix = 0;
      break;
    case GL_PROJECTION:
      c->current_matrix = 1;
      break;
    case GL_TEXTURE:
      c->current_matrix = 2;
      break;
    default:
      RK_ASSERT(0, "matrix");
  }
}

void glopLoadIdentity(RenderContext* c, const OpWord*) {
  m4Identity(top(c));
  matrixChanged(c);
}

void glopLoadMatrix(RenderContext* c, const OpWord* p) {
  *top(c) = matrixFromColumns(p + 1);
  matrixChanged(c);
}

void glopMultMatrix(RenderContext* c, const OpWord* p) {
  m4MultiplyRight(top(c), matrixFromColumns(p + 1));
  matrixChanged(c);
}

void glopPushMatrix(RenderContext* c, const OpWord*) {
  int n = c->current_matrix;
  // clang-format off
  RK_ASSERT((c->matrix_stack_ptr[n] - c->matrix_stack[n] + 1 ) < c->matrix_stack_depth_max[n], "matrix");
  // clang-format on
  Matrix4* pushed = ++c->matrix_stack_ptr[n];
  pushed[0] = pushed[-1];
  matrixChanged(c);
}

void glopPopMatrix(RenderContext* c, const OpWord*) {
  int n = c->current_matrix;
  RK_ASSERT(c->matrix_stack_ptr[n] > c->matrix_stack[n], "matrix");
  --c->matrix_stack_ptr[n];
  matrixChanged(c);
}

void glopRotate(RenderContext* c, const OpWord* p) {
  float t = toFloat(p[1].asFloat() * kPi / 180.0);
  float x = p[2].asFloat(), y = p[3].asFloat(), z = p[4].asFloat();
  Matrix4 r;
  if (!axisRotation(&r, t, x, y, z)) {
    float length_squared = toFloat(x * x + y * y + z * z);
    if (length_squared == 0.0f) return;  // the squares underflowed: no axis to turn about
    float scale = 1.0f / std::sqrt(length_squared);
    r = rotationAboutUnitAxis(t, x * scale, y * scale, z * scale);
  }
  m4MultiplyRight(top(c), r);
  matrixChanged(c);
}

// In place on column 3: the same as T x translation, without the full product.
void glopTranslate(RenderContext* c, const OpWord* p) {
  float x = p[1].asFloat(), y = p[2].asFloat(), z = p[3].asFloat();
  float* m = top(c)->m;
  for (int row = 0; row < 4; ++row, m += 4) m[3] = m[0] * x + m[1] * y + m[2] * z + m[3];
  matrixChanged(c);
}

// In place on columns 0..2: the same as T x scale.
void glopScale(RenderContext* c, const OpWord* p) {
  float x = p[1].asFloat(), y = p[2].asFloat(), z = p[3].asFloat();
  float* m = top(c)->m;
  for (int row = 0; row < 4; ++row, m += 4) {
    m[0] *= x;
    m[1] *= y;
    m[2] *= z;
  }
  matrixChanged(c);
}

// No argument is checked: equal bounds give infinities, as the caller asked for them.
void glopFrustum(RenderContext* c, const OpWord* p) {
  float l = p[1].asFloat(), r = p[2].asFloat(), b = p[3].asFloat();
  float t = p[4].asFloat(), n = p[5].asFloat(), f = p[6].asFloat();
  Matrix4 m{};
  m.m[0] = 2.0f * n / (r - l);
  m.m[2] = (r + l) / (r - l);
  m.m[5] = 2.0f * n / (t - b);
  m.m[6] = (t + b) / (t - b);
  m.m[10] = -(f + n) / (f - n);
  m.m[11] = -2.0f * f * n / (f - n);
  m.m[14] = -1.0f;
  m4MultiplyRight(top(c), m);
  matrixChanged(c);
}

void recomputeMatrices(RenderContext* c) {
  const Matrix4& model_view = *c->matrix_stack_ptr[0];
  if (c->lighting_on) {
    Matrix4 inverse;
    m4Invert(&inverse, model_view);  // a singular model-view leaves an unusable normal matrix
    m4Transpose(&c->normal_matrix, inverse);
  } else {
    m4Multiply(&c->mvp_matrix, *c->matrix_stack_ptr[1], model_view);
    const float* row3 = c->mvp_matrix.m + 12;
    c->mvp_affine_w = (row3[0] == 0.0f && row3[1] == 0.0f && row3[2] == 0.0f) ? 1 : 0;
  }
  c->texture_matrix_on = m4IsIdentity(*c->matrix_stack_ptr[2]) ? 0 : 1;
  c->mvp_dirty = 0;
}
