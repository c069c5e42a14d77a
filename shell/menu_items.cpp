#include "shell/menu_items.h"

namespace slk {

namespace {

constexpr std::array<int, 4> kLeftLoadedOnly = {40005, 40009, 40011, 40101};
constexpr std::array<int, 4> kRightLoadedOnly = {40006, 40010, 40012, 40102};
constexpr std::array<int, 7> kLeftAll = {40001, 40003, 40005, 40007, 40009, 40011, 40101};
constexpr std::array<int, 7> kRightAll = {40002, 40004, 40006, 40008, 40010, 40012, 40102};
constexpr std::array<int, 3> kLeftAlways = {40001, 40003, 40007};
constexpr std::array<int, 3> kRightAlways = {40002, 40004, 40008};
constexpr std::array<int, 5> kEdit = {40014, 40015, 40016, 40017, 40022};

}  // namespace

std::span<const int> GroupIds(MenuGroup group) {
  switch (group) {
    case MenuGroup::LeftLoadedOnly:
      return kLeftLoadedOnly;
    case MenuGroup::RightLoadedOnly:
      return kRightLoadedOnly;
    case MenuGroup::LeftAll:
      return kLeftAll;
    case MenuGroup::RightAll:
      return kRightAll;
    case MenuGroup::LeftAlways:
      return kLeftAlways;
    case MenuGroup::RightAlways:
      return kRightAlways;
    case MenuGroup::Edit:
      return kEdit;
  }
  return {};
}

MenuState::MenuState() {
  enabled_.fill(true);
  SetGroup(MenuGroup::LeftLoadedOnly, false);
  SetGroup(MenuGroup::RightLoadedOnly, false);
  SetGroup(MenuGroup::Edit, false);
  SetItem(MenuId::Undo, false);
  SetItem(MenuId::Redo, false);
}

bool MenuState::Enabled(int id) const {
  if (id < kFirstMenuId || id > kLastMenuId) return false;
  return enabled_[static_cast<std::size_t>(id - kFirstMenuId)];
}

void MenuState::SetGroup(MenuGroup group, bool enable) {
  for (int id : GroupIds(group)) enabled_[static_cast<std::size_t>(id - kFirstMenuId)] = enable;
}

void MenuState::SetItem(int id, bool enable) {
  if (id >= kFirstMenuId && id <= kLastMenuId)
    enabled_[static_cast<std::size_t>(id - kFirstMenuId)] = enable;
}

}  // namespace slk
