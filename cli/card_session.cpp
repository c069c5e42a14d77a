#include "cli/card_session.h"

#include <algorithm>
#include <vector>

#include "card/card_image.h"
#include "card/image_formats.h"
#include "card/ps1_card.h"
#include "card/ps2/ps2_save_mapping.h"
#include "card/save_data_image.h"
#include "card/save_folder_slot.h"
#include "card/utility.h"
#include "platform/backups.h"
#include "platform/ini_file.h"
#include "platform/sjis.h"

namespace slk {
namespace {

bool AllDigits(std::string_view text) {
  return !text.empty() && text.size() <= 9 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string RowList(const std::vector<std::uint32_t>& rows) {
  std::string list;
  for (std::uint32_t row : rows) list += (list.empty() ? "" : ", ") + std::to_string(row);
  return list;
}

}  // namespace

std::string TextOf(const Name64& text) {
  return platform::ShiftJisToUtf8(std::span<const std::uint8_t>(text.data(), BoundedLength(text)));
}

std::optional<std::string> WhyNotPS1Card(const Workspace& ws, Slot s) {
  const SlotData& slot = ws.At(s);
  std::uint64_t total = 0;
  for (std::uint32_t row = 0; row < slot.RowCount(); ++row) {
    const SaveEntry& entry = slot.AtRow(row);
    if (!SaveFitsPS1Card(entry)) {
      std::string what = entry.IsPS1() ? "is not a PS1 save of whole blocks" : "is a PS2 save";
      return "row " + std::to_string(row) + " (" + TextOf(entry.name) + ") " + what +
             "; a PS1 card image cannot carry it (write .xmc instead)";
    }
    total += entry.files.front().size;
  }
  if (total <= kCardCapacity) return std::nullopt;
  return "the saves take " + std::to_string(total / kBlockSize) +
         " blocks; a PS1 card image holds 15 blocks (write .xmc instead)";
}

CardSession::CardSession(Console& console) : sink_(console), ws_(sink_, settings_) {
  // The window's setting of how many backups to keep holds here too: both
  // write the same backups.
  if (std::optional<platform::IniFile> ini =
          platform::LoadIniFile(platform::UserConfigFolder() + "/qovan2.ini")) {
    settings_.BackupGenerations =
        ini->GetInt(platform::kOwnSettingsSection, platform::kBackupGenerationsKey,
                    platform::kDefaultBackupGenerations);
  }
}

bool CardSession::LoadCard(Slot s, const std::string& path, bool acceptSaveImage, bool onlyRead) {
  sink_.SetContext(path);
  bool saveImage =
      acceptSaveImage && (IsSaveFolder(path) || KindOfPath(path) == PathKind::SaveDataImage);
  if (!ws_.CreateSlotStore(s, 0)) {
    sink_.ShowMessage(MessageId::FileNotOpened);
    return false;
  }
  ws_.At(s).readsInPlace = onlyRead;
  bool loaded;
  if (saveImage) {
    // The one card that takes any save: PS1 and PS2 alike.
    ws_.At(s).kind = CardKind::PS2;
    loaded = AddSaveImageOrFolder(ws_, s, path) != 0;
  } else {
    loaded = OpenCardImage(ws_, s, path) != 0;
  }
  if (!loaded) ws_.CloseSlot(s);
  return loaded;
}

bool CardSession::LockCard(const std::string& path) {
  for (const auto& held : locks_)
    if (held.first == path) return true;
  platform::FileLock lock;
  platform::Problem why;
  if (!lock.Acquire(path, platform::kLockPatience, &why)) {
    sink_.SetContext(path);
    sink_.ShowProblem(MessageId::FileNotPreserved, why);
    return false;
  }
  locks_.emplace_back(path, std::move(lock));
  return true;
}

bool CardSession::SaveCard(Slot s, const std::string& path) {
  if (!LockCard(path)) return false;
  sink_.SetContext(path);
  const FormatRow* format = FormatOfPath(path, FileKind::CardImage);
  if (format && format->layout == FormatLayout::PS1Card) {
    if (std::optional<std::string> why = WhyNotPS1Card(ws_, s)) sink_.Note(*why);
  }
  if (const ps2::Ps2CardImage* card = ws_.At(s).ps2Card.get(); card && !IsPS2CardPath(path)) {
    std::uint32_t kept = 0;
    for (const ps2::Ps2Save& save : card->ListSaves()) kept += !ps2::CarriedBySaveModel(save);
    if (kept != 0)
      sink_.Note(std::to_string(kept) +
                 " saves with subfolders stay only on the PS2 card image: this format cannot "
                 "carry them");
  }
  return SaveCardImage(ws_, s, path) != 0;
}

std::optional<std::uint32_t> CardSession::FindRow(Slot s, const std::string& path,
                                                  std::string_view saveName) {
  const SlotData& slot = ws_.At(s);
  if (AllDigits(saveName)) {
    auto row = static_cast<std::uint32_t>(std::stoul(std::string(saveName)));
    if (row < slot.RowCount()) return row;
  }
  std::vector<std::uint32_t> matches;
  for (std::uint32_t row = 0; row < slot.RowCount(); ++row)
    if (TextOf(slot.AtRow(row).name) == saveName) matches.push_back(row);
  sink_.SetContext(path);
  if (matches.size() == 1) return matches.front();
  if (matches.empty()) {
    std::string what = AllDigits(saveName)
                           ? "no row " + std::string(saveName) + " (the card lists " +
                                 std::to_string(slot.RowCount()) + " saves)"
                           : "no save named \"" + std::string(saveName) + "\"";
    sink_.Note(what);
  } else {
    sink_.Note("the name \"" + std::string(saveName) + "\" is ambiguous: rows " + RowList(matches) +
               " carry it; name the save by its row");
  }
  return std::nullopt;
}

}  // namespace slk
