#include "resources/strings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

namespace slk::res {
namespace {

constexpr Language kBoth[] = {Language::English, Language::Japanese};

TEST(Strings, EveryIdOfTheTableHasBothTexts) {
  std::vector<int> expected{1};
  for (int id = 16; id <= 30; ++id) expected.push_back(id);
  for (int id = 32; id <= 45; ++id) expected.push_back(id);
  for (int id = 48; id <= 58; ++id) expected.push_back(id);
  for (int id = 60; id <= 68; ++id) expected.push_back(id);
  expected.insert(expected.end(), {76, 77});
  for (int id = 80; id <= 89; ++id) expected.push_back(id);
  expected.insert(expected.end(),
                  {90, 91, 92, 93, 100, 101, 102, 103, 104, 110, 111, 115, 116, 117, 118});
  EXPECT_EQ(std::vector<int>(TextIds().begin(), TextIds().end()), expected);
  for (int id : expected) {
    for (Language lang : kBoth) EXPECT_FALSE(Text(id, lang).empty()) << id;
  }
  // Ids between and beyond the table's have no text.
  for (int id : {-1, 2, 47, 40001}) EXPECT_TRUE(Text(id, Language::English).empty()) << id;
}

TEST(Strings, ShiftJisBytes) {
  EXPECT_EQ(TextShiftJis(TextId::NoFile, Language::Japanese),
            "\x81\x83\x82\x6d\x82\x8f\x20\x82\x65\x82\x89\x82\x8c\x82\x85\x81\x84");
  EXPECT_EQ(TextShiftJis(TextId::SizeLabel, Language::English), "Size");
  EXPECT_EQ(TextShiftJis(TextId::SizeLabel, Language::Japanese), "\x83\x54\x83\x43\x83\x59");
  EXPECT_EQ(TextShiftJis(3, Language::Japanese), "");
  // Every text has a Shift-JIS form.
  for (int id : TextIds()) {
    for (Language lang : kBoth) EXPECT_FALSE(TextShiftJis(id, lang).empty()) << id;
  }
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
