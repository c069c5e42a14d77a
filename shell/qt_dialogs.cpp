#include "shell/qt_dialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "resources/strings.h"
#include "shell/program_dialogs.h"

namespace slk {

namespace {

QString Text(int id) {
  return QString::fromUtf8(res::Text(id));
}

int RunMessageBox(QWidget* owner, int id, QMessageBox::StandardButtons buttons) {
  QMessageBox box(QMessageBox::NoIcon, Text(res::TextId::WindowTitle), Text(id), buttons, owner);
  return box.exec();
}

}  // namespace

void QtDialogs::ShowMessage(int id) {
  RunMessageBox(owner_, id, QMessageBox::Ok);
}

bool QtDialogs::AskYesNo(int id) {
  return RunMessageBox(owner_, id, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool QtDialogs::AskYesNoDetail(int id, const std::string& detail) {
  QMessageBox box(QMessageBox::NoIcon, Text(res::TextId::WindowTitle), Text(id),
                  QMessageBox::Yes | QMessageBox::No, owner_);
  box.setInformativeText(QString::fromStdString(detail));
  return box.exec() == QMessageBox::Yes;
}

CardKind QtDialogs::AskCardKind(CardKind preselected) {
  ImageSelectDialog dialog(owner_, preselected);
  dialog.exec();
  return dialog.Choice();
}

QStringList NameFilters(const FileRequest& request) {
  QStringList filters;
  for (const FileFilter& filter : request.filters) {
    // The name already lists the extensions; the patterns in the last
    // parentheses are what Qt matches, and hidden from view.
    QStringList patterns;
    for (const std::string& ext : filter.extensions) {
      QString e = QString::fromStdString(ext);
      patterns << "*." + e << "*." + e.toUpper();
    }
    filters << QString::fromUtf8(filter.name) + " (" + patterns.join(' ') + ")";
  }
  return filters;
}

std::optional<ChosenFile> QtDialogs::ChooseFile(const FileRequest& request) {
  QFileDialog dialog(owner_);
  // Qt's own dialog: it shows the names as given and honours the default
  // suffix on every desktop.
  dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  QStringList filters = NameFilters(request);
  dialog.setNameFilters(filters);
  if (request.selectedFilter >= 0 && request.selectedFilter < filters.size()) {
    dialog.selectNameFilter(filters[request.selectedFilter]);
  }
  dialog.setDefaultSuffix(QString::fromStdString(request.defaultSuffix));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  QString path = dialog.selectedFiles().first();
  return ChosenFile{QFile::encodeName(path).toStdString(),
                    QFile::encodeName(QFileInfo(path).fileName()).toStdString()};
}

bool QtDialogs::EditSettings(Settings& settings) {
  SettingDialog dialog(owner_, settings, BrowseForFolder);
  return dialog.exec() == QDialog::Accepted;
}

void QtDialogs::ShowInfo() {
  InfoDialog dialog(owner_);
  dialog.exec();
}

std::optional<std::string> BrowseForFolder(QWidget* owner) {
  QString folder = QFileDialog::getExistingDirectory(owner);
  if (folder.isEmpty()) return std::nullopt;
  return QFile::encodeName(folder).toStdString();
}

}  // namespace slk
