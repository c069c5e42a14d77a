// The Setting, Image Select and Info dialogs, the file dialog filters and the
// message boxes. Dialogs are shown without their own modal loop (or closed
// from a timer), so nothing waits for a user.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "resources/strings.h"
#include "shell/program_dialogs.h"
#include "shell/qt_dialogs.h"
#include "shell_fixture.h"

namespace slk {
namespace {

namespace Id = res::ControlId;

template <class T>
T* Get(const TemplateDialog& dialog, int id) {
  T* control = dialog.ControlAs<T>(id);
  EXPECT_NE(control, nullptr) << id;
  return control;
}

Settings SomeSettings() {
  Settings s;
  s.DefaultImage = 1;
  s.UseDefaultImage = 1;
  s.LockImagePS1 = 12;
  s.LockImagePS2 = 2;
  s.HALpriority = 1;
  s.LockPath = "/tmp/locks";
  return s;
}

class DialogTest : public ::testing::Test {
 protected:
  ~DialogTest() override { res::SetLanguage(res::Language::English); }
};

TEST_F(DialogTest, SettingDialogShowsTheSettingsAndOnlyOkStoresThem) {
  Settings settings = SomeSettings();
  {
    SettingDialog dialog(nullptr, settings, nullptr);
    for (auto [id, checked] : {std::pair{Id::PS1MemoryCard, true},
                               {Id::PS2MemoryCard, false},
                               {Id::UseDefaultImage, true},
                               {Id::HalPriority, true},
                               {Id::AnimationCut, false}})
      EXPECT_EQ(Get<QAbstractButton>(dialog, id)->isChecked(), checked) << id;
    EXPECT_EQ(Get<QLineEdit>(dialog, Id::LockFolder)->text(), "/tmp/locks");
    EXPECT_EQ(Get<QComboBox>(dialog, Id::LockFormatPS1)->currentIndex(), 12);
    EXPECT_EQ(Get<QComboBox>(dialog, Id::LockFormatPS2)->currentIndex(), 2);
    EXPECT_TRUE(Get<QPushButton>(dialog, Id::Ok)->isDefault());
    dialog.show();
    QTest::mouseClick(Get<QRadioButton>(dialog, Id::PS2MemoryCard), Qt::LeftButton);
    Get<QCheckBox>(dialog, Id::UseSlotPath)->setChecked(true);
    Get<QLineEdit>(dialog, Id::LockFolder)->setText("/elsewhere");
    Get<QComboBox>(dialog, Id::LockFormatPS1)->setCurrentIndex(3);
    QTest::mouseClick(Get<QPushButton>(dialog, Id::Cancel), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(testing::Fields(settings), testing::Fields(SomeSettings()));
  }

  std::vector<std::string> browsed;
  SettingDialog dialog(nullptr, settings, [&](QWidget*) -> std::optional<std::string> {
    browsed.push_back("asked");
    return std::string("/chosen/folder");
  });
  dialog.show();
  QTest::mouseClick(Get<QRadioButton>(dialog, Id::PS2MemoryCard), Qt::LeftButton);
  QTest::mouseClick(Get<QPushButton>(dialog, Id::Browse), Qt::LeftButton);
  // Every check box turned round, every list moved.
  const std::pair<int, int Settings::*> boxes[] = {
      {Id::UseDefaultImage, &Settings::UseDefaultImage},
      {Id::LockAutoIconic, &Settings::LockAutoIconic},
      {Id::HalPriority, &Settings::HALpriority},
      {Id::AnimationCut, &Settings::AnimationCut},
      {Id::UseSlotPath, &Settings::UseSlotPath}};
  for (auto [id, field] : boxes) Get<QCheckBox>(dialog, id)->setChecked(settings.*field == 0);
  EXPECT_EQ(Get<QComboBox>(dialog, Id::WindowScale)->currentText(), "automatic");
  EXPECT_EQ(Get<QComboBox>(dialog, Id::BackupGenerations)->currentText(), "5");
  const std::pair<int, int Settings::*> lists[] = {
      {Id::LockFormatPS1, &Settings::LockImagePS1},
      {Id::LockFormatPS2, &Settings::LockImagePS2},
      {Id::WindowScale, &Settings::WindowScale},
      {Id::BackupGenerations, &Settings::BackupGenerations}};
  const int chosen[] = {3, 0, 2, 0};
  for (int k = 0; k < 4; ++k) Get<QComboBox>(dialog, lists[k].first)->setCurrentIndex(chosen[k]);
  const Settings before = settings;
  QTest::mouseClick(Get<QPushButton>(dialog, Id::Ok), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(browsed.size(), 1u);
  EXPECT_EQ(settings.DefaultImage, 0);
  EXPECT_EQ(settings.LockPath, "/chosen/folder");
  for (auto [id, field] : boxes) EXPECT_EQ(settings.*field, before.*field == 0 ? 1 : 0) << id;
  for (int k = 0; k < 4; ++k) EXPECT_EQ(settings.*lists[k].second, chosen[k]) << lists[k].first;

  // A folder typed relative is stored as the folder it names now.
  SettingDialog typed(nullptr, settings, nullptr);
  typed.show();
  Get<QLineEdit>(typed, Id::LockFolder)->setText("locks");
  QTest::mouseClick(Get<QPushButton>(typed, Id::Ok), Qt::LeftButton);
  EXPECT_EQ(settings.LockPath, QDir::current().absoluteFilePath("locks").toStdString());
}

TEST_F(DialogTest, SettingDialogControlsLieInsideTheDialog) {
  for (res::Language language : {res::Language::English, res::Language::Japanese}) {
    res::SetLanguage(language);
    Settings settings;
    SettingDialog dialog(nullptr, settings, nullptr);
    QRect inside(QPoint(0, 0), dialog.size());
    for (int id = Id::PS2MemoryCard; id <= Id::UseSlotPath; ++id) {
      EXPECT_TRUE(inside.contains(dialog.Control(id)->geometry())) << id;
    }
    // No label loses the end of its text.
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
      EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
      EXPECT_TRUE(inside.contains(label->geometry())) << label->text().toStdString();
    }
    EXPECT_TRUE(inside.contains(dialog.Control(Id::Ok)->geometry()));
    // OK right of Cancel on the same line.
    EXPECT_GT(dialog.Control(Id::Ok)->x(), dialog.Control(Id::Cancel)->x());
    EXPECT_EQ(dialog.Control(Id::Ok)->y(), dialog.Control(Id::Cancel)->y());
  }
}

TEST_F(DialogTest, ImageSelectCannotBeCancelled) {
  ImageSelectDialog dialog(nullptr, CardKind::PS1);
  EXPECT_EQ(dialog.windowTitle(), "Image Select");
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(Get<QRadioButton>(dialog, Id::PS1MemoryCard)->isChecked());
  dialog.show();
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_FALSE(dialog.close());
  EXPECT_TRUE(dialog.isVisible());
  QTest::mouseClick(Get<QRadioButton>(dialog, Id::PS2CardImage), Qt::LeftButton);
  EXPECT_EQ(dialog.Choice(), CardKind::PS2Card);
  QTest::mouseClick(Get<QRadioButton>(dialog, Id::PS2MemoryCard), Qt::LeftButton);
  QTest::mouseClick(Get<QPushButton>(dialog, Id::Ok), Qt::LeftButton);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Choice(), CardKind::PS2);
  ImageSelectDialog third(nullptr, CardKind::PS2Card);
  EXPECT_TRUE(Get<QRadioButton>(third, Id::PS2CardImage)->isChecked());
}

TEST_F(DialogTest, FileDialogFiltersMatchEitherCaseAndEndWithTheCombinedEntry) {
  QStringList open = NameFilters(OpenFileRequest(FileGroup::CardImage));
  EXPECT_EQ(open[2], "PSEmuPro MemoryCard (*.mcr) (*.mcr *.MCR)");
  EXPECT_TRUE(open.last().contains("*.ps2 *.PS2 *.mc2 *.MC2 *.vmc *.VMC"));
}

TEST_F(DialogTest, ABareNameGetsTheExtensionOfTheChosenFormat) {
  QtDialogs dialogs(nullptr);
  QDir folder = QDir::temp();
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->setDirectory(folder);
    auto* formats = dialog->findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(formats, nullptr);
    formats->setCurrentIndex(2);  // PSEmuPro MemoryCard (*.mcr)
    // What choosing it by hand signals.
    emit formats->activated(2);
    emit formats->textActivated(formats->itemText(2));
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText("slotkeeper-bare-name");
    static_cast<QDialog*>(dialog)->accept();
  });
  std::optional<ChosenFile> chosen =
      dialogs.ChooseFile(SaveFileRequest(FileGroup::CardImage, CardKind::PS1));
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(chosen->name, "slotkeeper-bare-name.mcr");
}

