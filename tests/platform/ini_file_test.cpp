#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"

namespace slk::platform {
namespace {

namespace fs = std::filesystem;

const char kSettings[] =
    "; written by hand\n"
    "[Setting]\n"
    "DefaultImage=1\n"
    "LockImagePS1 = 12\n"
    "HALpriority=abc\n"
    "AnimationCut=3x\n"
    "UseSlotPath=\n"
    "DefaultImage=0\n"
    "\n"
    "[Directory]\n"
    "LockPath=/home/user/lock dir \n"
    "[Other]\n"
    "# keep me\n"
    "Foo=bar\n";

TEST(IniFile, ReadsLikePrivateProfileFunctions) {
  IniFile ini = IniFile::Parse(kSettings);
  EXPECT_EQ(ini.GetInt("Setting", "DefaultImage", 7), 1);  // the first of two wins
  EXPECT_EQ(ini.GetInt("setting", "lockimageps1", 0), 12);
  EXPECT_EQ(ini.GetInt("Setting", "HALpriority", 5), 0);  // not a number
  EXPECT_EQ(ini.GetInt("Setting", "AnimationCut", 5), 3);
  EXPECT_EQ(ini.GetInt("Setting", "UseSlotPath", 5), 5);  // empty keeps the default
  EXPECT_EQ(ini.GetInt("Setting", "Missing", 1), 1);
  EXPECT_EQ(ini.GetInt("Nowhere", "DefaultImage", 9), 9);
  // Values are kept as they stand, trailing blank included.
  EXPECT_EQ(ini.GetString("Directory", "LockPath", "x"), "/home/user/lock dir ");
  EXPECT_EQ(ini.GetString("Directory", "LSlotPath", "/cwd"), "/cwd");
  EXPECT_FALSE(ini.Find("Other", "# keep me").has_value());

  // Integers read like GetPrivateProfileInt.
  auto read = [](const std::string& value) {
    return IniFile::Parse("[s]\nk=" + value + "\n").GetInt("s", "k", 77);
  };
  EXPECT_EQ(read("12"), 12);
  EXPECT_EQ(read("  -4"), -4);
  EXPECT_EQ(read("+8"), 8);
  EXPECT_EQ(read("12abc"), 12);
  EXPECT_EQ(read("abc"), 0);
  EXPECT_EQ(read("-"), 0);
  EXPECT_EQ(read("99999999999999999999"), INT_MAX);
  EXPECT_EQ(read("-99999999999999999999"), INT_MIN);
}

TEST(IniFile, RoundTripsTextUnchanged) {
  EXPECT_EQ(IniFile::Parse(kSettings).Serialize(), kSettings);
  std::string crlf = "a=1\r\n[S]\r\nk = v\r\n;c\r\n";
  IniFile ini = IniFile::Parse(crlf);
  EXPECT_EQ(ini.GetString("", "a", ""), "1");  // entries before any section
  EXPECT_EQ(ini.GetString("S", "k", ""), " v");
  EXPECT_EQ(ini.Serialize(), crlf);
}

TEST(IniFile, ReplaceSectionKeepsEverythingElse) {
  IniFile ini = IniFile::Parse(kSettings);
  const IniEntry setting[] = {{"DefaultImage", "0"}, {"LockImagePS1", "12"}};
  ini.ReplaceSection("SETTING", setting);
  const IniEntry directory[] = {{"LockPath", "/l"}, {"LSlotPath", ""}, {"RSlotPath", "/r.mcr"}};
  ini.ReplaceSection("Directory", directory);
  const IniEntry extra[] = {{"Key", "line\nbreak"}};
  ini.ReplaceSection("New", extra);
  EXPECT_EQ(ini.Serialize(),
            "; written by hand\n"
            "[Setting]\n"
            "DefaultImage=0\n"
            "LockImagePS1=12\n"
            "\n"
            "[Directory]\n"
            "LockPath=/l\n"
            "LSlotPath=\n"
            "RSlotPath=/r.mcr\n"
            "[Other]\n"
            "# keep me\n"
            "Foo=bar\n"
            "[New]\n"
            "Key=line break\n");

  // New entries of an empty section go before its trailing blank lines.
  IniFile empty = IniFile::Parse("[A]\n;note\n\n[B]\n");
  const IniEntry entries[] = {{"k", "1"}};
  empty.ReplaceSection("A", entries);
  EXPECT_EQ(empty.Serialize(), "[A]\n;note\nk=1\n\n[B]\n");
}

TEST(IniFile, SavesIntoANewFolderAndLoadsBack) {
  testing::TempDir dir;
  std::string path = dir.File("config/qovan2.ini");
  EXPECT_FALSE(LoadIniFile(path).has_value());
  IniFile ini;
  const IniEntry entries[] = {{"LockImagePS1", "12"}};
  ini.ReplaceSection("Setting", entries);
  ASSERT_TRUE(SaveIniFile(path, ini));
  auto loaded = LoadIniFile(path);
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(loaded->GetInt("Setting", "LockImagePS1", 0), 12);
  EXPECT_EQ(fs::file_size(path), std::string("[Setting]\nLockImagePS1=12\n").size());
  EXPECT_FALSE(SaveIniFile(dir.File("config/"), ini));
}

TEST(UserConfigFolder, FollowsXdgConfigHome) {
  const char* old = std::getenv("XDG_CONFIG_HOME");
  std::string saved = old ? old : "";
  ::setenv("XDG_CONFIG_HOME", "/tmp/xdg", 1);
  EXPECT_EQ(UserConfigFolder(), "/tmp/xdg");
  ::setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
  EXPECT_NE(UserConfigFolder(), "relative");
  if (old) {
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

}  // namespace
}  // namespace slk::platform
