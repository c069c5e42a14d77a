#pragma once
// A PS2 save kept as a plain folder of files (card/formats/save_folder.h),
// brought into a slot and written out of one.

#include <cstdint>
#include <string>

#include "card/workspace.h"

namespace slk {

// Reads the folder at `path` as one PS2 save and adds it to the open slot as
// a new last row, on the terms Add SaveDataImage applies to a file (no PS2
// save into a PS1 card; a PS2 card image must have room). A folder without
// icon.sys shows the standard icon. Shows one message with the reason and
// returns 0 on refusal, leaving the slot as it was.
std::uint32_t AddSaveFolder(Workspace& ws, Slot s, const std::string& path);

// Whether `path` names a folder, which is then taken as a PS2 save (a link
// the user named is followed; links inside the folder never are).
bool IsSaveFolder(const std::string& path);

// AddSaveFolder for a folder, AddSaveImage for anything else.
std::uint32_t AddSaveImageOrFolder(Workspace& ws, Slot s, const std::string& path);

// Writes the save of row `row` as the new folder `path` (which must not
// exist). A PS1 save is refused: read back, a folder is a PS2 save. Shows
// "The File wasn't preserved." with the reason and returns 0 on refusal;
// nothing is left behind.
std::uint32_t SaveSaveFolder(Workspace& ws, Slot s, std::uint32_t row, const std::string& path);

// The folder a save goes to inside `parent`: `parent`/NAME, its name as the
// card spells it. (SaveSaveFolder checks that name before it writes.)
std::string SaveFolderPath(const Workspace& ws, Slot s, std::uint32_t row,
                           const std::string& parent);

}  // namespace slk
