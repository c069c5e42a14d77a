#pragma once
// Between a save on a PS2 card and the program's save records: a save lists
// as a `SaveEntry` whose time is the directory's modified time (as a .psu
// carries it), and a `SaveEntry` with its files' bytes becomes a save to add.

#include <cstdint>
#include <span>
#include <vector>

#include "card/ps2/ps2_card_image.h"
#include "card/save_entry.h"

namespace slk::ps2 {

// Whether the record can carry the save whole: no subfolders, and files
// whose sizes add up to at most 4 GiB (a damaged card can claim more).
bool CarriedBySaveModel(const Ps2Save& save);

// The save's record without the slot's placement, title or icons. Subfolders
// are left out: the record cannot carry them (`Ps2Save::hasSubfolders`).
SaveEntry ToSaveEntry(const Ps2Save& save);

// The save to add for a record whose files lie back to back in `bytes`
// (the record's own layout in the slot's data file). Created times are the
// record's times, which is all it keeps. Empty files when `bytes` is short.
NewSave FromSaveEntry(const SaveEntry& entry, std::span<const std::uint8_t> bytes);

}  // namespace slk::ps2
