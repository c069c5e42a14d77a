#pragma once
// The table the build generates from the committed bitmap files
// (EmbedBitmaps.cmake); read through BitmapResource.

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace slk::res::detail {

struct EmbeddedBitmap {
  int id;
  const std::uint8_t* bytes;
  std::size_t size;
};

extern const EmbeddedBitmap kEmbeddedBitmaps[];
extern const std::size_t kEmbeddedBitmapCount;

}  // namespace slk::res::detail
