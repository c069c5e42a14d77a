#include "card/save_folder_slot.h"

#include <sys/stat.h>

#include <algorithm>
#include <limits>

#include "card/card_image.h"
#include "card/formats/save_folder.h"
#include "card/ps2/ps2_layout.h"
#include "card/refusal.h"
#include "card/save_data_image.h"
#include "card/save_records.h"
#include "card/utility.h"

namespace slk {
namespace {

using formats::Ps2SaveData;
using formats::Ps2SaveFile;

Name64 NameField(const std::string& name) {
  Name64 field{};
  std::copy_n(name.begin(), std::min(name.size(), field.size()), field.begin());
  return field;
}

std::string NameString(const Name64& name) {
  return std::string(name.begin(), name.begin() + BoundedLength(name));
}

TimeStamp LocalTime(const TimeStamp& cardTime) {
  return ps2::CardTimeToLocal(cardTime.bytes);
}

TimeStamp CardTime(const TimeStamp& local) {
  return TimeStamp{ps2::LocalToCardTime(local)};
}

// Puts the save's files into the slot's data file as a new entry (not yet a
// row), as a save data image reader would.
bool PutIntoSlot(Workspace& ws, Slot s, const Ps2SaveData& save) {
  if (ws.At(s).kind == CardKind::PS1) {
    ws.Refuse(ProblemOf(platform::Reason::PS2Save, save.name), MessageId::PS2IntoPS1Card);
    return false;
  }
  std::uint64_t total = 0;
  for (const Ps2SaveFile& file : save.files) total += file.bytes.size();
  if (!ws.AddEntry(s, total))
    return RefuseField(ws, platform::Reason::TooLarge, "the slot", ws.NextOffset(s) + total,
                       std::numeric_limits<std::uint32_t>::max());
  SaveEntry& entry = ws.At(s).entries.back();
  entry.mode = save.mode;
  entry.entryCount = static_cast<std::uint32_t>(save.files.size() + 2);
  entry.time = LocalTime(save.modified);
  entry.name = NameField(save.name);
  entry.size = static_cast<std::uint32_t>(total);
  platform::File& data = ws.At(s).dataFile;
  if (!data.Seek(entry.offset)) return false;
  IconSysSpot iconSys;
  std::uint64_t at = entry.offset;
  for (const Ps2SaveFile& file : save.files) {
    if (!data.WriteExact(file.bytes.data(), file.bytes.size()))
      return RefuseField(ws, platform::Reason::WriteFailed, {});
    auto size = static_cast<std::uint32_t>(file.bytes.size());
    entry.files.push_back({file.mode, size, LocalTime(file.modified), NameField(file.name)});
    if (IsIconSysName(entry.files.back().name))
      iconSys = IconSysSpot{true, static_cast<std::uint32_t>(at), size};
    at += size;
  }
  return FinishPS2Save(ws, s, entry, iconSys);
}

// The save of a row as the formats keep it: the card's clock, bytes in memory.
bool SaveDataOfRow(Workspace& ws, Slot s, std::uint32_t row, Ps2SaveData& out,
                   platform::Problem& why) {
  const SaveEntry& entry = ws.At(s).AtRow(row);
  if (entry.IsPS1()) {
    why = ProblemOf(platform::Reason::PS1Save, NameText(entry.name));
    return false;
  }
  if (entry.size > formats::kMaxSaveBytes) {
    why = ProblemOf(platform::Reason::TooLarge, {}, entry.size, formats::kMaxSaveBytes);
    return false;
  }
  out.name = NameString(entry.name);
  out.mode = entry.mode;
  out.created = out.modified = CardTime(entry.time);
  std::uint64_t at = entry.offset;
  for (const SaveFileEntry& file : entry.files) {
    Ps2SaveFile copy{NameString(file.name), file.mode, CardTime(file.time), CardTime(file.time),
                     formats::Bytes(file.size)};
    if (!ws.ReadSlotBytes(s, at, copy.bytes.data(), file.size)) {
      why = ProblemOf(platform::Reason::ReadFailed, "the slot's data");
      return false;
    }
    at += file.size;
    out.files.push_back(std::move(copy));
  }
  return true;
}

}  // namespace

std::uint32_t AddSaveFolder(Workspace& ws, Slot s, const std::string& path) {
  if (!ws.At(s).open) return 0;
  platform::Problem why;
  std::optional<Ps2SaveData> save = formats::ReadSaveFolder(path, why);
  if (!save) {
    ws.Ui().ShowProblem(MessageId::FileNotOpened, why);
    return 0;
  }
  SlotRollback rollback(ws, s);
  ws.TakeRefusal();
  if (!PutIntoSlot(ws, s, *save)) {
    ShowReadFailure(ws, s, path);
    return 0;
  }
  if (!ListAddedSave(ws, s, path)) return 0;
  rollback.Keep();
  return 1;
}

bool IsSaveFolder(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::uint32_t AddSaveImageOrFolder(Workspace& ws, Slot s, const std::string& path) {
  return IsSaveFolder(path) ? AddSaveFolder(ws, s, path) : AddSaveImage(ws, s, path);
}

std::uint32_t SaveSaveFolder(Workspace& ws, Slot s, std::uint32_t row, const std::string& path) {
  if (!ws.At(s).open || row >= ws.At(s).RowCount()) return 0;
  platform::Problem why;
  Ps2SaveData save;
  if (!SaveDataOfRow(ws, s, row, save, why) || !formats::WriteSaveFolder(save, path, why)) {
    if (why.path.empty()) why.path = path;
    ws.Ui().ShowProblem(MessageId::FileNotPreserved, why);
    return 0;
  }
  return 1;
}

std::string SaveFolderPath(const Workspace& ws, Slot s, std::uint32_t row,
                           const std::string& parent) {
  std::string folder = parent.empty() ? std::string(".") : parent;
  if (folder.back() != '/') folder.push_back('/');
  folder.append(NameString(ws.At(s).AtRow(row).name));
  return folder;
}

}  // namespace slk
