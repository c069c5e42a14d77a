// Start-up, shut-down, the command line and closing the window.

#include <filesystem>

#include "resources/strings.h"
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
  EXPECT_EQ(shell.SlotTitleText(kLeft), "<No File>");
  EXPECT_EQ(shell.SlotTitleText(kRight), "<No File>");
  EXPECT_EQ(shell.State().selectionSlot, -1);
  EXPECT_EQ(shell.State().listTexts.ps2Card, "PS2 MemoryCard");
  EXPECT_TRUE(window.menu.Enabled(MenuId::NewFile));
  EXPECT_FALSE(window.menu.Enabled(MenuId::Eject));
  EXPECT_FALSE(window.menu.Enabled(MenuId::Copy));
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

TEST_F(ShellTest, CommandLineIsOnePathOpenedIntoLeftQuotedOrNot) {
  std::string path = WritePS1Card(dir, "my card.mcr", 2);
  Start("\"" + path + "\"");
  EXPECT_EQ(Count(kLeft), 2u);
  EXPECT_EQ(shell.State().slotPath[kLeft], path);
  EXPECT_EQ(shell.SlotTitleText(kLeft), "my card.mcr");
  EXPECT_TRUE(window.menu.Enabled(MenuId::Eject));
  EXPECT_FALSE(window.menu.Enabled(MenuId::Eject + 1));
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
  const std::string given = WritePS1Card(dir, "given.mcr", 1);
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

}  // namespace
}  // namespace slk::testing
