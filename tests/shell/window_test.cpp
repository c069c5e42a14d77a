// The Qt window: its frame, menu, child buttons, mouse, drops and closing.

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>

#include "resources/strings.h"
#include "shell/main_window.h"
#include "shell_fixture.h"

namespace slk::testing {
namespace {

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() { window.SetShell(&shell); }
  ~WindowTest() override {
    window.SetShell(nullptr);
    res::SetLanguage(res::Language::English);
  }

  void Start(const std::string& commandLine = "") {
    options.commandLine = commandLine;
    ASSERT_TRUE(shell.StartUp(options));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  }

  QPoint Cell(Slot s, int cell) const {
    return QPoint(kPanelRects[s].left + kCellWidth * (cell % 3) + 30,
                  kPanelRects[s].top + kCellHeight * (cell / 3) + 30);
  }

  StateButton* Button(const char* name) {
    return window.View().findChild<StateButton*>(QString::fromLatin1(name));
  }

  void Drop(QPoint at, const std::vector<std::string>& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p));
    data.setUrls(urls);
    // As a drag arrives: enter, move, drop.
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window.View(), &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window.View(), &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window.View(), &drop);
    QApplication::processEvents();
  }

  // A click on the client area as the window system delivers it: queued,
  // and given to whatever lies at that point when it is handled.
  void PostClick(QPoint at) {
    QWindow* handle = window.windowHandle();
    QPointF local = window.View().mapTo(&window, at);
    QPointF global = window.View().mapToGlobal(at);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
      QApplication::postEvent(
          handle, new QMouseEvent(type, local, global, Qt::LeftButton, held, Qt::NoModifier));
    }
  }

  std::uint32_t Count(Slot s) { return shell.Ws()->At(s).RowCount(); }

  TempDir dir;
  CallLog log;
  RecordingBackend backend{log};
  ScriptedDialogs dialogs{log};
  StartupOptions options = OptionsIn(dir);
  MainWindow window{backend};
  Shell shell{backend, window, dialogs};
};

TEST_F(WindowTest, ThePictureScalesByWholeFactorsAndInputMapsBack) {
  WriteFileText(options.settingsPath, "[Slotkeeper2]\nWindowScale=2\n");
  Start(WriteExpandedCard(dir, "many.xmc", 13));
  EXPECT_EQ(window.windowTitle(), "Slotkeeper 2");
  EXPECT_TRUE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
  QApplication::processEvents();
  EXPECT_EQ(window.View().size(), QSize(1024, 624));
  EXPECT_EQ(window.View().mapTo(&window, QPoint(0, 0)).y(), window.menuBar()->height());

  // The window grown and shrunk: the largest whole factor that fits, centred.
  struct Case {
    QSize client;
    int factor;
    QPoint origin;
  };
  for (const Case& c : {Case{{1024, 624}, 2, {0, 0}}, Case{{1100, 700}, 2, {38, 38}},
                        Case{{1600, 1000}, 3, {32, 32}}, Case{{800, 500}, 1, {144, 94}}}) {
    window.resize(c.client.width(), c.client.height() + window.menuBar()->height());
    QApplication::processEvents();
    ASSERT_EQ(window.View().size(), c.client);
    EXPECT_EQ(window.View().Factor(), c.factor);
    EXPECT_EQ(Button("ScBtLHEAD")->geometry(),
              QRect(c.origin + QPoint(232, 44) * c.factor, QSize(24, 24) * c.factor));
    auto at = [&](QPoint frame) { return c.origin + frame * c.factor; };
    // The pointer and the wheel as the window system delivers them.
    QTest::mouseMove(window.windowHandle(), window.View().mapTo(&window, at(Cell(kLeft, 4))));
    QApplication::processEvents();
    EXPECT_EQ(shell.State().selectionPosition, 4u);
    for (int notch : {-1, 1}) {
      QPointF local = window.View().mapTo(&window, at(Cell(kLeft, 0)));
      QApplication::postEvent(
          window.windowHandle(),
          new QWheelEvent(local, window.mapToGlobal(local), QPoint(), QPoint(0, 120 * notch),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false));
      QApplication::processEvents();
      EXPECT_EQ(shell.State().scrollTop[kLeft], notch < 0 ? 3u : 0u) << c.factor;
    }
  }
}

