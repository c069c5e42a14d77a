#include "shell/qt_dialogs.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#include "resources/strings.h"
#include "shell/backup_dialog.h"
#include "shell/program_dialogs.h"

namespace slk {

namespace {

QString Text(int id) {
  return QString::fromUtf8(res::Text(id));
}

int RunMessageBox(QWidget* owner, int id, QMessageBox::StandardButtons buttons,
                  const std::string& secondLine = {}) {
  QString text = Text(id);
  if (!secondLine.empty()) text += '\n' + QString::fromStdString(secondLine);
  QMessageBox box(QMessageBox::NoIcon, Text(res::TextId::WindowTitle), text, buttons, owner);
  // Plain text: a file's name must not be taken for markup.
  box.setTextFormat(Qt::PlainText);
  return box.exec();
}

}  // namespace

void QtDialogs::ShowMessage(int id) {
  RunMessageBox(owner_, id, QMessageBox::Ok);
}

void QtDialogs::ShowProblem(int id, const std::string& secondLine) {
  RunMessageBox(owner_, id, QMessageBox::Ok, secondLine);
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

std::optional<std::string> QtDialogs::AskText(int captionId, int promptId,
                                              const std::string& initial) {
  bool ok = false;
  QString text = QInputDialog::getText(owner_, Text(captionId), Text(promptId), QLineEdit::Normal,
                                       QString::fromStdString(initial), &ok);
  if (!ok) return std::nullopt;
  return text.toStdString();
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
  if (request.folderChoice) filters << QString::fromStdString(*request.folderChoice) + " (*)";
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
  if (!request.folder.empty())
    dialog.setDirectory(QFile::decodeName(QByteArray::fromStdString(request.folder)));
  // A bare name gets the extension of the format chosen in the filter: the
  // format written follows the extension, and the user picked that format.
  // The filter comes as shown (the name) or whole, depending on Qt's version.
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&dialog, &request, filters](const QString& chosen) {
                     std::string suffix = request.defaultSuffix;
                     // The folder entry, when there is one, comes after the formats.
                     for (std::size_t i = 0; i < request.filters.size(); ++i) {
                       const FileFilter& filter = request.filters[i];
                       bool match = chosen == filters[static_cast<qsizetype>(i)] ||
                                    chosen == QString::fromUtf8(filter.name);
                       // A save dialog's filters each name one format, its
                       // written extension first.
                       bool oneFormat = filter.extensions.size() == 1 || request.save;
                       if (match && oneFormat && !filter.extensions.empty()) {
                         suffix = filter.extensions.front();
                       }
                     }
                     dialog.setDefaultSuffix(QString::fromStdString(suffix));
                   });
  // The folder entry is no format: choosing it leaves for the folder chooser.
  constexpr int kFolderChosen = 2;
  if (request.folderChoice) {
    QString folderFilter = filters.back();
    QString folderName = QString::fromStdString(*request.folderChoice);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, folderFilter, folderName](const QString& chosen) {
                       if (chosen == folderFilter || chosen == folderName)
                         static_cast<QDialog&>(dialog).done(kFolderChosen);
                     });
  }
  int answer = dialog.exec();
  if (answer == kFolderChosen) {
    QString folder = QFileDialog::getExistingDirectory(
        owner_, QString::fromUtf8(res::Text(res::TextId::SaveFolderCaption)),
        dialog.directory().absolutePath());
    if (folder.isEmpty()) return std::nullopt;
    return ChosenFile{QFile::encodeName(folder).toStdString(),
                      QFile::encodeName(QFileInfo(folder).fileName()).toStdString(), true};
  }
  if (answer != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  QString path = dialog.selectedFiles().first();
  return ChosenFile{QFile::encodeName(path).toStdString(),
                    QFile::encodeName(QFileInfo(path).fileName()).toStdString()};
}

bool QtDialogs::EditSettings(Settings& settings) {
  SettingDialog dialog(owner_, settings, BrowseForFolder);
  return dialog.exec() == QDialog::Accepted;
}

std::optional<std::size_t> QtDialogs::ChooseBackup(const std::vector<BackupChoice>& backups) {
  BackupDialog dialog(owner_, backups);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Choice();
}

void QtDialogs::ShowInfo() {
  InfoDialog dialog(owner_);
  dialog.exec();
}

QtTranslations::QtTranslations(res::Language language) {
  if (language != res::Language::Japanese) return;
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(QStringLiteral("qtbase_ja"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    return;
  }
  QCoreApplication::installTranslator(translator.get());
  translator_ = std::move(translator);
}

QtTranslations::~QtTranslations() {
  if (translator_) QCoreApplication::removeTranslator(translator_.get());
}

std::optional<std::string> BrowseForFolder(QWidget* owner) {
  QString folder = QFileDialog::getExistingDirectory(owner);
  if (folder.isEmpty()) return std::nullopt;
  return QFile::encodeName(folder).toStdString();
}

}  // namespace slk
