#pragma once
// The card and save data image targets share these drivers: each feeds the
// input to the program's own entry point as a file and asserts what must hold
// for any file at all.

#include <cstdint>
#include <span>
#include <string_view>

#include "card/save_entry.h"

namespace slk::fuzz {

using Input = std::span<const std::uint8_t>;

// OpenCardImage on the input as a card image with this extension.
// Refused: the slot stays open, empty, of its old kind, and the last message
// is "The File wasn't opened.". Accepted: the slot is consistent; SaveCardImage
// to the same format succeeds without a message; that file opens to the same
// saves; and saving those again gives the same bytes.
void FuzzCardImage(Input input, std::string_view extension);

struct ImportOutcome {
  bool accepted = false;
  bool ps1Save = false;
};

// AddSaveImage on the input as a save data image with this extension, into a
// slot of `kind` that already holds one save. Refused: that save is untouched
// and no entry or row was added. Accepted: one entry and row more, the old
// save untouched; SaveSaveImage to the same format succeeds and imports again
// as the same save.
ImportOutcome FuzzSaveImage(Input input, std::string_view extension, CardKind kind);

// An extension from `choices` picked by the input's length, so that every
// extension of a format family is exercised while the input stays a plain
// file of the format.
std::string_view PickExtension(Input input, std::span<const std::string_view> choices);

}  // namespace slk::fuzz
