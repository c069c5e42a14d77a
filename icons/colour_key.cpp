#include "icons/colour_key.h"

#include <bitset>

#include "gfx/pixel_format.h"

namespace slk {

std::uint32_t ChooseKeyColour(std::span<const std::uint8_t> pixels, std::uint32_t pitch, int width,
                              int height, std::uint32_t bytesPerPixel) {
  std::bitset<kKeySearchLimit> used;
  for (int y = 0; y < height; ++y) {
    std::size_t rowStart = static_cast<std::size_t>(y) * pitch;
    if (rowStart + static_cast<std::size_t>(width) * bytesPerPixel > pixels.size()) break;
    const std::uint8_t* row = pixels.data() + rowStart;
    for (int x = 0; x < width; ++x) {
      std::uint32_t value =
          gfx::LoadPixel(row + static_cast<std::size_t>(x) * bytesPerPixel, bytesPerPixel) & 0xFFFF;
      if (value < kKeySearchLimit) used.set(value);
    }
  }
  for (std::uint32_t k = 0; k < kKeySearchLimit; ++k) {
    if (!used.test(k)) return k;
  }
  return kKeySearchLimit;
}

void FillWithKey(std::span<std::uint8_t> pixels, std::uint32_t pitch, int width, int height,
                 std::uint32_t bytesPerPixel, std::uint32_t key) {
  const std::uint32_t value = key & 0xFFFF;
  for (int y = 0; y < height; ++y) {
    std::size_t rowStart = static_cast<std::size_t>(y) * pitch;
    if (rowStart + static_cast<std::size_t>(width) * bytesPerPixel > pixels.size()) break;
    std::uint8_t* row = pixels.data() + rowStart;
    for (int x = 0; x < width; ++x)
      gfx::StorePixel(row + static_cast<std::size_t>(x) * bytesPerPixel, bytesPerPixel, value);
  }
}

}  // namespace slk
