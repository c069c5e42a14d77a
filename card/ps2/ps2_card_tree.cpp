// Reading the directory tree: every chain is walked once, each cluster is
// claimed by the first chain that reaches it, so that loops, cross links and
// lying lengths end a walk instead of repeating it. The work is bounded by
// the number of clusters whatever the card holds.

#include <algorithm>
#include <array>

#include "card/ps2/ps2_card_image.h"

namespace slk::ps2 {
namespace {

constexpr int kMaxDepth = 16;  // subfolders inside a save; real saves use one level

std::uint32_t ClustersFor(std::uint64_t bytes) {
  return static_cast<std::uint32_t>((bytes + kClusterSize - 1) / kClusterSize);
}

}  // namespace

class TreeReader {
 public:
  explicit TreeReader(Ps2CardImage& card) : card_(card) {}

  void Run() {
    const Superblock& sb = card_.geo_.sb;
    card_.owner_.assign(sb.allocEnd, 0);
    card_.shared_.assign(sb.allocEnd, false);
    card_.saves_.clear();
    card_.faults_ = card_.eccFaults_;
    ReadRoot();
    CountLostClusters();
  }

 private:
  struct Walked {
    std::vector<std::uint32_t> clusters;  // every cluster of the chain, shared ones included
    std::vector<std::uint32_t> own;       // those this chain claimed first
  };

  void AddFault(FaultKind kind, std::uint32_t where, const std::string& name) {
    card_.faults_.push_back({kind, where, name});
  }

  Walked Walk(std::uint32_t first, std::uint32_t needed, const std::string& name) {
    Walked w;
    std::uint32_t id = ++lastId_;
    std::uint32_t c = first;
    const auto& fat = card_.fat_;
    while (true) {
      if (c >= fat.size()) {
        AddFault(FaultKind::ChainOutOfRange, c, name);
        break;
      }
      if (card_.owner_[c] == id) {
        AddFault(FaultKind::ChainLoop, c, name);
        break;
      }
      if (card_.owner_[c] != 0) {
        AddFault(FaultKind::CrossLinked, c, name);
        card_.shared_[c] = true;
        w.clusters.push_back(c);
        break;
      }
      card_.owner_[c] = id;
      w.clusters.push_back(c);
      w.own.push_back(c);
      std::uint32_t next = fat[c];
      if (next == kFatChainEnd) break;
      if (!(next & kFatAllocated)) {
        AddFault(FaultKind::ChainIntoFree, c, name);
        break;
      }
      c = next & kFatNextMask;
    }
    if (w.clusters.size() < needed) AddFault(FaultKind::ChainTooShort, first, name);
    if (w.clusters.size() > needed) AddFault(FaultKind::ChainTooLong, first, name);
    return w;
  }

  // The entries of a directory, read only from clusters its own chain
  // claimed, so that no directory is read twice.
  std::vector<DirEntry> ReadEntries(const std::vector<std::uint32_t>& own, std::uint32_t length,
                                    const std::string& name) {
    std::vector<DirEntry> entries;
    std::uint64_t capacity = std::uint64_t{own.size()} * kEntriesPerCluster;
    if (length > capacity || length < 2) AddFault(FaultKind::BadDirectory, 0, name);
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(length, capacity));
    entries.reserve(n);
    std::array<std::uint8_t, kClusterSize> buf;
    for (std::size_t i = 0; i < n; ++i) {
      if (i % kEntriesPerCluster == 0)
        card_.ReadCluster(card_.geo_.sb.allocOffset + own[i / kEntriesPerCluster], buf);
      std::span<const std::uint8_t, kEntrySize> raw(
          buf.data() + (i % kEntriesPerCluster) * kEntrySize, kEntrySize);
      entries.push_back(ParseEntry(raw));
    }
    if (entries.size() >= 2 && (entries[0].name != "." || entries[1].name != ".."))
      AddFault(FaultKind::BadDirectory, 0, name);
    return entries;
  }

