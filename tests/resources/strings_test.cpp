// The texts in both languages, the bitmaps and the menu and dialog templates.

#include "resources/strings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>

#include "platform/dib.h"
#include "resources/bitmaps.h"
#include "resources/ui_texts.h"

namespace slk::res {
namespace {

constexpr Language kBoth[] = {Language::English, Language::Japanese};

TEST(Strings, EveryIdOfTheTableHasBothTextsInBothForms) {
  ASSERT_GT(TextIds().size(), 70u);
  for (int id : TextIds()) {
    for (Language lang : kBoth) {
      EXPECT_FALSE(Text(id, lang).empty()) << id;
      EXPECT_FALSE(TextShiftJis(id, lang).empty()) << id;
    }
  }
  // Ids between and beyond the table's have no text.
  for (int id : {-1, 2, 47, 40001}) EXPECT_TRUE(Text(id, Language::English).empty()) << id;
  EXPECT_EQ(TextShiftJis(TextId::SizeLabel, Language::Japanese), "\x83\x54\x83\x43\x83\x59");
}

// The display draws 19 with the byte length of 18 and 21 with that of 20.
TEST(Strings, PairsDrawnWithOneLengthAreEquallyLong) {
  for (Language lang : kBoth) {
    EXPECT_EQ(TextShiftJis(TextId::PS2SaveDataCaption, lang).size(),
              TextShiftJis(TextId::PS1SaveDataCaption, lang).size());
    EXPECT_EQ(TextShiftJis(TextId::PS2MemoryCard, lang).size(),
              TextShiftJis(TextId::PS1MemoryCard, lang).size());
  }
}

// Sets or clears the locale variables for one test and puts them back.
class LocaleEnvironment : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kNames) {
      const char* v = std::getenv(name);
      saved_.push_back(v ? std::optional<std::string>(v) : std::nullopt);
      unsetenv(name);
    }
  }
  void TearDown() override {
    for (std::size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i])
        setenv(kNames[i], saved_[i]->c_str(), 1);
      else
        unsetenv(kNames[i]);
    }
  }
  static constexpr const char* kNames[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::vector<std::optional<std::string>> saved_;
};

TEST_F(LocaleEnvironment, FirstNonEmptyVariableDecidesAndSetLanguageOverrides) {
  EXPECT_EQ(LanguageFromEnvironment(), Language::English);
  setenv("LANG", "ja_JP.UTF-8", 1);
  EXPECT_EQ(LanguageFromEnvironment(), Language::Japanese);
  setenv("LC_MESSAGES", "en_US.UTF-8", 1);
  EXPECT_EQ(LanguageFromEnvironment(), Language::English);
  setenv("LC_ALL", "", 1);  // empty: skipped
  EXPECT_EQ(LanguageFromEnvironment(), Language::English);
  setenv("LC_ALL", "ja", 1);
  EXPECT_EQ(LanguageFromEnvironment(), Language::Japanese);
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(LanguageFromEnvironment(), Language::English);

  SetLanguage(Language::Japanese);
  EXPECT_EQ(Text(TextId::SizeLabel), "サイズ");
  std::string_view fromOtherThread;
  std::thread reader([&] { fromOtherThread = Text(TextId::UpdateLabel); });
  reader.join();
  EXPECT_EQ(fromOtherThread, "更新日時");
  SetLanguage(Language::English);
  EXPECT_EQ(Text(TextId::SizeLabel), "Size");
  EXPECT_EQ(TextShiftJis(TextId::UpdateLabel), "UpData");
}

// Runs in a freshly started copy of the test program, where nothing has
// asked for the language yet.
TEST(LanguageDeathTest, FirstUseTakesTheEnvironment) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("LC_ALL", "ja_JP.UTF-8", 1);
        std::exit(Text(TextId::SizeLabel) == "サイズ" ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// The bitmaps: other code cuts rectangles out of the sheets.
platform::RgbImage Decode(int id) {
  const auto image = platform::DecodeBmp(BitmapResource(id));
  EXPECT_TRUE(image) << id;
  return image.value_or(platform::RgbImage{});
}

std::uint32_t At(const platform::RgbImage& image, int x, int y) {
  return image.pixels.at(static_cast<std::size_t>(y) * image.width + x);
}

// Other code cuts these rectangles out of the sheets; black is transparent
// in the keyed ones.
TEST(Bitmaps, LayoutProbes) {
  const auto backdrop = Decode(BitmapId::Backdrop);
  EXPECT_EQ(backdrop.width, 512);
  EXPECT_EQ(backdrop.height, 312);
  EXPECT_EQ(At(backdrop, 243, 100), 0u);  // inside the Left button column
  EXPECT_EQ(At(backdrop, 499, 100), 0u);  // inside the Right one
  EXPECT_GT(At(backdrop, 256, 156) & 0xFF, At(backdrop, 0, 0) & 0xFF);  // light centre
  EXPECT_NE(At(backdrop, 243, 37), 0u);                                 // end cap

  const auto ball = Decode(BitmapId::MarkerBall);
  EXPECT_EQ(At(ball, 0, 0), 0u);
  EXPECT_NE(At(ball, 8, 8), 0u);

  const auto arrows = Decode(BitmapId::MoreArrows);
  EXPECT_EQ(At(arrows, 0, 0), 0u);
  EXPECT_NE(At(arrows, 7, 8), 0u);   // up triangle
  EXPECT_NE(At(arrows, 23, 8), 0u);  // down triangle

  // Action buttons are blitted without a key: no transparent black at all.
  const auto buttons = Decode(BitmapId::ActionButtonSheet);
  for (std::uint32_t p : buttons.pixels) ASSERT_NE(p, 0u);

  const auto digits = Decode(BitmapId::DigitFont);
  for (int d = 0; d < 10; ++d) {
    int ink = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 14 * d; x < 14 * d + 14; ++x) ink += At(digits, x, y) == 0xFFFFFFu;
    }
    EXPECT_GT(ink, 10) << d;
  }

  const auto banner = Decode(BitmapId::BusyBanner);
  for (std::uint32_t p : banner.pixels) ASSERT_TRUE(p == 0u || (p >> 16) == 0xFF) << std::hex << p;
}

// The menu and dialog templates.
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
