// BMP files: a decoded image has the size it claims, fits in the bytes given,
// and decoding does not depend on bytes past the ones it needs.

#include <vector>

#include "harness/fuzz_check.h"
#include "platform/dib.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using slk::platform::DecodeBmp;
  std::span<const std::uint8_t> file(data, size);
  auto image = DecodeBmp(file);
  if (!image) return 0;
  FUZZ_CHECK(image->width > 0 && image->height > 0);
  std::size_t pixels = static_cast<std::size_t>(image->width) * image->height;
  FUZZ_CHECK(image->pixels.size() == pixels);
  // Each pixel takes at least one bit of the file.
  FUZZ_CHECK(pixels <= size * 8);
  for (std::uint32_t p : image->pixels) FUZZ_CHECK((p >> 24) == 0);

  std::vector<std::uint8_t> longer(data, data + size);
  longer.resize(size + 64, 0xA5);
  auto again = DecodeBmp(longer);
  FUZZ_CHECK(again && again->width == image->width && again->height == image->height);
  FUZZ_CHECK(again->pixels == image->pixels);
  return 0;
}
