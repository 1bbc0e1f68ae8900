// The small matrix and vector arithmetic shared by the renderer's stages: 4x4 matrices stored by
// rows, 3- and 4-vectors, and the conversions that pin values to single precision. Receives
// plain values; hands on plain values.
#pragma once
#include <climits>

// A 4x4 matrix stored by rows: element (row i, column j) at index 4i + j. Vectors are columns,
// so a transformed point is M x (x, y, z, w) and a translation sits in column 3.
struct Matrix4 {
  float m[16];
};

struct Vec3 {
  float x, y, z;
};

struct Vec4 {
  float x, y, z, w;
};

void m4Identity(Matrix4* a);
// True only when every element is exactly 1.0 on the diagonal and exactly 0.0 elsewhere.
bool m4IsIdentity(const Matrix4& a);
// c = a x b; c may be a or b.
void m4Multiply(Matrix4* c, const Matrix4& a, const Matrix4& b);
// t = t x b.
void m4MultiplyRight(Matrix4* t, const Matrix4& b);
// dst = the transpose of src; dst may be &src.
void m4Transpose(Matrix4* dst, const Matrix4& src);
// x = the inverse of a by Gauss-Jordan elimination with partial pivoting. False when a pivot is
// 0: the matrix is singular and x holds the partial state the elimination had reached.
bool m4Invert(Matrix4* x, const Matrix4& a);
// The rotation by t radians about coordinate axis 0 (x), 1 (y) or 2 (z).
void m4Rotation(Matrix4* r, float t, int axis);
// m x v, all four columns used.
Vec4 m4Transform(const Matrix4& m, Vec4 v);

// Divides v by its length. False, and v unchanged, when the length is 0.
bool v3Normalize(Vec3* v);

// The value rounded to single precision. The 32-bit build evaluates float expressions in the
// x87's wider registers; a value that must be "a float" at some step is stored through here so
// that both builds agree bit for bit.
float toFloat(float v);
float toFloat(double v);
// Truncation toward zero that saturates: values beyond the int range give INT_MIN or INT_MAX
// and NaN gives 0, where a plain conversion would be undefined.
// Inline: the vertex stage converts every coordinate and colour of every vertex with it.
inline int truncToInt(float v) {
  if (v != v) return 0;
  if (v >= 2147483648.0f) return INT_MAX;
  if (v < -2147483648.0f) return INT_MIN;
  return static_cast<int>(v);
}
