// .xmc: the expanded card image.

#include "harness/drivers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  slk::fuzz::FuzzCardImage({data, size}, "xmc");
  return 0;
}
