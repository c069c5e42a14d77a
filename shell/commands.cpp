// The slot and edit commands: what each menu item, action button, dropped
// file and start-up file does to the two slots.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

#include "card/card_backups.h"
#include "card/card_image.h"
#include "card/image_formats.h"
#include "card/save_data_image.h"
#include "card/save_folder_slot.h"
#include "card/save_operations.h"
#include "card/save_rename.h"
#include "card/slot_edit.h"
#include "card/utility.h"
#include "platform/file_lock.h"
#include "platform/sjis.h"
#include "resources/strings.h"
#include "shell/shell.h"

namespace slk {

namespace {

std::string NamePart(const std::string& path) {
  std::string name = path;
  FileNamePart(path, name);
  return name;
}

// A path given relative to the folder the program was started in: the slot
// remembers it for the next start, which may be in another folder.
std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.string();
}

}  // namespace

void Shell::ReadStartupCardsEarly(const StartupOptions& options) {
  for (const auto& [slot, given] : StartupFiles(options)) {
    std::string path = AbsolutePath(StripQuotes(given));
    if (KindOfPath(path) != PathKind::CardImage) continue;
    earlyCards_[slot] = std::make_unique<EarlyCard>(path, settings_);
  }
  if (!earlyCards_[kLeft] && !earlyCards_[kRight]) return;
  earlyReader_ = platform::Thread([this] {
    for (Slot s : {kLeft, kRight}) {
      EarlyCard* card = earlyCards_[s].get();
      if (card == nullptr) continue;
      card->stamp = platform::StampOf(card->path);
      card->read =
          card->ws.CreateSlotStore(s, 0) != 0 && OpenCardImage(card->ws, s, card->path) != 0;
    }
  });
}

std::uint32_t Shell::LoadSlotFromFile(Slot s, const std::string& path) {
  // The file is read into a workspace of its own first: a file that does not
  // read leaves the slot and its changes as they were, and the discard
  // question comes only once there is a card to replace them with.
  earlyReader_.Join();
  std::unique_ptr<EarlyCard> early = std::move(earlyCards_[s]);
  if (early && !(early->Quiet() && early->path == path)) early.reset();
  std::optional<Workspace> own;
  if (!early) own.emplace(static_cast<MessageSink&>(*this), settings_);
  Workspace& incoming = early ? early->ws : *own;
  // Taken before reading, so that a change made while it is read is noticed
  // when the card is saved over it.
  auto stamp = early ? early->stamp : platform::StampOf(path);
  if (!early && (incoming.CreateSlotStore(s, 0) == 0 || OpenCardImage(incoming, s, path) == 0))
    return 0;
  if (ConfirmDiscard(s)) return 0;
  PauseRendering();
  SlotDocument document = Document(s);
  SlotData previous = workspace_->ExchangeSlot(s, SlotData{});
  workspace_->TakeSlot(s, incoming);
  slotFileStamp_[s] = stamp;
  RecordReplacement(s, std::move(previous), std::move(document), true);
  state_.selectionSlot = -1;
  state_.scrollTop[s] = 0;
  backend_.PrerenderSlotIcons(*workspace_, s, 0);
  ResumeRendering();
  return 1;
}

std::uint32_t Shell::SaveSlotToFile(Slot s, const std::string& path) {
  // Another program (slotkeeper-cli, a second window) may be writing the
  // card right now, or may have written it since we read it: wait for the
  // first, ask before writing over the second.
  platform::FileLock lock;
  platform::Problem why;
  if (!lock.Acquire(path, platform::kLockPatience, &why)) {
    ShowProblem(MessageId::FileNotPreserved, why);
    return 0;
  }
  if (path == state_.slotPath[s] && slotFileStamp_[s] &&
      platform::StampOf(path) != slotFileStamp_[s] && !AskYesNo(res::TextId::CardChangedOnDisk))
    return 0;
  // Writing sets the slot's kind to the format's, which the panels draw.
  PauseRendering();
  std::uint32_t saved = SaveCardImage(*workspace_, s, path);
  ResumeRendering();
  if (saved == 0) return 0;
  slotFileStamp_[s] = platform::StampOf(path);
  MarkSaved(s);
  return 1;
}

