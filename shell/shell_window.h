#pragma once
// What the shell's logic asks of its main window. The Qt window implements
// it; tests use a recording double.

#include <string>

#include "card/workspace.h"
#include "shell/menu_items.h"

namespace slk {

class ShellWindow {
 public:
  virtual ~ShellWindow() = default;

  // Creates the main window with its menu and the client area that shows
  // the 512 x 312 picture, not yet shown.
  virtual void Create(const std::string& title) = 0;
  virtual void Show() = 0;
  // Sizes the window for the picture at `scale` times (1 to 3; 0 as the
  // screen asks). The user may resize it afterwards.
  virtual void SetWindowScale(int scale) { (void)scale; }
  // Brings the real menu in line with `menu` (the menu is "attached again").
  virtual void ApplyMenu(const MenuState& menu) = 0;

  // The child buttons; the shell clears their pressed states first.
  virtual void CreateScrollButtons() = 0;
  virtual void DestroyScrollButtons() = 0;
  virtual void CreateActionButtons() = 0;
  virtual void DestroyActionButtons() = 0;

  // Pops up the slot's submenu of the File menu at a client point. Returns at
  // once; a chosen item arrives later as a menu command.
  virtual void PopupSlotMenu(Slot slot, int x, int y) = 0;
  virtual void Minimise() = 0;
  // Asks the window to close later, as the close box would.
  virtual void PostClose() = 0;
  // Shows the frame presented last, at once, without handling any input.
  virtual void ShowLatestFrame() = 0;
  // Delivers the input that is waiting now, while the shell is still busy,
  // so that its handlers drop it.
  virtual void DropQueuedInput() = 0;
};

}  // namespace slk
