#pragma once
// The 128 x 128 staging image every icon decoder fills: console colours, row
// by row, 128 words a row. DecodeIcon packs it into the icon texture.

#include <array>
#include <cstdint>

namespace slk {

inline constexpr int kIconImageSize = 128;
inline constexpr std::size_t kIconImageTexels = 128 * 128;

// A console colour: red in bits 0-4, green 5-9, blue 10-14. Bit 15 means
// nothing to us and is ignored wherever a colour is converted.
using ConsoleColour = std::uint16_t;

using IconImage = std::array<ConsoleColour, kIconImageTexels>;

inline ConsoleColour& TexelAt(IconImage& image, int x, int y) {
  return image[static_cast<std::size_t>(y) * kIconImageSize + static_cast<std::size_t>(x)];
}
inline ConsoleColour TexelAt(const IconImage& image, int x, int y) {
  return image[static_cast<std::size_t>(y) * kIconImageSize + static_cast<std::size_t>(x)];
}

}  // namespace slk