TEST_F(WindowTest, AnEmptySlotShowsAHintInItsPanel) {
  Start(WritePS1Card(dir, "card.mcr", 1));
  QImage shown = window.View().grab().toImage();
  auto inked = [&](Slot s) {
    const PanelRect& r = kPanelRects[s];
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += (shown.pixel(x, y) & 0xFFFFFF) != 0;
    return n;
  };
  // The test's display presents black frames: only the hint draws here.
  EXPECT_EQ(inked(kLeft), 0);
  EXPECT_GT(inked(kRight), 50);
}

TEST_F(WindowTest, KeysMoveTheSelectionOpenTheDetailViewAndDelete) {
  Start(WriteExpandedCard(dir, "many.xmc", 13));
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  struct Step {
    Qt::Key key;
    std::uint32_t position;
    std::uint32_t scrollTop;
  };
  // The first arrow selects the first save shown; the view follows.
  const Step steps[] = {{Qt::Key_Right, 0, 0},    {Qt::Key_Right, 1, 0},  {Qt::Key_Down, 4, 0},
                        {Qt::Key_Down, 7, 0},     {Qt::Key_Down, 10, 3},  {Qt::Key_Down, 10, 3},
                        {Qt::Key_Left, 9, 3},     {Qt::Key_Up, 6, 3},     {Qt::Key_Up, 3, 3},
                        {Qt::Key_Up, 0, 0},       {Qt::Key_End, 0, 6},    {Qt::Key_Home, 0, 0},
                        {Qt::Key_PageDown, 0, 6}, {Qt::Key_PageUp, 0, 0}, {Qt::Key_Tab, 0, 0}};
  for (const Step& step : steps) {
    QTest::keyClick(window.windowHandle(), step.key);
    EXPECT_EQ(shell.State().selectionSlot, kLeft) << step.key;
    EXPECT_EQ(shell.State().selectionPosition, step.position) << step.key;
    EXPECT_EQ(shell.State().scrollTop[kLeft], step.scrollTop) << step.key;
  }
  QTest::keyClick(window.windowHandle(), Qt::Key_Right);
  QTest::keyClick(window.windowHandle(), Qt::Key_Return);
  EXPECT_EQ(shell.State().viewState, ViewState::Detail);
  QTest::keyClick(window.windowHandle(), Qt::Key_Escape);
  EXPECT_EQ(shell.State().viewState, ViewState::List);

  // Delete asks first; No keeps the save.
  dialogs.answers = {false, true};
  for (std::uint32_t left : {13u, 12u}) {
    QTest::keyClick(window.windowHandle(), Qt::Key_Enter);
    ASSERT_EQ(shell.State().viewState, ViewState::Detail);
    QTest::keyClick(window.windowHandle(), Qt::Key_Delete);
    EXPECT_EQ(Count(kLeft), left);
  }
  EXPECT_EQ(dialogs.asked,
            (std::vector<int>{res::TextId::ConfirmDelete, res::TextId::ConfirmDelete}));
  EXPECT_EQ(shell.State().viewState, ViewState::List);
  QTest::keyClick(window.windowHandle(), Qt::Key_Backspace);
  EXPECT_EQ(shell.State().viewState, ViewState::List);
}

