#include "slot_checks.h"

#include <algorithm>

#include "card/ps1_card.h"
#include "card/utility.h"
#include "fuzz_check.h"

namespace slk::fuzz {
namespace {

bool SameBoundedName(const Name64& a, const Name64& b) {
  std::size_t n = BoundedLength(a);
  return n == BoundedLength(b) && std::equal(a.begin(), a.begin() + n, b.begin());
}

void CheckSameName(const Name64& a, const Name64& b, Fidelity fidelity) {
  if (fidelity == Fidelity::Exact)
    FUZZ_CHECK(a == b);
  else
    FUZZ_CHECK(SameBoundedName(a, b));
}

void CheckSameFiles(const SaveEntry& a, const SaveEntry& b, Fidelity fidelity) {
  FUZZ_CHECK(a.files.size() == b.files.size());
  for (std::size_t j = 0; j < a.files.size(); ++j) {
    const SaveFileEntry& fa = a.files[j];
    const SaveFileEntry& fb = b.files[j];
    FUZZ_CHECK(fa.size == fb.size);
    FUZZ_CHECK(fa.mode == fb.mode);
    CheckSameName(fa.name, fb.name, fidelity);
    if (fidelity == Fidelity::Exact) FUZZ_CHECK(fa.time == fb.time);
  }
}

// Fields that follow from the save's bytes: title, colours, icons.
void CheckSameDerived(const SaveEntry& a, const SaveEntry& b) {
  FUZZ_CHECK(a.title == b.title);
  FUZZ_CHECK(a.titleLine1Length == b.titleLine1Length);
  FUZZ_CHECK(a.titleLine2Length == b.titleLine2Length);
  FUZZ_CHECK(a.backgroundColours == b.backgroundColours);
  FUZZ_CHECK(a.useStandardIcon == b.useStandardIcon);
  FUZZ_CHECK(a.iconSizes == b.iconSizes);
  FUZZ_CHECK(a.iconOffsets == b.iconOffsets);  // relative, see ListedSaves
}

void CheckIconsInside(const SaveEntry& e) {
  std::uint64_t end = std::uint64_t{e.offset} + e.size;
  for (std::size_t k = 0; k < e.iconSizes.size(); ++k) {
    if (e.iconSizes[k] == 0) continue;
    FUZZ_CHECK(e.iconOffsets[k] >= e.offset);
    FUZZ_CHECK(std::uint64_t{e.iconOffsets[k]} + e.iconSizes[k] <= end);
  }
}

void CheckEntry(const SaveEntry& e) {
  std::uint64_t total = 0;
  for (const SaveFileEntry& file : e.files) total += file.size;
  FUZZ_CHECK(total == e.size);
  FUZZ_CHECK(e.entryCount >= 2 && e.files.size() == e.FileCount());
  if (e.IsPS1()) {
    FUZZ_CHECK(e.files.size() == 1);
    FUZZ_CHECK(e.size > 0 && e.size % kBlockSize == 0);
  }
  FUZZ_CHECK(e.titleLine1Length + e.titleLine2Length == BoundedLength(e.title));
  FUZZ_CHECK(e.useStandardIcon <= 1);
  CheckIconsInside(e);
}

}  // namespace

std::vector<SaveView> ListedSaves(Workspace& ws, Slot s) {
  std::vector<SaveView> views;
  for (std::uint32_t row = 0; row < ws.At(s).RowCount(); ++row) {
    SaveView view{ws.At(s).AtRow(row), {}};
    SaveEntry& e = view.entry;
    view.bytes.resize(e.size);
    FUZZ_CHECK(ws.ReadSlotBytes(s, e.offset, view.bytes.data(), view.bytes.size()));
    for (std::uint32_t& icon : e.iconOffsets) icon = icon >= e.offset ? icon - e.offset : icon;
    e.offset = 0;
    views.push_back(std::move(view));
  }
  return views;
}

void CheckSameSaves(const std::vector<SaveView>& a, const std::vector<SaveView>& b,
                    Fidelity fidelity) {
  FUZZ_CHECK(a.size() == b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    const SaveEntry& ea = a[i].entry;
    const SaveEntry& eb = b[i].entry;
    FUZZ_CHECK(ea.size == eb.size);
    FUZZ_CHECK(a[i].bytes == b[i].bytes);
    FUZZ_CHECK(ea.mode == eb.mode);
    FUZZ_CHECK(ea.entryCount == eb.entryCount);
    CheckSameName(ea.name, eb.name, fidelity);
    if (fidelity == Fidelity::Exact) FUZZ_CHECK(ea.time == eb.time);
    CheckSameFiles(ea, eb, fidelity);
    CheckSameDerived(ea, eb);
  }
}

void CheckSlotConsistent(Workspace& ws, Slot s) {
  SlotData& slot = ws.At(s);
  std::uint64_t end = 0;
  for (const SaveEntry& e : slot.entries) {
    FUZZ_CHECK(e.offset == end);
    end += e.size;
    CheckEntry(e);
  }
  FUZZ_CHECK(end <= slot.dataFile.Size());
  for (std::uint32_t row = 0; row < slot.RowCount(); ++row) {
    FUZZ_CHECK(slot.rows[row] < slot.EntryCount());
    if (row > 0) FUZZ_CHECK(slot.rows[row - 1] < slot.rows[row]);
  }
}

}  // namespace slk::fuzz
