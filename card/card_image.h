#pragma once
// Loading a card image into a slot and writing a slot as a card image.

#include <cstdint>
#include <string>

#include "card/workspace.h"

namespace slk {

// Reads the image at `path` into the open, empty slot and sets its kind.
// Shows the reader's message and returns 0 on any failure.
std::uint32_t OpenCardImage(Workspace& ws, Slot s, const std::string& path);

// Writes every row of the slot in the format of the path's extension and sets
// the slot's kind to that format's. The old file is replaced only once the
// new one is complete. A save whose blocks broke off on its card is written
// only when the user answers Yes for it; No returns 0 without a message.
std::uint32_t SaveCardImage(Workspace& ws, Slot s, const std::string& path);

// What a file dropped on a slot or named to the command-line tool opens as.
// The extension decides, but a PS1 card's extension on a raw PS1 save (other
// tools name single saves .srm or .mcd) makes it that save, and a name
// without an extension is a save (read by its content) only when it names a
// file, not a folder.
enum class PathKind { CardImage, SaveDataImage, Neither };
PathKind KindOfPath(const std::string& path);

// A raw PS1 save: whole blocks, fewer than a card holds, "SC" first. A
// 128 KiB .srm is a card.
bool IsRawPS1Save(const std::string& path);

// "The File wasn't opened." for a reader that failed on `path`, naming a full
// temporary folder when that is where the slot's copy of the saves failed.
void ShowReadFailure(Workspace& ws, Slot s, const std::string& path);

}  // namespace slk
