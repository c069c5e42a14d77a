// The settings file: defaults with and without it, the values as written,
// and the remembered slot files after a run.

#include "shell/settings_file.h"

#include "shell_fixture.h"

namespace slk::testing {
namespace {

std::string Read(const std::string& path) {
  std::vector<std::uint8_t> bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

void Write(const std::string& path, const std::string& text) {
  WriteFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

TEST(SettingsFile, WithoutTheFileTheFirstStartValuesApply) {
  TempDir dir;
  Settings s = LoadSettings(dir.File("qovan2.ini"), "/work/here");
  EXPECT_EQ(s.DefaultImage, 0);
  EXPECT_EQ(s.UseDefaultImage, 0);
  EXPECT_EQ(s.LockImagePS1, 0);
  EXPECT_EQ(s.HALpriority, 0);
  EXPECT_EQ(s.UseSlotPath, 0);
  EXPECT_EQ(s.LockPath, "/work/here");
  EXPECT_EQ(s.LSlotPath, "");
  EXPECT_EQ(s.RSlotPath, "");
}

TEST(SettingsFile, MissingKeysOfAnExistingFileTakeTheirDefaults) {
  TempDir dir;
  Write(dir.File("qovan2.ini"), "[Setting]\nAnimationCut=1\nLockImagePS2=x7\n");
  Settings s = LoadSettings(dir.File("qovan2.ini"), "/work/here");
  EXPECT_EQ(s.DefaultImage, 1);
  EXPECT_EQ(s.AnimationCut, 1);
  EXPECT_EQ(s.LockImagePS2, 0);  // not a number
  EXPECT_EQ(s.LockPath, "/work/here");
  EXPECT_EQ(s.LSlotPath, "/work/here");
  EXPECT_EQ(s.RSlotPath, "/work/here");
}

TEST(SettingsFile, WritesBothSectionsInOrderAndReadsThemBack) {
  TempDir dir;
  std::string path = dir.File("qovan2.ini");
  Settings s;
  s.DefaultImage = 1;
  s.LockImagePS1 = 12;
  s.LockImagePS2 = 2;
  s.HALpriority = 1;
  s.LockPath = "/home/user/lock folder";
  ASSERT_TRUE(SaveSettings(path, s, "/cards/left.mcr", ""));
  EXPECT_EQ(Read(path),
            "[Setting]\nDefaultImage=1\nUseDefaultImage=0\nLockImagePS1=12\nLockImagePS2=2\n"
            "LockAutoIconic=0\nHALpriority=1\nAnimationCut=0\nUseSlotPath=0\n"
            "[Directory]\nLockPath=/home/user/lock folder\nLSlotPath=/cards/left.mcr\n"
            "RSlotPath=\n");
  Settings back = LoadSettings(path, "/elsewhere");
  EXPECT_EQ(back.LockImagePS1, 12);
  EXPECT_EQ(back.LockImagePS2, 2);
  EXPECT_EQ(back.DefaultImage, 1);
  EXPECT_EQ(back.LockPath, "/home/user/lock folder");
  EXPECT_EQ(back.LSlotPath, "/cards/left.mcr");
  EXPECT_EQ(back.RSlotPath, "");
}

TEST(SettingsFile, EverythingElseInTheFileIsKept) {
  TempDir dir;
  std::string path = dir.File("qovan2.ini");
  Write(path, "; kept\n[Other]\nkey=value\n[Setting]\nOldKey=3\nDefaultImage=0\n");
  ASSERT_TRUE(SaveSettings(path, Settings{}, "", ""));
  std::string text = Read(path);
  EXPECT_EQ(text.rfind("; kept\n[Other]\nkey=value\n[Setting]\nDefaultImage=0\n", 0), 0u);
  EXPECT_EQ(text.find("OldKey"), std::string::npos);
  EXPECT_NE(text.find("[Directory]\nLockPath=\n"), std::string::npos);
}

TEST(SettingsFile, DefaultPathIsInTheUserConfigurationFolder) {
  std::string path = DefaultSettingsPath();
  EXPECT_EQ(path.substr(path.size() - 11), "/qovan2.ini");
}

TEST_F(ShellTest, ExitRemembersTheSlotFilesNotTheNewCard) {
  std::string right = WriteExpandedCard(dir, "right.xmc", 1);
  Start();
  dialogs.kindAnswer = CardKind::PS2;
  shell.Command(MenuId::NewFile);
  shell.OpenPathIntoSlot(kRight, right);
  shell.ShutDown();
  Settings s = LoadSettings(options.settingsPath, "/unused");
  EXPECT_EQ(s.LSlotPath, "");
  EXPECT_EQ(s.RSlotPath, right);
  EXPECT_EQ(s.LockPath, dir.Path());
}

TEST_F(ShellTest, ModifiedSlotRemembersTheFileItCameFrom) {
  std::string left = WritePS1Card(dir, "left.mcr", 1);
  Start(left);
  shell.ImportSaveDataImage(kLeft, WritePS2Save(dir, "x.psu", "BASLUS-X"));
  shell.ShutDown();
  EXPECT_EQ(LoadSettings(options.settingsPath, "").LSlotPath, left);
}

TEST_F(ShellTest, SettingsChangedInTheRunAreWrittenAtExit) {
  WriteSettings("[Setting]\nLockImagePS1=3\n");
  Start();
  dialogs.editSettings = [](Settings& s) {
    s.LockImagePS1 = 12;
    return true;
  };
  shell.Command(MenuId::Setting);
  shell.ShutDown();
  EXPECT_NE(SettingsText().find("LockImagePS1=12\n"), std::string::npos);
}

}  // namespace
}  // namespace slk::testing