std::uint32_t Shell::ImportSaveDataImage(Slot s, const std::string& path) {
  PauseRendering();
  bool newCard = !SlotHoldsCard(s);
  SlotDocument document = Document(s);
  if (newCard) {
    if (workspace_->CreateSlotStore(s, 1) == 0) {
      ResumeRendering();
      return 0;
    }
    state_.selectionSlot = -1;
    state_.slotPath[s].clear();
    state_.scrollTop[s] = 0;
    SetSlotTitleText(s, res::TextId::NewFile);
  }
  state_.modified[s] = 1;
  SlotEdit edit(*workspace_, s);
  if (AddSaveImageOrFolder(*workspace_, s, path) == 0) {
    edit.Abandon(*workspace_);
    // A card made only to take this save goes again: the slot is as empty
    // as it was, not a changed card that holds nothing.
    if (newCard) {
      workspace_->CloseSlot(s);
      state_.slotPath[s] = document.path;
      state_.slotTitle[s] = document.title;
    }
    UpdateModified(s);
    ResumeRendering();
    return 0;
  }
  // Undone, a card made for the save goes as a whole; into a card, the save.
  if (newCard) {
    edit.Abandon(*workspace_);
    RecordReplacement(s, SlotData{}, std::move(document), false);
  } else {
    RecordEdit(std::move(edit));
  }
  std::uint32_t count = RowCount(s);
  if (count > 9) state_.scrollTop[s] = LastScrollTop(count);
  backend_.PrerenderSlotIcons(*workspace_, s, state_.scrollTop[s]);
  ResumeRendering();
  return 1;
}

void Shell::OpenPathIntoSlot(Slot s, const std::string& given, bool dropped) {
  std::string path = AbsolutePath(StripQuotes(given));
  PathKind kind = KindOfPath(path);
  if (dropped && IsSaveFolder(path)) {
    if (ImportSaveDataImage(s, path) != 0) SetMenuItems(LoadedOnlyGroup(s), true);
  } else if (kind == PathKind::CardImage) {
    if (LoadSlotFromFile(s, path) == 0) return;
    SetSlotFile(s, path, NamePart(path));
    SetMenuItems(LoadedOnlyGroup(s), true);
  } else if (kind == PathKind::SaveDataImage) {
    if (ImportSaveDataImage(s, path) != 0) SetMenuItems(LoadedOnlyGroup(s), true);
  }
}

void Shell::SetSlotFile(Slot s, const std::string& path, const std::string& name) {
  PauseRendering();
  state_.slotPath[s] = path;
  SetSlotTitleName(s, name);
  ResumeRendering();
}

void Shell::NewFile(Slot s) {
  if (ConfirmDiscard(s)) return;
  PauseRendering();
  SlotDocument document = Document(s);
  state_.slotPath[s].clear();
  SetSlotTitleText(s, res::TextId::NewFile);
  SlotData previous = workspace_->ExchangeSlot(s, SlotData{});
  bool made = workspace_->CreateSlotStore(s, 1) != 0;
  RecordReplacement(s, std::move(previous), std::move(document), true);
  if (made) {
    state_.scrollTop[s] = 0;
    state_.selectionSlot = -1;
    SetMenuItems(LoadedOnlyGroup(s), true);
  }
  ResumeRendering();
}

void Shell::InsertChange(Slot s) {
  std::optional<ChosenFile> file =
      ChooseFileIn(FileGroup::CardImage, OpenFileRequest(FileGroup::CardImage));
  if (!file) return;
  if (LoadSlotFromFile(s, file->path) == 0) return;
  SetSlotFile(s, file->path, file->name);
  SetMenuItems(LoadedOnlyGroup(s), true);
}

void Shell::Eject(Slot s) {
  if (ConfirmDiscard(s)) return;
  PauseRendering();
  SlotDocument document = Document(s);
  SlotData previous = workspace_->ExchangeSlot(s, SlotData{});
  state_.slotPath[s].clear();
  SetSlotTitleText(s, res::TextId::NoFile);
  RecordReplacement(s, std::move(previous), std::move(document), true);
  state_.selectionSlot = -1;
  SetMenuItems(LoadedOnlyGroup(s), false);
  ResumeRendering();
}

void Shell::AddSaveDataImage(Slot s) {
  std::optional<ChosenFile> file =
      ChooseFileIn(FileGroup::SaveDataImage, OpenFileRequest(FileGroup::SaveDataImage));
  if (!file) return;
  if (ImportSaveDataImage(s, file->path) != 0) SetMenuItems(LoadedOnlyGroup(s), true);
}

void Shell::Save(Slot s) {
  if (state_.slotPath[s].empty()) return SaveAs(s);
  SaveSlotToFile(s, state_.slotPath[s]);
}

void Shell::SaveAs(Slot s) {
  std::optional<ChosenFile> file = ChooseFileIn(
      FileGroup::CardImage, SaveFileRequest(FileGroup::CardImage, workspace_->At(s).kind));
  if (!file) return;
  if (SaveSlotToFile(s, file->path) != 0) SetSlotFile(s, file->path, file->name);
}

void Shell::SaveSdi(Slot s, std::uint32_t position) {
  if (position >= RowCount(s)) return;
  CardKind kind = workspace_->At(s).AtRow(position).IsPS1() ? CardKind::PS1 : CardKind::PS2;
  FileRequest request = SaveFileRequest(FileGroup::SaveDataImage, kind);
  // A PS2 save may also go out as a folder of its files, named after it.
  if (kind == CardKind::PS2) request.folderChoice = res::Text(res::TextId::SaveFolderChoice);
  std::optional<ChosenFile> file = ChooseFileIn(FileGroup::SaveDataImage, request);
  if (!file) return;
  if (file->folder) {
    SaveSaveFolder(*workspace_, s, position, SaveFolderPath(*workspace_, s, position, file->path));
    return;
  }
  SaveSaveImage(*workspace_, s, position, file->path);
}