// The folder entry of SaveSDI's dialog leads to a folder chooser.
TEST_F(DialogTest, TheFolderEntryAsksForAFolder) {
  QtDialogs dialogs(nullptr);
  FileRequest request = SaveFileRequest(FileGroup::SaveDataImage, CardKind::PS2);
  request.folderChoice = "folder";
  QString caption;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    if (dialog->fileMode() == QFileDialog::Directory) {
      caption = dialog->windowTitle();
      dialog->setDirectory(QDir::temp());
      static_cast<QDialog*>(dialog)->accept();
      return;
    }
    auto* formats = dialog->findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(formats, nullptr);
    int last = formats->count() - 1;
    formats->setCurrentIndex(last);
    emit formats->textActivated(formats->itemText(last));
  });
  poll.start(20);
  std::optional<ChosenFile> chosen = dialogs.ChooseFile(request);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_TRUE(chosen->folder);
  EXPECT_EQ(caption.toStdString(), res::Text(res::TextId::SaveFolderCaption));
}

// Questions are captioned with the window's title and, in Japanese, answered
// with Qt's own Japanese buttons.
TEST_F(DialogTest, MessageBoxesAreCaptionedWithTheWindowTitleInEitherLanguage) {
  for (res::Language language : {res::Language::English, res::Language::Japanese}) {
    res::SetLanguage(language);
    QtTranslations translations(language);
    const bool japanese = language == res::Language::Japanese && translations.Loaded();
    QtDialogs dialogs(nullptr);
    QString caption, yes, no;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      caption = box->windowTitle();
      yes = box->button(QMessageBox::Yes)->text();
      no = box->button(QMessageBox::No)->text();
      box->button(japanese ? QMessageBox::No : QMessageBox::Yes)->click();
    });
    EXPECT_EQ(dialogs.AskYesNo(res::TextId::LeftSlotNotSaved), !japanese);
    if (language == res::Language::English) {
      EXPECT_EQ(caption, "Slotkeeper 2");
    } else if (japanese) {
      EXPECT_TRUE(yes.startsWith(QString::fromUtf8("はい"))) << yes.toStdString();
      EXPECT_TRUE(no.startsWith(QString::fromUtf8("いいえ"))) << no.toStdString();
    }
  }
}

}  // namespace
}  // namespace slk
