#pragma once
// Restore Backup: the backups of a slot's card, newest first, with their time,
// size and number of saves; OK (or a double click) picks one.

#include <QDialog>
#include <optional>
#include <vector>

#include "shell/dialogs.h"

class QTreeWidget;

namespace slk {

class BackupDialog : public QDialog {
  Q_OBJECT

 public:
  BackupDialog(QWidget* parent, const std::vector<BackupChoice>& backups);
  // The row chosen; nothing before OK.
  std::optional<std::size_t> Choice() const;
  QTreeWidget* List() const { return list_; }

 private:
  QTreeWidget* list_;
};

}  // namespace slk
