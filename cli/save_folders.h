#pragma once
// Where `slotkeeper-cli export` writes a save as a folder of its files.

#include <cstdint>
#include <string>

#include "card/workspace.h"

namespace slk {

// `out` itself with --folder, or the save's name inside `out` when `out`
// ends in '/'. Empty: write a save data image instead.
std::string ExportFolderPath(const Workspace& ws, Slot s, std::uint32_t row, const std::string& out,
                             bool folder);

}  // namespace slk
