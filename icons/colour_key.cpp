#include "icons/colour_key.h"

#include <bitset>

#include "gfx/pixel_format.h"

namespace slk {

std::uint8_t* PixelPlane::Row(int y) const {
  const std::size_t start = static_cast<std::size_t>(y) * pitch;
  const std::size_t length = static_cast<std::size_t>(width) * bytesPerPixel;
  if (y < 0 || start > bits.size() || length > bits.size() - start) return nullptr;
  return bits.data() + start;
}

std::uint32_t PixelPlane::At(int x, int y) const {
  const std::uint8_t* row = Row(y);
  if (row == nullptr || x < 0 || x >= width) return 0;
  return gfx::LoadPixel(row + static_cast<std::size_t>(x) * bytesPerPixel, bytesPerPixel);
}

std::uint32_t ChooseKeyColour(const PixelPlane& pixels) {
  std::bitset<kKeySearchLimit> used;
  for (int y = 0; y < pixels.height; ++y) {
    const std::uint8_t* row = pixels.Row(y);
    if (row == nullptr) break;
    for (int x = 0; x < pixels.width; ++x) {
      std::uint32_t value = gfx::LoadPixel(row + static_cast<std::size_t>(x) * pixels.bytesPerPixel,
                                           pixels.bytesPerPixel) &
                            0xFFFF;
      if (value < kKeySearchLimit) used.set(value);
    }
  }
  for (std::uint32_t k = 0; k < kKeySearchLimit; ++k) {
    if (!used.test(k)) return k;
  }
  return kKeySearchLimit;
}

void FillWithKey(const PixelPlane& pixels, std::uint32_t key) {
  for (int y = 0; y < pixels.height; ++y) {
    std::uint8_t* row = pixels.Row(y);
    if (row == nullptr) break;
    for (int x = 0; x < pixels.width; ++x) {
      gfx::StorePixel(row + static_cast<std::size_t>(x) * pixels.bytesPerPixel,
                      pixels.bytesPerPixel, key & 0xFFFF);
    }
  }
}

void FillBackgroundWithKey(const PixelPlane& pixels, const PixelPlane& depth,
                           std::uint32_t clearedColour, std::uint32_t clearedDepth,
                           std::uint32_t key) {
  for (int y = 0; y < pixels.height; ++y) {
    std::uint8_t* row = pixels.Row(y);
    const std::uint8_t* zRow = depth.Row(y);
    if (row == nullptr || zRow == nullptr) break;
    for (int x = 0; x < pixels.width && x < depth.width; ++x) {
      std::uint8_t* p = row + static_cast<std::size_t>(x) * pixels.bytesPerPixel;
      const std::uint8_t* z = zRow + static_cast<std::size_t>(x) * depth.bytesPerPixel;
      if (gfx::LoadPixel(z, depth.bytesPerPixel) == clearedDepth &&
          gfx::LoadPixel(p, pixels.bytesPerPixel) == clearedColour) {
        gfx::StorePixel(p, pixels.bytesPerPixel, key & 0xFFFF);
      }
    }
  }
}

}  // namespace slk
