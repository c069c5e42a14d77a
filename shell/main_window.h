#pragma once
// The one main window: title "Slotkeeper 2", menu 140, a client area that
// shows the rendered 512 x 312 frames scaled by a whole factor, and the
// transparent child buttons whose faces the rendering thread draws (placed
// over the picture at its scale).

#include <QMainWindow>
#include <array>
#include <map>
#include <memory>
#include <vector>

#include "shell/frame_view.h"
#include "shell/shell_window.h"
#include "shell/state_button.h"

class QAction;
class QMenu;

namespace slk {

class Shell;

// Destroys a widget once control is back in the event loop: a button may be
// destroyed by the command its own click started.
struct DeleteLater {
  void operator()(QObject* object) const;
};
using ButtonPtr = std::unique_ptr<StateButton, DeleteLater>;

class MainWindow : public QMainWindow, public ShellWindow {
  Q_OBJECT

 public:
  explicit MainWindow(RenderingBackend& backend);
  ~MainWindow() override;

  void SetShell(Shell* shell);

  // ShellWindow.
  void Create(const std::string& title) override;
  void Show() override;
  void SetWindowScale(int scale) override;
  void ApplyMenu(const MenuState& menu) override;
  void CreateScrollButtons() override;
  void DestroyScrollButtons() override;
  void CreateActionButtons() override;
  void DestroyActionButtons() override;
  void PopupSlotMenu(Slot slot, int x, int y) override;
  void Minimise() override;
  void PostClose() override;
  void ShowLatestFrame() override;
  void DropQueuedInput() override;

  // For tests and the desktop: the pieces of the window.
  FrameView& View() { return view_; }
  QAction* Action(int id) const;
  QMenu* SlotMenu(Slot slot) const { return slotMenus_[slot]; }
  const std::vector<ButtonPtr>& ScrollButtons() const { return scrollButtons_; }
  const std::vector<ButtonPtr>& ActionButtons() const { return actionButtons_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void BuildMenu();
  void TellVisibility();
  void WatchMenu(QMenu* menu);
  ButtonPtr MakeButton(int id, const char* name, int x, int y, int size_w, int size_h);
  // Puts every child button over its place in the picture.
  void PlaceButtons();

  Shell* shell_ = nullptr;
  FrameView view_;
  std::map<int, QAction*> actions_;
  std::array<QMenu*, 2> slotMenus_{};
  int openMenus_ = 0;
  std::vector<ButtonPtr> scrollButtons_;
  std::vector<ButtonPtr> actionButtons_;
};

}  // namespace slk
