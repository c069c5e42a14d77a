#pragma once
// Between the neutral PS2 save and the PS2 card image: a save read from a
// device format becomes a save to add to a card, and a card's save becomes
// one to write in a device format. The formats keep the card's own clock;
// the card library takes local time, so times are converted here.

#include "card/formats/save_formats.h"
#include "card/ps2/ps2_card_image.h"

namespace slk::formats {

// The returned save refers to `save`'s bytes, which must outlive it.
ps2::NewSave AsNewSave(const Ps2SaveData& save);

// Subfolders are left out: none of the formats can carry them.
Ps2SaveData FromCardSave(const ps2::Ps2CardImage& card, const ps2::Ps2Save& save);

}  // namespace slk::formats
