#pragma once
// Save data image files: one save per file, in the layouts of the format
// table (card/image_formats.h): the directory-with-files layout of .psu and
// .psd (PS1 and PS2 saves), the single-frame layouts of .ps1, .mcx and .mcb,
// and the framed-block layout of .psm and .mc (PS1 saves only).

#include <cstdint>
#include <string>
#include <string_view>

#include "card/image_formats.h"
#include "card/workspace.h"
#include "platform/file.h"

namespace slk {

// The format a save data image is read in: by its extension, or a raw PS1
// save under a PS1 card's extension. Nothing for any other file.
const FormatRow* SaveImageFormat(const std::string& path);

// Imports the file at `path` into the open slot as a new entry and a new last
// row. Into a PS1 card only what Copy would let in (a PS1 save, a new name,
// at most 15 blocks in all), with Copy's messages. Shows one message and
// returns 0 on failure; a refused file leaves the slot unchanged.
std::uint32_t AddSaveImage(Workspace& ws, Slot s, const std::string& path);

// Exports entries[rows[row]] in the format of the path's extension. An old
// file is replaced only once the new one is complete.
std::uint32_t SaveSaveImage(Workspace& ws, Slot s, std::uint32_t row, const std::string& path);

// Readers. Each adds one entry after the slot's last (not listed as a row) and
// returns 1, or adds nothing and returns 0. Every count and size is checked
// against the bytes the file holds before anything is copied.
std::uint32_t ReadPsu(Workspace& ws, Slot s, platform::File& image);
// `nameHint` names a save that carries no name of its own (the headerless
// form of .mcx/.mcb): the file's name without folder and extension.
std::uint32_t ReadSingleFrameImage(Workspace& ws, Slot s, platform::File& image, int variant,
                                   std::string_view nameHint = {});
std::uint32_t ReadFramedBlocks(Workspace& ws, Slot s, platform::File& image);

// Writers of one entry of slot `s`; 0 when a write failed or the layout cannot
// carry the save (the PS1-only layouts and a PS2 save or a save that is not a
// whole number of blocks).
std::uint32_t WritePsu(Workspace& ws, Slot s, const SaveEntry& entry, platform::File& image);
std::uint32_t WriteSingleFrameImage(Workspace& ws, Slot s, const SaveEntry& entry,
                                    platform::File& image, int variant);
std::uint32_t WriteFramedBlocks(Workspace& ws, Slot s, const SaveEntry& entry,
                                platform::File& image);

// True when `format` is written and can carry `entry`: .psu/.psd any save,
// the others the kinds of save they carry, a PS1 save only of one or more
// whole blocks.
bool SaveImageCarries(SaveFormat format, const SaveEntry& entry);
// Writes `entry` in `format`.
std::uint32_t WriteSaveImage(Workspace& ws, Slot s, const SaveEntry& entry, platform::File& image,
                             SaveFormat format);

}  // namespace slk
