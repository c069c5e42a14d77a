#pragma once
// The shell's test bench: card image and save data image files written into a
// scratch folder by the card tests' builders; doubles for the shell's three
// seams (a display back end and a window that record what they are asked, in
// one shared log, and dialogs that answer from a script so that no test ever
// blocks on a modal loop); and a shell on them, started in a scratch folder
// that holds "psicon/standard.ico" and the settings file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "card/card_image.h"
#include "card/ps2_card_slot.h"
#include "card/save_data_image.h"
#include "shell/dialogs.h"
#include "shell/rendering_backend.h"
#include "shell/shell.h"
#include "shell/shell_window.h"
#include "support/card_inputs.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace slk::testing {

// A PS1 card with `saves` one-block saves named BESLES-0000n.
inline std::string WritePS1Card(const TempDir& dir, const std::string& name, int saves) {
  PS1CardBuilder card;
  for (int i = 1; i <= saves; ++i) {
    card.Directory(i, 0x51, 8192, 0xFFFF, "BESLES-0000" + std::to_string(i));
    card.Block(i, static_cast<std::uint8_t>(i), "Save " + std::to_string(i), 1);
  }
  WriteFileBytes(dir.File(name), card.Bytes());
  return dir.File(name);
}

// A PS2 save with one small file.
inline SaveSpec SmallPS2Save(const std::string& name) {
  SaveSpec save;
  save.name = name;
  save.files.push_back(FileSpec{0x8497, "data.bin", Buffer(100, 0x5A)});
  return save;
}

inline std::string WritePS2Save(const TempDir& dir, const std::string& file,
                                const std::string& saveName) {
  WriteFileBytes(dir.File(file), Psu(SmallPS2Save(saveName)));
  return dir.File(file);
}

// An expanded card holding `saves` PS2 saves named BASLUS-0nnnn, counting
// from `first`.
inline std::string WriteExpandedCard(const TempDir& dir, const std::string& name, int saves,
                                     int first = 1000) {
  std::vector<SaveSpec> specs;
  for (int i = 0; i < saves; ++i)
    specs.push_back(SmallPS2Save("BASLUS-0" + std::to_string(first + i)));
  WriteFileBytes(dir.File(name), Xmc(specs));
  return dir.File(name);
}

// A formatted PS2 card image (.ps2) holding `saves` PS2 saves named
// BASLUS-2nnnn.
inline std::string WritePS2CardImage(const TempDir& dir, const std::string& name, int saves) {
  RecordingSink sink;
  Settings settings;
  Workspace ws(sink, settings);
  ws.CreateSlotStore(kLeft, 0);
  ws.At(kLeft).kind = CardKind::PS2Card;
  ws.At(kLeft).ps2Card = NewPS2Card();
  for (int i = 0; i < saves; ++i)
    AddSaveImage(ws, kLeft, WritePS2Save(dir, "part.psu", "BASLUS-2" + std::to_string(1000 + i)));
  SaveCardImage(ws, kLeft, dir.File(name));
  return dir.File(name);
}

using CallLog = std::vector<std::string>;

// What a slot shows: saves (none when empty), name line, file, Modified flag.
struct SlotShown {
  std::uint32_t saves = 0;
  std::string title = "<No File>";
  std::string path;
  int modified = 0;
  bool operator==(const SlotShown&) const = default;
};

inline void PrintTo(const SlotShown& s, std::ostream* out) {
  *out << s.saves << " saves, \"" << s.title << "\" from \"" << s.path << "\", modified "
       << s.modified;
}

// A slot showing the card image at `path` as it was read.
inline SlotShown FromFile(const std::string& path, std::uint32_t saves, int modified = 0) {
  return {saves, std::filesystem::path(path).filename().string(), path, modified};
}

inline std::string SlotName(Slot s) {
  return s == kLeft ? "L" : "R";
}

class RecordingBackend : public RenderingBackend {
 public:
  explicit RecordingBackend(CallLog& log) : log_(log) {}

