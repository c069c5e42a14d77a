#pragma once
// The save formats other tools and devices write (.mcs, raw PS1 saves, .psv,
// .max, .cbs, .sps, .xps): the file's bytes go through the format library
// (card/formats) and the save it gives becomes a slot entry; an entry goes
// back the same way.

#include <cstdint>
#include <string_view>

#include "card/image_formats.h"
#include "card/workspace.h"
#include "platform/file.h"

namespace slk {

// Adds the save in `image` as the slot's last entry (not listed as a row) and
// returns 1, or notes why not on the workspace and adds nothing. `nameHint`
// names a raw PS1 save, which carries no name of its own.
std::uint32_t ReadForeignSave(Workspace& ws, Slot s, platform::File& image, FormatLayout layout,
                              std::string_view nameHint);

// Writes `entry` of slot `s` in the layout; 0 when its bytes could not be
// read back or a write failed. The caller has checked that the format
// carries the save.
std::uint32_t WriteForeignSave(Workspace& ws, Slot s, const SaveEntry& entry, platform::File& image,
                               FormatLayout layout);

}  // namespace slk
