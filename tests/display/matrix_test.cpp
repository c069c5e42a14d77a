#include "display/matrix.h"

#include <gtest/gtest.h>

#include <cmath>

namespace slk {
namespace {

Matrix Filled(float start) {
  Matrix m;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) m.m[i][j] = start + static_cast<float>(i * 4 + j) * 0.5f;
  }
  return m;
}

TEST(Matrix, MultiplyWithSharedStorageGivesTheSameProduct) {
  const Matrix a = Filled(1.0f), b = Filled(-3.0f);
  Matrix ab, aa;
  MatrixMultiply(ab, a, b);
  MatrixMultiply(aa, a, a);
  EXPECT_EQ(ab.m[0][0], 1 * -3.0f + 1.5f * -1.0f + 2 * 1.0f + 2.5f * 3.0f);

  Matrix q = a;
  MatrixMultiply(q, q, b);
  EXPECT_EQ(q, ab);
  q = b;
  MatrixMultiply(q, a, q);
  EXPECT_EQ(q, ab);
  q = a;
  MatrixMultiply(q, q, q);
  EXPECT_EQ(q, aa);
}

TEST(Matrix, ScaleTranslateAndRotations) {
  Matrix m = Filled(7.0f);  // every call writes the whole matrix
  MatrixScale(m, 2, 3, 4);
  Matrix want;
  want.m[0][0] = 2, want.m[1][1] = 3, want.m[2][2] = 4, want.m[3][3] = 1;
  EXPECT_EQ(m, want);

  MatrixTranslate(m, 5, 6, 7);
  want = Matrix::Identity();
  want.m[3][0] = 5, want.m[3][1] = 6, want.m[3][2] = 7;
  EXPECT_EQ(m, want);

  MatrixRotateX(m, 0.5f);
  EXPECT_EQ(m.m[1][1], std::cos(0.5f));
  EXPECT_EQ(m.m[1][2], std::sin(0.5f));
  EXPECT_EQ(m.m[2][1], -std::sin(0.5f));
  EXPECT_EQ(m.m[0][0], 1.0f);

  MatrixRotateY(m, 0.5f);
  EXPECT_EQ(m.m[0][0], std::cos(0.5f));
  EXPECT_EQ(m.m[0][2], -std::sin(0.5f));
  EXPECT_EQ(m.m[2][0], std::sin(0.5f));
  EXPECT_EQ(m.m[1][1], 1.0f);
}

}  // namespace
}  // namespace slk
