#pragma once
// The modal parts of the program as real Qt dialogs, owned by the main window.

#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "resources/strings.h"
#include "shell/dialogs.h"

class QTranslator;

namespace slk {

class QtDialogs : public Dialogs {
 public:
  explicit QtDialogs(QWidget* owner) : owner_(owner) {}

  void ShowMessage(int id) override;
  void ShowProblem(int id, const std::string& secondLine) override;
  bool AskYesNo(int id) override;
  bool AskYesNoDetail(int id, const std::string& detail) override;
  CardKind AskCardKind(CardKind preselected) override;
  std::optional<ChosenFile> ChooseFile(const FileRequest& request) override;
  std::optional<std::string> AskText(int captionId, int promptId,
                                     const std::string& initial) override;
  bool EditSettings(Settings& settings) override;
  void ShowInfo() override;
  std::optional<std::size_t> ChooseBackup(const std::vector<BackupChoice>& backups) override;

 private:
  QWidget* owner_;
};

// Qt's own texts (the Yes and No of a message box, the file dialog's) in the
// program's language while it lives, from the translations Qt comes with.
class QtTranslations {
 public:
  explicit QtTranslations(res::Language language);
  ~QtTranslations();
  QtTranslations(const QtTranslations&) = delete;
  QtTranslations& operator=(const QtTranslations&) = delete;

  // False when the language needs none or Qt's translations are not installed.
  bool Loaded() const { return translator_ != nullptr; }

 private:
  std::unique_ptr<QTranslator> translator_;
};

// The folder browser: a folder chosen by the user, or nothing.
std::optional<std::string> BrowseForFolder(QWidget* owner);

// The name filters the file dialog shows for `request`, in its order. Each
// shows the string table's name and matches its extensions in either case.
QStringList NameFilters(const FileRequest& request);

}  // namespace slk
