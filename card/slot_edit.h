#pragma once
// One edit of a slot's saves (copy into it, delete, add a save data image,
// rename), kept so that it can be undone and redone. It keeps the other side
// of the change: the rows, the one save record the edit changed, and the
// pages of the kept PS2 card image the edit overwrote. Swap puts the other
// side in place and keeps the side it replaced, so the same record undoes
// and then redoes.
//
// Save bytes never enter memory: a copy's bytes stay in the slot's data file
// (undone, its entry is no longer listed), a deleted save's bytes were never
// removed from it, and the overwritten card pages are written there too, as
// an entry no row lists.

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "card/workspace.h"

namespace slk {

class SlotEdit {
 public:
  // Taken just before the edit: notes the rows, the record of `entry` when
  // the edit changes one, and starts the kept card's change log.
  SlotEdit(Workspace& ws, Slot s, std::optional<std::uint32_t> entry = std::nullopt);

  // The edit was made: keeps the card pages it overwrote in the slot's data
  // file. False when they could not be kept; the edit cannot be undone then.
  bool Finish(Workspace& ws);
  // The edit was refused: stops the card's change log.
  void Abandon(Workspace& ws);

  // Puts the other side of the edit in place in the slot.
  void Swap(Workspace& ws);

  Slot Where() const { return slot_; }

 private:
  void SwapCardPages(Workspace& ws);
  std::uint64_t PageDigest(const ps2::Ps2CardImage& card) const;

  Slot slot_;
  std::vector<std::uint32_t> rows_;
  std::optional<std::pair<std::uint32_t, SaveEntry>> entry_;
  // Pages of the kept card the edit overwrote, and where in the data file
  // their other side lies, one raw page after another.
  std::vector<std::uint32_t> pages_;
  std::uint64_t pagesOffset_ = 0;
  // The card pages as this side left them: another card in the slot (a
  // Save As that made a new one) is not patched with pages of this one.
  std::uint64_t digest_ = 0;
};

}  // namespace slk
