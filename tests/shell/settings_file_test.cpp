// The settings file: defaults with and without it, the values as written,
// and the remembered slot files after a run.

#include "shell/settings_file.h"

#include <filesystem>
#include <tuple>

#include "shell_fixture.h"

namespace slk::testing {
namespace {

// Every field in declaration order, so that a failure prints both records whole.
auto Fields(const Settings& s) {
  return std::tie(s.DefaultImage, s.UseDefaultImage, s.LockImagePS1, s.LockImagePS2,
                  s.LockAutoIconic, s.HALpriority, s.AnimationCut, s.UseSlotPath, s.LockPath,
                  s.LSlotPath, s.RSlotPath);
}

TEST(SettingsFile, WithoutTheFileOrItsKeysTheDefaultsApply) {
  TempDir dir;
  Settings first;
  first.LockPath = "/work/here";
  EXPECT_EQ(Fields(LoadSettings(dir.File("qovan2.ini"), "/work/here")), Fields(first));
  WriteFileText(dir.File("qovan2.ini"), "[Setting]\nAnimationCut=1\nLockImagePS2=x7\n");
  Settings s = LoadSettings(dir.File("qovan2.ini"), "/work/here");
  Settings want;
  want.DefaultImage = 1;
  want.AnimationCut = 1;  // LockImagePS2 stays 0: "x7" is not a number
  want.LockPath = want.LSlotPath = want.RSlotPath = "/work/here";
  EXPECT_EQ(Fields(s), Fields(want));
}

// Writing defaults over a file we could not read would lose whatever it held.
TEST(SettingsFile, AFileThatCannotBeReadWholeIsNeverWrittenOver) {
  TempDir dir;
  std::string path = dir.File("qovan2.ini");
  WriteFileText(path, "[Setting]\nAnimationCut=1\n");
  std::filesystem::resize_file(path, 17 * 1024 * 1024);  // over the limit, sparse
  bool unreadable = false;
  Settings s = LoadSettings(path, "/work/here", &unreadable);
  EXPECT_TRUE(unreadable);
  EXPECT_EQ(s.AnimationCut, 0);
  EXPECT_EQ(s.LockPath, "/work/here");
  EXPECT_FALSE(SaveSettings(path, s, "", ""));
  EXPECT_EQ(std::filesystem::file_size(path), 17u * 1024 * 1024);

  LoadSettings(dir.File("none.ini"), "/work/here", &unreadable);
  EXPECT_FALSE(unreadable) << "no file is the first start, not an unreadable file";
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
  EXPECT_EQ(ReadFileText(path),
            "[Setting]\nDefaultImage=1\nUseDefaultImage=0\nLockImagePS1=12\nLockImagePS2=2\n"
            "LockAutoIconic=0\nHALpriority=1\nAnimationCut=0\nUseSlotPath=0\n"
            "[Directory]\nLockPath=/home/user/lock folder\nLSlotPath=/cards/left.mcr\n"
            "RSlotPath=\n"
            "[Slotkeeper2]\nBackupGenerations=5\nWindowScale=0\nCardImageFolder=\n"
            "SaveDataImageFolder=\n");
  Settings back = LoadSettings(path, "/elsewhere");
  s.LSlotPath = "/cards/left.mcr";  // the slot files come from the call, not the record
  EXPECT_EQ(Fields(back), Fields(s));
}

TEST_F(ShellTest, ExitRemembersTheSlotFilesNotTheNewCardAndTheSettingsOfTheRun) {
  WriteSettings("[Setting]\nLockImagePS1=3\n");
  std::string left = WritePS1Card(dir, "left.mcr", 1);
  std::string right = WriteExpandedCard(dir, "right.xmc", 1);
  Start(left);
  // A modified slot remembers the file it came from.
  shell.ImportSaveDataImage(kLeft, WritePS2Save(dir, "x.psu", "BASLUS-X"));
  shell.OpenPathIntoSlot(kRight, right);
  dialogs.kindAnswer = CardKind::PS2;
  shell.Command(MenuId::NewFile + 1);
  dialogs.editSettings = [](Settings& s) {
    s.LockImagePS1 = 12;
    return true;
  };
  shell.Command(MenuId::Setting);
  EXPECT_EQ(shell.CurrentSettings().LockImagePS1, 12);
  shell.Command(MenuId::Info);
  EXPECT_TRUE(Logged("ShowInfo"));
  shell.ShutDown();
  Settings s = LoadSettings(options.settingsPath, "/unused");
  EXPECT_EQ(s.LSlotPath, left);
  EXPECT_EQ(s.RSlotPath, "");
  EXPECT_EQ(s.LockPath, dir.Path());
  EXPECT_EQ(s.LockImagePS1, 12);
}

}  // namespace
}  // namespace slk::testing
