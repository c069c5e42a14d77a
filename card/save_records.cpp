#include "card/save_records.h"

#include <algorithm>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "card/ps1_card.h"
#include "card/refusal.h"
#include "platform/sjis.h"

namespace slk {
namespace {

constexpr std::size_t kTimeBytes = 8;
constexpr std::size_t kNameBytes = 64;
constexpr std::uint64_t kSlotLimit = std::numeric_limits<std::uint32_t>::max();

// Whatever a failed read held back never reaches the slot.
class HeldBytesGuard {
 public:
  explicit HeldBytesGuard(Workspace& ws) : ws_(ws) {}
  HeldBytesGuard(const HeldBytesGuard&) = delete;
  HeldBytesGuard& operator=(const HeldBytesGuard&) = delete;
  ~HeldBytesGuard() { ws_.DropHeldBytes(); }

 private:
  Workspace& ws_;
};

bool CopyFiles(Workspace& ws, Slot s, platform::File& image, SaveEntry& entry,
               const FileRecordLayout& layout, IconSysSpot& iconSys) {
  HeldBytesGuard guard(ws);
  std::vector<std::uint8_t> record(layout.recordBytes);
  std::uint64_t running = 0;
  for (std::uint32_t j = 0; j + 2 < entry.entryCount; ++j) {
    if (!ReadOrRefuse(ws, image, record.data(), record.size())) return false;
    SaveFileEntry file = layout.parse(record);
    std::uint64_t at = entry.offset + running;
    if (file.size > image.Remaining())
      return RefuseShort(ws, image, image.Position() + std::uint64_t{file.size});
    if (file.size > kSlotLimit - at)
      return RefuseField(ws, platform::Reason::TooLarge, "the slot", at + file.size, kSlotLimit);
    if (!ws.CopyIntoSlotHeld(image, s, file.size, layout.alignment)) return false;
    // The last file of that name counts.
    if (!entry.IsPS1() && IsIconSysName(file.name))
      iconSys = IconSysSpot{true, static_cast<std::uint32_t>(at), file.size};
    running += file.size;
    entry.files.push_back(file);
  }
  entry.size = static_cast<std::uint32_t>(running);
  return ws.FlushHeldBytes(s);
}

}  // namespace

TimeStamp TimeAt(Bytes record, std::size_t offset) {
  TimeStamp time;
  if (offset <= record.size() && kTimeBytes <= record.size() - offset)
    std::copy_n(record.begin() + static_cast<std::ptrdiff_t>(offset), kTimeBytes,
                time.bytes.begin());
  return time;
}

Name64 NameAt(Bytes record, std::size_t offset) {
  Name64 name{};
  if (offset <= record.size() && kNameBytes <= record.size() - offset)
    std::copy_n(record.begin() + static_cast<std::ptrdiff_t>(offset), kNameBytes, name.begin());
  return name;
}

void PutTime(std::uint8_t* at, const TimeStamp& time) {
  std::copy(time.bytes.begin(), time.bytes.end(), at);
}

void PutName(std::uint8_t* at, const Name64& name) {
  std::copy(name.begin(), name.end(), at);
}

void PutCardFileName(std::uint8_t* at, const Name64& name) {
  Name64 kept = CardFileName(name);
  std::copy_n(kept.begin(), PS1Frame::kNameBytes, at);
}

bool IsIconSysName(const Name64& name) {
  return NamesEqual(name, AsBytes("icon.sys"));
}

std::string NameText(const Name64& name) {
  return platform::ShiftJisToUtf8(Bytes(name.data(), BoundedLength(name)));
}

bool IsWholePS1Card(Bytes head, std::uint64_t fileSize) {
  return fileSize == kCardSize && head.size() >= 2 && head[0] == 'M' && head[1] == 'C';
}

void FillPS1Entry(SaveEntry& entry, const Name64& name, std::uint32_t size, const TimeStamp& now) {
  entry.mode = kModePS1Directory;
  entry.entryCount = 3;
  entry.time = now;
  entry.name = name;
  entry.files = {SaveFileEntry{kModePS1File, size, now, name}};
  entry.size = size;
}

bool IsWholeBlockPS1Save(const SaveEntry& entry) {
  if (!entry.IsPS1() || entry.files.size() != 1) return false;
  std::uint32_t size = entry.files.front().size;
  return size >= kBlockSize && size % kBlockSize == 0 && size == entry.size;
}

bool FinishPS1Save(Workspace& ws, Slot s, SaveEntry& entry) {
  if (!ws.ReadPS1Title(s, entry.offset, entry)) return false;
  ws.ResolveIcons(s, entry);
  return true;
}

bool FinishPS2Save(Workspace& ws, Slot s, SaveEntry& entry, const IconSysSpot& iconSys) {
  if (iconSys.found) {
    if (!ws.ReadIconSys(s, iconSys.offset, iconSys.size, entry)) return false;
    ws.ResolveIcons(s, entry);
    return true;
  }
  // No icon.sys names no icons: nothing may match by chance, not even a file
  // with an empty name, so the standard icon is set here rather than resolved.
  Workspace::ApplyMissingIconSys(entry);
  for (Name64& name : ws.IconNames()) name.fill(0);
  entry.iconOffsets = {};
  entry.iconSizes = {};
  entry.useStandardIcon = 1;
  return true;
}

bool ReadSaveFiles(Workspace& ws, Slot s, platform::File& image, SaveEntry& entry,
                   const FileRecordLayout& layout) {
  if (entry.entryCount < 2)
    return RefuseField(ws, platform::Reason::BadField,
                       "entry count " + std::to_string(entry.entryCount) + " of a save");
  std::uint32_t fileCount = entry.entryCount - 2;
  if (fileCount > image.Remaining() / layout.recordBytes)
    return RefuseShort(ws, image, image.Position() + std::uint64_t{fileCount} * layout.recordBytes);
  try {
    entry.files.reserve(fileCount);
  } catch (const std::bad_alloc&) {
    return false;
  }
  IconSysSpot iconSys;
  if (!ws.At(s).dataFile.Seek(entry.offset) || !CopyFiles(ws, s, image, entry, layout, iconSys))
    return false;
  if (entry.IsPS1()) {
    if (!IsWholeBlockPS1Save(entry))
      return RefuseField(ws, platform::Reason::BadField,
                         "files of a PS1 save (one of whole blocks)");
    return FinishPS1Save(ws, s, entry);
  }
  return FinishPS2Save(ws, s, entry, iconSys);
}

}  // namespace slk
