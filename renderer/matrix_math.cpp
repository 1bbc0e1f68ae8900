// Matrix and vector arithmetic: receives matrices by rows and vectors as plain values, hands on
// products, inverses, rotations and normalised vectors in single precision.
#include "renderer/matrix_math.h"

#include <cmath>

namespace {

float& at(Matrix4* a, int row, int column) { return a->m[4 * row + column]; }
float at(const Matrix4& a, int row, int column) { return a.m[4 * row + column]; }

void swapRows(Matrix4* a, int r1, int r2) {
  for (int j = 0; j < 4; ++j) {
    float kept = at(a, r1, j);
    at(a, r1, j) = at(a, r2, j);
    at(a, r2, j) = kept;
  }
}

// The row k >= j with the largest absolute value in column j; the earlier row wins ties.
int pivotRow(const Matrix4& a, int j) {
  int k = j;
  for (int i = j + 1; i < 4; ++i) {
    if (std::fabs(at(a, i, j)) > std::fabs(at(a, k, j))) k = i;
  }
  return k;
}

}  // namespace

void m4Identity(Matrix4* a) {
  for (int i = 0; i < 16; ++i) a->m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

bool m4IsIdentity(const Matrix4& a) {
  for (int i = 0; i < 16; ++i) {
    if (a.m[i] != ((i % 5 == 0) ? 1.0f : 0.0f)) return false;
  }
  return true;
}

void m4Multiply(Matrix4* c, const Matrix4& a, const Matrix4& b) {
  Matrix4 product;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += at(a, i, k) * at(b, k, j);
      at(&product, i, j) = sum;
    }
  }
  *c = product;
}

void m4MultiplyRight(Matrix4* t, const Matrix4& b) { m4Multiply(t, *t, b); }

void m4Transpose(Matrix4* dst, const Matrix4& src) {
  Matrix4 flipped;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) at(&flipped, j, i) = at(src, i, j);
  }
  *dst = flipped;
}

bool m4Invert(Matrix4* x, const Matrix4& a) {
  Matrix4 work = a;
  m4Identity(x);
  for (int j = 0; j < 4; ++j) {
    int k = pivotRow(work, j);
    if (at(work, k, j) == 0.0f) return false;
    swapRows(&work, j, k);
    swapRows(x, j, k);
    float pivot = at(work, j, j);
    for (int col = 0; col < 4; ++col) {
      at(&work, j, col) /= pivot;
      at(x, j, col) /= pivot;
    }
    for (int i = 0; i < 4; ++i) {
      if (i == j) continue;
      float factor = at(work, i, j);
      for (int col = 0; col < 4; ++col) {
        at(&work, i, col) -= factor * at(work, j, col);
        at(x, i, col) -= factor * at(*x, j, col);
      }
    }
  }
  return true;
}

void m4Rotation(Matrix4* r, float t, int axis) {
  int v = (axis + 1) % 3;
  int w = (v + 1) % 3;
  float c = std::cos(t);
  float s = std::sin(t);
  m4Identity(r);
  at(r, v, v) = c;
  at(r, v, w) = -s;
  at(r, w, v) = s;
  at(r, w, w) = c;
}

Vec4 m4Transform(const Matrix4& m, Vec4 v) {
  const float* e = m.m;
  return {e[0] * v.x + e[1] * v.y + e[2] * v.z + e[3] * v.w,
          e[4] * v.x + e[5] * v.y + e[6] * v.z + e[7] * v.w,
          e[8] * v.x + e[9] * v.y + e[10] * v.z + e[11] * v.w,
          e[12] * v.x + e[13] * v.y + e[14] * v.z + e[15] * v.w};
}

bool v3Normalize(Vec3* v) {
  float length = std::sqrt(v->x * v->x + v->y * v->y + v->z * v->z);
  if (length == 0.0f) return false;
  v->x /= length;
  v->y /= length;
  v->z /= length;
  return true;
}

float toFloat(float v) {
  volatile float stored = v;  // a store to memory is what rounds an x87 register to float
  return stored;
}

float toFloat(double v) { return toFloat(static_cast<float>(v)); }
