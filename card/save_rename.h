#pragma once
// Giving a save another name: a PS1 save's card file name (at most 20
// characters, kept in its directory frame), a PS2 save's folder name (at
// most 32 bytes; on a PS2 card image its root entry too).

#include <cstdint>
#include <string_view>

#include "card/workspace.h"
#include "platform/problem.h"

namespace slk {

// Why `name` cannot become the name of the slot's row `row`: empty, holding
// '/' or a byte outside printable ASCII, too long for the save's kind, "."
// or "..", or the name of another save of the card. Nothing when it can.
platform::Problem RenameProblem(const SlotData& slot, std::uint32_t row, std::string_view name);

// Whether a PS1 card file name begins with a region code (BA, BI or BE):
// the console lists a save by it.
bool HasRegionCode(const Name64& name);

// Renames the row's save. A refusal shows "The SaveData was not renamed."
// with the reason and returns false, changing nothing. A PS1 save whose name
// had a region code and no longer has one is renamed with a warning.
bool RenameSave(Workspace& ws, Slot s, std::uint32_t row, std::string_view name);

}  // namespace slk
