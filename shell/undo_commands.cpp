// Edit > Undo and Edit > Redo, and the recording of every step they undo:
// the slot states behind the Modified flag follow each step, so undoing
// back to what the file holds clears the flag again.

#include "shell/shell.h"

namespace slk {

SlotDocument Shell::Document(Slot s) const {
  return {state_.slotPath[s], state_.slotTitle[s], slotFileStamp_[s], savedState_[s]};
}

void Shell::UpdateModified(Slot s) {
  state_.modified[s] = slotState_[s] != savedState_[s] ? 1 : 0;
}

void Shell::MarkSaved(Slot s) {
  savedState_[s] = slotState_[s];
  UpdateModified(s);
}

void Shell::UpdateUndoItems() {
  menu_.SetItem(MenuId::Undo, history_.CanUndo());
  menu_.SetItem(MenuId::Redo, history_.CanRedo());
  window_.ApplyMenu(menu_);
}

void Shell::RecordEdit(SlotEdit edit) {
  Slot s = edit.Where();
  UndoStep step;
  step.slot = s;
  step.before = slotState_[s];
  step.after = slotState_[s] = ++lastState_;
  // Pages that could not be kept leave a change no step can undo: the
  // steps before it would undo into a card that never was.
  if (edit.Finish(*workspace_)) {
    step.edit.emplace(std::move(edit));
    history_.Record(std::move(step));
  } else {
    history_.Clear();
  }
  UpdateModified(s);
  UpdateUndoItems();
}

void Shell::RecordReplacement(Slot s, SlotData previous, SlotDocument document, bool saved) {
  UndoStep step;
  step.slot = s;
  step.before = slotState_[s];
  step.after = slotState_[s] = ++lastState_;
  step.card.emplace(std::move(previous));
  step.document = std::move(document);
  savedState_[s] = saved ? slotState_[s] : 0;
  history_.Record(std::move(step));
  UpdateModified(s);
  UpdateUndoItems();
}

void Shell::ApplyStep(UndoStep& step, bool undo) {
  Slot s = step.slot;
  if (step.edit) step.edit->Swap(*workspace_);
  if (step.card) {
    step.card = workspace_->ExchangeSlot(s, std::move(*step.card));
    SlotDocument current = Document(s);
    state_.slotPath[s] = step.document.path;
    state_.slotTitle[s] = step.document.title;
    slotFileStamp_[s] = step.document.stamp;
    savedState_[s] = step.document.savedState;
    step.document = std::move(current);
  }
  slotState_[s] = undo ? step.before : step.after;
  UpdateModified(s);
}

void Shell::ShowSlotAfterStep(Slot s) {
  if (state_.selectionSlot == s) state_.selectionSlot = -1;
  std::uint32_t count = RowCount(s);
  std::uint32_t& top = state_.scrollTop[s];
  top = count <= 9 ? 0 : std::min(top, LastScrollTop(count));
  if (SlotHoldsCard(s)) backend_.PrerenderSlotIcons(*workspace_, s, top);
  menu_.SetGroup(LoadedOnlyGroup(s), SlotHoldsCard(s));
}

void Shell::Undo() {
  StepThroughHistory(true);
}

void Shell::Redo() {
  StepThroughHistory(false);
}

void Shell::StepThroughHistory(bool undo) {
  // A locked save stays as it is; the detail view may show a save the step
  // takes away.
  if (SaveLocked() || !(undo ? history_.CanUndo() : history_.CanRedo())) return;
  if (state_.viewState == ViewState::Detail) CloseDetail();
  PauseRendering();
  UndoStep* step = undo ? history_.Undo() : history_.Redo();
  ApplyStep(*step, undo);
  ShowSlotAfterStep(step->slot);
  UpdateUndoItems();
  ResumeRendering();
}

}  // namespace slk