TEST_F(WindowTest, UndoRedoAndRenameRunFromTheMenuAndTheShortcuts) {
  std::string card = WritePS1Card(dir, "card.mcr", 3);
  Start(card);
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  EXPECT_FALSE(window.Action(MenuId::Undo)->isEnabled());  // the start is no step
  EXPECT_EQ(window.Action(MenuId::Undo)->shortcut(), QKeySequence("Ctrl+Z"));
  QTest::mouseClick(&window.View(), Qt::LeftButton, Qt::NoModifier, Cell(kLeft, 2));
  window.Action(MenuId::Delete)->trigger();
  EXPECT_EQ(Count(kLeft), 2u);
  EXPECT_TRUE(window.Action(MenuId::Undo)->isEnabled());
  EXPECT_FALSE(window.Action(MenuId::Redo)->isEnabled());

  struct Key {
    Qt::KeyboardModifiers modifiers;
    Qt::Key key;
    std::uint32_t count;
  };
  const Key keys[] = {{Qt::ControlModifier, Qt::Key_Z, 3},
                      {Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z, 2},
                      {Qt::ControlModifier, Qt::Key_Z, 3},
                      {Qt::ControlModifier, Qt::Key_Y, 2}};
  for (const Key& k : keys) {
    QTest::keyClick(&window, k.key, k.modifiers);
    EXPECT_EQ(Count(kLeft), k.count);
    EXPECT_EQ(shell.State().modified[kLeft], k.count == 3 ? 0 : 1);
  }

  dialogs.texts = {"BESLES-55555"};
  QTest::mouseClick(&window.View(), Qt::LeftButton, Qt::NoModifier, Cell(kLeft, 0));
  ASSERT_TRUE(window.Action(MenuId::Rename)->isEnabled());
  window.Action(MenuId::Rename)->trigger();
  EXPECT_NE(std::find(log.begin(), log.end(), "AskText 91 BESLES-00001"), log.end());
  const Name64& name = shell.Ws()->At(kLeft).AtRow(0).name;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(name.data())), "BESLES-55555");
}

TEST_F(WindowTest, ButtonsRecordTheirStateAndSwitchWithTheView) {
  Start(WriteExpandedCard(dir, "ten.xmc", 10));
  ASSERT_EQ(window.ScrollButtons().size(), 12u);
  EXPECT_TRUE(window.ActionButtons().empty());
  EXPECT_EQ(Button("ScBtRBOTTOM")->geometry(), QRect(488, 164, 24, 24));
  StateButton* leftBottom = Button("ScBtLBOTTOM");
  QTest::mousePress(leftBottom, Qt::LeftButton);
  EXPECT_EQ(shell.State().scrollButtonState[5], 1);
  QTest::mouseRelease(leftBottom, Qt::LeftButton);
  EXPECT_EQ(shell.State().scrollButtonState[5], 0);
  EXPECT_EQ(shell.State().scrollTop[kLeft], 3u);

  QTest::mouseClick(&window.View(), Qt::LeftButton, Qt::NoModifier, Cell(kLeft, 2));
  EXPECT_EQ(shell.State().viewState, ViewState::Detail);
  QApplication::processEvents();
  EXPECT_TRUE(window.ScrollButtons().empty());
  ASSERT_EQ(window.ActionButtons().size(), 4u);
  EXPECT_EQ(Button("Lock")->geometry(), QRect(390, 246, 96, 32));
  // Frames kept coming while the transition played.
  EXPECT_GE(backend.framesCopied, 51);
  // A right click on a button does not leave the detail view.
  QTest::mouseClick(Button("Copy"), Qt::RightButton);
  EXPECT_EQ(shell.State().viewState, ViewState::Detail);

  QTest::mouseClick(Button("Delete"), Qt::LeftButton);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(Count(kLeft), 9u);
  EXPECT_EQ(shell.State().viewState, ViewState::List);
  EXPECT_EQ(window.ScrollButtons().size(), 12u);
  EXPECT_EQ(Button("Delete"), nullptr);
}

