// .mem: a PS1 card behind the 64-byte "VgsM" header.

#include "harness/drivers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  slk::fuzz::FuzzCardImage({data, size}, "mem");
  return 0;
}
