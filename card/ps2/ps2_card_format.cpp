#include "card/ps2/ps2_card_format.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "card/ps2/ps2_ecc.h"
#include "platform/bytes.h"

namespace slk::ps2 {
namespace {

using platform::PutU16LE;
using platform::PutU32LE;

constexpr std::uint16_t kPagesPerCluster = kClusterSize / kPageSize;
constexpr std::uint16_t kPagesPerBlock = 16;
constexpr std::uint32_t kClustersPerBlock = kPagesPerBlock / kPagesPerCluster;
constexpr std::uint32_t kFirstIndirect = 8;  // the FAT starts 8 KiB into the card
constexpr std::string_view kVersion = "1.2.0.0";
constexpr std::uint8_t kCardType = 2;
constexpr std::uint8_t kCardFlags = 0x2B;
constexpr std::uint16_t kFixedFF00 = 0xFF00;

std::uint32_t DivUp(std::uint32_t n, std::uint32_t d) {
  return (n + d - 1) / d;
}

}  // namespace

std::vector<std::uint8_t> FormatCard(const FormatOptions& options) {
  std::uint32_t pages = options.pages / kPagesPerBlock * kPagesPerBlock;
  if (pages < kSmallestCardPages) return {};
  std::uint32_t clusters = pages / kPagesPerCluster;
  std::uint32_t blocks = pages / kPagesPerBlock;
  std::uint32_t backup1 = blocks - 1;
  std::uint32_t backup2 = blocks - 2;
  std::uint32_t fatClusters = DivUp(clusters - (kFirstIndirect + 2), kFatEntriesPerCluster);
  std::uint32_t indirectClusters =
      std::min<std::uint32_t>(DivUp(fatClusters, kFatEntriesPerCluster), kMaxIndirectClusters);
  fatClusters = std::min<std::uint32_t>(fatClusters, indirectClusters * kFatEntriesPerCluster);
  std::uint32_t firstFat = kFirstIndirect + indirectClusters;
  std::uint32_t allocOffset = firstFat + fatClusters;
  std::uint32_t allocEnd = backup2 * kClustersPerBlock - allocOffset;

  std::vector<std::uint8_t> data(std::size_t{pages} * kPageSize, 0);
  auto at = [&](std::uint32_t cluster, std::size_t offset) {
    return data.data() + std::size_t{cluster} * kClusterSize + offset;
  };

  std::uint8_t* sb = data.data();
  std::memcpy(sb, kMagic.data(), kMagic.size());
  std::memcpy(sb + kVersionOffset, kVersion.data(), kVersion.size());
  PutU16LE(sb + kPageLenOffset, kPageSize);
  PutU16LE(sb + kPagesPerClusterOffset, kPagesPerCluster);
  PutU16LE(sb + kPagesPerBlockOffset, kPagesPerBlock);
  PutU16LE(sb + kFixedFF00Offset, kFixedFF00);
  PutU32LE(sb + kClustersPerCardOffset, clusters);
  PutU32LE(sb + kAllocOffsetOffset, allocOffset);
  PutU32LE(sb + kAllocEndOffset, allocEnd);
  PutU32LE(sb + kRootClusterOffset, 0);
  PutU32LE(sb + kBackupBlock1Offset, backup1);
  PutU32LE(sb + kBackupBlock2Offset, backup2);
  for (std::uint32_t i = 0; i < indirectClusters; ++i)
    PutU32LE(sb + kIndirectListOffset + 4 * i, kFirstIndirect + i);
  std::memset(sb + kBadBlockListOffset, 0xFF, 4 * kMaxIndirectClusters);
  sb[kCardTypeOffset] = kCardType;
  sb[kCardFlagsOffset] = kCardFlags;

  for (std::uint32_t k = 0; k < indirectClusters * kFatEntriesPerCluster; ++k)
    PutU32LE(at(kFirstIndirect, 4 * std::size_t{k}), k < fatClusters ? firstFat + k : kFatChainEnd);
  for (std::uint32_t i = 0; i < fatClusters * kFatEntriesPerCluster; ++i) {
    std::uint32_t value = (i == 0 || i >= allocEnd) ? kFatChainEnd : kFatFree;
    PutU32LE(at(firstFat, 4 * std::size_t{i}), value);
  }

  CardTime now = options.time ? *options.time : CardTimeNow();
  std::uint8_t* root = at(allocOffset, 0);
  StoreEntry({kModeDotDir, 2, now, 0, 0, now, 0, "."},
             std::span<std::uint8_t, kEntrySize>(root, kEntrySize));
  StoreEntry({kModeRootDotDot, 0, now, 0, 0, now, 0, ".."},
             std::span<std::uint8_t, kEntrySize>(root + kEntrySize, kEntrySize));

  std::size_t raw = options.form == Form::WithEcc ? kPageSize + kSpareSize : kPageSize;
  std::vector<std::uint8_t> image(std::size_t{pages} * raw, 0);
  for (std::uint32_t p = 0; p < pages; ++p) {
    std::uint8_t* out = image.data() + std::size_t{p} * raw;
    if (p / kPagesPerBlock == backup2) {
      // The second backup block is left erased.
      std::memset(out, 0xFF, raw);
      continue;
    }
    std::memcpy(out, data.data() + std::size_t{p} * kPageSize, kPageSize);
    if (options.form == Form::WithEcc)
      ComputePageEcc(std::span<const std::uint8_t, kPageSize>(out, kPageSize),
                     std::span<std::uint8_t, kEccBytes>(out + kPageSize, kEccBytes));
  }
  return image;
}

}  // namespace slk::ps2
