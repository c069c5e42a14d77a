#include "resources/ui_texts.h"

#include <gtest/gtest.h>

#include <set>
#include <string_view>

namespace slk::res {
namespace {

TEST(Menu140, PopupsNestAndEveryCommandAppearsOnce) {
  int depth = 0;
  int topLevel = 0;
  std::set<int> ids;
  for (const MenuEntry& e : kMenu140) {
    if (e.kind == MenuEntryKind::Popup && depth++ == 0) ++topLevel;
    if (e.kind == MenuEntryKind::PopupEnd) {
      ASSERT_GT(depth--, 0);
    }
    if (e.kind == MenuEntryKind::Item) {
      EXPECT_TRUE(ids.insert(e.id).second) << e.id;
    }
  }
  EXPECT_EQ(depth, 0);
  EXPECT_EQ(topLevel, 4);  // File, Edit, Options, Help
  std::set<int> expected;
  for (int id = 40001; id <= 40022; ++id) expected.insert(id);
  expected.insert({MenuId::RestoreBackup, MenuId::RestoreBackup + 1});
  EXPECT_EQ(ids, expected);
}

TEST(Menu140, RightSlotItemsMirrorTheLeftOnes) {
  for (const MenuEntry& left : kMenu140) {
    if (left.kind != MenuEntryKind::Item || left.id > 40012 || left.id % 2 == 0) continue;
    for (const MenuEntry& right : kMenu140) {
      if (right.id != left.id + 1) continue;
      EXPECT_EQ(std::string_view(right.text.english), left.text.english);
      EXPECT_EQ(std::string_view(right.text.japanese), left.text.japanese);
      EXPECT_EQ(right.startsGrey, left.startsGrey);
    }
  }
}

TEST(Dialogs, TitlesAndButtons) {
  EXPECT_FALSE(kImageSelectDialog.closeBox);  // no way to cancel it
  for (const DialogTemplate* d : {&kImageSelectDialog, &kSettingDialog, &kInfoDialog}) {
    int defaults = 0;
    for (const DialogControl& c : d->controls) {
      defaults += c.kind == ControlKind::DefaultPushButton && c.id == ControlId::Ok;
      EXPECT_LE(c.english.x + c.english.w, d->english.w) << d->resourceId;
      EXPECT_LE(c.japanese.y + c.japanese.h, d->japanese.h) << d->resourceId;
    }
    EXPECT_EQ(defaults, 1) << d->resourceId;
  }
}

}  // namespace
}  // namespace slk::res
