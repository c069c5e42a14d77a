#include "icons/pack_color.h"

namespace slk {

namespace {

std::uint32_t PackComponent(std::uint32_t value5, const ChannelMask& mask) {
  if (mask.width == 0 || mask.shift >= 32) return 0;
  if (mask.width >= 5) return value5 << (mask.shift + mask.width - 5);
  return (value5 >> (5 - mask.width)) << mask.shift;
}

}  // namespace

std::uint32_t PackColor15(ConsoleColour colour, const PixelLayout& layout) {
  std::uint32_t c = colour;
  return PackComponent(c & 31, layout.textureRed) |
         PackComponent((c >> 5) & 31, layout.textureGreen) |
         PackComponent((c >> 10) & 31, layout.textureBlue);
}

}  // namespace slk
