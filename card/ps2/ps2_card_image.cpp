#include "card/ps2/ps2_card_image.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "card/ps2/ps2_ecc.h"
#include "platform/bytes.h"

namespace slk::ps2 {
namespace {

constexpr std::uint32_t kUnreadable = 0xFFFFFFFFu;

bool IsErased(const std::uint8_t* raw, std::size_t n) {
  return std::all_of(raw, raw + n, [](std::uint8_t b) { return b == 0xFF; });
}

}  // namespace

PagesWithMatchingCodes::PagesWithMatchingCodes(std::uint64_t imageSize) {
  constexpr std::uint64_t kRaw = kPageSize + kSpareSize;
  // No larger than the largest card (64 MB of pages with spare bytes).
  if (imageSize % kRaw == 0 && imageSize / kRaw <= 131072)
    matches_.assign(static_cast<std::size_t>(imageSize / kRaw), false);
}

void PagesWithMatchingCodes::Note(std::uint64_t offset, std::span<const std::uint8_t> piece) {
  constexpr std::size_t kRaw = kPageSize + kSpareSize;
  if (matches_.empty() || offset % kRaw != 0 || offset / kRaw >= matches_.size()) return;
  auto first = static_cast<std::size_t>(offset / kRaw);
  std::size_t pages = std::min(piece.size() / kRaw, matches_.size() - first);
  std::array<bool, kPiecePages> found;
  for (std::size_t done = 0; done < pages; done += found.size()) {
    std::size_t n = std::min(found.size(), pages - done);
    MatchPageCodes(piece.subspan(done * kRaw, n * kRaw), std::span(found).first(n));
    for (std::size_t i = 0; i < n; ++i) matches_[first + done + i] = found[i];
  }
}

std::optional<Ps2CardImage> Ps2CardImage::Open(std::vector<std::uint8_t> bytes,
                                               platform::Problem& why,
                                               const PagesWithMatchingCodes* known) {
  Ps2CardImage card;
  if (!ReadGeometry(bytes, card.geo_, why)) return std::nullopt;
  card.image_ = std::move(bytes);
  card.known_ = known;
  card.Load();
  card.known_ = nullptr;
  return card;
}

void Ps2CardImage::Load() {
  corrected_.clear();
  eccFaults_.clear();
  faults_.clear();
  scanned_.assign(geo_.sb.clustersPerCard, false);
  ScanEcc(0, 1);
  LoadFat();
  const Superblock& sb = geo_.sb;
  for (std::uint32_t c = sb.allocOffset; c < sb.allocOffset + sb.allocEnd; ++c) ScanCluster(c);
  ReadTree();
}

void Ps2CardImage::StartChangeLog() {
  changeLog_.clear();
  logging_ = true;
}

RawPages Ps2CardImage::TakeChangeLog() {
  logging_ = false;
  return std::exchange(changeLog_, {});
}

std::span<const std::uint8_t> Ps2CardImage::RawPage(std::uint32_t page) const {
  if (page >= geo_.pages) return {};
  return {image_.data() + std::size_t{page} * geo_.rawPageSize, geo_.rawPageSize};
}

void Ps2CardImage::RestoreRawPages(const RawPages& pages) {
  for (const auto& [page, bytes] : pages) {
    if (page >= geo_.pages || bytes.size() != geo_.rawPageSize) continue;
    std::memcpy(image_.data() + std::size_t{page} * geo_.rawPageSize, bytes.data(), bytes.size());
  }
  Load();
}

const std::uint8_t* Ps2CardImage::PageData(std::uint32_t page) const {
  if (!corrected_.empty()) {
    auto it = corrected_.find(page);
    if (it != corrected_.end()) return it->second.data();
  }
  return image_.data() + std::size_t{page} * geo_.rawPageSize;
}

std::vector<std::uint8_t> Ps2CardImage::SerializeAs(Form form) const {
  if (form == geo_.form) return image_;
  std::size_t raw = form == Form::WithEcc ? kPageSize + kSpareSize : kPageSize;
  std::vector<std::uint8_t> out(std::size_t{geo_.pages} * raw, 0);
  for (std::uint32_t page = 0; page < geo_.pages; ++page) {
    std::uint8_t* to = out.data() + std::size_t{page} * raw;
    std::memcpy(to, PageData(page), kPageSize);
  }
  if (form != Form::WithEcc) return out;
  // An erased block keeps its spare bytes erased too; a written page of
  // 0xFF bytes (a FAT cluster of free entries) has its code like any other.
  std::uint32_t perBlock = geo_.sb.pagesPerBlock;
  for (std::uint32_t first = 0; first < geo_.pages; first += perBlock) {
    std::uint32_t end = std::min(geo_.pages, first + perBlock);
    bool erased = true;
    for (std::uint32_t page = first; page < end && erased; ++page)
      erased = IsErased(out.data() + std::size_t{page} * raw, kPageSize);
    for (std::uint32_t page = first; page < end; ++page) {
      std::uint8_t* to = out.data() + std::size_t{page} * raw;
      if (erased)
        std::memset(to + kPageSize, 0xFF, kSpareSize);
      else
        ComputePageEcc(std::span<const std::uint8_t, kPageSize>(to, kPageSize),
                       std::span<std::uint8_t, kEccBytes>(to + kPageSize, kEccBytes));
    }
  }
  return out;
}

void Ps2CardImage::ReadCluster(std::uint32_t absolute,
                               std::span<std::uint8_t, kClusterSize> out) const {
  std::uint32_t first = absolute * geo_.sb.pagesPerCluster;
  for (std::uint32_t i = 0; i < geo_.sb.pagesPerCluster; ++i)
    std::memcpy(out.data() + i * kPageSize, PageData(first + i), kPageSize);
}

// Only the pages the file system uses are checked: the console leaves stale
// codes in the reserved clusters after the superblock (the second page of
// a real card's cluster 0 holds bytes its code does not cover).
void Ps2CardImage::ScanEcc(std::uint32_t firstPage, std::uint32_t count) {
  if (geo_.form != Form::WithEcc) return;
  std::array<std::uint8_t, kPageSize> data;
  std::array<std::uint8_t, kEccBytes> codes;
  for (std::uint32_t page = firstPage; page < firstPage + count && page < geo_.pages; ++page) {
    const std::uint8_t* raw = image_.data() + std::size_t{page} * geo_.rawPageSize;
    const std::uint8_t* spare = raw + kPageSize;
    if (known_ && known_->Matches(page)) continue;
    std::span<const std::uint8_t, kPageSize> stored(raw, kPageSize);
    ComputePageEcc(stored, codes);
    if (std::memcmp(codes.data(), spare, kEccBytes) == 0) continue;
    // Erased flash reads as 0xFF throughout, spare bytes included.
    if (IsErased(raw, geo_.rawPageSize)) continue;
    std::memcpy(data.data(), raw, kPageSize);
    std::memcpy(codes.data(), spare, kEccBytes);
    EccResult r = CheckPageEcc(data, codes);
    if (r == EccResult::Uncorrectable) {
      eccFaults_.push_back({FaultKind::EccUncorrectable, page, ""});
      continue;
    }
    eccFaults_.push_back({FaultKind::EccCorrected, page, ""});
    if (std::memcmp(data.data(), raw, kPageSize) != 0)
      corrected_[page] = std::vector<std::uint8_t>(data.begin(), data.end());
  }
}

void Ps2CardImage::ScanCluster(std::uint32_t cluster) {
  if (scanned_[cluster]) return;
  scanned_[cluster] = true;
  ScanEcc(cluster * geo_.sb.pagesPerCluster, geo_.sb.pagesPerCluster);
}

void Ps2CardImage::LoadFat() {
  const Superblock& sb = geo_.sb;
  std::size_t fatClusterCount = (sb.allocEnd + kFatEntriesPerCluster - 1) / kFatEntriesPerCluster;
  fatClusters_.assign(fatClusterCount, kUnreadable);
  fat_.assign(sb.allocEnd, kFatChainEnd);
  std::array<std::uint8_t, kClusterSize> buf;
  std::uint32_t loadedIndirect = kUnreadable;
  for (std::size_t k = 0; k < fatClusterCount; ++k) {
    std::uint32_t indirect = sb.indirect[k / kFatEntriesPerCluster];
    if (indirect >= sb.clustersPerCard) {
      faults_.push_back({FaultKind::FatUnreadable, indirect, ""});
      continue;
    }
    if (indirect != loadedIndirect) {
      ScanCluster(indirect);
      ReadCluster(indirect, buf);
      loadedIndirect = indirect;
    }
    fatClusters_[k] = platform::GetU32LE(buf.data() + (k % kFatEntriesPerCluster) * 4);
  }
  for (std::size_t k = 0; k < fatClusterCount; ++k) {
    std::uint32_t c = fatClusters_[k];
    if (c == kUnreadable) continue;
    if (c >= sb.clustersPerCard) {
      faults_.push_back({FaultKind::FatUnreadable, c, ""});
      fatClusters_[k] = kUnreadable;
      continue;
    }
    ScanCluster(c);
    ReadCluster(c, buf);
    std::size_t base = k * kFatEntriesPerCluster;
    std::size_t n = std::min(kFatEntriesPerCluster, fat_.size() - base);
    for (std::size_t i = 0; i < n; ++i) fat_[base + i] = platform::GetU32LE(buf.data() + i * 4);
  }
  // FAT faults stay first in the list; the tree is read again after every change.
  eccFaults_.insert(eccFaults_.end(), faults_.begin(), faults_.end());
  faults_.clear();
}

const Ps2Save* Ps2CardImage::FindSave(std::string_view name) const {
  for (const Ps2Save& s : saves_)
    if (s.name == name) return &s;
  return nullptr;
}

std::vector<std::uint8_t> Ps2CardImage::ReadFile(const Ps2File& file) const {
  std::vector<std::uint8_t> out;
  AppendFile(file, out);
  return out;
}

void Ps2CardImage::AppendFile(const Ps2File& file, std::vector<std::uint8_t>& out) const {
  std::uint64_t held = std::uint64_t{file.clusters.size()} * kClusterSize;
  auto left = static_cast<std::size_t>(std::min<std::uint64_t>(file.size, held));
  out.reserve(out.size() + left);
  // Page by page straight from the image (or its corrections): a file is
  // copied once, and nothing is zeroed first.
  for (std::uint32_t cluster : file.clusters) {
    std::uint32_t first = (geo_.sb.allocOffset + cluster) * geo_.sb.pagesPerCluster;
    for (std::uint32_t i = 0; i < geo_.sb.pagesPerCluster && left > 0; ++i) {
      std::size_t n = std::min(kPageSize, left);
      const std::uint8_t* page = PageData(first + i);
      out.insert(out.end(), page, page + n);
      left -= n;
    }
    if (left == 0) break;
  }
}

bool Ps2CardImage::Allocatable(std::uint32_t cluster) const {
  if ((fat_[cluster] & kFatAllocated) || owner_[cluster] != 0) return false;
  // A link written into a FAT cluster that cannot be read would be lost.
  if (fatClusters_[cluster / kFatEntriesPerCluster] == kUnreadable) return false;
  const Superblock& sb = geo_.sb;
  std::uint64_t absolute = std::uint64_t{sb.allocOffset} + cluster;
  std::uint64_t block = absolute * sb.pagesPerCluster / sb.pagesPerBlock;
  // The console keeps its two backup blocks at the end; a card that names
  // them elsewhere gets the FAT's own bound only.
  std::uint64_t backup = std::min(sb.backupBlock1, sb.backupBlock2);
  if (backup * sb.pagesPerBlock / sb.pagesPerCluster > sb.allocOffset && block >= backup)
    return false;
  return std::find(sb.badBlocks.begin(), sb.badBlocks.end(), block) == sb.badBlocks.end();
}

std::uint64_t Ps2CardImage::FreeBytes() const {
  std::uint64_t free = 0;
  for (std::uint32_t c = 0; c < fat_.size(); ++c) free += Allocatable(c);
  return free * kClusterSize;
}

void Ps2CardImage::WritePage(std::uint32_t page, std::size_t offset,
                             std::span<const std::uint8_t> bytes) {
  std::array<std::uint8_t, kPageSize> data;
  std::memcpy(data.data(), PageData(page), kPageSize);
  std::memcpy(data.data() + offset, bytes.data(), bytes.size());
  std::uint8_t* raw = image_.data() + std::size_t{page} * geo_.rawPageSize;
  bool repaired = corrected_.erase(page) != 0;
  if (!repaired && std::memcmp(raw, data.data(), kPageSize) == 0) return;
  if (logging_ && !changeLog_.contains(page))
    changeLog_.emplace(page, std::vector<std::uint8_t>(raw, raw + geo_.rawPageSize));
  std::memcpy(raw, data.data(), kPageSize);
  std::erase_if(eccFaults_, [page](const Fault& f) {
    return (f.kind == FaultKind::EccCorrected || f.kind == FaultKind::EccUncorrectable) &&
           f.where == page;
  });
  if (geo_.form == Form::WithEcc)
    ComputePageEcc(data, std::span<std::uint8_t, kEccBytes>(raw + kPageSize, kEccBytes));
}

void Ps2CardImage::WriteCluster(std::uint32_t relative,
                                std::span<const std::uint8_t, kClusterSize> data) {
  std::uint32_t first = (geo_.sb.allocOffset + relative) * geo_.sb.pagesPerCluster;
  for (std::uint32_t i = 0; i < geo_.sb.pagesPerCluster; ++i)
    WritePage(first + i, 0, data.subspan(i * kPageSize, kPageSize));
}

void Ps2CardImage::SetFat(std::uint32_t index, std::uint32_t value) {
  fat_[index] = value;
  std::uint32_t cluster = fatClusters_[index / kFatEntriesPerCluster];
  if (cluster == kUnreadable) return;
  std::size_t offset = (index % kFatEntriesPerCluster) * 4;
  std::array<std::uint8_t, 4> bytes;
  platform::PutU32LE(bytes.data(), value);
  WritePage(cluster * geo_.sb.pagesPerCluster + static_cast<std::uint32_t>(offset / kPageSize),
            offset % kPageSize, bytes);
}

}  // namespace slk::ps2
