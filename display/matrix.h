#pragma once
// The display's matrix operations: 4 x 4 single-precision matrices in the
// row-vector convention (translation in row 3), each call writing a whole
// matrix.

#include "gfx/types.h"

namespace slk {

using Matrix = gfx::Matrix;

// One degree as the display counts it: 3.14 / 180 in single precision. The
// icon angles were tuned with 3.14, so pi would turn them by a different amount.
inline constexpr float kDegree = 0.017444445f;

// q = a x b. q may be the very storage of a, of b or of both.
void MatrixMultiply(Matrix& q, const Matrix& a, const Matrix& b);
void MatrixScale(Matrix& m, float sx, float sy, float sz);
void MatrixTranslate(Matrix& m, float tx, float ty, float tz);
void MatrixRotateX(Matrix& m, float radians);
void MatrixRotateY(Matrix& m, float radians);

}  // namespace slk
