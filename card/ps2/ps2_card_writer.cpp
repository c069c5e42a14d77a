// Changing a card in place: deleting a save frees its clusters and clears
// its root entry; adding one takes the lowest free clusters, as the PS2's
// own allocator does, and writes the directory, the files and the root
// entry. Only the pages that change are rewritten.

#include <algorithm>
#include <array>
#include <cstring>

#include "card/ps2/ps2_card_image.h"
#include "platform/bytes.h"

namespace slk::ps2 {
namespace {

std::uint32_t ClustersFor(std::uint64_t bytes) {
  return static_cast<std::uint32_t>((bytes + kClusterSize - 1) / kClusterSize);
}

bool ValidName(const std::string& name) {
  return !name.empty() && name.size() <= kNameSize && name != "." && name != ".." &&
         name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

}  // namespace

bool Ps2CardImage::RootDamaged() const {
  if (rootClusters_.empty()) return true;
  return std::any_of(faults_.begin(), faults_.end(),
                     [](const Fault& f) { return f.name == "/" && IsDamage(f.kind); });
}

std::vector<DirEntry> Ps2CardImage::RootEntries() const {
  std::vector<DirEntry> entries;
  std::array<std::uint8_t, kClusterSize> buf;
  for (std::uint32_t i = 0; i < rootLength_; ++i) {
    if (i % kEntriesPerCluster == 0)
      ReadCluster(geo_.sb.allocOffset + rootClusters_[i / kEntriesPerCluster], buf);
    entries.push_back(ParseEntry(std::span<const std::uint8_t, kEntrySize>(
        buf.data() + (i % kEntriesPerCluster) * kEntrySize, kEntrySize)));
  }
  return entries;
}

bool Ps2CardImage::DeleteSave(std::string_view name) {
  const Ps2Save* save = FindSave(name);
  if (save == nullptr) return false;
  for (std::uint32_t c = 0; c < owner_.size(); ++c) {
    // A cluster another chain also claims stays allocated for that chain.
    if (owner_[c] >= save->firstChain && owner_[c] <= save->lastChain && !shared_[c])
      SetFat(c, kFatFree);
  }
  std::uint32_t index = save->rootIndex;
  std::uint32_t page =
      (geo_.sb.allocOffset + rootClusters_[index / kEntriesPerCluster]) * geo_.sb.pagesPerCluster +
      index % kEntriesPerCluster;
  std::array<std::uint8_t, 2> mode;
  platform::PutU16LE(mode.data(),
                     static_cast<std::uint16_t>(platform::GetU16LE(PageData(page)) & ~kModeExists));
  WritePage(page, kEntryModeOffset, mode);
  ReadTree();
  return true;
}

AddOutcome Ps2CardImage::AddSave(const NewSave& save) {
  AddOutcome out;
  out.freeBytes = FreeBytes();
  if (!ValidName(save.name)) return {AddResult::BadName, 0, out.freeBytes};
  for (const NewFile& f : save.files)
    if (!ValidName(f.name)) return {AddResult::BadName, 0, out.freeBytes};
  if (FindSave(save.name) != nullptr) return {AddResult::NameExists, 0, out.freeBytes};
  if (RootDamaged()) return {AddResult::RootUnreadable, 0, out.freeBytes};

  std::vector<DirEntry> root = RootEntries();
  std::uint32_t slot = 2;
  while (slot < root.size() && root[slot].Exists()) ++slot;
  bool growRoot = slot == rootClusters_.size() * kEntriesPerCluster;

  std::uint32_t entryCount = static_cast<std::uint32_t>(save.files.size()) + 2;
  std::uint32_t dirClusters = ClustersFor(std::uint64_t{entryCount} * kEntrySize);
  std::uint64_t needed = dirClusters + (growRoot ? 1 : 0);
  for (const NewFile& f : save.files) needed += ClustersFor(f.bytes.size());
  out.neededBytes = needed * kClusterSize;
  if (out.neededBytes > out.freeBytes) return {AddResult::NoSpace, out.neededBytes, out.freeBytes};

  std::vector<std::uint32_t> free;
  for (std::uint32_t c = 0; c < fat_.size() && free.size() < needed; ++c)
    if (!(fat_[c] & kFatAllocated) && owner_[c] == 0) free.push_back(c);
  std::size_t next = 0;
  auto allocate = [&](std::uint32_t count) {
    std::vector<std::uint32_t> chain(free.begin() + static_cast<std::ptrdiff_t>(next),
                                     free.begin() + static_cast<std::ptrdiff_t>(next + count));
    next += count;
    for (std::size_t i = 0; i < chain.size(); ++i)
      SetFat(chain[i], i + 1 < chain.size() ? (chain[i + 1] | kFatAllocated) : kFatChainEnd);
    return chain;
  };

  CardTime rootCreated = root[0].created;
  CardTime created = LocalToCardTime(save.created);
  std::array<std::uint8_t, kClusterSize> buf{};
  if (growRoot) {
    std::uint32_t added = allocate(1)[0];
    SetFat(rootClusters_.back(), added | kFatAllocated);
    WriteCluster(added, buf);
    rootClusters_.push_back(added);
  }
  std::vector<std::uint32_t> dirChain = allocate(dirClusters);

  std::vector<std::uint8_t> dir(std::size_t{dirClusters} * kClusterSize, 0);
  auto entryAt = [&](std::size_t i) {
    return std::span<std::uint8_t, kEntrySize>(dir.data() + i * kEntrySize, kEntrySize);
  };
  StoreEntry({kModeDotDir, 0, created, geo_.sb.rootCluster, slot, created, 0, "."}, entryAt(0));
  StoreEntry({kModeDotDir, 0, rootCreated, 0, 0, rootCreated, 0, ".."}, entryAt(1));
  for (std::size_t j = 0; j < save.files.size(); ++j) {
    const NewFile& f = save.files[j];
    std::uint32_t count = ClustersFor(f.bytes.size());
    std::vector<std::uint32_t> chain = allocate(count);
    for (std::uint32_t k = 0; k < count; ++k) {
      buf.fill(0);
      std::size_t n = std::min(kClusterSize, f.bytes.size() - std::size_t{k} * kClusterSize);
      std::memcpy(buf.data(), f.bytes.data() + std::size_t{k} * kClusterSize, n);
      WriteCluster(chain[k], buf);
    }
    SaveMode mode = static_cast<SaveMode>((f.mode | kModeExists | kModeFile) & ~kModeDirectory);
    StoreEntry({mode, static_cast<std::uint32_t>(f.bytes.size()), LocalToCardTime(f.created),
                chain.empty() ? kFatChainEnd : chain[0], 0, LocalToCardTime(f.modified), 0, f.name},
               entryAt(j + 2));
  }
  for (std::uint32_t k = 0; k < dirClusters; ++k)
    WriteCluster(dirChain[k], std::span<const std::uint8_t, kClusterSize>(
                                  dir.data() + std::size_t{k} * kClusterSize, kClusterSize));

  std::uint32_t rootPage =
      (geo_.sb.allocOffset + rootClusters_[slot / kEntriesPerCluster]) * geo_.sb.pagesPerCluster +
      slot % kEntriesPerCluster;
  std::array<std::uint8_t, kEntrySize> entry;
  SaveMode mode = static_cast<SaveMode>((save.mode | kModeExists | kModeDirectory) & ~kModeFile);
  StoreEntry(
      {mode, entryCount, created, dirChain[0], 0, LocalToCardTime(save.modified), 0, save.name},
      entry);
  WritePage(rootPage, 0, entry);
  if (slot >= root.size()) {
    std::array<std::uint8_t, 4> length;
    platform::PutU32LE(length.data(), slot + 1);
    WritePage((geo_.sb.allocOffset + rootClusters_[0]) * geo_.sb.pagesPerCluster,
              kEntryLengthOffset, length);
  }
  ReadTree();
  return out;
}

}  // namespace slk::ps2
