#pragma once
// The six PS1 card image formats: the bare 131,072-byte card (.mcr, .mcd, .ps,
// .mci), the same behind a 64-byte "VgsM" header (.mem), and the DexDrive
// .gme with its 3,904-byte header (read with or without it).

#include <cstdint>
#include <span>

#include "card/image_formats.h"
#include "card/ps1_layout.h"
#include "card/workspace.h"
#include "platform/file.h"

namespace slk {

// Reads the card's saves into the open, empty slot. 0 (no message of its own)
// for a file that is not a whole PS1 card of this variant (PS1Variant).
std::uint32_t ReadPS1Card(Workspace& ws, Slot s, platform::File& image, int variant);

// A DexDrive file that another tool cut after its last save: the header,
// block 0 and whole blocks, `signed_` when it begins with the signature. The
// card bytes it holds (block 0 and up to 14 more), or 0 for any other size.
std::uint32_t ShortGmeCardBytes(std::uint64_t fileSize, bool signed_);
// Directory frames of the blocks from `blocksPresent` on made free: blocks a
// short file does not hold read as free.
void FreeMissingBlocks(std::span<std::uint8_t> card, std::uint32_t blocksPresent);

// Writes every row. The caller has checked RowsFitPS1Card. False when a
// save's bytes could not be read from the slot or a write failed.
bool WritePS1Card(Workspace& ws, Slot s, platform::File& image, int variant);

// The same card holding only `entry` (the lock file).
bool WritePS1CardSingle(Workspace& ws, Slot s, const SaveEntry& entry, platform::File& image,
                        int variant);

// True when every row is a PS1 save of whole blocks and together they take at
// most 15 blocks.
bool RowsFitPS1Card(const Workspace& ws, Slot s);
// The same test for one save.
bool SaveFitsPS1Card(const SaveEntry& entry);

}  // namespace slk
