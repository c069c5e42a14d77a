#include "shell/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeySequence>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <vector>

#include "resources/ui_texts.h"
#include "shell/shell.h"

namespace slk {

namespace {

struct ButtonPlace {
  const char* name;
  int x, y;
};

constexpr int kActionButtonWidth = 96;
constexpr int kActionButtonHeight = 32;
constexpr ButtonPlace kActionButtons[4] = {
    {"Copy", 274, 194}, {"Delete", 390, 194}, {"SaveSDI", 274, 246}, {"Lock", 390, 246}};

constexpr int kScrollButtonSize = 24;
constexpr int kScrollColumnX[2] = {232, 488};
constexpr int kScrollFirstY = 44;
constexpr const char* kScrollButtonNames[2][6] = {
    {"ScBtLHEAD", "ScBtLFASTDOWN", "ScBtLDOWN", "ScBtLUP", "ScBtLFASTUP", "ScBtLBOTTOM"},
    {"ScBtRHEAD", "ScBtRFASTDOWN", "ScBtRDOWN", "ScBtRUP", "ScBtRFASTUP", "ScBtRBOTTOM"}};

}  // namespace

void DeleteLater::operator()(QObject* object) const {
  if (auto* widget = qobject_cast<QWidget*>(object)) widget->hide();
  object->deleteLater();
}

MainWindow::MainWindow(RenderingBackend& backend) : view_(nullptr, backend) {}

MainWindow::~MainWindow() = default;

void MainWindow::SetShell(Shell* shell) {
  shell_ = shell;
  view_.SetShell(shell);
}

void MainWindow::Create(const std::string& title) {
  setWindowTitle(QString::fromStdString(title));
  setWindowIcon(QIcon(":/slotkeeper2/icon-64.png"));
  // The picture scales by whole factors, so the window may be resized and
  // maximised.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  // The menu belongs to the window on every desktop, so the client area is
  // what lies below it.
  menuBar()->setNativeMenuBar(false);
  BuildMenu();
  setCentralWidget(&view_);
  view_.OnPlacementChanged([this] { PlaceButtons(); });
  view_.SetPreferredFactor(1);
  view_.setFocus();
}

void MainWindow::SetWindowScale(int scale) {
  // Automatic: the factor the screen asks for (2 on a screen of twice the
  // usual density), so that the picture has the size it has elsewhere.
  int factor = scale > 0 ? scale : std::max(1, static_cast<int>(std::lround(devicePixelRatioF())));
  view_.SetPreferredFactor(factor);
  QSize client = view_.SizeForFactor(factor);
  if (isMaximized() || isFullScreen()) return;
  resize(client.width(), client.height() + menuBar()->sizeHint().height());
}

void MainWindow::PlaceButtons() {
  for (const std::vector<ButtonPtr>* buttons : {&scrollButtons_, &actionButtons_}) {
    for (const ButtonPtr& button : *buttons)
      button->setGeometry(view_.ToWidget(button->property("frameRect").toRect()));
  }
}

void MainWindow::BuildMenu() {
  res::Language language = res::CurrentLanguage();
  std::vector<QMenu*> open;
  int slotMenusSeen = 0;
  for (const res::MenuEntry& entry : res::kMenu140) {
    QString text = QString::fromUtf8(entry.text.In(language));
    switch (entry.kind) {
      case res::MenuEntryKind::Popup: {
        QMenu* menu = open.empty() ? menuBar()->addMenu(text) : open.back()->addMenu(text);
        // The two submenus of File are the Left Slot and Right Slot menus.
        if (open.size() == 1 && slotMenusSeen < 2) slotMenus_[slotMenusSeen++] = menu;
        WatchMenu(menu);
        open.push_back(menu);
        break;
      }
      case res::MenuEntryKind::PopupEnd:
        open.pop_back();
        break;
      case res::MenuEntryKind::Separator:
        open.back()->addSeparator();
        break;
      case res::MenuEntryKind::Item: {
        QAction* action = open.back()->addAction(text);
        action->setEnabled(!entry.startsGrey);
        int id = entry.id;
        connect(action, &QAction::triggered, this, [this, id] {
          if (shell_ != nullptr) shell_->Command(id);
        });
        actions_[id] = action;
        if (id == res::MenuId::Undo) action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
        if (id == res::MenuId::Redo)
          action->setShortcuts(
              {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
        break;
      }
    }
  }
}

// The rendering thread only presents while a menu is open.
void MainWindow::WatchMenu(QMenu* menu) {
  connect(menu, &QMenu::aboutToShow, this, [this] {
    if (++openMenus_ == 1 && shell_ != nullptr) shell_->MenuLoop(true);
  });
  connect(menu, &QMenu::aboutToHide, this, [this] {
    if (openMenus_ > 0 && --openMenus_ == 0 && shell_ != nullptr) shell_->MenuLoop(false);
  });
}

QAction* MainWindow::Action(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::Show() {
  show();
}

void MainWindow::ApplyMenu(const MenuState& menu) {
  for (auto& [id, action] : actions_) action->setEnabled(menu.Enabled(id));
}

ButtonPtr MainWindow::MakeButton(int id, const char* name, int x, int y, int w, int h) {
  std::atomic<int>& pressed =
      id < 4 ? shell_->State().actionButtonState[id] : shell_->State().scrollButtonState[id - 4];
  ButtonPtr button(
      std::make_unique<StateButton>(&view_, id, QString::fromLatin1(name), pressed).release());
  button->setProperty("frameRect", QRect(x, y, w, h));
  button->setGeometry(view_.ToWidget(QRect(x, y, w, h)));
  button->installEventFilter(this);
  connect(button.get(), &QAbstractButton::clicked, this, [this, id] {
    if (shell_ != nullptr) shell_->ButtonClicked(id);
  });
  button->show();
  return button;
}

void MainWindow::CreateScrollButtons() {
  DestroyScrollButtons();
  for (Slot s : {kLeft, kRight}) {
    for (int k = 0; k < 6; ++k) {
      scrollButtons_.push_back(MakeButton(4 + 6 * s + k, kScrollButtonNames[s][k],
                                          kScrollColumnX[s], kScrollFirstY + kScrollButtonSize * k,
                                          kScrollButtonSize, kScrollButtonSize));
    }
  }
}

void MainWindow::DestroyScrollButtons() {
  scrollButtons_.clear();
}

void MainWindow::CreateActionButtons() {
  DestroyActionButtons();
  for (int id = 0; id < 4; ++id) {
    const ButtonPlace& place = kActionButtons[id];
    actionButtons_.push_back(
        MakeButton(id, place.name, place.x, place.y, kActionButtonWidth, kActionButtonHeight));
  }
}

void MainWindow::DestroyActionButtons() {
  actionButtons_.clear();
}

void MainWindow::PopupSlotMenu(Slot slot, int x, int y) {
  slotMenus_[slot]->popup(view_.mapToGlobal(view_.ToWidget(QRect(x, y, 0, 0)).topLeft()));
}

void MainWindow::Minimise() {
  showMinimized();
}

void MainWindow::PostClose() {
  QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void MainWindow::ShowLatestFrame() {
  view_.repaint();
}

void MainWindow::DropQueuedInput() {
  QCoreApplication::processEvents();
}

// A button pressed while a handler holds the window is not pressed at all:
// its release, even after the handler, must not click it.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  QEvent::Type type = event->type();
  if (watched == windowHandle()) {
    if (type == QEvent::Expose) TellVisibility();
    return QMainWindow::eventFilter(watched, event);
  }
  if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) &&
      shell_ != nullptr && shell_->Busy()) {
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::event(QEvent* event) {
  bool handled = QMainWindow::event(event);
  switch (event->type()) {
    case QEvent::Show:
      // The native window exists now; its exposure says whether it is seen.
      windowHandle()->removeEventFilter(this);
      windowHandle()->installEventFilter(this);
      TellVisibility();
      break;
    case QEvent::Hide:
    case QEvent::WindowStateChange:
      TellVisibility();
      break;
    default:
      break;
  }
  return handled;
}

void MainWindow::TellVisibility() {
  QWindow* handle = windowHandle();
  bool visible = isVisible() && !isMinimized() && handle != nullptr && handle->isExposed();
  view_.SetShown(visible);
  if (shell_ != nullptr) shell_->WindowVisible(visible);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (shell_ != nullptr && !shell_->CloseRequested()) {
    event->ignore();
    return;
  }
  event->accept();
}

}  // namespace slk
