// The window's events: menu and button dispatch, the mouse over the panels,
// drops, the switch between list and detail view, scrolling and the recovery
// of lost surfaces.

#include "shell/busy_scope.h"
#include "shell/shell.h"

namespace slk {

bool Shell::CloseRequested() {
  if (busy_ > 0) return false;
  BusyScope busy(*this);
  if (ConfirmDiscard(kLeft)) return false;
  if (ConfirmDiscard(kRight)) return false;
  return true;
}

void Shell::SetMenuItems(MenuGroup group, bool enable) {
  menu_.SetGroup(group, enable);
  window_.ApplyMenu(menu_);
}

void Shell::MenuLoop(bool active) {
  state_.menuLoopActive = active ? 1 : 0;
}

void Shell::Command(int id) {
  if (busy_ > 0 || !workspace_ || !menu_.Enabled(id)) return;
  BusyScope busy(*this);
  if (id >= MenuId::NewFile && id <= MenuId::SaveAs + 1) {
    Slot s = (id - MenuId::NewFile) % 2;
    int leftId = id - s;
    switch (leftId) {
      case MenuId::NewFile:
        return NewFile(s);
      case MenuId::InsertChange:
        return InsertChange(s);
      case MenuId::Eject:
        if (SlotHoldsCard(s)) Eject(s);
        return;
      case MenuId::AddSaveDataImage:
        return AddSaveDataImage(s);
      case MenuId::Save:
        if (SlotHoldsCard(s)) Save(s);
        return;
      case MenuId::SaveAs:
        if (SlotHoldsCard(s)) SaveAs(s);
        return;
    }
    return;
  }
  if (id == MenuId::RestoreBackup || id == MenuId::RestoreBackup + 1) {
    Slot s = id - MenuId::RestoreBackup;
    if (SlotHoldsCard(s)) RestoreBackup(s);
    return;
  }
  switch (id) {
    case MenuId::Exit:
      return window_.PostClose();
    case MenuId::Copy:
    case MenuId::Delete:
    case MenuId::SaveSdi:
    case MenuId::Lock:
    case MenuId::Rename:
      return RunEditCommand(id);
    case MenuId::Undo:
      return Undo();
    case MenuId::Redo:
      return Redo();
    case MenuId::Setting:
      if (Modal().EditSettings(settings_)) window_.SetWindowScale(settings_.WindowScale);
      return;
    case MenuId::Info:
      return Modal().ShowInfo();
  }
}

void Shell::RunEditCommand(int id) {
  int slot = state_.selectionSlot;
  if (slot < 0) return;
  std::uint32_t position = state_.selectionPosition;
  if (id == MenuId::Lock) return Lock(slot, position);
  // While a save is locked it must stay as it is.
  if (SaveLocked()) return;
  if (id == MenuId::Copy) return Copy(slot, position);
  if (id == MenuId::Delete) return Delete(slot, position);
  if (id == MenuId::SaveSdi) return SaveSdi(slot, position);
  if (id == MenuId::Rename) return Rename(slot, position);
}

// Buttons 0-3 are the detail view's Copy, Delete, SaveSDI and Lock; 4-9 and
// 10-15 the scroll buttons of Left and Right.
void Shell::ButtonClicked(int id) {
  if (busy_ > 0 || !workspace_) return;
  BusyScope busy(*this);
  if (id >= 0 && id <= 3) {
    if (state_.viewState != ViewState::Detail) return;
    static constexpr int kEditIds[4] = {MenuId::Copy, MenuId::Delete, MenuId::SaveSdi,
                                        MenuId::Lock};
    return RunEditCommand(kEditIds[id]);
  }
  if (id >= 4 && id <= 15 && state_.viewState == ViewState::List) {
    Slot s = id < 10 ? kLeft : kRight;
    if (SlotHoldsCard(s)) ScrollSlot(s, static_cast<ScrollAction>((id - 4) % 6));
  }
}

bool Shell::HitTest(int x, int y) {
  for (Slot s : {kLeft, kRight}) {
    const PanelRect& r = kPanelRects[s];
    if (!SlotHoldsCard(s) || !r.Contains(x, y)) continue;
    std::uint32_t row = static_cast<std::uint32_t>((y - r.top) / kCellHeight);
    std::uint32_t column = static_cast<std::uint32_t>((x - r.left) / kCellWidth);
    std::uint32_t position = 3 * row + column + state_.scrollTop[s];
    if (position < RowCount(s)) {
      state_.selectionPosition = position;
      state_.selectionSlot = s;
      return true;
    }
  }
  return false;
}

std::uint32_t Shell::SelectedEntry() const {
  return workspace_->At(state_.selectionSlot).rows[state_.selectionPosition];
}

void Shell::DrawSelectedTitle() {
  backend_.DrawTitleBox(*workspace_, state_.selectionSlot, SelectedEntry());
}

void Shell::MouseMoved(int x, int y) {
  pointerX_ = x;
  pointerY_ = y;
  if (busy_ > 0 || !workspace_ || state_.viewState != ViewState::List) return;
  if (!HitTest(x, y)) return;
  PauseRendering();
  DrawSelectedTitle();
  ResumeRendering();
}

void Shell::LeftButtonDown(int x, int y) {
  if (busy_ > 0 || !workspace_ || state_.viewState != ViewState::List) return;
  BusyScope busy(*this);
  if (HitTest(x, y)) OpenDetail();
}

void Shell::RightButtonDown(int x, int y) {
  if (busy_ > 0 || !workspace_) return;
  BusyScope busy(*this);
  if (state_.viewState == ViewState::List) {
    for (Slot s : {kLeft, kRight}) {
      if (kPanelRects[s].Contains(x, y)) return window_.PopupSlotMenu(s, x, y);
    }
  } else if (state_.viewState == ViewState::Detail && !SaveLocked()) {
    CloseDetail();
  }
}

void Shell::FilesDropped(int x, int y, const std::vector<std::string>& paths) {
  if (busy_ > 0 || !workspace_ || state_.viewState != ViewState::List) return;
  BusyScope busy(*this);
  for (Slot s : {kLeft, kRight}) {
    if (!kPanelRects[s].Contains(x, y)) continue;
    for (const std::string& path : paths) OpenPathIntoSlot(s, path, true);
    return;
  }
}

void Shell::CreateScrollButtons() {
  for (auto& pressed : state_.scrollButtonState) pressed = 0;
  window_.CreateScrollButtons();
}

void Shell::CreateActionButtons() {
  for (auto& pressed : state_.actionButtonState) pressed = 0;
  window_.CreateActionButtons();
}

void Shell::OpenDetail() {
  state_.viewState = ViewState::Changing;
  window_.DestroyScrollButtons();
  menu_.SetGroup(MenuGroup::LeftAll, false);
  SetMenuItems(MenuGroup::RightAll, false);
  if (settings_.AnimationCut == 0) {
    state_.displayMode = DisplayMode::Transition;
    heldInput_ = true;
    backend_.PlayTransition(state_, 0, [this] { window_.ShowLatestFrame(); });
  }
  PauseRendering();
  backend_.BuildDetailScreen(*workspace_, state_.selectionSlot, SelectedEntry());
  CreateActionButtons();
  SetMenuItems(MenuGroup::Edit, true);
  state_.displayMode = DisplayMode::Detail;
  ResumeRendering();
  state_.viewState = ViewState::Detail;
}

void Shell::CloseDetail() {
  state_.viewState = ViewState::Changing;
  SetMenuItems(MenuGroup::Edit, false);
  window_.DestroyActionButtons();
  if (settings_.AnimationCut == 0) {
    state_.displayMode = DisplayMode::Transition;
    ResumeRendering();
    heldInput_ = true;
    backend_.PlayTransition(state_, 1, [this] { window_.ShowLatestFrame(); });
  }
  CreateScrollButtons();
  for (Slot s : {kLeft, kRight}) {
    menu_.SetGroup(SlotHoldsCard(s) ? AllGroup(s) : AlwaysGroup(s), true);
  }
  window_.ApplyMenu(menu_);
  state_.displayMode = DisplayMode::List;
  if (settings_.AnimationCut != 0) ResumeRendering();
  state_.viewState = ViewState::List;
}

void Shell::ScrollSlot(Slot s, ScrollAction action) {
  std::uint32_t count = RowCount(s);
  std::uint32_t top = state_.scrollTop[s];
  bool up = action == ScrollAction::Top || action == ScrollAction::PageUp ||
            action == ScrollAction::RowUp;
  if (up ? top < 3 : top + 9 >= count) return;
  std::uint32_t next = 0;
  switch (action) {
    case ScrollAction::Top:
      next = 0;
      break;
    case ScrollAction::PageUp:
      next = top >= 9 ? top - 9 : 0;
      break;
    case ScrollAction::RowUp:
      next = top - 3;
      break;
    case ScrollAction::RowDown:
      next = top + 3;
      break;
    case ScrollAction::PageDown:
      next = top + 18 < count ? top + 9 : LastScrollTop(count);
      break;
    case ScrollAction::Bottom:
      next = LastScrollTop(count);
      break;
  }
  PauseRendering();
  state_.scrollTop[s] = next;
  backend_.PrerenderSlotIcons(*workspace_, s, next);
  ResumeRendering();
}

void Shell::Paint() {
  // Not in the middle of a handler (it may have paused rendering around a
  // half-made change, or be animating the view switch).
  if (busy_ > 0 || paused_ || !workspace_ || !threadStarted_) return;
  if (state_.viewState == ViewState::Changing) return;
  if (backend_.PrimaryLost()) {
    RecoverSurfaces();
  } else if (state_.viewState == ViewState::List && backend_.FramesLeftToPrerender()) {
    // The window has its first frame: the cells' other frames, long before
    // the list clock reaches them.
    PauseRendering();
    ResumeRendering();
  }
}

void Shell::RecoverSurfaces() {
  PauseRendering();
  backend_.RestoreSurfaces();
  // A closed slot has nothing to render (and its ScrollTop may be stale).
  for (Slot s : {kLeft, kRight}) {
    if (SlotHoldsCard(s)) backend_.PrerenderSlotIcons(*workspace_, s, state_.scrollTop[s]);
  }
  int slot = state_.selectionSlot;
  if (slot >= 0 && state_.selectionPosition < RowCount(slot)) DrawSelectedTitle();
  backend_.ComposePanels(state_, *workspace_);
  if (state_.viewState == ViewState::Detail) {
    backend_.BuildDetailScreen(*workspace_, state_.selectionSlot, SelectedEntry());
  }
  ResumeRendering();
}

}  // namespace slk
