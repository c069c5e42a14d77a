// .psm and .mc: a 128-byte directory frame before each block.

#include <array>
#include <string_view>

#include "harness/drivers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static constexpr std::array<std::string_view, 2> kExtensions = {"psm", "mc"};
  slk::fuzz::Input input(data, size);
  slk::fuzz::FuzzSaveImage(input, slk::fuzz::PickExtension(input, kExtensions), slk::CardKind::PS2);
  return 0;
}
