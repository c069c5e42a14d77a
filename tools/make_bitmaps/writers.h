#pragma once
// File writers of the generator: Windows BMP (BITMAPINFOHEADER, bottom-up,
// uncompressed) at 24, 4 or 1 bits per pixel, and PNG for previews and the
// program icon.

#include <string>

#include "tools/make_bitmaps/image.h"

namespace slk::tools {

// Indexed depths build the palette from the image's colours, black first
// when present. Throws std::runtime_error when the image has more colours
// than the depth can index or the file cannot be written.
void WriteBmp(const std::string& path, const Image& image, int bitsPerPixel);

// zoom repeats each pixel zoom x zoom times, for looking at small bitmaps.
void WritePng(const std::string& path, const Image& image, int zoom = 1);
void WritePng(const std::string& path, const RgbaImage& image);

}  // namespace slk::tools
