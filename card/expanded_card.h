#pragma once
// The expanded card image (.xmc): the program's own format, holding any
// number of PS1 and PS2 saves, each as a directory entry followed by its files.

#include <cstdint>

#include "card/workspace.h"
#include "platform/file.h"

namespace slk {

// Reads the image into the open, empty slot. Shows its own message for a bad
// magic or version; 0 for any failure.
std::uint32_t ReadExpandedCard(Workspace& ws, Slot s, platform::File& image);

// Writes every row (single = false), or only `entry` (the lock file).
// 0 when a write failed.
std::uint32_t WriteExpandedCard(Workspace& ws, Slot s, platform::File& image, bool single,
                                const SaveEntry* entry);

}  // namespace slk
