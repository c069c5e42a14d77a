#include "display/matrix.h"

#include <cmath>

namespace slk {

void MatrixMultiply(Matrix& q, const Matrix& a, const Matrix& b) {
  // Built aside first: q may alias a or b.
  Matrix product;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a.m[i][k] * b.m[k][j];
      product.m[i][j] = sum;
    }
  }
  q = product;
}

void MatrixScale(Matrix& m, float sx, float sy, float sz) {
  m = Matrix{};
  m.m[0][0] = sx;
  m.m[1][1] = sy;
  m.m[2][2] = sz;
  m.m[3][3] = 1.0f;
}

void MatrixTranslate(Matrix& m, float tx, float ty, float tz) {
  m = Matrix::Identity();
  m.m[3][0] = tx;
  m.m[3][1] = ty;
  m.m[3][2] = tz;
}

void MatrixRotateX(Matrix& m, float radians) {
  m = Matrix::Identity();
  float c = std::cos(radians), s = std::sin(radians);
  m.m[1][1] = c;
  m.m[1][2] = s;
  m.m[2][1] = -s;
  m.m[2][2] = c;
}

void MatrixRotateY(Matrix& m, float radians) {
  m = Matrix::Identity();
  float c = std::cos(radians), s = std::sin(radians);
  m.m[0][0] = c;
  m.m[0][2] = -s;
  m.m[2][0] = s;
  m.m[2][2] = c;
}

}  // namespace slk
