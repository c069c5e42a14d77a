#pragma once
// Shell::BusyScope, shared by the files that handle the window's events.

#include "shell/shell.h"

namespace slk {

// Marks a handler as running, so that events arriving from a modal loop it
// opened (a dialog, a message box) are not handled in the middle of it.
// Input that queued up while the handler held the window (an animation, a
// dialog) is delivered before the handler counts as done, and so dropped:
// the user aimed those clicks at what was on the screen before.
class Shell::BusyScope {
 public:
  explicit BusyScope(Shell& shell) : shell_(shell) {
    if (shell_.busy_++ == 0) shell_.heldInput_ = false;
  }
  ~BusyScope() {
    if (shell_.busy_ == 1 && shell_.heldInput_) {
      shell_.heldInput_ = false;
      shell_.window_.DropQueuedInput();
    }
    --shell_.busy_;
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  Shell& shell_;
};

}  // namespace slk