std::optional<ChosenFile> Shell::ChooseFileIn(FileGroup group, FileRequest request) {
  std::string& folder =
      group == FileGroup::CardImage ? settings_.CardImageFolder : settings_.SaveDataImageFolder;
  request.folder = folder;
  std::optional<ChosenFile> file = Modal().ChooseFile(request);
  if (file) folder = platform::FolderOf(file->path);
  return file;
}

void Shell::RestoreBackup(Slot s) {
  const std::string cardPath = state_.slotPath[s];
  std::vector<CardBackup> backups;
  if (!cardPath.empty()) backups = ListCardBackups(cardPath);
  if (backups.empty()) return ShowMessage(res::TextId::NoBackups);
  std::vector<BackupChoice> choices;
  for (const CardBackup& b : backups) {
    char time[32];
    const platform::BackupTime& t = b.file.time;
    std::snprintf(time, sizeof time, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    choices.push_back({time, b.file.size, b.saves});
  }
  std::optional<std::size_t> chosen = Modal().ChooseBackup(choices);
  if (!chosen || *chosen >= backups.size()) return;
  // The slot keeps the card's own path and stamp: Save writes the restored
  // card back over the card, as a change the user made.
  std::optional<platform::FileStamp> stamp = slotFileStamp_[s];
  if (LoadSlotFromFile(s, backups[*chosen].file.path) == 0) return;
  slotFileStamp_[s] = stamp;
  // No state of the history is the card's file any more: undo and redo must
  // keep showing the restored card as a change.
  savedState_[s] = 0;
  UpdateModified(s);
}

void Shell::Copy(Slot s, std::uint32_t position) {
  Slot other = OtherSlot(s);
  if (!SlotHoldsCard(other) || position >= RowCount(s)) return;
  PauseRendering();
  SlotEdit edit(*workspace_, other);
  if (CopySave(*workspace_, s, position) == 0) {
    edit.Abandon(*workspace_);
    ResumeRendering();
    return;
  }
  RecordEdit(std::move(edit));
  std::uint32_t count = RowCount(other);
  if (state_.scrollTop[other] + 9 < count) state_.scrollTop[other] = LastScrollTop(count);
  backend_.PrerenderSlotIcons(*workspace_, other, state_.scrollTop[other]);
  DrawSelectedTitle();
  ResumeRendering();
  CloseDetail();
  ResumeRendering();
}

void Shell::Delete(Slot s, std::uint32_t position) {
  if (position >= RowCount(s)) return;
  PauseRendering();
  SlotEdit edit(*workspace_, s, workspace_->At(s).rows[position]);
  DeleteSave(*workspace_, s, position);
  RecordEdit(std::move(edit));
  std::uint32_t count = RowCount(s);
  if (count == 0) state_.selectionSlot = -1;
  // The selection moves to the new last save.
  if (count > 0 && state_.selectionPosition == count) state_.selectionPosition = count - 1;
  // The view moves up one row when its bottom row became empty.
  if (count > 6 && state_.scrollTop[s] + 6 == count) state_.scrollTop[s] = LastScrollTop(count);
  backend_.PrerenderSlotIcons(*workspace_, s, state_.scrollTop[s]);
  // The title box showed the deleted save; it shows the one now selected.
  if (count > 0) DrawSelectedTitle();
  CloseDetail();
}

void Shell::Rename(Slot s, std::uint32_t position) {
  if (position >= RowCount(s)) return;
  const Name64& current = workspace_->At(s).AtRow(position).name;
  std::string old = platform::ShiftJisToUtf8(Bytes(current.data(), BoundedLength(current)));
  std::optional<std::string> name =
      Modal().AskText(res::TextId::RenameCaption, res::TextId::RenamePrompt, old);
  if (!name || *name == old) return;
  PauseRendering();
  SlotEdit edit(*workspace_, s, workspace_->At(s).rows[position]);
  if (!RenameSave(*workspace_, s, position, *name)) {
    edit.Abandon(*workspace_);
  } else {
    RecordEdit(std::move(edit));
    DrawSelectedTitle();
    if (state_.viewState == ViewState::Detail)
      backend_.BuildDetailScreen(*workspace_, s, SelectedEntry());
  }
  ResumeRendering();
}

void Shell::Lock(Slot s, std::uint32_t position) {
  if (SaveLocked()) {
    workspace_->DeleteLockFile();
    return;
  }
  if (position >= RowCount(s)) return;
  LockSave(*workspace_, s, position);
  if (settings_.LockAutoIconic != 0) window_.Minimise();
}

}  // namespace slk
