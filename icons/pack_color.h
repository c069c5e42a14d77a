#pragma once
// Console colours into pixels of the icon texture's format.

#include <cstdint>

#include "display/display_engine.h"
#include "icons/icon_image.h"

namespace slk {

// Each 5-bit component lands in the top 5 bits of its channel; lower bits and
// any alpha bits stay 0. A channel narrower than 5 bits keeps the component's
// top bits; a missing channel gets nothing.
std::uint32_t PackColor15(ConsoleColour colour, const PixelLayout& layout);

}  // namespace slk
