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

// A locked rectangle of pixels: little-endian values of `bytesPerPixel`
// bytes, rows `pitch` bytes apart.
struct PixelPlane {
  std::span<std::uint8_t> bits;
  std::uint32_t pitch = 0;
  std::uint32_t bytesPerPixel = 0;
  int width = 0;
  int height = 0;

  // Start of row y, or null when the row does not lie within `bits`.
  std::uint8_t* Row(int y) const;
  std::uint32_t At(int x, int y) const;
};

// The smallest value from 0 to 4095 that equals the low 16 bits of no pixel;
// 4096 when all occur.
std::uint32_t ChooseKeyColour(const PixelPlane& pixels);

// Writes the key into every pixel: its low two bytes, further bytes 0.
void FillWithKey(const PixelPlane& pixels, std::uint32_t key);

// Writes the key into the pixels nothing was drawn on since the target was
// cleared: those whose depth and colour both still hold the cleared values.
// The same picture as filling the whole target with the key and drawing the
// icon again, for the price of one draw.
void FillBackgroundWithKey(const PixelPlane& pixels, const PixelPlane& depth,
                           std::uint32_t clearedColour, std::uint32_t clearedDepth,
                           std::uint32_t key);

}  // namespace slk
