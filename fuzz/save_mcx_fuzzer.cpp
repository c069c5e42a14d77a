// .mcx and .mcb in all three forms the reader knows: the 54-byte header, the
// 128-byte directory frame, the bare blocks.

#include <array>
#include <string_view>

#include "harness/drivers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static constexpr std::array<std::string_view, 2> kExtensions = {"mcx", "mcb"};
  slk::fuzz::Input input(data, size);
  slk::fuzz::FuzzSaveImage(input, slk::fuzz::PickExtension(input, kExtensions), slk::CardKind::PS1);
  return 0;
}
