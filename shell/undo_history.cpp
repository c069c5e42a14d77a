#include "shell/undo_history.h"

#include <utility>

namespace slk {

void UndoHistory::Record(UndoStep step) {
  undone_.clear();
  done_.push_back(std::move(step));
  while (done_.size() > kLimit) done_.pop_front();
}

UndoStep* UndoHistory::Undo() {
  if (done_.empty()) return nullptr;
  undone_.push_back(std::move(done_.back()));
  done_.pop_back();
  return &undone_.back();
}

UndoStep* UndoHistory::Redo() {
  if (undone_.empty()) return nullptr;
  done_.push_back(std::move(undone_.back()));
  undone_.pop_back();
  return &done_.back();
}

void UndoHistory::Clear() {
  done_.clear();
  undone_.clear();
}

}  // namespace slk
