// The pixel loops behind BltFast and Blt. Rectangles arrive already clipped
// and checked; these only move pixels.

#include <cstring>
#include <optional>
#include <vector>

#include "gfx/surface.h"

namespace slk::gfx {

namespace {

// One pixel of 1, 2 or 4 bytes as an unsigned integer, or 3 bytes widened.
template <std::uint32_t Bytes>
struct PixelOf {
  using Type = std::uint32_t;
};
template <>
struct PixelOf<1> {
  using Type = std::uint8_t;
};
template <>
struct PixelOf<2> {
  using Type = std::uint16_t;
};

template <std::uint32_t Bytes>
inline typename PixelOf<Bytes>::Type Load(const std::uint8_t* p) {
  if constexpr (Bytes == 3) {
    return LoadPixel(p, 3);
  } else {
    typename PixelOf<Bytes>::Type v;
    std::memcpy(&v, p, Bytes);
    return v;
  }
}

template <std::uint32_t Bytes>
inline void Store(std::uint8_t* p, typename PixelOf<Bytes>::Type v) {
  if constexpr (Bytes == 3) {
    StorePixel(p, 3, v);
  } else {
    std::memcpy(p, &v, Bytes);
  }
}

// Copies the pixels whose value lies outside [low, high]. Written without a
// branch so that the compiler can vectorise it: one unsigned comparison of
// (value - low) against (high - low) tells inside from outside.
template <std::uint32_t Bytes>
void KeyedRow(std::uint8_t* dst, const std::uint8_t* src, int count, std::uint32_t low,
              std::uint32_t high) {
  using T = typename PixelOf<Bytes>::Type;
  const T lo = static_cast<T>(low);
  const T span = static_cast<T>(high - low);
  for (int i = 0; i < count; ++i) {
    T s = Load<Bytes>(src + i * Bytes);
    T d = Load<Bytes>(dst + i * Bytes);
    bool keep = static_cast<T>(s - lo) > span;
    Store<Bytes>(dst + i * Bytes, keep ? s : d);
  }
}

// The 32-bit form compares signed values with the sign bit flipped, which is
// the same order as unsigned and what SSE2 can compare four at a time.
template <>
void KeyedRow<4>(std::uint8_t* dst, const std::uint8_t* src, int count, std::uint32_t low,
                 std::uint32_t high) {
  const std::int32_t span = static_cast<std::int32_t>((high - low) ^ 0x80000000u);
  for (int i = 0; i < count; ++i) {
    std::uint32_t s, d;
    std::memcpy(&s, src + 4 * i, 4);
    std::memcpy(&d, dst + 4 * i, 4);
    std::int32_t offset = static_cast<std::int32_t>((s - low) ^ 0x80000000u);
    std::uint32_t keep = offset > span ? 0xFFFFFFFFu : 0u;
    std::uint32_t out = (s & keep) | (d & ~keep);
    std::memcpy(dst + 4 * i, &out, 4);
  }
}

void KeyedRowAny(std::uint32_t bytes, std::uint8_t* dst, const std::uint8_t* src, int count,
                 std::uint32_t low, std::uint32_t high) {
  switch (bytes) {
    case 1:
      return KeyedRow<1>(dst, src, count, low, high);
    case 2:
      return KeyedRow<2>(dst, src, count, low, high);
    case 3:
      return KeyedRow<3>(dst, src, count, low, high & 0xFFFFFF);
    default:
      return KeyedRow<4>(dst, src, count, low, high);
  }
}

template <std::uint32_t Bytes>
void StretchRow(std::uint8_t* dst, const std::uint8_t* srcRow, const std::vector<int>& columns,
                bool keyed, std::uint32_t low, std::uint32_t high) {
  using T = typename PixelOf<Bytes>::Type;
  const T lo = static_cast<T>(low);
  const T span = static_cast<T>(high - low);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    T s = Load<Bytes>(srcRow + static_cast<std::size_t>(columns[i]) * Bytes);
    if (keyed && static_cast<T>(s - lo) <= span) continue;
    Store<Bytes>(dst + i * Bytes, s);
  }
}

// Nearest sample for destination offset i of n, over a source length of m:
// the source pixel under the destination pixel's centre.
int NearestSource(int i, int n, int m) {
  return static_cast<int>((static_cast<std::int64_t>(2 * i + 1) * m) / (2 * std::int64_t{n}));
}

}  // namespace

