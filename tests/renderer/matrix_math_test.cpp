// Matrix and vector arithmetic: products in the right order, the Gauss-Jordan inverse on random
// well-conditioned, pivoting and singular matrices, normalising, and the conversions that pin
// values to single precision and to the int range.
#include "renderer/matrix_math.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <random>

namespace {

Matrix4 fromRows(const float (&rows)[16]) {
  Matrix4 m;
  for (int k = 0; k < 16; ++k) m.m[k] = rows[k];
  return m;
}

void expectMatrix(const Matrix4& m, const float (&rows)[16]) {
  for (int k = 0; k < 16; ++k) EXPECT_EQ(m.m[k], rows[k]) << "row " << k / 4 << " column " << k % 4;
}

TEST(MatrixMath, ProductsMultiplyRowsByColumnsInTheGivenOrder) {
  const Matrix4 translate = fromRows({1, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  const Matrix4 scale = fromRows({2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1});
  Matrix4 c;
  m4Multiply(&c, translate, scale);  // scale first, then translate
  expectMatrix(c, {2, 0, 0, 1, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1});
  m4Multiply(&c, scale, translate);  // the translation is scaled
  expectMatrix(c, {2, 0, 0, 2, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1});

  Matrix4 t = translate;
  m4MultiplyRight(&t, scale);
  expectMatrix(t, {2, 0, 0, 1, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1});
  Matrix4 a = fromRows({1, 2, 0, 0, 3, 4, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  m4Multiply(&a, a, a);  // the result may be an operand
  expectMatrix(a, {7, 10, 0, 0, 15, 22, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
}

TEST(MatrixMath, TransformUsesAllFourColumnsAndTransposeSwapsIndices) {
  const Matrix4 m = fromRows({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
  Vec4 v = m4Transform(m, {1, 0, -1, 2});
  EXPECT_EQ(v.x, 6.0f);  // 1 - 3 + 8
  EXPECT_EQ(v.y, 14.0f);
  EXPECT_EQ(v.z, 22.0f);
  EXPECT_EQ(v.w, 30.0f);
  Matrix4 t;
  m4Transpose(&t, m);
  expectMatrix(t, {1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 4, 8, 12, 16});
}

TEST(MatrixMath, IdentityTestIsExact) {
  Matrix4 m;
  m4Identity(&m);
  EXPECT_TRUE(m4IsIdentity(m));
  m.m[5] = std::nextafter(1.0f, 0.0f);
  EXPECT_FALSE(m4IsIdentity(m));
  m4Identity(&m);
  m.m[14] = std::numeric_limits<float>::denorm_min();
  EXPECT_FALSE(m4IsIdentity(m));
}

TEST(MatrixMath, AxisRotationsTurnTheNextAxisTowardTheOneAfter) {
  const float t = static_cast<float>(3.141592653589793 / 2);
  for (int axis = 0; axis < 3; ++axis) {
    Matrix4 r;
    m4Rotation(&r, t, axis);
    float unit[3] = {0, 0, 0};
    unit[(axis + 1) % 3] = 1;
    Vec4 v = m4Transform(r, {unit[0], unit[1], unit[2], 1});
    const float turned[3] = {v.x, v.y, v.z};
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(turned[k], k == (axis + 2) % 3 ? 1.0f : 0.0f, 1e-6f);
    EXPECT_EQ(r.m[5 * axis], 1.0f);  // the axis itself stays
  }
}

TEST(MatrixMath, InverseOfRandomWellConditionedMatrices) {
  std::mt19937 random(20130112);
  std::uniform_real_distribution<float> entry(-1.0f, 1.0f);
  for (int trial = 0; trial < 200; ++trial) {
    Matrix4 a;
    for (int k = 0; k < 16; ++k) a.m[k] = entry(random) + (k % 5 == 0 ? 4.0f : 0.0f);
    Matrix4 x;
    ASSERT_TRUE(m4Invert(&x, a));
    Matrix4 left, right;
    m4Multiply(&left, x, a);
    m4Multiply(&right, a, x);
    for (int k = 0; k < 16; ++k) {
      float identity = (k % 5 == 0) ? 1.0f : 0.0f;
      EXPECT_NEAR(left.m[k], identity, 1e-5f) << "trial " << trial << " element " << k;
      EXPECT_NEAR(right.m[k], identity, 1e-5f) << "trial " << trial << " element " << k;
    }
  }
}

TEST(MatrixMath, InverseSwapsRowsToFindItsPivots) {
  // A x = (2 x1, x0, 4 x3, x2 / 2): every diagonal element is 0, and the inverse is exact.
  const Matrix4 a = fromRows({0, 2, 0, 0, 1, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0.5f, 0});
  Matrix4 x;
  ASSERT_TRUE(m4Invert(&x, a));
  expectMatrix(x, {0, 1, 0, 0, 0.5f, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0.25f, 0});
}

TEST(MatrixMath, InverseOfASingularMatrixFailsWithItsPartialState) {
  Matrix4 x;
  // Column 0 is zero: the first pivot fails and the result is still the identity.
  EXPECT_FALSE(m4Invert(&x, fromRows({0, 1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 1, 1, 1})));
  expectMatrix(x, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  // Column 0 is done (row 0 divided by 2), then column 1 has no pivot.
  EXPECT_FALSE(m4Invert(&x, fromRows({2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1})));
  expectMatrix(x, {0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  // Two equal rows.
  EXPECT_FALSE(m4Invert(&x, fromRows({1, 2, 3, 4, 1, 2, 3, 4, 0, 1, 0, 0, 0, 0, 1, 1})));
}

TEST(MatrixMath, NormalisingLeavesAZeroVectorAlone) {
  Vec3 v{3, 0, 4};
  EXPECT_TRUE(v3Normalize(&v));
  EXPECT_FLOAT_EQ(v.x, 0.6f);
  EXPECT_EQ(v.y, 0.0f);
  EXPECT_FLOAT_EQ(v.z, 0.8f);
  Vec3 zero{0, 0, 0};
  EXPECT_FALSE(v3Normalize(&zero));
  EXPECT_EQ(zero.x, 0.0f);
  EXPECT_EQ(zero.y, 0.0f);
  EXPECT_EQ(zero.z, 0.0f);
}

TEST(MatrixMath, ConversionsRoundToFloatAndSaturateToInt) {
  EXPECT_EQ(toFloat(0.1), 0.1f);
  EXPECT_EQ(toFloat(16777217.0), 16777216.0f);  // 2^24 + 1 is not a float
  EXPECT_EQ(truncToInt(2.9f), 2);
  EXPECT_EQ(truncToInt(-2.9f), -2);
  EXPECT_EQ(truncToInt(-2147483648.0f), INT_MIN);
  EXPECT_EQ(truncToInt(1e10f), INT_MAX);
  EXPECT_EQ(truncToInt(-1e10f), INT_MIN);
  EXPECT_EQ(truncToInt(std::numeric_limits<float>::infinity()), INT_MAX);
  EXPECT_EQ(truncToInt(std::numeric_limits<float>::quiet_NaN()), 0);
}

}  // namespace
