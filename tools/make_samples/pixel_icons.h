#pragma once
// Our own 16 x 16 PS1 pixel icons, drawn procedurally: a palette of 16 console
// colours and 1 to 3 frames of palette indices.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/card_inputs/card_inputs.h"

namespace slk::tools {

using Frame16 = inputs::PS1IconFrame;  // [y][x] palette index

struct PixelIcon {
  std::array<std::uint16_t, 16> palette{};  // console colours: 5 bits each, red lowest
  std::vector<Frame16> frames;
};

PixelIcon StarIcon();      // a five-pointed star that turns, 3 frames
PixelIcon HeartIcon();     // a beating heart, 2 frames
PixelIcon CatIcon();       // a cat's face that blinks, 2 frames
PixelIcon KeyIcon();       // a golden key, 1 frame
PixelIcon CarIcon();       // a rally car with turning wheels, 2 frames
PixelIcon FireworkIcon();  // a firework bursting, 3 frames

std::uint16_t Console(int r, int g, int b);  // 0-255 each

}  // namespace slk::tools