void Surface::CopyRect(const Surface& src, const Rect& srcRect, Point dest, bool keyed) {
  const std::uint32_t bpp = format_.BytesPerPixel();
  const std::size_t rowBytes = static_cast<std::size_t>(srcRect.Width()) * bpp;
  const int rows = srcRect.Height();

  // A blit within one surface may overlap itself: read from a copy then.
  std::vector<std::uint8_t> staging;
  const std::uint8_t* from = src.Row(srcRect.top) + static_cast<std::size_t>(srcRect.left) * bpp;
  std::size_t fromPitch = src.Pitch();
  if (&src == this) {
    staging.resize(rowBytes * static_cast<std::size_t>(rows));
    for (int y = 0; y < rows; ++y) {
      std::memcpy(staging.data() + rowBytes * static_cast<std::size_t>(y),
                  from + fromPitch * static_cast<std::size_t>(y), rowBytes);
    }
    from = staging.data();
    fromPitch = rowBytes;
  }

  std::uint8_t* to = Row(dest.y) + static_cast<std::size_t>(dest.x) * bpp;
  if (!keyed) {
    if (fromPitch == pitch_ && rowBytes == pitch_) {
      std::memcpy(to, from, rowBytes * static_cast<std::size_t>(rows));
      return;
    }
    for (int y = 0; y < rows; ++y) {
      std::memcpy(to + pitch_ * static_cast<std::size_t>(y),
                  from + fromPitch * static_cast<std::size_t>(y), rowBytes);
    }
    return;
  }
  const ColorKey key = *src.SrcColorKey();
  for (int y = 0; y < rows; ++y) {
    KeyedRowAny(bpp, to + pitch_ * static_cast<std::size_t>(y),
                from + fromPitch * static_cast<std::size_t>(y), srcRect.Width(), key.low, key.high);
  }
}

void Surface::StretchRect(const Surface& src, const Rect& srcRect, const Rect& destRect,
                          const Rect& clip, bool keyed) {
  const std::uint32_t bpp = format_.BytesPerPixel();
  // Source columns for the visible destination columns, computed from the
  // unclipped rectangles so that clipping does not shift the picture.
  std::vector<int> columns(static_cast<std::size_t>(clip.Width()));
  for (int x = clip.left; x < clip.right; ++x) {
    columns[static_cast<std::size_t>(x - clip.left)] =
        srcRect.left + NearestSource(x - destRect.left, destRect.Width(), srcRect.Width());
  }

  const Surface* from = &src;
  std::optional<Surface> copy;
  if (&src == this) {
    copy.emplace(src.Width(), src.Height(), src.Format(), src.Caps());
    for (int y = 0; y < src.Height(); ++y) {
      std::memcpy(copy->Row(y), src.Row(y), static_cast<std::size_t>(src.Width()) * bpp);
    }
    from = &*copy;
  }

  ColorKey key = keyed ? *src.SrcColorKey() : ColorKey{};
  if (bpp == 3) key.high &= 0xFFFFFF;
  for (int y = clip.top; y < clip.bottom; ++y) {
    int sy = srcRect.top + NearestSource(y - destRect.top, destRect.Height(), srcRect.Height());
    std::uint8_t* dst = Row(y) + static_cast<std::size_t>(clip.left) * bpp;
    const std::uint8_t* row = from->Row(sy);
    switch (bpp) {
      case 1:
        StretchRow<1>(dst, row, columns, keyed, key.low, key.high);
        break;
      case 2:
        StretchRow<2>(dst, row, columns, keyed, key.low, key.high);
        break;
      case 3:
        StretchRow<3>(dst, row, columns, keyed, key.low, key.high);
        break;
      default:
        StretchRow<4>(dst, row, columns, keyed, key.low, key.high);
        break;
    }
  }
}

}  // namespace slk::gfx
