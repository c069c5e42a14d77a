#pragma once
// A PS2 memory card image held in memory: the 8 MB (or 16, 32, 64 MB) cards
// of the PS2 emulator (.ps2), SD-card adapters (.mc2), the game loader's
// virtual cards (.vmc) and raw dumps, with or without the ECC spare bytes.
//
// Opening reads the whole tree and never fails on damage: what can be read
// is listed, every fault found is kept for Check(), and the card is marked
// damaged. Changes are made in place on the image bytes, so everything they
// do not touch stays byte for byte; changed pages get fresh ECC.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "card/ps2/ps2_faults.h"
#include "card/ps2/ps2_layout.h"
#include "card/save_entry.h"
#include "platform/problem.h"

namespace slk::ps2 {

struct Ps2File {
  std::string name;
  SaveMode mode = 0;
  std::uint32_t size = 0;  // as the entry claims it
  TimeStamp created;       // local time
  TimeStamp modified;
  std::uint32_t attributes = 0;
  bool isDirectory = false;             // a subfolder: listed, not carried by the save model
  bool damaged = false;                 // its chain holds fewer bytes than its size
  std::vector<std::uint32_t> clusters;  // data clusters, relative to the allocatable area
};

struct Ps2Save {
  std::string name;
  SaveMode mode = 0;
  TimeStamp created;
  TimeStamp modified;
  std::uint32_t attributes = 0;
  bool hidden = false;         // a system folder such as BEDATA-SYSTEM
  bool hasSubfolders = false;  // cannot be carried by the save model as it stands
  bool damaged = false;
  std::uint32_t rootIndex = 0;  // its entry in the root directory
  std::vector<Ps2File> files;   // in stored order, subfolders included
  // The chains read for it (its directory, files and subfolders), numbered
  // in reading order; deleting frees the clusters they claimed.
  std::uint32_t firstChain = 0;
  std::uint32_t lastChain = 0;
};

// A save to add: files in the order they are to be stored.
struct NewFile {
  std::string name;
  SaveMode mode = 0x8497;
  TimeStamp created;
  TimeStamp modified;
  std::span<const std::uint8_t> bytes;
};
struct NewSave {
  std::string name;
  SaveMode mode = 0x8427;
  TimeStamp created;
  TimeStamp modified;
  std::vector<NewFile> files;
};

enum class RenameResult {
  Renamed,
  NoSuchSave,
  BadName,     // as AddResult::BadName
  NameExists,  // another save of the card, listed or not, has that name
};

// The raw bytes (data and spare) of pages, by page number: what a change
// overwrote, so that it can be put back.
using RawPages = std::map<std::uint32_t, std::vector<std::uint8_t>>;

enum class AddResult {
  Added,
  NameExists,      // a save of that name is on the card
  BadName,         // empty, longer than 32 bytes, "." or "..", or holding '/'
  NoSpace,         // neededBytes > freeBytes
  RootUnreadable,  // the root directory is damaged; nothing is written
};

struct AddOutcome {
  AddResult result = AddResult::Added;
  std::uint64_t neededBytes = 0;  // clusters the save needs, in bytes
  std::uint64_t freeBytes = 0;
};

// Which pages of a card image with spare bytes hold codes that match their
// data, found while the image is read piece by piece: each piece is checked
// while it is still in the processor's cache. Checking the 16,384 pages of
// an 8 MB card afterwards, out of memory, took twice as long as the codes
// themselves. Open checks in full every page not found matching here.
class PagesWithMatchingCodes {
 public:
  // Pages with spare bytes in a piece of the size to read at a time (about
  // 128 KiB, what the plain copy reads).
  static constexpr std::size_t kPiecePages = 248;
  static constexpr std::size_t kPieceBytes = kPiecePages * (kPageSize + kSpareSize);

  // For an image of `imageSize` bytes; notes nothing when that is not a
  // whole number of pages with spare bytes.
  explicit PagesWithMatchingCodes(std::uint64_t imageSize);
  // The image's bytes from `offset` (a multiple of the raw page size), just
  // read. A page cut off at the end of `piece` is left unchecked.
  void Note(std::uint64_t offset, std::span<const std::uint8_t> piece);
  bool Matches(std::uint32_t page) const { return page < matches_.size() && matches_[page]; }

 private:
  std::vector<bool> matches_;
};

class Ps2CardImage {
 public:
  // Takes the whole file. Refuses (with the reason) what is not a PS2 card
  // image of a size it can hold; accepts a damaged one.
  // `known`, when given, names pages found matching while `bytes` were read:
  // their codes are not worked out again.
  static std::optional<Ps2CardImage> Open(std::vector<std::uint8_t> bytes, platform::Problem& why,
                                          const PagesWithMatchingCodes* known = nullptr);

