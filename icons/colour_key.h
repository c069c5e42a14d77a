#pragma once
// The colour key of a cached list frame: a pixel value that the rendered
// icon does not use, so that the frame's background can be made of it and
// blitted away.

#include <cstdint>
#include <span>

namespace slk {

// Keys are searched below this value: at most 4096 candidates against the
// 4096 pixels of a 64 x 64 frame, so a free one is nearly always found.
inline constexpr std::uint32_t kKeySearchLimit = 4096;

// The smallest value from 0 to 4095 that equals the low 16 bits of no pixel;
// 4096 when all occur. Pixels are `bytesPerPixel` bytes, little-endian, rows
// `pitch` bytes apart.
std::uint32_t ChooseKeyColour(std::span<const std::uint8_t> pixels, std::uint32_t pitch, int width,
                              int height, std::uint32_t bytesPerPixel);

// Writes k into every pixel: the low two bytes of k, further bytes 0.
void FillWithKey(std::span<std::uint8_t> pixels, std::uint32_t pitch, int width, int height,
                 std::uint32_t bytesPerPixel, std::uint32_t key);

}  // namespace slk