  void SetStandardIconPath(const std::string& path) override { iconPath = path; }
  void CreateEvents() override { log_.push_back("CreateEvents"); }
  bool CheckDirectX7() override {
    log_.push_back("CheckDirectX7");
    return directX7;
  }
  bool InitDisplay(bool halPriority) override {
    log_.push_back(halPriority ? "InitDisplay hal" : "InitDisplay");
    return initDisplay;
  }
  void BuildSlab(Workspace&) override { log_.push_back("BuildSlab"); }
  void StartRenderThread(ShellState&, Workspace&) override {
    log_.push_back("StartRenderThread");
    running = true;
  }
  void StopRenderThread() override {
    log_.push_back(paused ? "StopRenderThread" : "StopRenderThread unpaused");
    running = false;
  }
  void CloseEvents() override { log_.push_back("CloseEvents"); }
  void ReleaseDisplay() override { log_.push_back("ReleaseDisplay"); }
  void PauseRendering() override { paused = true; }
  void ResumeRendering() override { paused = false; }
  void PrerenderSlotIcons(Workspace&, Slot slot, std::uint32_t first) override {
    log_.push_back("Prerender " + SlotName(slot) + " " + std::to_string(first) +
                   (paused ? "" : " unpaused"));
  }
  void DrawTitleBox(Workspace&, Slot slot, std::uint32_t entry) override {
    log_.push_back("DrawTitleBox " + SlotName(slot) + " " + std::to_string(entry) +
                   (paused ? "" : " unpaused"));
  }
  void BuildDetailScreen(Workspace&, Slot slot, std::uint32_t entry) override {
    log_.push_back("BuildDetailScreen " + SlotName(slot) + " " + std::to_string(entry) +
                   (paused ? "" : " unpaused"));
  }
  void ComposePanels(ShellState&, Workspace&) override { log_.push_back("ComposePanels"); }
  void PlayTransition(ShellState& state, int direction,
                      const std::function<void()>& afterStep) override {
    log_.push_back("PlayTransition " + std::to_string(direction) +
                   (state.displayMode == DisplayMode::Transition ? "" : " wrong mode") +
                   (paused ? " paused" : ""));
    for (int step = 0; step < 51; ++step) {
      afterStep();
      if (step == 25 && whileTransition) whileTransition(direction);
    }
  }
  bool PrimaryLost() override { return lost; }
  void RestoreSurfaces() override {
    log_.push_back("RestoreSurfaces");
    lost = false;
  }
  bool CopyFrame(std::span<std::uint32_t>) override {
    ++framesCopied;
    return false;
  }

  bool directX7 = true;
  bool initDisplay = true;
  bool lost = false;
  bool paused = false;
  bool running = false;
  int framesCopied = 0;
  std::string iconPath;
  // Runs half-way through every transition (the user acting meanwhile).
  std::function<void(int direction)> whileTransition;

 private:
  CallLog& log_;
};

class RecordingWindow : public ShellWindow {
 public:
  explicit RecordingWindow(CallLog& log) : log_(log) {}

  void Create(const std::string& title) override {
    log_.push_back("Create");
    this->title = title;
  }
  void Show() override {
    log_.push_back("Show");
    shown = true;
  }
  void ApplyMenu(const MenuState& state) override { menu = state; }
  void CreateScrollButtons() override { log_.push_back("CreateScrollButtons"); }
  void DestroyScrollButtons() override { log_.push_back("DestroyScrollButtons"); }
  void CreateActionButtons() override { log_.push_back("CreateActionButtons"); }
  void DestroyActionButtons() override { log_.push_back("DestroyActionButtons"); }
  void PopupSlotMenu(Slot slot, int, int) override { log_.push_back("Popup " + SlotName(slot)); }
  void Minimise() override { log_.push_back("Minimise"); }
  void PostClose() override { log_.push_back("PostClose"); }
  void ShowLatestFrame() override { ++framesShown; }
  void DropQueuedInput() override {}