  Form ImageForm() const { return geo_.form; }
  const std::vector<Ps2Save>& ListSaves() const { return saves_; }
  const Ps2Save* FindSave(std::string_view name) const;
  // A file's bytes as far as its chain holds them (at most its size).
  std::vector<std::uint8_t> ReadFile(const Ps2File& file) const;
  // The same bytes appended to `out`, whose room can be used again from one
  // file to the next.
  void AppendFile(const Ps2File& file, std::vector<std::uint8_t>& out) const;

  std::uint64_t FreeBytes() const;
  bool Damaged() const { return !faults_.empty() && HasDamage(faults_); }
  std::vector<Fault> Check() const { return faults_; }

  // Frees the save's clusters and clears its root entry. False when no save
  // has that name.
  bool DeleteSave(std::string_view name);
  // Writes the save's directory, files and root entry into free clusters.
  AddOutcome AddSave(const NewSave& save);
  // Gives the save's root entry another name; nothing else changes.
  RenameResult RenameSave(std::string_view from, const std::string& to);

  // From StartChangeLog on, every page a change writes keeps its earlier raw
  // bytes in the log (a copy of the card carries the log with it), until
  // TakeChangeLog hands them over and stops logging.
  void StartChangeLog();
  RawPages TakeChangeLog();
  std::size_t RawPageSize() const { return geo_.rawPageSize; }
  std::span<const std::uint8_t> RawPage(std::uint32_t page) const;
  // Puts raw page bytes back (pages outside the card are skipped) and reads
  // the card again from its bytes, as Open does.
  void RestoreRawPages(const RawPages& pages);

  const std::vector<std::uint8_t>& Serialize() const { return image_; }
  // The card's bytes in the other form: the spare bytes dropped (pages as
  // read, ECC corrections made), or added with fresh ECC. Erased pages stay
  // erased. The same bytes as Serialize() for the card's own form.
  std::vector<std::uint8_t> SerializeAs(Form form) const;

 private:
  Ps2CardImage() = default;
  // Everything Open finds from image_: ECC, FAT, tree and faults.
  void Load();

  // Pages and clusters, read through the ECC corrections made on opening.
  const std::uint8_t* PageData(std::uint32_t page) const;
  void ReadCluster(std::uint32_t absolute, std::span<std::uint8_t, kClusterSize> out) const;
  // Replaces bytes of a page and gives it fresh ECC; unchanged pages stay.
  void WritePage(std::uint32_t page, std::size_t offset, std::span<const std::uint8_t> bytes);
  void WriteCluster(std::uint32_t relative, std::span<const std::uint8_t, kClusterSize> data);
  void SetFat(std::uint32_t index, std::uint32_t value);
  // Free, reached by no chain, its FAT entry readable, before the backup
  // blocks and in no bad block.
  bool Allocatable(std::uint32_t cluster) const;

  void ScanEcc(std::uint32_t firstPage, std::uint32_t count);
  void ScanCluster(std::uint32_t cluster);
  void LoadFat();
  void ReadTree();  // saves_, owners and tree faults, from scratch
  bool RootDamaged() const;
  std::vector<DirEntry> RootEntries() const;
  std::uint32_t RootEntryPage(std::uint32_t index) const;
  // Links `count` clusters from the front of `free` into a chain.
  std::vector<std::uint32_t> TakeClusters(std::vector<std::uint32_t>& free, std::uint32_t count);
  void WriteChain(const std::vector<std::uint32_t>& chain, std::span<const std::uint8_t> bytes);
  std::vector<std::uint8_t> SaveDirectory(const NewSave& save, std::uint32_t slot,
                                          const CardTime& rootCreated,
                                          std::vector<std::uint32_t>& free);

  friend class TreeReader;

  std::vector<std::uint8_t> image_;
  Geometry geo_;
  std::map<std::uint32_t, std::vector<std::uint8_t>> corrected_;  // page -> repaired data
  std::vector<Fault> eccFaults_;            // and FAT faults: what the tree reading starts from
  std::vector<bool> scanned_;               // clusters whose pages had their ECC checked
  std::vector<std::uint32_t> fat_;          // allocEnd entries
  std::vector<std::uint32_t> fatClusters_;  // absolute cluster of each FAT cluster, 0 if unreadable
  std::vector<std::uint32_t> owner_;        // per data cluster: 0 none, else chain id
  std::vector<bool> shared_;                // claimed by more than one chain
  std::vector<Ps2Save> saves_;
  std::vector<Fault> faults_;  // ECC, FAT and directory faults together
  std::uint32_t rootLength_ = 0;
  std::vector<std::uint32_t> rootClusters_;
  bool logging_ = false;
  RawPages changeLog_;
  // Only while Open reads the card the first time: the bytes change later.
  const PagesWithMatchingCodes* known_ = nullptr;
};

}  // namespace slk::ps2
