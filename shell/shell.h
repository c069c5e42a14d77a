#pragma once
// The program's logic behind its one window: start-up and shut-down, the
// message routines, the window's event handling (mouse, drops, buttons, menu
// commands, repaint), the view switch and scrolling, and every slot and edit
// command. Free of Qt: it talks to the display through RenderingBackend, to
// the window through ShellWindow and to the user through Dialogs.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "card/messages.h"
#include "card/settings.h"
#include "card/workspace.h"
#include "display/shell_state.h"
#include "platform/links.h"
#include "platform/thread.h"
#include "shell/dialogs.h"
#include "shell/file_requests.h"
#include "shell/menu_items.h"
#include "shell/rendering_backend.h"
#include "shell/shell_window.h"
#include "shell/undo_history.h"

namespace slk {

struct StartupOptions {
  // Every program argument, joined with single blanks: one path.
  std::string commandLine;
  // Searched in order for "psicon/standard.ico".
  std::vector<std::string> iconFolders;
  std::string settingsPath;
  std::string currentDirectory;
};

// The keys the window acts on; the Qt window translates its own.
enum class Key {
  Left,
  Right,
  Up,
  Down,
  Tab,
  PageUp,
  PageDown,
  Home,
  End,
  Enter,
  Escape,
  Backspace,
  Delete
};

enum class ScrollAction : int { Top = 0, PageUp, RowUp, RowDown, PageDown, Bottom };

// The rectangle of a slot's panel in client coordinates, and its cells.
struct PanelRect {
  int left, top, right, bottom;
  bool Contains(int x, int y) const { return left <= x && x < right && top <= y && y < bottom; }
};
constexpr PanelRect kPanelRects[2] = {{5, 20, 227, 212}, {261, 20, 483, 212}};
constexpr int kCellWidth = 74;
constexpr int kCellHeight = 64;

// The ScrollTop that shows the last row of `count` saves at the bottom.
constexpr std::uint32_t LastScrollTop(std::uint32_t count) {
  return 3 * ((count + 2) / 3) - 9;
}

class Shell : private MessageSink {
 public:
  Shell(RenderingBackend& backend, ShellWindow& window, Dialogs& dialogs);
  Shell(const Shell&) = delete;
  Shell& operator=(const Shell&) = delete;
  ~Shell() override;

  // Start-up up to the message loop. False after a fatal error, which has
  // been shown and already shut everything down (the program then exits 0).
  bool StartUp(const StartupOptions& options);
  // Safe at any point; runs once. Writes the settings only after a start-up
  // that got as far as the message loop.
  void ShutDown();

  // Message routines (also the card model's MessageSink).
  void ShowMessage(int id) override;
  // The message with a second line naming the file and the reason.
  void ShowProblem(int id, const platform::Problem& why) override;
  bool AskYesNo(int id) override;
  bool AskProblem(int id, const platform::Problem& why) override;
  // True means stop: the slot is modified and the user did not answer Yes.
  bool ConfirmDiscard(Slot s);
  void PauseRendering();
  void ResumeRendering();
  // The window was minimised or hidden (false) or can be seen again (true):
  // no frames are drawn that nobody sees.
  void WindowVisible(bool visible);

  // The window's events. Coordinates are client coordinates.
  bool CloseRequested();  // true: the window may close
  void Command(int id);   // menu 140
  void ButtonClicked(int id);
  void MouseMoved(int x, int y);
  void LeftButtonDown(int x, int y);
  void RightButtonDown(int x, int y);
  void FilesDropped(int x, int y, const std::vector<std::string>& paths);
  // The wheel over a client point: `rows` > 0 scrolls up, < 0 down, a row
  // of saves for each.
  void WheelTurned(int x, int y, int rows);
  // Arrows (and Tab, to the other panel) move the selection the pointer
  // makes; Enter opens it; Page Up/Down, Home, End scroll the slot of the
  // selection or the pointer; in the detail view Escape or Backspace goes
  // back and Delete asks, then deletes.
  void KeyPressed(Key key);
  void Paint();
  void MenuLoop(bool active);

  void SetMenuItems(MenuGroup group, bool enable);
  void OpenDetail();
  void CloseDetail();
  void ScrollSlot(Slot s, ScrollAction action);

  // Slot commands and their helpers.
  std::uint32_t LoadSlotFromFile(Slot s, const std::string& path);
  std::uint32_t SaveSlotToFile(Slot s, const std::string& path);
  std::uint32_t ImportSaveDataImage(Slot s, const std::string& path);
  // A folder is imported as a PS2 save only when dropped: a remembered
  // slot path that names a folder (its default is ".") is no save.
  void OpenPathIntoSlot(Slot s, const std::string& path, bool dropped = false);
  void SetSlotFile(Slot s, const std::string& path, const std::string& name);
  void NewFile(Slot s);
  void InsertChange(Slot s);
  void Eject(Slot s);
  void AddSaveDataImage(Slot s);
  void Save(Slot s);
  void SaveAs(Slot s);
  // Opens one of the card's backups into the slot, as a change to the card.
  void RestoreBackup(Slot s);
  // Edit commands on the selected save.
  void SaveSdi(Slot s, std::uint32_t position);
  void Copy(Slot s, std::uint32_t position);
  void Delete(Slot s, std::uint32_t position);
  void Lock(Slot s, std::uint32_t position);
  void Rename(Slot s, std::uint32_t position);
  // Edit > Undo and Redo: the step last done (or undone), in either slot.
  void Undo();
  void Redo();

