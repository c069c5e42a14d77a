#pragma once
// The modal parts of the program: message boxes, file dialogs, the folder
// browser and the Setting, Image Select and Info dialogs. The Qt window shows
// real dialogs; tests answer from a script so that nothing blocks.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "card/save_entry.h"
#include "card/settings.h"
#include "shell/file_requests.h"

namespace slk {

// One line of the Restore Backup list.
struct BackupChoice {
  std::string time;  // "2026-12-06 23:40:02", local time
  std::uint64_t size = 0;
  std::optional<std::uint32_t> saves;  // nothing for a backup that does not read
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // String-table text with an OK button, captioned with the window title.
  virtual void ShowMessage(int id) = 0;
  // The same with a second line under the text: which file, and what was
  // wrong with it. An empty line shows the message alone.
  virtual void ShowProblem(int id, const std::string& secondLine) {
    (void)secondLine;
    ShowMessage(id);
  }
  // The same with Yes and No; true only for Yes.
  virtual bool AskYesNo(int id) = 0;
  // The question with a second line under it (which file, and why).
  virtual bool AskYesNoDetail(int id, const std::string& detail) {
    (void)detail;
    return AskYesNo(id);
  }
  // Image Select: the kind of a new card; cannot be cancelled.
  virtual CardKind AskCardKind(CardKind preselected) = 0;
  // Nothing when cancelled.
  virtual std::optional<ChosenFile> ChooseFile(const FileRequest& request) = 0;
  // A line of text under the string-table prompt `promptId`, in a dialog
  // captioned `captionId`, starting as `initial`; nothing when cancelled.
  virtual std::optional<std::string> AskText(int captionId, int promptId,
                                             const std::string& initial) = 0;
  // The Setting dialog on `settings`: changed only by OK (true).
  virtual bool EditSettings(Settings& settings) = 0;
  virtual void ShowInfo() = 0;
  // Restore Backup: the index of the backup chosen from `backups` (newest
  // first), nothing when cancelled.
  virtual std::optional<std::size_t> ChooseBackup(const std::vector<BackupChoice>& backups) {
    (void)backups;
    return std::nullopt;
  }
};

}  // namespace slk
