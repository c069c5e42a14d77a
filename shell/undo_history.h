#pragma once
// Edit > Undo and Edit > Redo: one history across both slots, in the order
// the user acted. A step is either an edit of a slot's saves (SlotEdit) or a
// card replaced whole (New File, Insert, Eject, a save data image added to
// an empty slot), which keeps the card it replaced, temporary file and all,
// with what the window knew of it. Applying a step swaps its other side in,
// so the same step serves Undo and then Redo.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "card/slot_edit.h"
#include "card/workspace.h"
#include "platform/links.h"

namespace slk {

// What the window keeps of a slot beside its card.
struct SlotDocument {
  std::string path;
  std::string title;  // Shift-JIS, as the panel draws it
  std::optional<platform::FileStamp> stamp;
  // The slot state its file holds (0: never saved); the slot is modified
  // while its state is another.
  std::uint64_t savedState = 0;
};

struct UndoStep {
  Slot slot = kLeft;
  // The slot's states before and after the step; every change makes a new one.
  std::uint64_t before = 0;
  std::uint64_t after = 0;
  std::optional<SlotEdit> edit;
  // A card replaced whole: the card on the other side, and its document.
  std::optional<SlotData> card;
  SlotDocument document;
};

class UndoHistory {
 public:
  // Steps kept; the oldest goes first. A replaced card holds its temporary
  // file until its step goes.
  static constexpr std::size_t kLimit = 100;

  // A new step: whatever was undone can no longer be redone.
  void Record(UndoStep step);
  bool CanUndo() const { return !done_.empty(); }
  bool CanRedo() const { return !undone_.empty(); }
  // The step to apply, moved to the other list; nothing when there is none.
  UndoStep* Undo();
  UndoStep* Redo();
  void Clear();

 private:
  std::deque<UndoStep> done_;
  std::deque<UndoStep> undone_;
};

}  // namespace slk
