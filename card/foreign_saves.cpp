#include "card/foreign_saves.h"

#include <new>
#include <optional>
#include <string>

#include "card/formats/save_formats.h"
#include "card/refusal.h"
#include "card/save_records.h"

namespace slk {
namespace {

using platform::Reason;

// The largest save any of these formats holds, with room for its headers
// and names: a larger file is not read into memory.
constexpr std::uint64_t kLargestFile = formats::kMaxSaveBytes + (1u << 20);

std::optional<formats::Bytes> ReadWholeFile(Workspace& ws, platform::File& image) {
  if (image.Size() > kLargestFile) {
    RefuseField(ws, Reason::TooLarge, {}, image.Size(), kLargestFile);
    return std::nullopt;
  }
  formats::Bytes bytes;
  try {
    bytes.resize(image.Size());
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  if (!image.Seek(0) || !ReadOrRefuse(ws, image, bytes.data(), bytes.size())) return std::nullopt;
  return bytes;
}

bool IsZero(const TimeStamp& time) {
  return time == TimeStamp{};
}

// A name the slot's 64-byte field holds with its terminating NUL.
std::optional<Name64> NameField(Workspace& ws, const std::string& name, const char* what) {
  if (name.empty() || name.size() >= Name64{}.size()) {
    RefuseField(ws, Reason::BadField, what, name.size(), Name64{}.size() - 1);
    return std::nullopt;
  }
  Name64 field{};
  std::copy(name.begin(), name.end(), field.begin());
  return field;
}

std::string TextOf(const Name64& name) {
  return std::string(reinterpret_cast<const char*>(name.data()), BoundedLength(name));
}

bool PutPS1Save(Workspace& ws, Slot s, const formats::Ps1SaveData& save) {
  std::uint64_t size = save.blocks.size();
  if (size > kCardCapacity) return RefuseField(ws, Reason::TooLarge, {}, size, kCardCapacity);
  if (size == 0 || size % kBlockSize != 0)
    return RefuseField(ws, Reason::BadField, "size of a PS1 save (whole blocks)", size);
  TimeStamp now = ws.Now();
  SlotRollback rollback(ws, s);
  if (!ws.AddEntry(s, size)) return false;
  SaveEntry& entry = ws.At(s).entries.back();
  FillPS1Entry(entry, CardFileName(AsBytes(save.name)), static_cast<std::uint32_t>(size), now);
  platform::File& data = ws.At(s).dataFile;
  if (!data.Seek(entry.offset) || !data.WriteExact(save.blocks.data(), size) ||
      !FinishPS1Save(ws, s, entry))
    return false;
  rollback.Keep();
  return true;
}

bool PutPS2Save(Workspace& ws, Slot s, const formats::Ps2SaveData& save) {
  // A PS1 card takes no PS2 save: refused before its bytes are copied.
  if (ws.At(s).kind == CardKind::PS1) {
    ws.Refuse(ProblemOf(Reason::PS2Save, save.name), MessageId::PS2IntoPS1Card);
    return false;
  }
  std::optional<Name64> name = NameField(ws, save.name, "save name");
  if (!name) return false;
  std::uint64_t total = 0;
  for (const formats::Ps2SaveFile& file : save.files) total += file.bytes.size();
  TimeStamp now = ws.Now();
  SlotRollback rollback(ws, s);
  if (!ws.AddEntry(s, total)) return false;
  SaveEntry& entry = ws.At(s).entries.back();
  entry.mode = save.mode;
  entry.entryCount = static_cast<std::uint32_t>(save.files.size() + 2);
  entry.time = IsZero(save.modified) ? now : save.modified;
  entry.name = *name;
  entry.size = static_cast<std::uint32_t>(total);
  platform::File& data = ws.At(s).dataFile;
  if (!data.Seek(entry.offset)) return false;
  IconSysSpot iconSys;
  std::uint32_t at = entry.offset;
  for (const formats::Ps2SaveFile& file : save.files) {
    std::optional<Name64> fileName = NameField(ws, file.name, "file name");
    if (!fileName) return false;
    auto size = static_cast<std::uint32_t>(file.bytes.size());
    entry.files.push_back(
        SaveFileEntry{file.mode, size, IsZero(file.modified) ? now : file.modified, *fileName});
    if (!data.WriteExact(file.bytes.data(), size)) return false;
    // The last file of that name counts, as in a .psu.
    if (IsIconSysName(*fileName)) iconSys = IconSysSpot{true, at, size};
    at += size;
  }
  if (!FinishPS2Save(ws, s, entry, iconSys)) return false;
  rollback.Keep();
  return true;
}

std::optional<formats::Bytes> SlotBytes(Workspace& ws, Slot s, std::uint64_t offset,
                                        std::uint64_t size) {
  formats::Bytes bytes;
  try {
    bytes.resize(size);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  if (size != 0 && !ws.ReadSlotBytes(s, offset, bytes.data(), size)) return std::nullopt;
  return bytes;
}

std::optional<formats::Ps1SaveData> PS1SaveOf(Workspace& ws, Slot s, const SaveEntry& entry) {
  std::optional<formats::Bytes> blocks = SlotBytes(ws, s, entry.offset, entry.size);
  if (!blocks) return std::nullopt;
  std::string name = TextOf(CardFileName(entry.name));
  return formats::Ps1SaveData{std::move(name), std::move(*blocks)};
}

std::optional<formats::Ps2SaveData> PS2SaveOf(Workspace& ws, Slot s, const SaveEntry& entry) {
  formats::Ps2SaveData save;
  save.name = TextOf(entry.name);
  save.mode = entry.mode;
  save.created = entry.time;
  save.modified = entry.time;
  std::uint64_t at = entry.offset;
  for (const SaveFileEntry& file : entry.files) {
    std::optional<formats::Bytes> bytes = SlotBytes(ws, s, at, file.size);
    if (!bytes) return std::nullopt;
    save.files.push_back({TextOf(file.name), file.mode, file.time, file.time, std::move(*bytes)});
    at += file.size;
  }
  return save;
}

std::optional<formats::Bytes> Encode(Workspace& ws, Slot s, const SaveEntry& entry,
                                     FormatLayout layout) {
  if (entry.IsPS1()) {
    std::optional<formats::Ps1SaveData> save = PS1SaveOf(ws, s, entry);
    if (!save) return std::nullopt;
    if (layout == FormatLayout::Mcs) return formats::WriteMcsSave(*save);
    if (layout == FormatLayout::Psv) return formats::WritePsvSave(*save);
    return std::nullopt;
  }
  std::optional<formats::Ps2SaveData> save = PS2SaveOf(ws, s, entry);
  if (!save) return std::nullopt;
  switch (layout) {
    case FormatLayout::Psv:
      return formats::WritePsvSave(*save);
    case FormatLayout::Max:
      return formats::WriteMaxSave(*save);
    case FormatLayout::Cbs:
      return formats::WriteCbsSave(*save);
    default:
      return std::nullopt;
  }
}

}  // namespace

std::uint32_t ReadForeignSave(Workspace& ws, Slot s, platform::File& image, FormatLayout layout,
                              std::string_view nameHint) {
  std::optional<formats::Bytes> file = ReadWholeFile(ws, image);
  if (!file) return 0;
  platform::Problem why;
  std::optional<formats::Ps1SaveData> ps1;
  std::optional<formats::Ps2SaveData> ps2;
  switch (layout) {
    case FormatLayout::Mcs:
      ps1 = formats::ReadMcsSave(*file, why);
      break;
    case FormatLayout::RawPs1:
      ps1 = formats::ReadRawPs1Save(*file, std::string(nameHint), why);
      break;
    case FormatLayout::Psv:
      if (std::optional<formats::PsvSave> psv = formats::ReadPsvSave(*file, why)) {
        ps1 = std::move(psv->ps1);
        ps2 = std::move(psv->ps2);
      }
      break;
    case FormatLayout::Max:
      ps2 = formats::ReadMaxSave(*file, why);
      break;
    case FormatLayout::Cbs:
      ps2 = formats::ReadCbsSave(*file, why);
      break;
    case FormatLayout::SharkPort:
      ps2 = formats::ReadSharkPortSave(*file, why);
      break;
    default:
      return 0;
  }
  if (ps1) return PutPS1Save(ws, s, *ps1) ? 1 : 0;
  if (ps2) return PutPS2Save(ws, s, *ps2) ? 1 : 0;
  ws.Refuse(std::move(why));
  return 0;
}

std::uint32_t WriteForeignSave(Workspace& ws, Slot s, const SaveEntry& entry, platform::File& image,
                               FormatLayout layout) {
  std::optional<formats::Bytes> bytes = Encode(ws, s, entry, layout);
  if (!bytes || !image.WriteExact(bytes->data(), bytes->size())) return 0;
  return image.Failed() ? 0 : 1;
}

}  // namespace slk
