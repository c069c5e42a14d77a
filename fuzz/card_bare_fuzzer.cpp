// The bare 131,072-byte PS1 card: .mcr, .mcd, .ps and .mci.

#include <array>
#include <string_view>

#include "harness/drivers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static constexpr std::array<std::string_view, 4> kExtensions = {"mcr", "mcd", "ps", "mci"};
  slk::fuzz::Input input(data, size);
  slk::fuzz::FuzzCardImage(input, slk::fuzz::PickExtension(input, kExtensions));
  return 0;
}
