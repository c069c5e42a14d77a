#include "card/slot_edit.h"

#include <new>
#include <span>

#include "card/ps2_card_slot.h"

namespace slk {
namespace {

// FNV-1a: enough to tell whether the pages are still the ones this edit
// left; a card that is not is built again from the rows.
void Mix(std::uint64_t& hash, std::span<const std::uint8_t> bytes) {
  for (std::uint8_t b : bytes) {
    hash ^= b;
    hash *= 0x100000001B3ull;
  }
}

constexpr std::uint64_t kDigestStart = 0xCBF29CE484222325ull;

}  // namespace

SlotEdit::SlotEdit(Workspace& ws, Slot s, std::optional<std::uint32_t> entry) : slot_(s) {
  SlotData& slot = ws.At(s);
  rows_ = slot.rows;
  if (entry && *entry < slot.EntryCount()) entry_.emplace(*entry, slot.entries[*entry]);
  if (slot.ps2Card) slot.ps2Card->StartChangeLog();
}

void SlotEdit::Abandon(Workspace& ws) {
  if (ws.At(slot_).ps2Card) ws.At(slot_).ps2Card->TakeChangeLog();
}

bool SlotEdit::Finish(Workspace& ws) {
  SlotData& slot = ws.At(slot_);
  if (!slot.ps2Card) return true;
  ps2::RawPages changed = slot.ps2Card->TakeChangeLog();
  if (changed.empty()) return true;
  std::uint64_t raw = slot.ps2Card->RawPageSize();
  std::uint64_t size = raw * changed.size();
  if (!ws.AddEntry(slot_, size)) return false;
  // An entry no row lists: its bytes are kept as long as the slot is.
  SaveEntry& keep = slot.entries.back();
  keep.size = static_cast<std::uint32_t>(size);
  pagesOffset_ = keep.offset;
  if (!slot.dataFile.Seek(pagesOffset_)) return false;
  try {
    pages_.reserve(changed.size());
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (const auto& [page, bytes] : changed) {
    if (!slot.dataFile.WriteExact(bytes.data(), bytes.size())) return false;
    pages_.push_back(page);
  }
  digest_ = PageDigest(*slot.ps2Card);
  return true;
}

std::uint64_t SlotEdit::PageDigest(const ps2::Ps2CardImage& card) const {
  std::uint64_t hash = kDigestStart;
  for (std::uint32_t page : pages_) Mix(hash, card.RawPage(page));
  return hash;
}

void SlotEdit::Swap(Workspace& ws) {
  SlotData& slot = ws.At(slot_);
  std::swap(slot.rows, rows_);
  if (entry_ && entry_->first < slot.EntryCount())
    std::swap(slot.entries[entry_->first], entry_->second);
  if (!slot.ps2Card) return;
  if (!pages_.empty() && PageDigest(*slot.ps2Card) == digest_) return SwapCardPages(ws);
  // Another card than the one the edit changed: the rows say what it holds.
  ps2::Form form = slot.ps2Card->ImageForm();
  slot.ps2Card.reset();
  platform::Problem why;
  MakePS2CardInForm(ws, slot_, form, why);
}

void SlotEdit::SwapCardPages(Workspace& ws) {
  SlotData& slot = ws.At(slot_);
  ps2::Ps2CardImage& card = *slot.ps2Card;
  std::uint64_t raw = card.RawPageSize();
  ps2::RawPages other;
  for (std::size_t k = 0; k < pages_.size(); ++k) {
    std::vector<std::uint8_t> bytes(raw);
    if (!ws.ReadSlotBytes(slot_, pagesOffset_ + k * raw, bytes.data(), raw)) return;
    other.emplace(pages_[k], std::move(bytes));
  }
  // The side now in the card goes where the other side lay.
  bool kept = slot.dataFile.Seek(pagesOffset_);
  for (std::size_t k = 0; k < pages_.size() && kept; ++k) {
    std::span<const std::uint8_t> now = card.RawPage(pages_[k]);
    kept = slot.dataFile.WriteExact(now.data(), now.size());
  }
  card.RestoreRawPages(other);
  // Pages that could not be kept are not put back later: the rows rebuild
  // the card instead.
  if (!kept) pages_.clear();
  digest_ = PageDigest(card);
}

}  // namespace slk
