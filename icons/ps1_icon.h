#pragma once
// The PS1 icon: up to four 16 x 16 frames of 16-colour pixels in the save's
// title frame and the frames after it, drawn into the 2 x 2 cells of the
// staging image.

#include <cstdint>
#include <optional>
#include <span>

#include "icons/icon_image.h"

namespace slk {

namespace ps1icon {
// 1 byte at 0x02: display flag; its low 4 bits are the frame count.
inline constexpr std::size_t kFlagOffset = 0x02;
// 16 x 2 bytes at 0x60: the palette, 16 console colours.
inline constexpr std::size_t kPaletteOffset = 0x60;
// 128 bytes at 0x80 + 128 f: frame f, 16 rows of 8 bytes, top row first; the
// low nibble of a byte is the left pixel of its pair.
inline constexpr std::size_t kBitmapOffset = 0x80;
inline constexpr std::size_t kBitmapSize = 128;
// The texture holds four cells, so that is the most frames an icon can show.
inline constexpr std::uint32_t kMaxFrames = 4;
// What the cells no frame covers show, and what the slab's edges show: red,
// green and blue all 6 of 31.
inline constexpr ConsoleColour kFillColour = 0x18C6;
}  // namespace ps1icon

// The frame count the display flag gives: 0 shows one frame, more than four
// show the first four.
std::uint32_t PS1FrameCount(std::uint8_t displayFlag);

// Fills the image (grey first, then each frame's cell as 4 x 4 blocks with
// its rows stored bottom-up) and returns the frame count; nothing when the
// bytes end before the last frame's bitmap. The image is written only on
// success.
std::optional<std::uint32_t> DecodePS1Image(std::span<const std::uint8_t> bytes, IconImage& image);

}  // namespace slk
