#pragma once
// The 512 x 312 client area: shows the frames the rendering thread presents,
// 1:1, and turns mouse input and dropped files into the shell's events.

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "shell/shown_frame.h"

namespace slk {

class RenderingBackend;
class Shell;

class FrameView : public QWidget {
  Q_OBJECT

 public:
  FrameView(QWidget* parent, RenderingBackend& backend);

  void SetShell(Shell* shell) { shell_ = shell; }
  // No frame is looked for while the window cannot be seen; shown again, it
  // catches up at once.
  void SetShown(bool shown);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Takes the frame presented last when it changed, and has the rectangles
  // that differ repainted.
  void Refresh();

  RenderingBackend& backend_;
  Shell* shell_ = nullptr;
  ShownFrame shown_;
  QImage frame_;  // over shown_'s pixels: painting copies nothing more
  std::uint64_t changesSeen_ = 0;
  // The rendering thread presents about every 26 ms; look for a new frame as
  // often.
  QTimer refresh_;
};

}  // namespace slk
