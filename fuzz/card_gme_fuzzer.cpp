// .gme: a DexDrive card, with or without its 3,904-byte header.

#include "harness/drivers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  slk::fuzz::FuzzCardImage({data, size}, "gme");
  return 0;
}
