#pragma once
// A shell on recording doubles, started in a scratch folder that holds
// "psicon/standard.ico" and the settings file.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "card_files.h"
#include "shell/shell.h"
#include "shell_fakes.h"
#include "support/temp_dir.h"

namespace slk::testing {

// Start-up options that find "psicon/standard.ico" in `dir`, written here,
// and keep the settings file there too.
inline StartupOptions OptionsIn(const TempDir& dir) {
  std::filesystem::create_directories(dir.File("psicon"));
  WriteFileBytes(dir.File("psicon/standard.ico"), {0, 0, 1, 0});
  StartupOptions options;
  options.iconFolders = {dir.Path()};
  options.settingsPath = dir.File("qovan2.ini");
  options.currentDirectory = dir.Path();
  return options;
}

class ShellTest : public ::testing::Test {
 protected:
  void WriteSettings(const std::string& text) { WriteFileText(options.settingsPath, text); }
  std::string SettingsText() const { return ReadFileText(options.settingsPath); }

  void Start(const std::string& commandLine = "") {
    options.commandLine = commandLine;
    ASSERT_TRUE(shell.StartUp(options));
    log.clear();
  }

  // The centre of list position `position` of a slot scrolled to ScrollTop.
  int CellX(Slot s, std::uint32_t position) const {
    std::uint32_t cell = position - shell.State().scrollTop[s];
    return kPanelRects[s].left + kCellWidth * static_cast<int>(cell % 3) + kCellWidth / 2;
  }
  int CellY(Slot s, std::uint32_t position) const {
    std::uint32_t cell = position - shell.State().scrollTop[s];
    return kPanelRects[s].top + kCellHeight * static_cast<int>(cell / 3) + kCellHeight / 2;
  }
  void ClickSave(Slot s, std::uint32_t position) {
    shell.LeftButtonDown(CellX(s, position), CellY(s, position));
  }

  std::uint32_t Count(Slot s) { return shell.Ws()->At(s).RowCount(); }
  bool Logged(const std::string& call) const {
    return std::find(log.begin(), log.end(), call) != log.end();
  }

  // Declared first: it outlives the shell, whose slots may remove a lock
  // file inside it.
  TempDir dir;
  CallLog log;
  RecordingBackend backend{log};
  RecordingWindow window{log};
  ScriptedDialogs dialogs{log};
  StartupOptions options = OptionsIn(dir);
  Shell shell{backend, window, dialogs};
};

}  // namespace slk::testing