TEST_F(WindowTest, ClicksDuringTheTransitionOrWhileADialogIsUpAreDropped) {
  Start(WritePS1Card(dir, "card.mcr", 2));
  Drop(Cell(kRight, 0), {WriteExpandedCard(dir, "ten.xmc", 10)});
  QPoint deleteButton(390 + 48, 194 + 16);
  // A triple click on Delete while the detail view opens, then again while
  // it closes after a Delete.
  backend.whileTransition = [&](int) {
    for (int k = 0; k < 3; ++k) PostClick(deleteButton);
  };
  QTest::mouseClick(&window.View(), Qt::LeftButton, Qt::NoModifier, Cell(kLeft, 0));
  QApplication::processEvents();
  EXPECT_EQ(shell.State().viewState, ViewState::Detail);
  EXPECT_EQ(Count(kLeft), 2u);

  QTest::mouseClick(Button("Delete"), Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(Count(kLeft), 1u);
  EXPECT_EQ(shell.State().viewState, ViewState::List);
  EXPECT_EQ(Count(kRight), 10u);
  EXPECT_EQ(shell.State().modified[kRight], 0);

  // A click while a dialog is up would open the detail view.
  backend.whileTransition = nullptr;
  dialogs.whileOpen = [&] { PostClick(Cell(kLeft, 0)); };
  window.Action(MenuId::InsertChange + 1)->trigger();
  QApplication::processEvents();
  EXPECT_EQ(shell.State().viewState, ViewState::List);
}

TEST_F(WindowTest, RightClickPopsUpTheSlotMenuAndDropsOpenFilesOnlyOnAPanel) {
  Start();
  QTest::mouseClick(&window.View(), Qt::RightButton, Qt::NoModifier, Cell(kRight, 4));
  QMenu* menu = window.SlotMenu(kRight);
  EXPECT_TRUE(menu->isVisible());
  EXPECT_FALSE(window.SlotMenu(kLeft)->isVisible());
  EXPECT_EQ(shell.State().menuLoopActive, 1);
  menu->hide();
  EXPECT_EQ(shell.State().menuLoopActive, 0);

  // Its items are the menu's own: New File for Right.
  dialogs.kindAnswer = CardKind::PS1;
  window.Action(MenuId::NewFile + 1)->trigger();
  EXPECT_TRUE(shell.SlotHoldsCard(kRight));

  std::string card = WriteExpandedCard(dir, "card.xmc", 2, 3000);
  Drop(QPoint(240, 100), {card});
  EXPECT_FALSE(shell.SlotHoldsCard(kLeft));
  Drop(Cell(kRight, 8), {card, WritePS2Save(dir, "save.psu", "BASLUS-1")});
  EXPECT_EQ(shell.Ws()->At(kRight).RowCount(), 3u);
  EXPECT_EQ(shell.SlotTitleText(kRight), "card.xmc");
  EXPECT_EQ(shell.State().modified[kRight], 1);
}

// The questions themselves are the shell's (startup_test.cpp).
TEST_F(WindowTest, CloseWithModifiedLeftAnsweredNoKeepsTheWindow) {
  Start();
  Drop(Cell(kLeft, 0), {WritePS2Save(dir, "a.psu", "BASLUS-A")});
  dialogs.answers = {false};
  EXPECT_FALSE(window.close());
  EXPECT_TRUE(window.isVisible());
  dialogs.answers = {true};
  window.Action(MenuId::Exit)->trigger();
  QApplication::processEvents();
  EXPECT_FALSE(window.isVisible());
}

TEST_F(WindowTest, RenderingStopsWhileTheWindowCannotBeSeen) {
  Start();
  EXPECT_FALSE(backend.paused);
  window.showMinimized();
  QApplication::processEvents();
  EXPECT_TRUE(backend.paused);
  window.showNormal();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_FALSE(backend.paused);

  window.hide();
  QApplication::processEvents();
  EXPECT_TRUE(backend.paused);
  // A handler that pauses and resumes meanwhile leaves it paused.
  shell.ScrollSlot(kLeft, ScrollAction::Top);
  shell.NewFile(kLeft);
  EXPECT_TRUE(backend.paused);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_FALSE(backend.paused);

  // A repaint restores lost surfaces and redraws the new card's icons.
  log.clear();
  backend.lost = true;
  window.View().repaint();
  EXPECT_EQ(log, (CallLog{"RestoreSurfaces", "Prerender L 0", "ComposePanels"}));
}

}  // namespace
}  // namespace slk::testing
