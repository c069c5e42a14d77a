#pragma once
// The client area: shows the 512 x 312 frames the rendering thread presents,
// scaled by a whole factor (nearest neighbour, the largest that fits, the rest
// black), and turns mouse, wheel, key and drop input into the shell's events,
// with positions mapped back to the frame's own pixels.

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "shell/shown_frame.h"

namespace slk {

class RenderingBackend;
class Shell;

class FrameView : public QWidget {
  Q_OBJECT

 public:
  FrameView(QWidget* parent, RenderingBackend& backend);
  ~FrameView() override;

  void SetShell(Shell* shell) { shell_ = shell; }
  // Called whenever the picture moves or changes its scale (the window's
  // child buttons follow it).
  void OnPlacementChanged(std::function<void()> changed) { placementChanged_ = std::move(changed); }

  // The size that shows the picture at `factor` device pixels per frame
  // pixel on this screen.
  QSize SizeForFactor(int factor) const;
  void SetPreferredFactor(int factor);
  // Device pixels per frame pixel now.
  int Factor() const;
  // Frame pixels to widget coordinates and back; points outside the picture
  // map outside 0..511 x 0..311.
  QRect ToWidget(const QRect& frameRect) const;
  QPoint ToFrame(const QPointF& widgetPoint) const;

  QSize sizeHint() const override { return SizeForFactor(preferredFactor_); }

  // No frame is looked for while the window cannot be seen; shown again, it
  // catches up at once.
  void SetShown(bool shown);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  // Tab moves the selection to the other panel, not the focus.
  bool focusNextPrevChild(bool) override { return false; }
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Where the scaled picture lies in the widget.
  QRectF PictureRect() const;
  // ToWidget and ToFrame with the picture's place already looked up.
  static QRect ToWidget(const QRect& frameRect, const QRectF& picture);
  static QPoint ToFrame(const QPointF& widgetPoint, const QRectF& picture);
  void DrawEmptySlotHints(QPainter& painter);
  // Takes the frame presented last when it changed, and has the rectangles
  // that differ repainted.
  void Refresh();
  // A frame came (or was looked for): lost surfaces are restored, the frame
  // is taken.
  void TakeFrame();

  RenderingBackend& backend_;
  Shell* shell_ = nullptr;
  ShownFrame shown_;
  QImage frame_;  // over shown_'s pixels: painting copies nothing more
  std::uint64_t changesSeen_ = 0;
  std::vector<FrameRect> changedAreas_;
  int preferredFactor_ = 1;
  int wheelEighths_ = 0;  // wheel turns short of a whole notch, kept for the next event
  std::function<void()> placementChanged_;
  // Told of every changed frame by the rendering thread (most list frames
  // are not), so that the window wakes for those alone.
  bool watched_ = false;
  bool visible_ = true;
  std::atomic<bool> framePosted_{false};  // one wake-up waits at a time
  bool prerenderPosted_ = false;          // the start's other icon frames, after a paint
  // Without being told, the window looks for a new frame every 26 ms, as
  // often as the rendering thread presents one. When told, it looks once,
  // 26 ms later, only while lost surfaces wait to be restored (the shell
  // restores them between handlers) and after being shown again.
  QTimer refresh_;
};

}  // namespace slk
