#include "resources/strings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

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

TEST_F(LocaleEnvironment, FirstNonEmptyVariableDecides) {
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
}

TEST_F(LocaleEnvironment, CurrentLanguageFollowsSetLanguage) {
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

}  // namespace
}  // namespace slk::res
