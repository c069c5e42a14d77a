#include "shell/backup_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "resources/strings.h"

namespace slk {

namespace {

QString TextOf(int id) {
  return QString::fromUtf8(res::Text(id));
}

}  // namespace

BackupDialog::BackupDialog(QWidget* parent, const std::vector<BackupChoice>& backups)
    : QDialog(parent), list_(new QTreeWidget(this)) {
  setWindowTitle(TextOf(res::TextId::RestoreBackupTitle));
  list_->setRootIsDecorated(false);
  list_->setHeaderLabels({TextOf(res::TextId::BackupTimeColumn),
                          TextOf(res::TextId::BackupSizeColumn),
                          TextOf(res::TextId::BackupSavesColumn)});
  for (const BackupChoice& b : backups) {
    auto* item = new QTreeWidgetItem(list_);
    item->setText(0, QString::fromStdString(b.time));
    item->setText(1, QLocale().toString(static_cast<qulonglong>(b.size)));
    item->setText(2, b.saves ? QString::number(*b.saves) : QStringLiteral("?"));
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
  }
  list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addWidget(buttons);
  resize(420, 240);
}

std::optional<std::size_t> BackupDialog::Choice() const {
  int row = list_->indexOfTopLevelItem(list_->currentItem());
  if (result() != QDialog::Accepted || row < 0) return std::nullopt;
  return static_cast<std::size_t>(row);
}

}  // namespace slk
