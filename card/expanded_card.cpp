#include "card/expanded_card.h"

#include <algorithm>
#include <array>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "card/refusal.h"
#include "card/save_records.h"
#include "card/utility.h"
#include "platform/bytes.h"

namespace slk {
namespace {

// File header, 16 bytes.
constexpr std::size_t kHeaderBytes = 16;
constexpr std::size_t kMagicOffset = 0x00;     // 4 bytes at 0x00: "EXMC"
constexpr std::size_t kCountOffset = 0x04;     // 4 bytes at 0x04: number of saves
constexpr std::size_t kVersionOffset = 0x08;   // 4 bytes at 0x08: format version
constexpr std::size_t kReservedOffset = 0x0C;  // 4 bytes at 0x0C: 0
constexpr std::uint32_t kVersion = 1;

// Save header, 16 bytes.
constexpr std::size_t kSaveHeaderBytes = 16;
constexpr std::size_t kSaveTagOffset = 0x00;    // 4 bytes at 0x00: "SVDT"
constexpr std::size_t kSaveCountOffset = 0x04;  // 4 bytes at 0x04: entry count (files + 2)
constexpr std::size_t kSaveKindOffset = 0x08;   // 4 bytes at 0x08: "PS1D" or "PS2D"
// 4 bytes at 0x0C: 0. The tags are never read back: a save's kind is its mode.

// Directory entry and file entry, one 80-byte layout.
constexpr std::size_t kEntryBytes = 80;
constexpr std::size_t kEntryMode = 0x00;   // 2 bytes at 0x00: SaveMode; 2 bytes at 0x02: 0
constexpr std::size_t kEntryCount = 0x04;  // 4 bytes at 0x04: entry count, or file size
constexpr std::size_t kEntryTime = 0x08;   // 8 bytes at 0x08: TimeStamp
constexpr std::size_t kEntryName = 0x10;   // 64 bytes at 0x10: name, NUL-padded

// Each file's bytes are padded to a multiple of this, counted from their start.
constexpr std::uint64_t kFileAlignment = 512;
// The least a save takes in the file: its save header and directory entry.
constexpr std::uint64_t kLeastSaveBytes = kSaveHeaderBytes + kEntryBytes;
// Saves reserved for before any is read.
constexpr std::size_t kFirstReserve = 256;

using EntryRecord = std::array<std::uint8_t, kEntryBytes>;

SaveFileEntry FileFromRecord(Bytes record) {
  return SaveFileEntry{platform::GetU16LE(&record[kEntryMode]),
                       platform::GetU32LE(&record[kEntryCount]), TimeAt(record, kEntryTime),
                       NameAt(record, kEntryName)};
}

EntryRecord RecordOf(SaveMode mode, std::uint32_t countOrSize, const TimeStamp& time,
                     const Name64& name) {
  EntryRecord record{};
  platform::PutU16LE(&record[kEntryMode], mode);
  platform::PutU32LE(&record[kEntryCount], countOrSize);
  PutTime(&record[kEntryTime], time);
  PutName(&record[kEntryName], name);
  return record;
}

constexpr FileRecordLayout kExpandedFiles{kEntryBytes, kFileAlignment, FileFromRecord};

// One save: save header, directory entry, files. Adds and lists an entry.
bool ReadSave(Workspace& ws, Slot s, platform::File& image) {
  std::array<std::uint8_t, kSaveHeaderBytes + kEntryBytes> head;
  if (!ReadOrRefuse(ws, image, head.data(), head.size())) return false;
  const std::uint8_t* directory = head.data() + kSaveHeaderBytes;
  std::uint32_t entryCount = platform::GetU32LE(directory + kEntryCount);
  if (entryCount < 2)  // no room for "." and ".."
    return RefuseField(ws, platform::Reason::BadField,
                       "entry count " + std::to_string(entryCount) + " of a save");
  if (!ws.AddEntry(s)) return false;
  SaveEntry& entry = ws.At(s).entries.back();
  Bytes record(directory, kEntryBytes);
  entry.mode = platform::GetU16LE(directory + kEntryMode);
  entry.entryCount = entryCount;
  entry.time = TimeAt(record, kEntryTime);
  entry.name = NameAt(record, kEntryName);

  if (!ReadSaveFiles(ws, s, image, entry, kExpandedFiles)) return false;
  ws.ListLastEntry(s);
  return true;
}

bool WriteSave(Workspace& ws, Slot s, const SaveEntry& e, platform::File& image) {
  // The count written is the one the file list really has, so that the file
  // always reads back whole.
  auto entryCount = static_cast<std::uint32_t>(e.files.size() + 2);
  std::array<std::uint8_t, kSaveHeaderBytes> header{};
  platform::PutU32LE(&header[kSaveTagOffset], PackMagic("SVDT"));
  platform::PutU32LE(&header[kSaveCountOffset], entryCount);
  platform::PutU32LE(&header[kSaveKindOffset], PackMagic(e.IsPS1() ? "PS1D" : "PS2D"));
  EntryRecord directory = RecordOf(e.mode, entryCount, e.time, e.name);
  if (!image.WriteExact(header.data(), header.size()) ||
      !image.WriteExact(directory.data(), directory.size()) || !ws.At(s).dataFile.Seek(e.offset))
    return false;
  for (const SaveFileEntry& file : e.files) {
    EntryRecord record = RecordOf(file.mode, file.size, file.time, file.name);
    if (!image.WriteExact(record.data(), record.size()) ||
        !ws.CopyOutOfSlot(image, s, file.size, kFileAlignment))
      return false;
  }
  return true;
}

// Room for the saves still to come, doubling with the saves really read: the
// count is only a claim (a few bytes of file can claim millions of saves
// whose records take far more memory than their bytes on disk), yet a long
// card must not reallocate its arrays for every save.
bool ReserveAhead(SlotData& slot, std::uint32_t toCome) {
  if (slot.entries.capacity() > slot.entries.size() && slot.rows.capacity() > slot.rows.size())
    return true;
  std::size_t more = std::min<std::size_t>(toCome, std::max(slot.entries.size(), kFirstReserve));
  try {
    slot.entries.reserve(slot.entries.size() + more);
    slot.rows.reserve(slot.rows.size() + more);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// The slot's data file gathers its writes while it lives.
class GatheredSlotWrites {
 public:
  explicit GatheredSlotWrites(platform::File& data) : data_(data) { data_.GatherWrites(); }
  GatheredSlotWrites(const GatheredSlotWrites&) = delete;
  GatheredSlotWrites& operator=(const GatheredSlotWrites&) = delete;
  ~GatheredSlotWrites() { data_.StopGathering(); }
  bool Stop() { return data_.StopGathering(); }

 private:
  platform::File& data_;
};

}  // namespace

std::uint32_t ReadExpandedCard(Workspace& ws, Slot s, platform::File& image) {
  // A file shorter than the header leaves zeros, so a short file that is not
  // an expanded card still gets the magic message.
  std::array<std::uint8_t, kHeaderBytes> header{};
  bool whole = image.ReadExact(header.data(), header.size());
  if (platform::GetU32LE(&header[kMagicOffset]) != PackMagic("EXMC")) {
    ws.Refuse(!whole && image.Size() < sizeof(std::uint32_t)
                  ? ProblemOf(platform::Reason::TooShort, {}, image.Size(), kHeaderBytes)
                  : ProblemOf(platform::Reason::BadMagic, "the header (\"EXMC\")"),
              MessageId::NotExpandedCard);
    return 0;
  }
  if (!whole) return RefuseShort(ws, image, kHeaderBytes);
  std::uint32_t version = platform::GetU32LE(&header[kVersionOffset]);
  if (version > kVersion) {
    ws.Refuse(ProblemOf(platform::Reason::BadField, "format version " + std::to_string(version)),
              MessageId::UnsupportedVersion);
    return 0;
  }
  std::uint32_t count = platform::GetU32LE(&header[kCountOffset]);
  if (count > image.Remaining() / kLeastSaveBytes)
    return RefuseShort(ws, image, kHeaderBytes + std::uint64_t{count} * kLeastSaveBytes);

  SlotRollback rollback(ws, s);
  SlotData& slot = ws.At(s);
  if (slot.readsInPlace && slot.entries.empty() && slot.dataFile.Size() == 0) {
    // Only read: the saves' bytes stay in the card (and when the descriptor
    // cannot be shared, they are copied as ever).
    if (platform::File view = image.PieceView(); view.IsOpen()) slot.dataFile = std::move(view);
  }
  // A save of a few KiB was a write into the slot of its own; gathered, many
  // go in one. Written out before the rollback, which may drop them.
  std::optional<GatheredSlotWrites> gathered;
  if (!slot.dataFile.IsPieceView()) gathered.emplace(slot.dataFile);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!ReserveAhead(ws.At(s), count - i) || !ReadSave(ws, s, image)) return 0;
  }
  if (gathered && !gathered->Stop()) return 0;
  rollback.Keep();
  return 1;
}

std::uint32_t WriteExpandedCard(Workspace& ws, Slot s, platform::File& image, bool single,
                                const SaveEntry* entry) {
  std::vector<const SaveEntry*> saves;
  if (single) {
    if (entry == nullptr) return 0;
    saves.push_back(entry);
  } else {
    for (std::uint32_t row = 0; row < ws.At(s).RowCount(); ++row)
      saves.push_back(&ws.At(s).AtRow(row));
  }
  std::array<std::uint8_t, kHeaderBytes> header{};
  platform::PutU32LE(&header[kMagicOffset], PackMagic("EXMC"));
  platform::PutU32LE(&header[kCountOffset], static_cast<std::uint32_t>(saves.size()));
  platform::PutU32LE(&header[kVersionOffset], kVersion);
  platform::PutU32LE(&header[kReservedOffset], 0);
  if (!image.WriteExact(header.data(), header.size())) return 0;
  for (const SaveEntry* e : saves) {
    if (!WriteSave(ws, s, *e, image)) return 0;
  }
  return image.Failed() ? 0 : 1;
}

}  // namespace slk
