#pragma once
// A PS2 card image (.ps2, .mc2, .vmc) in a slot. Opening keeps the card
// itself on the slot and copies every save the rows can carry into the
// slot's data file; copying into the slot and deleting from it change the
// kept card at the same moment, so that Save writes the card back in place
// and everything not changed stays byte for byte.

#include <cstdint>
#include <memory>
#include <string>

#include "card/workspace.h"
#include "platform/file.h"

namespace slk {

// Reads the whole card into the open, empty slot. Refuses (noting why on
// the workspace) what is not a PS2 card image; a damaged card opens.
bool ReadPS2CardImage(Workspace& ws, Slot s, platform::File& image);

// Why the card is damaged, for the second line of a message: the number of
// faults its check found and the first of them.
platform::Problem DamageProblem(const ps2::Ps2CardImage& card);

// Puts `save` (a row of `fromSlot`) on the kept card of slot `to`, replacing
// the save of that name on it when `replace` is set. Shows the message and
// returns false when the card cannot take it; the card is unchanged then.
bool AddToPS2Card(Workspace& ws, Slot fromSlot, const SaveEntry& save, Slot to, bool replace);

// The kept card's own answer to a PS2 card's first rule: a PS1 save is
// refused with its message.
bool PS2CardTakes(Workspace& ws, const SaveEntry& save);

// Removes the save of that name from the slot's kept card, if it has one.
void DeleteFromPS2Card(Workspace& ws, Slot s, const Name64& name);

// A newly formatted 8 MB card, with ECC as the New File choice makes it.
std::unique_ptr<ps2::Ps2CardImage> NewPS2Card(ps2::Form form = ps2::Form::WithEcc);

// Makes the slot a PS2 card image in `form`: its kept card turned into that
// form, or a new card holding its rows (BuildPS2Card). Nothing changes, and
// `why` says why, when the rows do not go on a card.
bool MakePS2CardInForm(Workspace& ws, Slot s, ps2::Form form, platform::Problem& why);

// A new formatted card holding every row of the slot (an expanded card
// written as a PS2 card image). Nothing, with why, when a row is a PS1 save
// or the rows do not fit.
std::unique_ptr<ps2::Ps2CardImage> BuildPS2Card(Workspace& ws, Slot s, platform::Problem& why);

// Writes the kept card's bytes; false when the slot keeps no card.
bool WritePS2CardImage(Workspace& ws, Slot s, platform::File& out);

}  // namespace slk

namespace slk {

// One fault of a card's check, in words: what it is, where and whose.
std::string DescribeFault(const ps2::Fault& fault);

}  // namespace slk
