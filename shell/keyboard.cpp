// The keyboard and the mouse wheel: the same state changes as the pointer and
// the scroll buttons make, reached without them.

#include <algorithm>

#include "resources/strings.h"
#include "shell/busy_scope.h"
#include "shell/shell.h"

namespace slk {

namespace {

// The panel that holds a client point, or -1.
Slot PanelAt(int x, int y) {
  for (Slot s : {kLeft, kRight})
    if (kPanelRects[s].Contains(x, y)) return s;
  return -1;
}

// How far an arrow moves the selection in a grid three saves wide.
int ArrowStep(Key key) {
  switch (key) {
    case Key::Left:
      return -1;
    case Key::Right:
      return 1;
    case Key::Up:
      return -3;
    case Key::Down:
      return 3;
    default:
      return 0;
  }
}

}  // namespace

Slot Shell::KeyboardSlot() const {
  int selected = state_.selectionSlot;
  if ((selected == kLeft || selected == kRight) && SlotHoldsCard(selected)) return selected;
  Slot pointed = PanelAt(pointerX_, pointerY_);
  return pointed >= 0 && SlotHoldsCard(pointed) ? pointed : -1;
}

void Shell::SelectPosition(Slot s, std::uint32_t position) {
  // The view follows the selection by whole rows, as the scroll buttons move.
  std::uint32_t top = state_.scrollTop[s];
  std::uint32_t row = position - position % 3;
  std::uint32_t next = position < top ? row : position >= top + 9 ? row - 6 : top;
  PauseRendering();
  state_.selectionPosition = position;
  state_.selectionSlot = s;
  if (next != top) {
    state_.scrollTop[s] = next;
    backend_.PrerenderSlotIcons(*workspace_, s, next);
  }
  DrawSelectedTitle();
  ResumeRendering();
}

void Shell::WheelTurned(int x, int y, int rows) {
  if (busy_ > 0 || !workspace_ || state_.viewState != ViewState::List || rows == 0) return;
  BusyScope busy(*this);
  Slot s = PanelAt(x, y);
  if (s < 0 || !SlotHoldsCard(s)) return;
  for (int i = 0; i < std::abs(rows); ++i)
    ScrollSlot(s, rows > 0 ? ScrollAction::RowUp : ScrollAction::RowDown);
}

void Shell::KeyPressed(Key key) {
  if (busy_ > 0 || !workspace_) return;
  BusyScope busy(*this);
  if (state_.viewState == ViewState::Detail) {
    if (SaveLocked()) return;
    if (key == Key::Escape || key == Key::Backspace) return CloseDetail();
    if (key == Key::Delete && AskYesNo(res::TextId::ConfirmDelete))
      return RunEditCommand(MenuId::Delete);
    return;
  }
  if (state_.viewState != ViewState::List) return;
  Slot s = KeyboardSlot();
  if (s < 0) {
    // Nothing selected or pointed at: the keys start on the first card.
    s = SlotHoldsCard(kLeft) && RowCount(kLeft) > 0 ? kLeft : kRight;
    if (!SlotHoldsCard(s)) return;
  }
  std::uint32_t count = RowCount(s);
  bool selected = state_.selectionSlot == s && state_.selectionPosition < count;
  switch (key) {
    case Key::PageUp:
      return ScrollSlot(s, ScrollAction::PageUp);
    case Key::PageDown:
      return ScrollSlot(s, ScrollAction::PageDown);
    case Key::Home:
      return ScrollSlot(s, ScrollAction::Top);
    case Key::End:
      return ScrollSlot(s, ScrollAction::Bottom);
    case Key::Enter:
      if (selected) OpenDetail();
      return;
    case Key::Tab: {
      Slot other = OtherSlot(s);
      if (SlotHoldsCard(other) && RowCount(other) > 0)
        SelectPosition(other, std::min(state_.scrollTop[other], RowCount(other) - 1));
      return;
    }
    default:
      break;
  }
  int step = ArrowStep(key);
  if (step == 0 || count == 0) return;
  if (!selected) return SelectPosition(s, std::min(state_.scrollTop[s], count - 1));
  std::int64_t next = static_cast<std::int64_t>(state_.selectionPosition) + step;
  if (next >= 0 && next < count) SelectPosition(s, static_cast<std::uint32_t>(next));
}

}  // namespace slk
