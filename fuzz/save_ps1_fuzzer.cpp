// .ps1: one 128-byte directory frame, then the save's blocks.

#include "harness/drivers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  slk::fuzz::FuzzSaveImage({data, size}, "ps1", slk::CardKind::PS1);
  return 0;
}
