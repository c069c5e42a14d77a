// Start-up, shut-down and the message routines.

#include "shell/shell.h"

#include <filesystem>
#include <new>
#include <system_error>

#include "platform/problem.h"
#include "platform/sjis.h"
#include "resources/problem_text.h"
#include "resources/strings.h"
#include "shell/settings_file.h"

namespace slk {

Shell::Shell(RenderingBackend& backend, ShellWindow& window, Dialogs& dialogs)
    : backend_(backend), window_(window), dialogs_(dialogs) {}

Shell::~Shell() {
  ShutDown();
}

bool Shell::StartUp(const StartupOptions& options) {
  // Steps 1 and 2: the window with its menu, hidden until everything below
  // has worked, so that a failed start shows only its message.
  window_.Create(std::string(res::Text(res::TextId::WindowTitle)));
  window_.ApplyMenu(menu_);
  // The standard icon is looked for before the settings are read.
  if (!FindStandardIcon(options.iconFolders)) {
    platform::Problem why;
    why.reason = platform::Reason::NoStandardIcon;
    for (const std::string& folder : options.iconFolders) {
      why.field += (why.field.empty() ? "" : ", ") + folder;
    }
    Modal().ShowProblem(res::TextId::StandardIconNotFound, res::DescribeProblem(why));
    ShutDown();
    return false;
  }
  settingsPath_ = options.settingsPath;
  bool settingsUnreadable = false;
  settings_ = LoadSettings(options.settingsPath, options.currentDirectory, &settingsUnreadable);
  ReadStartupCardsEarly(options);
  // The file is kept as it is (SaveSettings will not write over it); say so
  // once, rather than let the user wonder where the settings went.
  if (settingsUnreadable) ShowMessage(res::TextId::SettingsFileKept);
  backend_.CreateEvents();
  eventsCreated_ = true;
  LoadListTexts();
  if (!StartDisplay()) return false;

  for (Slot s : {kLeft, kRight}) {
    state_.slotPath[s].clear();
    SetSlotTitleText(s, res::TextId::NoFile);
  }
  state_.selectionSlot = -1;
  window_.Show();
  CreateScrollButtons();
  running_ = true;
  // The cards before the rendering thread: frames of the empty slots,
  // presented while the cards are read, would not be shown (the window
  // waits for the reading), and the first frame with the cards would wait
  // for the thread's next turn.
  renderingDeferred_ = true;
  OpenStartupFiles(options);
  StartRendering();
  return true;
}

void Shell::StartRendering() {
  renderingDeferred_ = false;
  if (threadStarted_ || shutDown_ || !workspace_) return;
  backend_.StartRenderThread(state_, *workspace_);
  threadStarted_ = true;
  if (hidden_) backend_.PauseRendering();
}

bool Shell::FindStandardIcon(const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    std::filesystem::path candidate = std::filesystem::path(folder) / "psicon" / "standard.ico";
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error)) {
      standardIconPath_ = std::filesystem::absolute(candidate, error).lexically_normal().string();
      backend_.SetStandardIconPath(standardIconPath_);
      return true;
    }
  }
  return false;
}

// Steps 7 to 10: the display, then the workspace (its failure is reported
// after Direct3D's), then the PS1 slab.
bool Shell::StartDisplay() {
  if (!backend_.CheckDirectX7()) {
    FatalStartupError(res::TextId::DirectX7NotInstalled);
    return false;
  }
  // The display is set up beside the sizing of the still hidden window
  // (its menu bar's texts are measured): each takes a millisecond or two.
  backend_.BeginInitDisplay(settings_.HALpriority != 0);
  window_.SetWindowScale(settings_.WindowScale);
  if (!backend_.InitDisplay(settings_.HALpriority != 0)) {
    FatalStartupError(res::TextId::Direct3DInitFailed);
    return false;
  }
  try {
    workspace_ = std::make_unique<Workspace>(static_cast<MessageSink&>(*this), settings_);
  } catch (const std::bad_alloc&) {
    FatalStartupError(res::TextId::ApplicationInitFailed);
    return false;
  }
  backend_.BuildSlab(*workspace_);
  return true;
}

void Shell::LoadListTexts() {
  state_.listTexts.ps2SaveData = res::TextShiftJis(res::TextId::PS2SaveDataCaption);
  state_.listTexts.ps1SaveData = res::TextShiftJis(res::TextId::PS1SaveDataCaption);
  state_.listTexts.ps2Card = res::TextShiftJis(res::TextId::PS2MemoryCard);
  state_.listTexts.ps1Card = res::TextShiftJis(res::TextId::PS1MemoryCard);
  state_.listTexts.ps2CardImage = res::TextShiftJis(res::TextId::PS2CardImage);
  state_.listTexts.upData = res::TextShiftJis(res::TextId::UpdateLabel);
  state_.listTexts.size = res::TextShiftJis(res::TextId::SizeLabel);
}

