#include "card/save_operations.h"

#include <new>

#include "card/expanded_card.h"
#include "card/image_formats.h"
#include "card/ps1_card.h"
#include "card/ps2_card_slot.h"
#include "card/refusal.h"
#include "card/save_data_image.h"
#include "card/save_records.h"
#include "card/utility.h"
#include "platform/atomic_file.h"

namespace slk {
namespace {

const FormatRow* LockFormatFor(const Settings& settings, const SaveEntry& entry) {
  return entry.IsPS1() ? LockFormat(LockList::PS1, settings.LockImagePS1)
                       : LockFormat(LockList::PS2, settings.LockImagePS2);
}

bool LockFormatCarries(const FormatRow& format, const SaveEntry& entry) {
  if (format.kind == FileKind::SaveDataImage) return SaveImageCarries(format.save, entry);
  return format.layout == FormatLayout::ExpandedCard || SaveFitsPS1Card(entry);
}

bool WriteLockFile(Workspace& ws, Slot s, const SaveEntry& entry, const FormatRow& format,
                   platform::File& out) {
  if (format.kind == FileKind::SaveDataImage)
    return WriteSaveImage(ws, s, entry, out, format.save) != 0;
  if (format.layout == FormatLayout::ExpandedCard)
    return WriteExpandedCard(ws, s, out, true, &entry) != 0;
  return WritePS1CardSingle(ws, s, entry, out, format.variant);
}

// Names on a PS2 card image are told apart by every byte, as the console
// does; the other cards ignore the case of A-Z.
bool SameName(const SlotData& slot, const Name64& a, const Name64& b) {
  return slot.kind == CardKind::PS2Card ? a == b : NamesEqual(a, b);
}

// The first listed save of the slot whose name equals `name`, if any.
bool ListsName(const SlotData& slot, const Name64& name) {
  for (std::uint32_t row = 0; row < slot.RowCount(); ++row) {
    if (SameName(slot, slot.AtRow(row).name, name)) return true;
  }
  return false;
}

std::uint64_t ListedBytes(const SlotData& slot) {
  std::uint64_t total = 0;
  for (std::uint32_t row = 0; row < slot.RowCount(); ++row) total += slot.AtRow(row).size;
  return total;
}

// The kind, name and capacity tests, in that order. True when the copy may go.
// A PS2 card image tests its capacity when the save is put on it.
bool TargetAccepts(Workspace& ws, const SlotData& target, const SaveEntry& save) {
  if (target.kind == CardKind::PS2Card && !PS2CardTakes(ws, save)) return false;
  if (target.kind == CardKind::PS1) {
    int message = PS1CardRefusal(target, save).message;
    if (message != 0) ws.Ui().ShowMessage(message);
    return message == 0;
  }
  return !ListsName(target, save.name) || ws.Ui().AskYesNo(MessageId::AskAddIt);
}

// An icon position inside the source save, moved to the same place in the
// copy. Positions outside the save (an icon that was not found) stay 0.
std::uint32_t MovedIconOffset(std::uint32_t icon, const SaveEntry& from, std::uint32_t to) {
  if (icon < from.offset || icon - from.offset > from.size) return 0;
  return icon - from.offset + to;
}

// Rows of that name leave the slot (their entries stay, as Delete leaves them).
void UnlistName(SlotData& slot, const Name64& name) {
  std::erase_if(slot.rows, [&](std::uint32_t entry) {
    return SameName(slot, slot.entries[entry].name, name);
  });
}

}  // namespace

bool ListsSaveNamed(const SlotData& slot, const Name64& name) {
  return ListsName(slot, name);
}

bool OtherRowNamed(const SlotData& slot, std::uint32_t row, const Name64& name) {
  for (std::uint32_t r = 0; r < slot.RowCount(); ++r) {
    if (r != row && SameName(slot, slot.AtRow(r).name, name)) return true;
  }
  return false;
}

bool PutOnPS2Card(Workspace& ws, Slot to, Slot bytesSlot, const SaveEntry& save) {
  SlotData& target = ws.At(to);
  bool replace = ListsName(target, save.name);
  if (!AddToPS2Card(ws, bytesSlot, save, to, replace)) return false;
  // Yes to "add it" on a card that holds one save of a name: the new one
  // takes the old one's place.
  if (replace) UnlistName(target, save.name);
  return true;
}

Refusal PS1CardRefusal(const SlotData& card, const SaveEntry& save) {
  using platform::Reason;
  if (!save.IsPS1())
    return {MessageId::PS2IntoPS1Card, ProblemOf(Reason::PS2Save, NameText(save.name))};
  if (ListsName(card, save.name))
    return {MessageId::SameDataName, ProblemOf(Reason::SameName, NameText(save.name))};
  std::uint64_t total = ListedBytes(card) + save.size;
  if (total > kCardCapacity)
    return {
        MessageId::Exceeds15Blocks,
        ProblemOf(Reason::OverCapacity, {}, RoundUp(total, kBlockSize) / kBlockSize, kCardBlocks)};
  return {};
}

std::uint32_t CopySave(Workspace& ws, Slot fromSlot, std::uint32_t row) {
  Slot to = OtherSlot(fromSlot);
  const SlotData& source = ws.At(fromSlot);
  if (!source.open || !ws.At(to).open || row >= source.RowCount()) return 0;
  const SaveEntry& save = source.AtRow(row);
  if (!TargetAccepts(ws, ws.At(to), save)) return 0;

  SlotRollback rollback(ws, to);
  if (!ws.AddEntry(to, save.size)) return 0;
  SaveEntry& copy = ws.At(to).entries.back();
  std::uint32_t offset = copy.offset;
  try {
    copy = save;  // every field, the file list copied
  } catch (const std::bad_alloc&) {
    return 0;
  }
  copy.offset = offset;
  for (std::size_t k = 0; k < copy.iconOffsets.size(); ++k)
    copy.iconOffsets[k] = MovedIconOffset(save.iconOffsets[k], save, offset);
  if (!ws.At(fromSlot).dataFile.Seek(save.offset) || !ws.At(to).dataFile.Seek(offset) ||
      !ws.CopyBetweenSlots(fromSlot, save.size))
    return 0;
  if (ws.At(to).kind == CardKind::PS2Card && !PutOnPS2Card(ws, to, fromSlot, save)) return 0;
  ws.ListLastEntry(to);
  rollback.Keep();
  return 1;
}

void DeleteSave(Workspace& ws, Slot s, std::uint32_t row) {
  SlotData& slot = ws.At(s);
  if (!slot.open || row >= slot.RowCount()) return;
  SaveEntry& entry = slot.AtRow(row);
  if (slot.kind == CardKind::PS2Card) DeleteFromPS2Card(ws, s, entry.name);
  entry.files.clear();
  entry.files.shrink_to_fit();
  slot.rows.erase(slot.rows.begin() + row);
}

std::optional<std::string> LockFilePath(const Settings& settings, const SaveEntry& entry) {
  const FormatRow* format = LockFormatFor(settings, entry);
  if (format == nullptr || settings.LockPath.empty()) return std::nullopt;
  std::string path = settings.LockPath;
  if (path.back() != '/') path += '/';
  path += "qovan.";
  path += ExtensionOf(*format);
  return path;
}

std::uint32_t LockSave(Workspace& ws, Slot s, std::uint32_t row) {
  if (ws.Lock().locked) return 0;
  const SlotData& slot = ws.At(s);
  if (!slot.open || row >= slot.RowCount()) return 0;
  const SaveEntry& entry = slot.AtRow(row);
  const FormatRow* format = LockFormatFor(ws.CurrentSettings(), entry);
  std::optional<std::string> path = LockFilePath(ws.CurrentSettings(), entry);
  // A save the format cannot carry is refused before anything is written,
  // rather than locked as a file that other tools misread.
  if (format == nullptr || !path || !LockFormatCarries(*format, entry)) {
    ws.Ui().ShowMessage(MessageId::NotLocked);
    return 0;
  }
  ws.Lock().path = *path;
  platform::AtomicFile out(*path);
  if (!out.IsOpen() || !WriteLockFile(ws, s, entry, *format, out.Stream()) || !out.Commit()) {
    ws.Ui().ShowProblem(MessageId::NotLocked, out.Why());
    return 0;
  }
  ws.Lock().locked = true;
  return 1;
}

}  // namespace slk
