#pragma once
// Internal to gfx: which pixels of a row a triangle covers. Edge values are
// exact integers (see raster.cpp): a pixel is covered when all three are at
// least 0. Each edge covers a half-line of a row, so the covered pixels of a
// row are one run; these find its ends.

#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace slk::gfx::detail {

// Edge values are those at the row's first pixel of the bounding box; the
// run is returned as offsets from there.
struct RowRun {
  std::int64_t dx0, dx1, dx2;  // per pixel to the right
  int width;                   // of the bounding box

  // Skips to the run, then walks it.
  bool Walk(std::int64_t e0, std::int64_t e1, std::int64_t e2, int& first, int& last) const {
    int x = 0;
    while (x < width && (e0 | e1 | e2) < 0) {
      e0 += dx0, e1 += dx1, e2 += dx2;
      ++x;
    }
    first = x;
    while (x < width && (e0 | e1 | e2) >= 0) {
      e0 += dx0, e1 += dx1, e2 += dx2;
      ++x;
    }
    last = x - 1;
    return x != first;
  }

  // For a box up to 32 pixels wide: every pixel's coverage as one bit, then
  // the run's ends from the lowest and highest bits, so that no branch
  // depends on where the run lies.
  static constexpr int kMaskWidth = 32;
  bool Mask(std::int64_t e0, std::int64_t e1, std::int64_t e2, int& first, int& last) const {
    std::uint32_t covered = 0;
#if defined(__SSE2__)
    // Two columns a step: the 64-bit lanes' sign bits are the uncovered
    // columns. A column past an odd width is masked off at the end.
    __m128i a = _mm_set_epi64x(e0 + dx0, e0), b = _mm_set_epi64x(e1 + dx1, e1);
    __m128i c = _mm_set_epi64x(e2 + dx2, e2);
    const __m128i stepA = _mm_set1_epi64x(2 * dx0), stepB = _mm_set1_epi64x(2 * dx1);
    const __m128i stepC = _mm_set1_epi64x(2 * dx2);
    for (int x = 0; x < width; x += 2) {
      const __m128i all = _mm_or_si128(_mm_or_si128(a, b), c);
      const auto outside = static_cast<std::uint32_t>(_mm_movemask_pd(_mm_castsi128_pd(all)));
      covered |= (~outside & 3u) << x;
      a = _mm_add_epi64(a, stepA), b = _mm_add_epi64(b, stepB), c = _mm_add_epi64(c, stepC);
    }
    if (width < kMaskWidth) covered &= (1u << width) - 1;
#else
    for (int x = 0; x < width; ++x) {
      covered |= static_cast<std::uint32_t>(((e0 | e1 | e2) >> 63) + 1) << x;
      e0 += dx0, e1 += dx1, e2 += dx2;
    }
#endif
    return Ends(covered, first, last);
  }

  static bool Ends(std::uint32_t covered, int& first, int& last) {
    first = std::countr_zero(covered);
    last = 31 - std::countl_zero(covered);
    return covered != 0;
  }
};

// The common case of an icon: a triangle within 16 x 16 pixels whose box is
// at most 8 pixels wide. Its edge values at the box's pixels (and a row and 8
// columns beyond) stay below 2^26 in size, so eight columns of each edge are
// stepped from row to row as 32-bit lanes.
class SmallCoverage {
 public:
  static constexpr int kWidth = 8;
  static constexpr std::int64_t kMaxExtent = 16 * 256;  // in 1/256 pixel

  // e: edge values at the first row's first pixel; dx, dy: steps per pixel
  // to the right and per row down.
  SmallCoverage(const std::int64_t (&e)[3], const std::int64_t (&dx)[3],
                const std::int64_t (&dy)[3], int width)
      : widthMask_((1u << width) - 1) {
#if defined(__SSE2__)
    // Built in registers: lanes stored one by one and loaded as a vector
    // would stall the load.
    for (int i = 0; i < 3; ++i) {
      const auto e32 = static_cast<std::int32_t>(e[i]), dx32 = static_cast<std::int32_t>(dx[i]);
      low_[i] = _mm_add_epi32(_mm_set1_epi32(e32), _mm_set_epi32(3 * dx32, 2 * dx32, dx32, 0));
      high_[i] = _mm_add_epi32(low_[i], _mm_set1_epi32(4 * dx32));
      step_[i] = _mm_set1_epi32(static_cast<std::int32_t>(dy[i]));
    }
#else
    for (int i = 0; i < 3; ++i) {
      for (int x = 0; x < kWidth; ++x) lanes_[i][x] = static_cast<std::int32_t>(e[i] + dx[i] * x);
      step_[i] = static_cast<std::int32_t>(dy[i]);
    }
#endif
  }

  // The covered columns of the current row as bits; then moves a row down.
  std::uint32_t Next() {
#if defined(__SSE2__)
    const __m128i a = _mm_or_si128(_mm_or_si128(low_[0], low_[1]), low_[2]);
    const __m128i b = _mm_or_si128(_mm_or_si128(high_[0], high_[1]), high_[2]);
    // The sign bits are the uncovered columns.
    const auto outside = static_cast<std::uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(a)) |
                                                    (_mm_movemask_ps(_mm_castsi128_ps(b)) << 4));
    for (int i = 0; i < 3; ++i) {
      low_[i] = _mm_add_epi32(low_[i], step_[i]);
      high_[i] = _mm_add_epi32(high_[i], step_[i]);
    }
    return ~outside & widthMask_;
#else
    std::uint32_t covered = 0;
    for (int x = 0; x < kWidth; ++x) {
      const std::int32_t all = lanes_[0][x] | lanes_[1][x] | lanes_[2][x];
      covered |= static_cast<std::uint32_t>((all >> 31) + 1) << x;
      for (int i = 0; i < 3; ++i) lanes_[i][x] += step_[i];
    }
    return covered & widthMask_;
#endif
  }

 private:
  std::uint32_t widthMask_;
#if defined(__SSE2__)
  __m128i low_[3], high_[3], step_[3];
#else
  std::int32_t lanes_[3][kWidth];
  std::int32_t step_[3];
#endif
};

}  // namespace slk::gfx::detail