  std::string title;
  bool shown = false;
  int framesShown = 0;
  MenuState menu;

 private:
  CallLog& log_;
};

class ScriptedDialogs : public Dialogs, public ScriptedAnswers {
 public:
  explicit ScriptedDialogs(CallLog& log) : log_(log) {}

  void ShowMessage(int id) override {
    log_.push_back("Message " + std::to_string(id));
    shown.push_back(id);
  }
  void ShowProblem(int id, const std::string& secondLine) override {
    ShowMessage(id);
    if (!secondLine.empty()) secondLines.push_back(secondLine);
  }
  bool AskYesNo(int id) override {
    log_.push_back("Ask " + std::to_string(id));
    asked.push_back(id);
    return NextAnswer();
  }
  bool AskYesNoDetail(int id, const std::string& detail) override {
    details.push_back(detail);
    return AskYesNo(id);
  }
  CardKind AskCardKind(CardKind preselected) override {
    log_.push_back("AskCardKind");
    kindPreselections.push_back(preselected);
    return kindAnswer;
  }
  std::optional<ChosenFile> ChooseFile(const FileRequest& request) override {
    log_.push_back(request.save ? "ChooseFileToSave" : "ChooseFileToOpen");
    requests.push_back(request);
    if (whileOpen) whileOpen();
    if (files.empty()) return std::nullopt;
    std::optional<ChosenFile> file = files.front();
    files.pop_front();
    return file;
  }
  std::optional<std::string> AskText(int, int promptId, const std::string& initial) override {
    log_.push_back("AskText " + std::to_string(promptId) + " " + initial);
    if (texts.empty()) return std::nullopt;
    std::optional<std::string> text = texts.front();
    texts.pop_front();
    return text;
  }
  bool EditSettings(Settings& settings) override {
    log_.push_back("EditSettings");
    return editSettings ? editSettings(settings) : false;
  }
  void ShowInfo() override { log_.push_back("ShowInfo"); }
  std::optional<std::size_t> ChooseBackup(const std::vector<BackupChoice>& backups) override {
    backupLists.push_back(backups);
    return backupAnswer;
  }

  std::vector<std::string> details;  // second lines of questions
  std::deque<std::optional<ChosenFile>> files;
  std::deque<std::optional<std::string>> texts;  // answers to AskText
  std::vector<FileRequest> requests;
  std::vector<std::string> secondLines;  // under messages, as the window shows them
  std::function<bool(Settings&)> editSettings;
  std::vector<std::vector<BackupChoice>> backupLists;
  std::optional<std::size_t> backupAnswer;
  // Runs while a file dialog is up (the user acting on the window meanwhile).
  std::function<void()> whileOpen;

 private:
  CallLog& log_;
};

// Every field of the settings in declaration order, so that a failure prints
// both records whole.
inline auto Fields(const Settings& s) {
  return std::tie(s.DefaultImage, s.UseDefaultImage, s.LockImagePS1, s.LockImagePS2,
                  s.LockAutoIconic, s.HALpriority, s.AnimationCut, s.UseSlotPath, s.LockPath,
                  s.LSlotPath, s.RSlotPath, s.WindowScale, s.BackupGenerations);
}

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
  SlotShown Shown(Slot s) {
    return {shell.SlotHoldsCard(s) ? Count(s) : 0u, shell.SlotTitleText(s),
            shell.State().slotPath[s], shell.State().modified[s]};
  }
  // Whether each of these menu items is enabled, in order.
  std::vector<bool> Enabled(std::initializer_list<int> ids) const {
    std::vector<bool> out;
    for (int id : ids) out.push_back(window.menu.Enabled(id));
    return out;
  }
  // A file of 100 zero bytes, too short for any format.
  std::string Broken(const std::string& name) {
    WriteFileBytes(dir.File(name), std::vector<std::uint8_t>(100, 0));
    return dir.File(name);
  }
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
