// Start-up, shut-down, the command line, closing the window and the settings
// file.

#include <filesystem>
#include <tuple>

#include "resources/strings.h"
#include "shell/settings_file.h"
#include "shell_fixture.h"

namespace slk::testing {
namespace {

const CallLog kStartUpCalls = {
    "Create",    "CreateEvents", "CheckDirectX7",       "InitDisplay",
    "BuildSlab", "Show",         "CreateScrollButtons", "StartRenderThread"};

TEST_F(ShellTest, StartsInOrderWithEmptySlots) {
  options.commandLine = "";
  ASSERT_TRUE(shell.StartUp(options));
  EXPECT_EQ(log, kStartUpCalls);
  EXPECT_EQ(window.title, "Slotkeeper 2");
  EXPECT_EQ(backend.iconPath, dir.File("psicon/standard.ico"));
  for (Slot s : {kLeft, kRight}) EXPECT_EQ(Shown(s), SlotShown{});
  EXPECT_EQ(shell.State().selectionSlot, -1);
  EXPECT_EQ(shell.State().listTexts.ps2Card, "PS2 MemoryCard");
  EXPECT_EQ(Enabled({MenuId::NewFile, MenuId::Eject, MenuId::Copy}),
            (std::vector<bool>{true, false, false}));
  EXPECT_TRUE(dialogs.shown.empty()) << "no file is the first start, not an unreadable file";
}

TEST_F(ShellTest, MissingStandardIconExitsBeforeShowingTheWindow) {
  std::filesystem::remove(dir.File("psicon/standard.ico"));
  WriteSettings("[Setting]\nUseSlotPath=1\n");
  EXPECT_FALSE(shell.StartUp(options));
  EXPECT_EQ(dialogs.shown, std::vector<int>{res::TextId::StandardIconNotFound});
  EXPECT_EQ(dialogs.secondLines, std::vector<std::string>{"searched " + dir.Path()});
  EXPECT_FALSE(window.shown);
  EXPECT_FALSE(Logged("CheckDirectX7"));
  EXPECT_FALSE(Logged("StartRenderThread"));
  EXPECT_TRUE(Logged("ReleaseDisplay"));
  shell.ShutDown();
  // The stored settings survive a failed start.
  EXPECT_EQ(SettingsText(), "[Setting]\nUseSlotPath=1\n");
}

TEST_F(ShellTest, StandardIconIsSearchedInOrder) {
  TempDir empty;
  TempDir second;
  std::filesystem::create_directories(second.File("psicon"));
  WriteFileBytes(second.File("psicon/standard.ico"), {1});
  options.iconFolders = {empty.Path(), second.Path(), dir.Path()};
  ASSERT_TRUE(shell.StartUp(options));
  EXPECT_EQ(shell.StandardIconPath(), second.File("psicon/standard.ico"));
}

TEST_F(ShellTest, DisplayFailuresShowTheirMessagesAndKeepTheSettings) {
  WriteSettings("[Setting]\nHALpriority=1\n");
  backend.initDisplay = false;
  EXPECT_FALSE(shell.StartUp(options));
  EXPECT_TRUE(Logged("InitDisplay hal"));  // the settings were read before
  EXPECT_EQ(dialogs.shown, std::vector<int>{res::TextId::Direct3DInitFailed});
  EXPECT_FALSE(window.shown);
  EXPECT_FALSE(Logged("BuildSlab"));
  EXPECT_EQ(SettingsText(), "[Setting]\nHALpriority=1\n");
}

// Writing defaults over a file we could not read would lose whatever it held.
TEST_F(ShellTest, AnUnreadableSettingsFileIsNamedOnceAndKept) {
  WriteSettings("[Setting]\nHALpriority=1\n");
  std::filesystem::resize_file(options.settingsPath, 17 * 1024 * 1024);
  Start();
  EXPECT_EQ(dialogs.shown, std::vector<int>{res::TextId::SettingsFileKept});
  EXPECT_FALSE(Logged("InitDisplay hal")) << "runs on the defaults";
  shell.ShutDown();
  EXPECT_EQ(std::filesystem::file_size(options.settingsPath), 17u * 1024 * 1024);
  EXPECT_EQ(dialogs.shown.size(), 1u);
}

TEST_F(ShellTest, MissingDirectX7StopsBeforeTheDisplay) {
  backend.directX7 = false;
  EXPECT_FALSE(shell.StartUp(options));
  EXPECT_EQ(dialogs.shown, std::vector<int>{res::TextId::DirectX7NotInstalled});
  EXPECT_FALSE(Logged("InitDisplay"));
  EXPECT_FALSE(std::filesystem::exists(options.settingsPath));
}

TEST_F(ShellTest, ShutDownPausesStopsReleasesAndWritesTheSettings) {
  Start();
  shell.ShutDown();
  CallLog expected = {"StopRenderThread", "CloseEvents", "ReleaseDisplay"};
  EXPECT_EQ(log, expected);
  EXPECT_FALSE(backend.running);
  EXPECT_NE(SettingsText().find("[Setting]"), std::string::npos);
  shell.ShutDown();  // only once
  EXPECT_EQ(log, expected);
}

TEST_F(ShellTest, ARelativeCommandLineIsRememberedAbsolute) {
  std::string relative = std::filesystem::relative(WritePS1Card(dir, "card.mcr", 1)).string();
  Start(relative);
  std::string absolute = (std::filesystem::current_path() / relative).string();
  EXPECT_EQ(shell.State().slotPath[kLeft], absolute);
  shell.ShutDown();
  EXPECT_NE(SettingsText().find("LSlotPath=" + absolute + "\n"), std::string::npos);
}

// What each start opens, on a shell of its own: the remembered files replace
// the command line; a file that cannot be read is named and the start goes on.
TEST_F(ShellTest, RememberedFilesOrTheCommandLineOpenAtTheStart) {
  const std::string given = WritePS1Card(dir, "my card.mcr", 2);
  const std::string left = WritePS1Card(dir, "left.mcr", 1);
  const std::string right = WriteExpandedCard(dir, "right.xmc", 3);
  const std::string broken = dir.File("broken.mcr");
  WriteFileBytes(broken, {1, 2, 3});
  const struct {
    std::string settings, commandLine;
    std::uint32_t left, right;
    std::size_t messages;
  } cases[] = {
      {"[Setting]\nUseSlotPath=1\n[Directory]\nLSlotPath=\nRSlotPath=\n", given, 0, 0, 0},
      // Otherwise the command line is one path, quoted or not, opened into Left.
      {"", "\"" + given + "\"", 2, 0, 0},
      {"[Setting]\nUseSlotPath=1\n[Directory]\nLSlotPath=" + left + "\nRSlotPath=" + right + "\n",
       "", 1, 3, 0},
      // A missing key's default is the current folder, which opens nothing.
      {"[Setting]\nUseSlotPath=1\n", "", 0, 0, 0},
      {"", broken, 0, 0, 1},
  };
  for (const auto& c : cases) {
    WriteSettings(c.settings);
    CallLog calls;
    RecordingBackend display{calls};
    RecordingWindow shown{calls};
    ScriptedDialogs answers{calls};
    Shell fresh{display, shown, answers};
    StartupOptions start = options;
    start.commandLine = c.commandLine;
    ASSERT_TRUE(fresh.StartUp(start));
    for (auto [s, count] : {std::pair{kLeft, c.left}, {kRight, c.right}}) {
      EXPECT_EQ(fresh.SlotHoldsCard(s) ? fresh.Ws()->At(s).RowCount() : 0u, count) << c.settings;
      if (count == 0) {
        EXPECT_EQ(fresh.SlotTitleText(s), "<No File>");
      }
    }
    EXPECT_EQ(answers.shown.size(), c.messages) << c.settings;
    fresh.ShutDown();
  }
}

TEST_F(ShellTest, CloseWithModifiedLeftAnsweredNoKeepsRunning) {
  Start();
  EXPECT_TRUE(shell.CloseRequested()) << "nothing to ask without changes";
  shell.Command(MenuId::Exit);
  EXPECT_TRUE(Logged("PostClose"));
  shell.ImportSaveDataImage(kLeft, WritePS2Save(dir, "a.psu", "BASLUS-1"));
  shell.ImportSaveDataImage(kRight, WritePS2Save(dir, "b.psu", "BASLUS-2"));
  dialogs.answers = {false};
  EXPECT_FALSE(shell.CloseRequested());
  EXPECT_EQ(dialogs.asked, std::vector<int>{res::TextId::LeftSlotNotSaved});

  dialogs.asked.clear();
  dialogs.answers = {true, false};
  EXPECT_FALSE(shell.CloseRequested());
  EXPECT_EQ(dialogs.asked,
            (std::vector<int>{res::TextId::LeftSlotNotSaved, res::TextId::RightSlotNotSaved}));

  dialogs.answers = {true, true};
  EXPECT_TRUE(shell.CloseRequested());
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
