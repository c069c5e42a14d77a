#pragma once
// What is wrong in a card image, found from its raw bytes alone (not through
// the slot readers, which pass over much of what this reports): frame
// checksums, block states, link chains, sizes, names and capacity of a PS1
// card; the structure and counts of an expanded card image. Link chains are
// followed by the card reader's own walk (card/ps1_chain.h): check and the
// reader agree on where each chain ends.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "card/image_formats.h"

namespace slk {

enum class CardFault {
  FileSize,       // shorter or longer than the format's card
  HeaderMagic,    // frame 0 does not begin "MC" 00 00
  FrameChecksum,  // a frame's XOR checksum disagrees
  UnknownState,   // a directory state outside 0x51-0x53 and 0xA0-0xA3
  BrokenLink,     // a chain leaves the card, reaches a block not in use, or ends wrongly
  LoopingChain,   // a chain comes back to one of its own blocks
  SharedBlock,    // two saves' chains run into the same block
  OrphanBlock,    // a middle or last block that no save's chain reaches
  SizeMismatch,   // a save's size disagrees with its chain
  DuplicateName,  // two saves with the same name (letter case ignored)
  OverCapacity,   // the saves' sizes add up to more than 15 blocks
  BadMagic,       // an expanded card image not beginning "EXMC"
  BadVersion,     // an expanded card image version above 1
  Truncated,      // the file ends inside a record or a file's bytes
  TrailingBytes,  // bytes after the last save of an expanded card image
  BadEntryCount,  // a save whose entry count cannot hold "." and ".."
  BadSaveHeader,  // a save header whose tag, count or kind disagrees
  BadPS1Save,     // a PS1 save that is not one file of whole blocks
};

struct CardFinding {
  CardFault fault;
  std::string text;
};

// Checks a PS1 card image of its format's PS1 variant (.mem, .mcr, .gme, .mcd,
// .ps, .mci, ...).
std::vector<CardFinding> CheckPS1CardImage(std::span<const std::uint8_t> file, int variant);

// Checks an expanded card image (.xmc).
std::vector<CardFinding> CheckExpandedCardImage(std::span<const std::uint8_t> file);

// Either of the above by the format's layout (a PS2 card image has its own
// check and gets no findings here).
std::vector<CardFinding> CheckCardImage(std::span<const std::uint8_t> file, CardFormat format);

}  // namespace slk
