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

std::size_t RoundUpToCluster(std::size_t bytes) {
  return std::size_t{ClustersFor(bytes)} * kClusterSize;
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
  std::uint32_t page = RootEntryPage(save->rootIndex);
  std::array<std::uint8_t, 2> mode;
  platform::PutU16LE(mode.data(),
                     static_cast<std::uint16_t>(platform::GetU16LE(PageData(page)) & ~kModeExists));
  WritePage(page, kEntryModeOffset, mode);
  ReadTree();
  return true;
}

RenameResult Ps2CardImage::RenameSave(std::string_view from, const std::string& to) {
  const Ps2Save* save = FindSave(from);
  if (save == nullptr) return RenameResult::NoSuchSave;
  if (!ValidName(to)) return RenameResult::BadName;
  if (FindSave(to) != nullptr) return RenameResult::NameExists;
  std::array<std::uint8_t, kNameSize> name{};
  std::copy(to.begin(), to.end(), name.begin());
  WritePage(RootEntryPage(save->rootIndex), kEntryNameOffset, name);
  ReadTree();
  return RenameResult::Renamed;
}

std::uint32_t Ps2CardImage::RootEntryPage(std::uint32_t index) const {
  static_assert(kEntrySize == kPageSize, "a directory entry fills one page");
  return (geo_.sb.allocOffset + rootClusters_[index / kEntriesPerCluster]) *
             geo_.sb.pagesPerCluster +
         index % kEntriesPerCluster;
}

std::vector<std::uint32_t> Ps2CardImage::TakeClusters(std::vector<std::uint32_t>& free,
                                                      std::uint32_t count) {
  std::vector<std::uint32_t> chain(free.begin(), free.begin() + count);
  free.erase(free.begin(), free.begin() + count);
  for (std::size_t i = 0; i < chain.size(); ++i)
    SetFat(chain[i], i + 1 < chain.size() ? (chain[i + 1] | kFatAllocated) : kFatChainEnd);
  return chain;
}

void Ps2CardImage::WriteChain(const std::vector<std::uint32_t>& chain,
                              std::span<const std::uint8_t> bytes) {
  std::array<std::uint8_t, kClusterSize> buf;
  for (std::size_t k = 0; k < chain.size(); ++k) {
    buf.fill(0);
    std::size_t at = k * kClusterSize;
    if (at < bytes.size())
      std::memcpy(buf.data(), bytes.data() + at, std::min(kClusterSize, bytes.size() - at));
    WriteCluster(chain[k], buf);
  }
}

AddOutcome Ps2CardImage::AddSave(const NewSave& save) {
  std::uint64_t freeBytes = FreeBytes();
  bool namesValid =
      ValidName(save.name) && std::all_of(save.files.begin(), save.files.end(),
                                          [](const NewFile& f) { return ValidName(f.name); });
  if (!namesValid) return {AddResult::BadName, 0, freeBytes};
  if (FindSave(save.name) != nullptr) return {AddResult::NameExists, 0, freeBytes};
  if (RootDamaged()) return {AddResult::RootUnreadable, 0, freeBytes};

  std::vector<DirEntry> root = RootEntries();
  std::uint32_t slot = 2;
  while (slot < root.size() && root[slot].Exists()) ++slot;
  bool growRoot = slot == rootClusters_.size() * kEntriesPerCluster;
  std::uint32_t entryCount = static_cast<std::uint32_t>(save.files.size()) + 2;
  std::uint32_t dirClusters = ClustersFor(std::uint64_t{entryCount} * kEntrySize);
  std::uint64_t needed = dirClusters + (growRoot ? 1 : 0);
  for (const NewFile& f : save.files) needed += ClustersFor(f.bytes.size());
  if (needed * kClusterSize > freeBytes)
    return {AddResult::NoSpace, needed * kClusterSize, freeBytes};

  std::vector<std::uint32_t> free;
  for (std::uint32_t c = 0; c < fat_.size() && free.size() < needed; ++c)
    if (Allocatable(c)) free.push_back(c);
  if (growRoot) {
    std::uint32_t added = TakeClusters(free, 1)[0];
    SetFat(rootClusters_.back(), added | kFatAllocated);
    WriteChain({added}, {});
    rootClusters_.push_back(added);
  }
  std::vector<std::uint32_t> dirChain = TakeClusters(free, dirClusters);
  WriteChain(dirChain, SaveDirectory(save, slot, root[0].created, free));

  CardTime created = LocalToCardTime(save.created);
  SaveMode mode = static_cast<SaveMode>((save.mode | kModeExists | kModeDirectory) & ~kModeFile);
  std::array<std::uint8_t, kEntrySize> entry;
  StoreEntry(
      {mode, entryCount, created, dirChain[0], 0, LocalToCardTime(save.modified), 0, save.name},
      entry);
  WritePage(RootEntryPage(slot), 0, entry);
  if (slot >= root.size()) {
    // The root keeps its length in its own "." entry.
    std::array<std::uint8_t, 4> length;
    platform::PutU32LE(length.data(), slot + 1);
    WritePage(RootEntryPage(0), kEntryLengthOffset, length);
  }
  ReadTree();
  return {AddResult::Added, needed * kClusterSize, freeBytes};
}

// Writes the files into clusters taken from `free` and gives the directory's
// bytes: ".", "..", one entry per file, zeros to the end of its clusters.
std::vector<std::uint8_t> Ps2CardImage::SaveDirectory(const NewSave& save, std::uint32_t slot,
                                                      const CardTime& rootCreated,
                                                      std::vector<std::uint32_t>& free) {
  std::size_t entries = save.files.size() + 2;
  std::vector<std::uint8_t> dir(RoundUpToCluster(entries * kEntrySize), 0);
  auto entryAt = [&](std::size_t i) {
    return std::span<std::uint8_t, kEntrySize>(dir.data() + i * kEntrySize, kEntrySize);
  };
  CardTime created = LocalToCardTime(save.created);
  // "." names the directory's place in its parent; ".." carries the root's time.
  StoreEntry({kModeDotDir, 0, created, geo_.sb.rootCluster, slot, created, 0, "."}, entryAt(0));
  StoreEntry({kModeDotDir, 0, rootCreated, 0, 0, rootCreated, 0, ".."}, entryAt(1));
  for (std::size_t j = 0; j < save.files.size(); ++j) {
    const NewFile& f = save.files[j];
    std::vector<std::uint32_t> chain = TakeClusters(free, ClustersFor(f.bytes.size()));
    WriteChain(chain, f.bytes);
    SaveMode mode = static_cast<SaveMode>((f.mode | kModeExists | kModeFile) & ~kModeDirectory);
    StoreEntry({mode, static_cast<std::uint32_t>(f.bytes.size()), LocalToCardTime(f.created),
                chain.empty() ? kFatChainEnd : chain[0], 0, LocalToCardTime(f.modified), 0, f.name},
               entryAt(j + 2));
  }
  return dir;
}

}  // namespace slk::ps2
