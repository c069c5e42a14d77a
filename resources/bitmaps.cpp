#include "resources/bitmaps.h"

#include "resources/embedded_bitmaps.h"

namespace slk::res {

std::span<const std::uint8_t> BitmapResource(int id) {
  for (std::size_t i = 0; i < detail::kEmbeddedBitmapCount; ++i) {
    const detail::EmbeddedBitmap& bitmap = detail::kEmbeddedBitmaps[i];
    if (bitmap.id == id) return {bitmap.bytes, bitmap.size};
  }
  return {};
}

}  // namespace slk::res