  void ReadRoot() {
    const Superblock& sb = card_.geo_.sb;
    // The root's length is in its own "." entry, so its first cluster is read first.
    std::uint32_t length = 0;
    if (sb.rootCluster < card_.fat_.size()) {
      std::array<std::uint8_t, kClusterSize> buf;
      card_.ReadCluster(sb.allocOffset + sb.rootCluster, buf);
      length = ParseEntry(std::span<const std::uint8_t, kEntrySize>(buf.data(), kEntrySize)).length;
    }
    Walked root = Walk(sb.rootCluster, ClustersFor(std::uint64_t{length} * kEntrySize), "/");
    card_.rootClusters_ = root.own;
    std::vector<DirEntry> entries = ReadEntries(root.own, length, "/");
    card_.rootLength_ = static_cast<std::uint32_t>(entries.size());
    for (std::uint32_t i = 2; i < entries.size(); ++i) {
      const DirEntry& e = entries[i];
      if (!e.Exists()) continue;
      if (e.IsDirectory()) {
        ReadSave(e, i);
      } else if (e.length > 0) {
        Walk(e.cluster, ClustersFor(e.length), e.name);
      }
    }
  }

  void ReadSave(const DirEntry& dir, std::uint32_t rootIndex) {
    std::size_t faultsBefore = card_.faults_.size();
    Ps2Save save;
    save.name = dir.name;
    save.mode = dir.mode;
    save.created = CardTimeToLocal(dir.created);
    save.modified = CardTimeToLocal(dir.modified);
    save.attributes = dir.attributes;
    save.hidden = (dir.mode & kModeHidden) != 0;
    save.rootIndex = rootIndex;
    save.firstChain = lastId_ + 1;
    Walked chain = Walk(dir.cluster, ClustersFor(std::uint64_t{dir.length} * kEntrySize), dir.name);
    std::vector<DirEntry> entries = ReadEntries(chain.own, dir.length, dir.name);
    for (std::size_t j = 2; j < entries.size(); ++j) {
      const DirEntry& e = entries[j];
      if (!e.Exists()) continue;
      Ps2File f;
      f.name = e.name;
      f.mode = e.mode;
      f.size = e.length;
      f.created = CardTimeToLocal(e.created);
      f.modified = CardTimeToLocal(e.modified);
      f.attributes = e.attributes;
      std::string path = dir.name + "/" + e.name;
      if (e.IsDirectory()) {
        f.isDirectory = true;
        save.hasSubfolders = true;
        ReadSubfolder(e, path, 1);
      } else if (e.length > 0) {
        std::size_t before = card_.faults_.size();
        f.clusters = Walk(e.cluster, ClustersFor(e.length), path).clusters;
        f.damaged = HasDamage(
            {card_.faults_.begin() + static_cast<std::ptrdiff_t>(before), card_.faults_.end()});
      }
      save.files.push_back(std::move(f));
    }
    save.lastChain = lastId_;
    save.damaged = HasDamage(
        {card_.faults_.begin() + static_cast<std::ptrdiff_t>(faultsBefore), card_.faults_.end()});
    card_.saves_.push_back(std::move(save));
  }

  // Subfolders are not listed; their chains are walked so that their
  // clusters count as used and their faults are found.
  void ReadSubfolder(const DirEntry& dir, const std::string& path, int depth) {
    if (depth > kMaxDepth) {
      AddFault(FaultKind::BadDirectory, 0, path);
      return;
    }
    Walked chain = Walk(dir.cluster, ClustersFor(std::uint64_t{dir.length} * kEntrySize), path);
    std::vector<DirEntry> entries = ReadEntries(chain.own, dir.length, path);
    for (std::size_t j = 2; j < entries.size(); ++j) {
      const DirEntry& e = entries[j];
      if (!e.Exists()) continue;
      if (e.IsDirectory())
        ReadSubfolder(e, path + "/" + e.name, depth + 1);
      else if (e.length > 0)
        Walk(e.cluster, ClustersFor(e.length), path + "/" + e.name);
    }
  }

  void CountLostClusters() {
    std::uint32_t lost = 0;
    for (std::size_t i = 0; i < card_.fat_.size(); ++i) {
      bool readable = card_.fatClusters_[i / kFatEntriesPerCluster] != 0xFFFFFFFFu;
      if (readable && (card_.fat_[i] & kFatAllocated) && card_.owner_[i] == 0) ++lost;
    }
    if (lost > 0) AddFault(FaultKind::LostClusters, lost, "");
  }

  Ps2CardImage& card_;
  std::uint32_t lastId_ = 0;
};

void Ps2CardImage::ReadTree() {
  TreeReader(*this).Run();
}

}  // namespace slk::ps2
