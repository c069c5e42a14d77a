#pragma once
// The Edit operations that change slots or write outside them: copying a save
// into the other slot, deleting it, and locking it (writing it alone into the
// lock folder until a second Lock or the closing of a slot removes the file).
// The rules that keep a PS1 card valid live here: no PS2 save enters it, no
// two of its saves share a name, and it holds at most 15 blocks.

#include <cstdint>
#include <optional>
#include <string>

#include "card/settings.h"
#include "card/workspace.h"

namespace slk {

// Copies entries[rows[row]] of `fromSlot` into the other (open) slot as a new
// entry and last row. Tests kind, then name, then capacity; nothing changes in
// either slot until all have passed. Shows its own messages; 0 on refusal.
std::uint32_t CopySave(Workspace& ws, Slot fromSlot, std::uint32_t row);

// The first rule of a PS1 card that `save` breaks beside the card's listed
// saves, tested as Copy tests them: kind, then name, then 15 blocks. Its
// message (0 when the save may go in) and what was wrong.
Refusal PS1CardRefusal(const SlotData& card, const SaveEntry& save);

// Whether a row of the slot carries that name (on a PS2 card image byte for
// byte, elsewhere ignoring the case of A-Z).
bool ListsSaveNamed(const SlotData& slot, const Name64& name);
// The same test over every row but `row`.
bool OtherRowNamed(const SlotData& slot, std::uint32_t row, const Name64& name);

// Puts `save`, whose bytes are in `bytesSlot`, on the kept card of the PS2
// card image in slot `to`, in place of the listed save of its name (the
// caller asked first). Shows the message and returns false when the card
// cannot take it (a PS1 save, too large, a name an unlisted save holds).
bool PutOnPS2Card(Workspace& ws, Slot to, Slot bytesSlot, const SaveEntry& save);

// Removes the row and releases the save's file list. The entry and its bytes
// stay, so that later saves still go after them.
void DeleteSave(Workspace& ws, Slot s, std::uint32_t row);

// Writes entries[rows[row]] alone as the lock file in the format the settings
// choose for its kind. 0 without a message while a lock file exists; 0 with
// "The SaveData was not LOCKed file." when the format is unknown, the save
// does not fit it, or the file cannot be written (nothing is left behind).
std::uint32_t LockSave(Workspace& ws, Slot s, std::uint32_t row);

// The lock file a save would be written to: LockPath, "/" unless it ends with
// one, "qovan." and the extension of the chosen format. Empty when the
// settings name no folder or a format outside the tables.
std::optional<std::string> LockFilePath(const Settings& settings, const SaveEntry& entry);

}  // namespace slk
