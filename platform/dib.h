#pragma once
// Windows device-independent bitmap files (.bmp) decoded to plain RGB pixels.
// This is what stands in for loading a bitmap resource as a DIB section: the
// program's own bitmaps are BMP files, and the display copies their pixels
// onto its surfaces.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace slk::platform {

// Pixels are 0x00RRGGBB, row by row, top row first.
struct RgbImage {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
};

// Decodes an uncompressed (BI_RGB) BMP file of 1, 4, 8, 24 or 32 bits per
// pixel, stored bottom-up or top-down, with a BITMAPINFOHEADER or one of its
// longer successors. Anything else, and any header, palette or pixel array
// that does not fit inside the bytes given, yields std::nullopt. Palette
// indices beyond the palette read as black, as Windows shows them.
std::optional<RgbImage> DecodeBmp(std::span<const std::uint8_t> file);

}  // namespace slk::platform
