#include "shell/program_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "card/image_formats.h"
#include "resources/strings.h"

namespace slk {

namespace {

namespace Id = res::ControlId;

// The names of the lock formats in the order of their stored values.
std::vector<int> LockFormatNames(LockList list) {
  std::vector<int> ids;
  for (const FormatRow* row : LockFormats(list)) ids.push_back(row->filterText);
  return ids;
}

void FillFormats(QComboBox* list, const std::vector<int>& ids, int selected) {
  for (int id : ids) list->addItem(QString::fromUtf8(res::Text(id)));
  list->setCurrentIndex(selected >= 0 && selected < list->count() ? selected : -1);
}

void Check(QWidget* box, std::int32_t value) {
  qobject_cast<QAbstractButton*>(box)->setChecked(value != 0);
}

std::int32_t Checked(QWidget* box) {
  return qobject_cast<QAbstractButton*>(box)->isChecked() ? 1 : 0;
}

void CheckKindButton(const TemplateDialog& dialog, int kind) {
  if (auto* radio = dialog.ControlAs<QRadioButton>(Id::PS2MemoryCard + kind)) {
    radio->setChecked(true);
  }
}

}  // namespace

SettingDialog::SettingDialog(QWidget* parent, Settings& settings, FolderBrowser browseForFolder)
    : TemplateDialog(parent, res::kSettingDialog),
      settings_(settings),
      browseForFolder_(std::move(browseForFolder)),
      defaultImage_(settings.DefaultImage) {
  CheckKindButton(*this, defaultImage_);
  Check(Control(Id::UseDefaultImage), settings.UseDefaultImage);
  auto* folder = ControlAs<QLineEdit>(Id::LockFolder);
  folder->setMaxLength(260);
  folder->setText(QFile::decodeName(QByteArray::fromStdString(settings.LockPath)));
  FillFormats(ControlAs<QComboBox>(Id::LockFormatPS1), LockFormatNames(LockList::PS1),
              settings.LockImagePS1);
  FillFormats(ControlAs<QComboBox>(Id::LockFormatPS2), LockFormatNames(LockList::PS2),
              settings.LockImagePS2);
  Check(Control(Id::LockAutoIconic), settings.LockAutoIconic);
  Check(Control(Id::HalPriority), settings.HALpriority);
  Check(Control(Id::AnimationCut), settings.AnimationCut);
  Check(Control(Id::UseSlotPath), settings.UseSlotPath);
  auto* scale = ControlAs<QComboBox>(Id::WindowScale);
  scale->addItem(QString::fromUtf8(res::Text(res::TextId::WindowScaleAutomatic)));
  for (int factor = 1; factor <= kLargestWindowScale; ++factor)
    scale->addItem(QString::fromUtf8(u8"%1\u00d7").arg(factor));
  scale->setCurrentIndex(std::clamp(settings.WindowScale, 0, kLargestWindowScale));
  auto* backups = ControlAs<QComboBox>(Id::BackupGenerations);
  for (int n = 0; n <= kMostBackupGenerations; ++n) backups->addItem(QString::number(n));
  backups->setCurrentIndex(std::clamp(settings.BackupGenerations, 0, kMostBackupGenerations));

  for (int kind : {0, 1}) {
    connect(ControlAs<QRadioButton>(Id::PS2MemoryCard + kind), &QRadioButton::clicked, this,
            [this, kind] { defaultImage_ = kind; });
  }
  connect(ControlAs<QPushButton>(Id::Browse), &QPushButton::clicked, this, &SettingDialog::Browse);
  connect(ControlAs<QPushButton>(Id::Ok), &QPushButton::clicked, this, [this] {
    Store();
    accept();
  });
  connect(ControlAs<QPushButton>(Id::Cancel), &QPushButton::clicked, this, &QDialog::reject);
  setFocus();
}

void SettingDialog::Browse() {
  if (browseForFolder_) {
    if (std::optional<std::string> chosen = browseForFolder_(this)) {
      ControlAs<QLineEdit>(Id::LockFolder)
          ->setText(QFile::decodeName(QByteArray::fromStdString(*chosen)));
    }
  }
  activateWindow();
  setFocus();
}

void SettingDialog::Store() {
  settings_.DefaultImage = defaultImage_;
  settings_.UseDefaultImage = Checked(Control(Id::UseDefaultImage));
  // A folder typed relative means the one it names now, not whichever the
  // program is started in next time.
  QString folder = ControlAs<QLineEdit>(Id::LockFolder)->text();
  if (!folder.isEmpty()) folder = QDir::current().absoluteFilePath(folder);
  settings_.LockPath = QFile::encodeName(folder).toStdString();
  settings_.LockImagePS1 = ControlAs<QComboBox>(Id::LockFormatPS1)->currentIndex();
  settings_.LockImagePS2 = ControlAs<QComboBox>(Id::LockFormatPS2)->currentIndex();
  settings_.LockAutoIconic = Checked(Control(Id::LockAutoIconic));
  settings_.HALpriority = Checked(Control(Id::HalPriority));
  settings_.AnimationCut = Checked(Control(Id::AnimationCut));
  settings_.UseSlotPath = Checked(Control(Id::UseSlotPath));
  settings_.WindowScale = ControlAs<QComboBox>(Id::WindowScale)->currentIndex();
  settings_.BackupGenerations = ControlAs<QComboBox>(Id::BackupGenerations)->currentIndex();
}

ImageSelectDialog::ImageSelectDialog(QWidget* parent, CardKind preselected)
    : TemplateDialog(parent, res::kImageSelectDialog), choice_(preselected) {
  // Caption without a close box.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  constexpr std::array<std::pair<CardKind, int>, 3> kButtons = {{
      {CardKind::PS2, Id::PS2MemoryCard},
      {CardKind::PS1, Id::PS1MemoryCard},
      {CardKind::PS2Card, Id::PS2CardImage},
  }};
  for (auto [kind, id] : kButtons) {
    auto* radio = ControlAs<QRadioButton>(id);
    if (radio == nullptr) continue;
    if (kind == choice_) radio->setChecked(true);
    connect(radio, &QRadioButton::clicked, this, [this, kind] { choice_ = kind; });
  }
  connect(ControlAs<QPushButton>(Id::Ok), &QPushButton::clicked, this, &QDialog::accept);
  setFocus();
}

void ImageSelectDialog::reject() {}

void ImageSelectDialog::closeEvent(QCloseEvent* event) {
  event->ignore();
}

InfoDialog::InfoDialog(QWidget* parent) : TemplateDialog(parent, res::kInfoDialog) {
  connect(ControlAs<QPushButton>(Id::Ok), &QPushButton::clicked, this, &QDialog::accept);
  setFocus();
}

}  // namespace slk
