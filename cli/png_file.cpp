#include "cli/png_file.h"

#include <png.h>

#include <cstdio>
#include <vector>

namespace slk {

bool WritePng(const std::string& path, int width, int height, std::span<const std::uint32_t> argb) {
  if (width <= 0 || height <= 0 ||
      argb.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
    return false;
  std::vector<std::uint8_t> rgba;
  rgba.reserve(argb.size() * 4);
  for (std::size_t i = 0; i < static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
       ++i) {
    std::uint32_t p = argb[i];
    rgba.push_back(static_cast<std::uint8_t>(p >> 16));
    rgba.push_back(static_cast<std::uint8_t>(p >> 8));
    rgba.push_back(static_cast<std::uint8_t>(p));
    rgba.push_back(static_cast<std::uint8_t>(p >> 24));
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGBA;
  int ok = png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr);
  png_image_free(&image);
  if (ok == 0) std::remove(path.c_str());
  return ok != 0;
}

}  // namespace slk
