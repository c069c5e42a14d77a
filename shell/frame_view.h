#pragma once
// The 512 x 312 client area: shows the frames the rendering thread presents,
// 1:1, and turns mouse input and dropped files into the shell's events.

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <vector>

namespace slk {

class RenderingBackend;
class Shell;

class FrameView : public QWidget {
  Q_OBJECT

 public:
  FrameView(QWidget* parent, RenderingBackend& backend);

  void SetShell(Shell* shell) { shell_ = shell; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  RenderingBackend& backend_;
  Shell* shell_ = nullptr;
  std::vector<std::uint32_t> pixels_;
  QImage frame_;
  // The rendering thread presents about every 26 ms; look for a new frame as
  // often.
  QTimer refresh_;
};

}  // namespace slk
