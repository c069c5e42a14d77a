#pragma once
// A new, empty PS2 memory card image, laid out as a freshly formatted card:
// the superblock, one indirect FAT cluster at cluster 8, the FAT right after
// it, the root directory in the first allocatable cluster, the last two
// erase blocks kept as backup blocks (the second one erased), and every
// other page zero with its ECC.

#include <cstdint>
#include <optional>
#include <vector>

#include "card/ps2/ps2_layout.h"

namespace slk::ps2 {

struct FormatOptions {
  Form form = Form::WithEcc;
  std::uint32_t pages = 16384;   // 8 MB; rounded down to whole erase blocks
  std::optional<CardTime> time;  // the root's times; now when absent
};

constexpr std::uint32_t kSmallestCardPages = 64;  // 4 erase blocks: 2 for data, 2 backup

// Empty when `pages` is below kSmallestCardPages.
std::vector<std::uint8_t> FormatCard(const FormatOptions& options);

}  // namespace slk::ps2
