#pragma once
// PS2 saves kept as plain folders, where slotkeeper-cli takes a save file:
// `import` and `list` read a folder argument as one save, and `export`
// writes one with --folder or to a path ending in '/'.

#include <cstdint>
#include <string>

#include "card/workspace.h"

namespace slk {

// Whether a command-line argument names a folder (a link given by the user
// is followed; links inside the folder never are).
bool IsFolderArgument(const std::string& path);

// Adds the save a folder or a save data image holds to the open slot.
std::uint32_t AddSaveFileOrFolder(Workspace& ws, Slot s, const std::string& path);

// Where `export` writes a save as a folder: `out` itself with --folder, or
// the save's name inside `out` when `out` ends in '/'. Empty: not a folder.
std::string ExportFolderPath(const Workspace& ws, Slot s, std::uint32_t row, const std::string& out,
                             bool folder);

}  // namespace slk
