#include "card/save_rename.h"

#include <algorithm>
#include <string>

#include "card/ps1_layout.h"
#include "card/ps2/ps2_layout.h"
#include "card/refusal.h"
#include "card/save_operations.h"
#include "card/save_records.h"
#include "card/utility.h"

namespace slk {
namespace {

using platform::Reason;

Name64 NameOf(std::string_view text) {
  Name64 name{};
  std::copy_n(text.begin(), std::min(text.size(), name.size()), name.begin());
  return name;
}

std::string SaveNameText(const SaveEntry& save) {
  return std::string(reinterpret_cast<const char*>(save.name.data()), BoundedLength(save.name));
}

}  // namespace

platform::Problem RenameProblem(const SlotData& slot, std::uint32_t row, std::string_view name) {
  std::string text(name);
  if (name.empty()) return ProblemOf(Reason::EmptyName);
  if (name.find('/') != std::string_view::npos) return ProblemOf(Reason::NameWithSlash, text);
  // Card names are ASCII; a control byte or a NUL would cut or garble them.
  if (std::any_of(name.begin(), name.end(), [](char c) { return c < 0x20 || c > 0x7E; }))
    return ProblemOf(Reason::NameCharacters, text);
  const SaveEntry& save = slot.AtRow(row);
  std::size_t longest = save.IsPS1() ? PS1Frame::kNameChars : ps2::kNameSize;
  if (name.size() > longest) return ProblemOf(Reason::LongName, text, name.size(), longest);
  if (!save.IsPS1() && (name == "." || name == "..")) return ProblemOf(Reason::ReservedName, text);
  if (OtherRowNamed(slot, row, NameOf(name))) return ProblemOf(Reason::SameName, text);
  return {};
}

bool HasRegionCode(const Name64& name) {
  return name[0] == 'B' && (name[1] == 'A' || name[1] == 'I' || name[1] == 'E');
}

bool RenameSave(Workspace& ws, Slot s, std::uint32_t row, std::string_view name) {
  SlotData& slot = ws.At(s);
  if (!slot.open || row >= slot.RowCount()) return false;
  platform::Problem why = RenameProblem(slot, row, name);
  SaveEntry& save = slot.AtRow(row);
  // A save the rows do not list (one with subfolders) may hold the name on
  // the kept card.
  if (!why && slot.ps2Card) {
    switch (slot.ps2Card->RenameSave(SaveNameText(save), std::string(name))) {
      case ps2::RenameResult::Renamed:
        break;
      case ps2::RenameResult::NameExists:
        why = ProblemOf(Reason::SameName, std::string(name));
        break;
      case ps2::RenameResult::BadName:
      case ps2::RenameResult::NoSuchSave:
        why = ProblemOf(Reason::BadField, "the save name \"" + std::string(name) + "\"");
        break;
    }
  }
  if (why) {
    ws.Ui().ShowProblem(MessageId::NotRenamed, why);
    return false;
  }
  bool hadRegion = HasRegionCode(save.name);
  Name64 old = save.name;
  save.name = NameOf(name);
  // A PS1 save's one file carries the card file name too.
  for (SaveFileEntry& file : save.files)
    if (save.IsPS1() && file.name == old) file.name = save.name;
  if (save.IsPS1() && hadRegion && !HasRegionCode(save.name))
    ws.Ui().ShowMessage(MessageId::NoRegionCode);
  return true;
}

}  // namespace slk
