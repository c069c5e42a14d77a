// .psu and .psd, imported into an expanded card and into a PS1 card: the PS1
// card takes exactly the saves the expanded card takes that are PS1 saves.

#include <array>
#include <string_view>

#include "harness/drivers.h"
#include "harness/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace slk::fuzz;
  static constexpr std::array<std::string_view, 2> kExtensions = {"psu", "psd"};
  Input input(data, size);
  std::string_view extension = PickExtension(input, kExtensions);
  ImportOutcome expanded = FuzzSaveImage(input, extension, slk::CardKind::PS2);
  ImportOutcome ps1 = FuzzSaveImage(input, extension, slk::CardKind::PS1);
  FUZZ_CHECK(ps1.accepted == (expanded.accepted && expanded.ps1Save));
  return 0;
}
