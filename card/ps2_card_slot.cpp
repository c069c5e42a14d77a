#include "card/ps2_card_slot.h"

#include <algorithm>
#include <new>
#include <vector>

#include "card/ps2/ps2_card_format.h"
#include "card/ps2/ps2_save_mapping.h"
#include "card/refusal.h"
#include "card/save_records.h"
#include "card/utility.h"

namespace slk {
namespace {

using platform::Reason;

// The largest card the library opens: 64 MB of pages with their spare bytes.
constexpr std::uint64_t kLargestCardFile = 131072ull * (512 + 16);

std::uint64_t Kilobytes(std::uint64_t bytes) {
  return (bytes + 1023) / 1024;
}

// Copies the save's files into the slot's data file as the next entry and
// lists it, with its icon.sys title and icons. `bytes` is room for the
// save's files that the next save uses again.
bool ListSave(Workspace& ws, Slot s, const ps2::Ps2CardImage& card, const ps2::Ps2Save& save,
              std::vector<std::uint8_t>& bytes) {
  SaveEntry record = ps2::ToSaveEntry(save);
  // A file whose chain broke off is listed with the bytes its chain holds:
  // a length that lies may claim gigabytes the card does not have.
  bytes.clear();
  IconSysSpot iconSys;
  std::size_t k = 0;
  for (const ps2::Ps2File& file : save.files) {
    if (file.isDirectory) continue;
    std::size_t start = bytes.size();
    card.AppendFile(file, bytes);
    auto held = static_cast<std::uint32_t>(bytes.size() - start);
    record.files[k].size = held;
    if (NameText(record.files[k].name) == "icon.sys")
      iconSys = IconSysSpot{true, static_cast<std::uint32_t>(start), held};
    ++k;
  }
  record.size = static_cast<std::uint32_t>(bytes.size());
  SlotRollback rollback(ws, s);
  if (!ws.AddEntry(s, record.size)) return false;
  SaveEntry& entry = ws.At(s).entries.back();
  std::uint32_t offset = entry.offset;
  entry = std::move(record);
  entry.offset = offset;
  if (iconSys.found) iconSys.offset += offset;
  platform::File& data = ws.At(s).dataFile;
  if (!data.Seek(offset) || !data.WriteExact(bytes.data(), bytes.size())) return false;
  if (!FinishPS2Save(ws, s, entry, iconSys)) return false;
  ws.ListLastEntry(s);
  rollback.Keep();
  return true;
}

std::string SaveName(const SaveEntry& save) {
  return std::string(reinterpret_cast<const char*>(save.name.data()), BoundedLength(save.name));
}

}  // namespace

std::string DescribeFault(const ps2::Fault& fault) {
  using ps2::FaultKind;
  std::string where = std::to_string(fault.where);
  std::string whose = fault.name.empty() ? "" : " (" + fault.name + ")";
  switch (fault.kind) {
    case FaultKind::EccCorrected:
      return "ECC error corrected in page " + where;
    case FaultKind::EccUncorrectable:
      return "ECC error not correctable in page " + where;
    case FaultKind::FatUnreadable:
      return "FAT cluster number out of range: " + where;
    case FaultKind::ChainOutOfRange:
      return "chain leaves the card at cluster " + where + whose;
    case FaultKind::ChainIntoFree:
      return "chain runs into free cluster " + where + whose;
    case FaultKind::ChainLoop:
      return "chain loops at cluster " + where + whose;
    case FaultKind::CrossLinked:
      return "cluster " + where + " cross-linked" + whose;
    case FaultKind::ChainTooShort:
      return "chain shorter than the length" + whose;
    case FaultKind::ChainTooLong:
      return "chain longer than the length" + whose;
    case FaultKind::LostClusters:
      return where + " lost clusters";
    case FaultKind::BadDirectory:
      return "bad directory" + whose;
  }
  return {};
}

platform::Problem DamageProblem(const ps2::Ps2CardImage& card) {
  std::vector<ps2::Fault> faults = card.Check();
  auto first = std::find_if(faults.begin(), faults.end(),
                            [](const ps2::Fault& f) { return ps2::IsDamage(f.kind); });
  std::string text = std::to_string(faults.size()) + (faults.size() == 1 ? " fault" : " faults");
  if (first != faults.end()) text += ", first: " + DescribeFault(*first);
  return ProblemOf(Reason::CardDamaged, std::move(text));
}

bool ReadPS2CardImage(Workspace& ws, Slot s, platform::File& image) {
  if (image.Size() > kLargestCardFile)
    return RefuseField(ws, Reason::TooLarge, "a PS2 card image", image.Size(), kLargestCardFile);
  std::vector<std::uint8_t> bytes;
  try {
    platform::ReserveForWholeFile(bytes, image.Size());
  } catch (const std::bad_alloc&) {
    return false;
  }
  // Read in pieces of about 128 KiB, each zeroed, read into and its ECC
  // checked while it is in the cache; the room is there, nothing moves.
  const auto size = static_cast<std::size_t>(image.Size());
  ps2::PagesWithMatchingCodes known(size);
  for (std::size_t at = 0; at < size; at += ps2::PagesWithMatchingCodes::kPieceBytes) {
    std::size_t n = std::min(ps2::PagesWithMatchingCodes::kPieceBytes, size - at);
    bytes.resize(at + n);
    if (!ReadOrRefuse(ws, image, bytes.data() + at, n)) return false;
    known.Note(at, std::span<const std::uint8_t>(bytes.data() + at, n));
  }
  platform::Problem why;
  std::optional<ps2::Ps2CardImage> card = ps2::Ps2CardImage::Open(std::move(bytes), why, &known);
  if (!card) {
    ws.Refuse(std::move(why));
    return false;
  }
  SlotRollback rollback(ws, s);
  std::vector<std::uint8_t> saveBytes;
  for (const ps2::Ps2Save& save : card->ListSaves()) {
    // The rows cannot carry a save with subfolders: it stays on the card,
    // unlisted and untouched, and is written back with it.
    if (!ps2::CarriedBySaveModel(save)) continue;
    if (!ListSave(ws, s, *card, save, saveBytes)) return false;
  }
  try {
    ws.At(s).ps2Card = std::make_unique<ps2::Ps2CardImage>(std::move(*card));
  } catch (const std::bad_alloc&) {
    return false;
  }
  rollback.Keep();
  return true;
}

bool PS2CardTakes(Workspace& ws, const SaveEntry& save) {
  if (!save.IsPS1()) return true;
  ws.Ui().ShowProblem(MessageId::PS1IntoPS2Card, ProblemOf(Reason::PS1Save, NameText(save.name)));
  return false;
}

bool AddToPS2Card(Workspace& ws, Slot fromSlot, const SaveEntry& save, Slot to, bool replace) {
  SlotData& target = ws.At(to);
  if (!target.ps2Card) return false;
  if (!PS2CardTakes(ws, save)) return false;
  // A save larger than the whole card is refused before its bytes are read.
  if (save.size > target.ps2Card->Serialize().size()) {
    ws.Ui().ShowProblem(MessageId::PS2CardFull,
                        ProblemOf(Reason::NoCardSpace, NameText(save.name),
                                  target.ps2Card->FreeBytes() / 1024, Kilobytes(save.size)));
    return false;
  }
  std::vector<std::uint8_t> bytes;
  try {
    bytes.resize(save.size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!ws.ReadSlotBytes(fromSlot, save.offset, bytes.data(), bytes.size())) return false;
  // Tried on a copy: a refused save leaves the kept card as it was, even
  // when the save it was to replace is already gone from the copy.
  std::optional<ps2::Ps2CardImage> trial;
  try {
    trial.emplace(*target.ps2Card);
  } catch (const std::bad_alloc&) {
    return false;
  }
  std::string name = SaveName(save);
  if (replace) trial->DeleteSave(name);
  ps2::AddOutcome outcome = trial->AddSave(ps2::FromSaveEntry(save, bytes));
  switch (outcome.result) {
    case ps2::AddResult::Added:
      *target.ps2Card = std::move(*trial);
      return true;
    case ps2::AddResult::NoSpace:
      ws.Ui().ShowProblem(MessageId::PS2CardFull,
                          ProblemOf(Reason::NoCardSpace, NameText(save.name),
                                    outcome.freeBytes / 1024, Kilobytes(outcome.neededBytes)));
      return false;
    case ps2::AddResult::NameExists:
      // A save the rows do not list (one with subfolders) holds the name.
      ws.Ui().ShowProblem(MessageId::SameDataName,
                          ProblemOf(Reason::SameName, NameText(save.name)));
      return false;
    case ps2::AddResult::BadName:
      ws.Ui().ShowProblem(MessageId::FileNotPreserved,
                          ProblemOf(Reason::BadField, "the save name \"" + name + "\""));
      return false;
    case ps2::AddResult::RootUnreadable:
      ws.Ui().ShowProblem(MessageId::FileNotPreserved, DamageProblem(*target.ps2Card));
      return false;
  }
  return false;
}

std::unique_ptr<ps2::Ps2CardImage> NewPS2Card(ps2::Form form) {
  platform::Problem why;
  ps2::FormatOptions options;
  options.form = form;
  std::optional<ps2::Ps2CardImage> card = ps2::Ps2CardImage::Open(ps2::FormatCard(options), why);
  if (!card) return nullptr;
  return std::make_unique<ps2::Ps2CardImage>(std::move(*card));
}

std::unique_ptr<ps2::Ps2CardImage> BuildPS2Card(Workspace& ws, Slot s, platform::Problem& why) {
  std::unique_ptr<ps2::Ps2CardImage> card = NewPS2Card();
  if (!card) return nullptr;
  const SlotData& slot = ws.At(s);
  for (std::uint32_t row = 0; row < slot.RowCount(); ++row) {
    const SaveEntry& save = slot.AtRow(row);
    if (save.IsPS1()) {
      why = ProblemOf(Reason::PS1Save, NameText(save.name));
      return nullptr;
    }
    std::vector<std::uint8_t> bytes(save.size);
    if (!ws.ReadSlotBytes(s, save.offset, bytes.data(), bytes.size())) {
      why = ws.At(s).dataFile.Failed() ? platform::ProblemFromErrno(ws.At(s).dataFile.Error(), {})
                                       : ProblemOf(Reason::ReadFailed);
      return nullptr;
    }
    ps2::AddOutcome outcome = card->AddSave(ps2::FromSaveEntry(save, bytes));
    if (outcome.result == ps2::AddResult::NoSpace) {
      why = ProblemOf(Reason::NoCardSpace, NameText(save.name), outcome.freeBytes / 1024,
                      Kilobytes(outcome.neededBytes));
      return nullptr;
    }
    if (outcome.result != ps2::AddResult::Added) {
      why = ProblemOf(Reason::SameName, NameText(save.name));
      return nullptr;
    }
  }
  return card;
}

bool MakePS2CardInForm(Workspace& ws, Slot s, ps2::Form form, platform::Problem& why) {
  SlotData& slot = ws.At(s);
  std::unique_ptr<ps2::Ps2CardImage> built;
  if (!slot.ps2Card) {
    built = BuildPS2Card(ws, s, why);
    if (!built) return false;
  }
  const ps2::Ps2CardImage& card = built ? *built : *slot.ps2Card;
  if (card.ImageForm() != form) {
    std::optional<ps2::Ps2CardImage> turned = ps2::Ps2CardImage::Open(card.SerializeAs(form), why);
    if (!turned) return false;
    built = std::make_unique<ps2::Ps2CardImage>(std::move(*turned));
  }
  if (built) slot.ps2Card = std::move(built);
  slot.kind = CardKind::PS2Card;
  return true;
}

void DeleteFromPS2Card(Workspace& ws, Slot s, const Name64& name) {
  SlotData& slot = ws.At(s);
  if (!slot.ps2Card) return;
  slot.ps2Card->DeleteSave(
      std::string(reinterpret_cast<const char*>(name.data()), BoundedLength(name)));
}

bool WritePS2CardImage(Workspace& ws, Slot s, platform::File& out) {
  const SlotData& slot = ws.At(s);
  if (!slot.ps2Card) return false;
  const std::vector<std::uint8_t>& bytes = slot.ps2Card->Serialize();
  return out.WriteExact(bytes.data(), bytes.size());
}

}  // namespace slk
