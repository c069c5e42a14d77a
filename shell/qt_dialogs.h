#pragma once
// The modal parts of the program as real Qt dialogs, owned by the main window.

#include <QWidget>
#include <optional>
#include <string>

#include "shell/dialogs.h"

namespace slk {

class QtDialogs : public Dialogs {
 public:
  explicit QtDialogs(QWidget* owner) : owner_(owner) {}

  void ShowMessage(int id) override;
  bool AskYesNo(int id) override;
  bool AskYesNoDetail(int id, const std::string& detail) override;
  CardKind AskCardKind(CardKind preselected) override;
  std::optional<ChosenFile> ChooseFile(const FileRequest& request) override;
  bool EditSettings(Settings& settings) override;
  void ShowInfo() override;

 private:
  QWidget* owner_;
};

// The folder browser: a folder chosen by the user, or nothing.
std::optional<std::string> BrowseForFolder(QWidget* owner);

// The name filters the file dialog shows for `request`, in its order. Each
// shows the string table's name and matches its extensions in either case.
QStringList NameFilters(const FileRequest& request);

}  // namespace slk
