#pragma once
// Menu 140: its command ids, the fixed groups that are enabled or greyed
// together, and the enabled state of every item. The window mirrors this
// state into its real menu each time a group changes.

#include <array>
#include <cstdint>
#include <span>

#include "card/workspace.h"
#include "resources/ui_texts.h"

namespace slk {

// The command ids are those of the menu resource.
namespace MenuId = res::MenuId;
constexpr int kFirstMenuId = MenuId::NewFile;
constexpr int kLastMenuId = MenuId::RestoreBackup + 1;

enum class MenuGroup {
  LeftLoadedOnly,
  RightLoadedOnly,
  LeftAll,
  RightAll,
  LeftAlways,
  RightAlways,
  Edit,  // the commands on the save the detail view shows
};

inline MenuGroup LoadedOnlyGroup(Slot s) {
  return s == kLeft ? MenuGroup::LeftLoadedOnly : MenuGroup::RightLoadedOnly;
}
inline MenuGroup AllGroup(Slot s) {
  return s == kLeft ? MenuGroup::LeftAll : MenuGroup::RightAll;
}
inline MenuGroup AlwaysGroup(Slot s) {
  return s == kLeft ? MenuGroup::LeftAlways : MenuGroup::RightAlways;
}

std::span<const int> GroupIds(MenuGroup group);

class MenuState {
 public:
  // The start state: Eject, Save, SaveAs, the Edit items, Undo and Redo
  // grey, the rest enabled.
  MenuState();

  bool Enabled(int id) const;
  void SetGroup(MenuGroup group, bool enable);
  // One item outside the groups (Undo, Redo).
  void SetItem(int id, bool enable);

 private:
  static constexpr int kCount = kLastMenuId - kFirstMenuId + 1;
  std::array<bool, kCount> enabled_{};
};

}  // namespace slk