std::vector<std::pair<Slot, std::string>> Shell::StartupFiles(const StartupOptions& options) const {
  std::vector<std::pair<Slot, std::string>> files;
  if (settings_.UseSlotPath != 0) {
    // Remembered files win; the command line is ignored even when both are
    // empty.
    if (!settings_.LSlotPath.empty()) files.emplace_back(kLeft, settings_.LSlotPath);
    if (!settings_.RSlotPath.empty()) files.emplace_back(kRight, settings_.RSlotPath);
  } else if (!options.commandLine.empty()) {
    files.emplace_back(kLeft, options.commandLine);
  }
  return files;
}

void Shell::OpenStartupFiles(const StartupOptions& options) {
  for (const auto& [slot, path] : StartupFiles(options)) OpenPathIntoSlot(slot, path);
  // Cards read early and not taken (a slot that became a save data image)
  // go now rather than at shut-down.
  earlyReader_.Join();
  earlyCards_ = {};
  // The cards the program starts with are where the user's history begins.
  history_.Clear();
  UpdateUndoItems();
}

void Shell::ShutDown() {
  if (shutDown_) return;
  shutDown_ = true;
  earlyReader_.Join();
  earlyCards_ = {};
  if (threadStarted_) {
    PauseRendering();
    backend_.StopRenderThread();
    threadStarted_ = false;
  }
  if (eventsCreated_) {
    backend_.CloseEvents();
    eventsCreated_ = false;
  }
  if (workspace_) {
    workspace_->CloseSlot(kLeft);
    workspace_->CloseSlot(kRight);
    workspace_.reset();
  }
  backend_.ReleaseDisplay();
  // A start that failed never got its settings in use: writing them would
  // replace the stored ones with defaults and empty slot paths.
  if (running_) {
    SaveSettings(settingsPath_, settings_, state_.slotPath[kLeft], state_.slotPath[kRight]);
  }
  running_ = false;
}

void Shell::FatalStartupError(int id) {
  ShowMessage(id);
  ShutDown();
}

void Shell::ShowMessage(int id) {
  Modal().ShowMessage(id);
}

void Shell::ShowProblem(int id, const platform::Problem& why) {
  Modal().ShowProblem(id, res::DescribeProblem(why));
}

bool Shell::AskYesNo(int id) {
  return Modal().AskYesNo(id);
}

bool Shell::AskProblem(int id, const platform::Problem& why) {
  StartRenderingBeforeADialog();
  return dialogs_.AskYesNoDetail(id, res::DescribeProblem(why));
}

CardKind Shell::AskCardKind(CardKind preselected) {
  return Modal().AskCardKind(preselected);
}

bool Shell::ConfirmDiscard(Slot s) {
  if (state_.modified[s] == 0) return false;
  return !AskYesNo(res::TextId::LeftSlotNotSaved + s);
}

void Shell::PauseRendering() {
  backend_.PauseRendering();
  paused_ = true;
  // Before a handler changes the list or leaves it, the start's cards get
  // the frames they still lack. Not in the detail view: pre-rendering
  // replaces the meshes of the model it spins.
  if (state_.viewState == ViewState::List && backend_.FramesLeftToPrerender())
    backend_.FinishPrerendering();
}

void Shell::ResumeRendering() {
  paused_ = false;
  if (!hidden_) backend_.ResumeRendering();
}

void Shell::WindowVisible(bool visible) {
  if (hidden_ == !visible) return;
  hidden_ = !visible;
  // A handler that paused rendering resumes it itself, and not while hidden.
  if (!threadStarted_ || paused_) return;
  if (hidden_) {
    backend_.PauseRendering();
  } else {
    backend_.ResumeRendering();
  }
}

void Shell::SetSlotTitleText(Slot s, int textId) {
  state_.slotTitle[s] = res::TextShiftJis(textId);
}

void Shell::SetSlotTitleName(Slot s, const std::string& name) {
  state_.slotTitle[s] = platform::Utf8ToShiftJis(name);
}

std::string Shell::SlotTitleText(Slot s) const {
  const std::string& title = state_.slotTitle[s];
  return platform::ShiftJisToUtf8(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(title.data()), title.size()));
}

bool Shell::SlotHoldsCard(Slot s) const {
  return workspace_ && workspace_->At(s).open;
}

bool Shell::SaveLocked() const {
  return workspace_ && workspace_->Lock().locked;
}

std::uint32_t Shell::RowCount(Slot s) const {
  return workspace_ ? workspace_->At(s).RowCount() : 0;
}

}  // namespace slk
