#pragma once
// The Setting, Image Select and Info dialogs.

#include <QCloseEvent>
#include <functional>
#include <optional>
#include <string>

#include "card/save_entry.h"
#include "card/settings.h"
#include "shell/template_dialog.h"

namespace slk {

// The choices of the Setting dialog's window scale (0 is automatic) and
// backup lists.
constexpr int kLargestWindowScale = 3;
constexpr int kMostBackupGenerations = 20;

// Edits `settings`: OK writes every control back, Cancel and the close box
// leave it as it was.
class SettingDialog : public TemplateDialog {
  Q_OBJECT

 public:
  // `browseForFolder` is the folder browser behind the Browse button.
  using FolderBrowser = std::function<std::optional<std::string>(QWidget* owner)>;
  SettingDialog(QWidget* parent, Settings& settings, FolderBrowser browseForFolder);

 private:
  void Browse();
  void Store();

  Settings& settings_;
  FolderBrowser browseForFolder_;
  int defaultImage_;  // the working copy the radio buttons change
};

// Asks the kind of a new card. It cannot be cancelled: no close box, and
// Escape does nothing; only OK closes it.
class ImageSelectDialog : public TemplateDialog {
  Q_OBJECT

 public:
  ImageSelectDialog(QWidget* parent, CardKind preselected);
  CardKind Choice() const { return choice_; }

 public slots:
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  CardKind choice_;
};

// The program's name and version.
class InfoDialog : public TemplateDialog {
  Q_OBJECT

 public:
  explicit InfoDialog(QWidget* parent);
};

}  // namespace slk
