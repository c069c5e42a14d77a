#include "shell/frame_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <string>

#include "shell/rendering_backend.h"
#include "shell/shell.h"

namespace slk {

namespace {

std::vector<std::string> LocalPaths(const QMimeData* data) {
  std::vector<std::string> paths;
  if (data == nullptr) return paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  }
  return paths;
}

}  // namespace

FrameView::FrameView(QWidget* parent, RenderingBackend& backend)
    : QWidget(parent), backend_(backend), shown_(kFrameWidth, kFrameHeight) {
  setFixedSize(kFrameWidth, kFrameHeight);
  setMouseTracking(true);
  setAcceptDrops(true);
  // Every pixel comes from the frame; nothing needs erasing first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  frame_ = QImage(reinterpret_cast<const uchar*>(shown_.Pixels().data()), kFrameWidth, kFrameHeight,
                  kFrameWidth * 4, QImage::Format_RGB32);
  refresh_.setInterval(26);
  connect(&refresh_, &QTimer::timeout, this, [this] {
    // Surface recovery is asked for here even when no frame comes.
    if (shell_ != nullptr) shell_->Paint();
    Refresh();
  });
  refresh_.start();
}

void FrameView::SetShown(bool shown) {
  if (shown == refresh_.isActive()) return;
  if (!shown) {
    refresh_.stop();
    return;
  }
  refresh_.start();
  Refresh();
}

void FrameView::Refresh() {
  std::uint64_t changes = backend_.ChangedFrames();
  if (changes != 0 && changes == changesSeen_) return;
  if (!backend_.CopyFrame(shown_.Incoming())) return;
  changesSeen_ = changes;
  for (const FrameRect& r : shown_.TakeIncoming())
    update(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top));
}

void FrameView::paintEvent(QPaintEvent* event) {
  if (shell_ != nullptr) shell_->Paint();
  // A paint asked for by the window itself (during the view switch) shows
  // the newest frame; what it changes outside this paint is repainted next.
  Refresh();
  QPainter painter(this);
  for (const QRect& r : event->region()) painter.drawImage(r.topLeft(), frame_, r);
}

void FrameView::mouseMoveEvent(QMouseEvent* event) {
  if (shell_ == nullptr) return;
  QPoint p = event->position().toPoint();
  shell_->MouseMoved(p.x(), p.y());
}

void FrameView::mousePressEvent(QMouseEvent* event) {
  if (shell_ == nullptr) return;
  QPoint p = event->position().toPoint();
  if (event->button() == Qt::LeftButton) shell_->LeftButtonDown(p.x(), p.y());
  if (event->button() == Qt::RightButton) shell_->RightButtonDown(p.x(), p.y());
}

void FrameView::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalPaths(event->mimeData()).empty()) event->acceptProposedAction();
}

void FrameView::dragMoveEvent(QDragMoveEvent* event) {
  if (!LocalPaths(event->mimeData()).empty()) event->acceptProposedAction();
}

void FrameView::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths = LocalPaths(event->mimeData());
  if (paths.empty() || shell_ == nullptr) return;
  event->acceptProposedAction();
  // Opened once the drop is over, as a dropped-files message would be: the
  // files may ask questions, and the program the files came from should not
  // wait for the answers.
  QPoint p = event->position().toPoint();
  QMetaObject::invokeMethod(
      this,
      [this, p, paths] {
        if (shell_ != nullptr) shell_->FilesDropped(p.x(), p.y(), paths);
      },
      Qt::QueuedConnection);
}

}  // namespace slk