  ShellState& State() { return state_; }
  const ShellState& State() const { return state_; }
  Settings& CurrentSettings() { return settings_; }
  const MenuState& Menu() const { return menu_; }
  Workspace* Ws() { return workspace_.get(); }
  const std::string& StandardIconPath() const { return standardIconPath_; }
  // The slot's title as UTF-8 (ShellState keeps the bytes the panels draw).
  std::string SlotTitleText(Slot s) const;
  bool SlotHoldsCard(Slot s) const;
  bool SaveLocked() const;
  // A handler is in progress; input now is not acted on.
  bool Busy() const { return busy_ > 0; }

 private:
  class BusyScope;

  CardKind AskCardKind(CardKind preselected) override;
  // The file dialog, opened in the folder last used for the group, which
  // then remembers the folder of the file chosen.
  std::optional<ChosenFile> ChooseFileIn(FileGroup group, FileRequest request);
  // The dialogs, for a modal loop that holds the window.
  Dialogs& Modal() {
    heldInput_ = true;
    StartRenderingBeforeADialog();
    return dialogs_;
  }
  // The rendering thread starts once the start-up files are read (its first
  // frame shows them), or before a dialog that comes up while they are read,
  // so that the window behind the dialog shows the panels.
  void StartRendering();
  void StartRenderingBeforeADialog() {
    if (renderingDeferred_ && !paused_) StartRendering();
  }
  void FatalStartupError(int id);
  bool FindStandardIcon(const std::vector<std::string>& folders);
  bool StartDisplay();
  void LoadListTexts();
  void OpenStartupFiles(const StartupOptions& options);
  // The slots and paths OpenStartupFiles opens, as given.
  std::vector<std::pair<Slot, std::string>> StartupFiles(const StartupOptions& options) const;
  // Starts reading the start-up cards on a thread of their own while the
  // window and the display are made; LoadSlotFromFile takes such a card when
  // it was read without a word to the user, and reads it again otherwise,
  // so that the user meets the messages and questions as before.
  void ReadStartupCardsEarly(const StartupOptions& options);

  // ShellState changes that the rendering thread draws from; callers pause.
  void SetSlotTitleText(Slot s, int textId);
  void SetSlotTitleName(Slot s, const std::string& name);

  bool HitTest(int x, int y);
  // The slot the keys act on: the selection's, else the one under the
  // pointer; -1 for neither.
  Slot KeyboardSlot() const;
  // Selects a save as the pointer would, scrolling it into view.
  void SelectPosition(Slot s, std::uint32_t position);
  void RecoverSurfaces();
  void DrawSelectedTitle();
  std::uint32_t SelectedEntry() const;
  void CreateScrollButtons();
  void CreateActionButtons();
  void RunButtonCommand(int id);
  void RunEditCommand(int id);
  std::uint32_t RowCount(Slot s) const;

  // The undo history (undo_commands.cpp). An edit of a slot's saves is
  // recorded once it succeeded; a card replaced whole with the card and
  // document it replaced (`saved`: the new card is its file's state).
  void RecordEdit(SlotEdit edit);
  void RecordReplacement(Slot s, SlotData previous, SlotDocument document, bool saved);
  SlotDocument Document(Slot s) const;
  void StepThroughHistory(bool undo);
  void ApplyStep(UndoStep& step, bool undo);
  void ShowSlotAfterStep(Slot s);
  void MarkSaved(Slot s);
  void UpdateModified(Slot s);
  void UpdateUndoItems();

  RenderingBackend& backend_;
  ShellWindow& window_;
  Dialogs& dialogs_;

  ShellState state_;
  Settings settings_;
  MenuState menu_;
  std::unique_ptr<Workspace> workspace_;
  std::string standardIconPath_;
  std::string settingsPath_;
  // How each slot's file looked when it was read or last saved, so that Save
  // notices another program's changes instead of writing over them.
  std::array<std::optional<platform::FileStamp>, 2> slotFileStamp_;

  UndoHistory history_;
  // Every change of a slot gives it a new state; the slot is modified while
  // its state is not the one its file holds.
  std::array<std::uint64_t, 2> slotState_{};
  std::array<std::uint64_t, 2> savedState_{};
  std::uint64_t lastState_ = 0;

  bool eventsCreated_ = false;
  bool threadStarted_ = false;
  bool renderingDeferred_ = false;  // StartUp reads the start-up files
  bool running_ = false;            // start-up reached the message loop
  bool shutDown_ = false;           // ShutDown ran
  bool paused_ = false;             // between PauseRendering and ResumeRendering
  bool hidden_ = false;             // the window cannot be seen; rendering stays paused
  int busy_ = 0;                    // depth of handlers in progress (modal loops re-enter)
  bool heldInput_ = false;          // the handler in progress held the window (animation, dialog)
  int pointerX_ = -1;               // where the pointer last moved, in client coordinates
  int pointerY_ = -1;

  // A start-up card as the early reader left it: read into a workspace of its
  // own, with a sink that only notes whether the reading had anything to say.
  struct EarlyCard : MessageSink {
    EarlyCard(std::string file, const Settings& given) : path(std::move(file)), settings(given) {}
    void ShowMessage(int) override { spoke = true; }
    bool AskYesNo(int) override {
      spoke = true;
      return false;
    }
    CardKind AskCardKind(CardKind preselected) override {
      spoke = true;
      return preselected;
    }
    bool Quiet() const { return read && !spoke; }

    std::string path;
    Settings settings;
    Workspace ws{*this, settings};
    std::optional<platform::FileStamp> stamp;
    bool read = false;
    bool spoke = false;
  };
  // Read by earlyReader_ until it is joined; declared before it, so that the
  // thread ends first.
  std::array<std::unique_ptr<EarlyCard>, 2> earlyCards_;
  platform::Thread earlyReader_;
};

}  // namespace slk
