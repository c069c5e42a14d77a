#pragma once
// Fixed places and values of the detail screen, shared with its tests.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "card/save_entry.h"
#include "display/shell_state.h"
#include "gfx/types.h"

namespace slk {

// The model's viewport: 224 x 224 on the left, below the caption.
inline constexpr std::array<std::uint32_t, 4> kDetailModelViewport = {16, 44, 224, 224};

// Top-left corners of the four marker balls, in drawing order.
inline constexpr std::array<gfx::Point, 4> kDetailCornerBalls = {
    gfx::Point{0, 0}, gfx::Point{496, 0}, gfx::Point{0, 296}, gfx::Point{496, 296}};

// The caption, "- PS1 SaveData -" or "- PS2 SaveData -", cut to the length
// of the PS2 caption: one length serves both, as both languages make them
// equally long.
std::span<const std::uint8_t> DetailCaption(const SaveEntry& entry, const ListTexts& texts);

// The size shown, in whole kilobytes.
inline std::uint32_t DetailSizeKB(const SaveEntry& entry) {
  return entry.size >> 10;
}

}  // namespace slk
