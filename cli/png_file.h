#pragma once
// Writing pictures as PNG files.

#include <cstdint>
#include <span>
#include <string>

namespace slk {

// Writes width x height pixels, 0xAARRGGBB row by row, as an 8-bit RGBA PNG.
// False (and no file, or a partial one removed) when it cannot be written.
bool WritePng(const std::string& path, int width, int height, std::span<const std::uint32_t> argb);

}  // namespace slk
