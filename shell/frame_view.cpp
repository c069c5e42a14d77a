#include "shell/frame_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QUrl>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "resources/strings.h"
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

std::optional<Key> KeyOf(int qtKey) {
  switch (qtKey) {
    case Qt::Key_Left:
      return Key::Left;
    case Qt::Key_Right:
      return Key::Right;
    case Qt::Key_Up:
      return Key::Up;
    case Qt::Key_Down:
      return Key::Down;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return Key::Tab;
    case Qt::Key_PageUp:
      return Key::PageUp;
    case Qt::Key_PageDown:
      return Key::PageDown;
    case Qt::Key_Home:
      return Key::Home;
    case Qt::Key_End:
      return Key::End;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return Key::Enter;
    case Qt::Key_Escape:
      return Key::Escape;
    case Qt::Key_Backspace:
      return Key::Backspace;
    case Qt::Key_Delete:
      return Key::Delete;
    default:
      return std::nullopt;
  }
}

// A wheel notch is 120 eighths of a degree.
constexpr int kNotch = 120;

}  // namespace

FrameView::FrameView(QWidget* parent, RenderingBackend& backend)
    : QWidget(parent), backend_(backend), shown_(kFrameWidth, kFrameHeight) {
  setMouseTracking(true);
  setAcceptDrops(true);
  setFocusPolicy(Qt::StrongFocus);
  // Every pixel comes from the frame or is black; nothing needs erasing first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  frame_ = QImage(reinterpret_cast<const uchar*>(shown_.Pixels().data()), kFrameWidth, kFrameHeight,
                  kFrameWidth * 4, QImage::Format_RGB32);
  refresh_.setInterval(26);
  connect(&refresh_, &QTimer::timeout, this, &FrameView::TakeFrame);
  // Called on the rendering thread: the frame is taken on this one.
  watched_ = backend_.WatchFrames([this] {
    if (framePosted_.exchange(true)) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
          framePosted_.store(false);
          if (visible_) TakeFrame();
        },
        Qt::QueuedConnection);
  });
  refresh_.setSingleShot(watched_);
  if (!watched_) refresh_.start();
}

FrameView::~FrameView() {
  // No call from the rendering thread after this; a wake-up already posted
  // goes with the widget.
  if (watched_) backend_.WatchFrames({});
}

void FrameView::SetShown(bool shown) {
  if (shown == visible_) return;
  visible_ = shown;
  if (!shown) {
    refresh_.stop();
    return;
  }
  refresh_.start();
  Refresh();
}

void FrameView::TakeFrame() {
  // Surface recovery is asked for here even when no frame comes.
  if (shell_ != nullptr) shell_->Paint();
  Refresh();
  // The rendering thread waits for lost surfaces to be restored, and tells
  // nothing meanwhile: the shell may not have been able to yet.
  if (watched_ && visible_ && backend_.PrimaryLost()) refresh_.start();
}

void FrameView::Refresh() {
  std::uint64_t changes = backend_.ChangedFrames();
  if (changes != 0 && changes == changesSeen_) return;
  if (watched_) {
    // The rendering thread compared the frames and lists exactly where they
    // differ: copied straight into the shown frame.
    if (!backend_.CopyFrameChanges(shown_.Shown(), changedAreas_)) return;
  } else {
    if (!backend_.CopyFrameChanges(shown_.Incoming(), changedAreas_)) return;
    changedAreas_ = shown_.TakeIncoming(changedAreas_);
  }
  changesSeen_ = changes;
  if (changedAreas_.empty()) return;
  // Changes that lie close together (the detail view's model, its rows in a
  // few runs) are repainted as their bounding box: the paint's clip is then
  // a plain rectangle, which lets Qt copy the frame's rows (see
  // paintEvent). The frame pixels between them are repainted as they are.
  FrameRect box = changedAreas_.front();
  long long areas = 0;
  for (const FrameRect& r : changedAreas_) {
    box = FrameRect{std::min(box.left, r.left), std::min(box.top, r.top),
                    std::max(box.right, r.right), std::max(box.bottom, r.bottom)};
    areas += static_cast<long long>(r.right - r.left) * (r.bottom - r.top);
  }
  const long long boxArea = static_cast<long long>(box.right - box.left) * (box.bottom - box.top);
  const std::span<const FrameRect> areasToPaint = boxArea <= areas + areas / 2
                                                      ? std::span<const FrameRect>(&box, 1)
                                                      : std::span<const FrameRect>(changedAreas_);
  // A pixel more on each side: at a scale that is not whole in logical
  // pixels the rounded rectangle could miss a device pixel's edge. The
  // picture's place is looked up once: each look asks the screen for its
  // pixel ratio.
  const QRectF picture = PictureRect();
  for (const FrameRect& r : areasToPaint)
    update(ToWidget(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top), picture)
               .adjusted(-1, -1, 1, 1));
}

QSize FrameView::SizeForFactor(int factor) const {
  double dpr = devicePixelRatioF();
  return QSize(static_cast<int>(std::ceil(kFrameWidth * factor / dpr)),
               static_cast<int>(std::ceil(kFrameHeight * factor / dpr)));
}

void FrameView::SetPreferredFactor(int factor) {
  preferredFactor_ = std::max(1, factor);
  setMinimumSize(SizeForFactor(1));
  updateGeometry();
}

int FrameView::Factor() const {
  double dpr = devicePixelRatioF();
  int factor =
      static_cast<int>(std::min(width() * dpr / kFrameWidth, height() * dpr / kFrameHeight) + 1e-9);
  return std::max(1, factor);
}

QRectF FrameView::PictureRect() const {
  double dpr = devicePixelRatioF();
  double w = kFrameWidth * Factor() / dpr;
  double h = kFrameHeight * Factor() / dpr;
  // Centred, on whole device pixels.
  double x = std::floor((width() - w) / 2 * dpr) / dpr;
  double y = std::floor((height() - h) / 2 * dpr) / dpr;
  return QRectF(x, y, w, h);
}

QRect FrameView::ToWidget(const QRect& r) const {
  return ToWidget(r, PictureRect());
}

QRect FrameView::ToWidget(const QRect& r, const QRectF& picture) {
  double scale = picture.width() / kFrameWidth;
  return QRect(static_cast<int>(std::lround(picture.x() + r.x() * scale)),
               static_cast<int>(std::lround(picture.y() + r.y() * scale)),
               static_cast<int>(std::lround(r.width() * scale)),
               static_cast<int>(std::lround(r.height() * scale)));
}

QPoint FrameView::ToFrame(const QPointF& p) const {
  return ToFrame(p, PictureRect());
}

QPoint FrameView::ToFrame(const QPointF& p, const QRectF& picture) {
  double scale = picture.width() / kFrameWidth;
  return QPoint(static_cast<int>(std::floor((p.x() - picture.x()) / scale)),
                static_cast<int>(std::floor((p.y() - picture.y()) / scale)));
}

void FrameView::paintEvent(QPaintEvent* event) {
  if (shell_ != nullptr) shell_->Paint();
  // A paint asked for by the window itself (a resize, the view switch) shows
  // the newest frame; what that changes outside this paint is repainted next.
  Refresh();
  QPainter painter(this);
  QRectF picture = PictureRect();
  if (picture != QRectF(rect())) {
    QRegion outside = QRegion(rect()) - QRegion(picture.toAlignedRect());
    for (const QRect& r : outside & event->region()) painter.fillRect(r, Qt::black);
  }
  double scale = picture.width() / kFrameWidth;
  // Qt hands a large copy of an image to its thread pool, and waking those
  // threads every frame costs more than the copy; bands of 16 rows stay
  // below that. Only where every band starts on a whole pixel, so that the
  // bands give the same pixels as one draw. Unscaled under a plain
  // rectangle clip, Qt copies the rows itself without its pool: one draw.
  const bool whole = scale == std::floor(scale) && picture.x() == std::floor(picture.x()) &&
                     picture.y() == std::floor(picture.y());
  const bool rowCopy = whole && scale == 1 && !painter.deviceTransform().isScaling() &&
                       event->region().rectCount() == 1;
  const int band = whole && !rowCopy ? 16 : kFrameHeight;
  for (const QRect& r : event->region()) {
    // The frame pixels under this rectangle, each drawn as a block of whole
    // device pixels (nearest neighbour: no smoothing is asked for).
    QPoint from = ToFrame(r.topLeft(), picture);
    QPoint to = ToFrame(r.bottomRight(), picture);
    QRect source = QRect(from, to).adjusted(0, 0, 1, 1) & frame_.rect();
    if (source.isEmpty()) continue;
    for (int top = source.top(); top <= source.bottom(); top += band) {
      QRect part(source.left(), top, source.width(), std::min(band, source.bottom() + 1 - top));
      QRectF target(picture.x() + part.x() * scale, picture.y() + part.y() * scale,
                    part.width() * scale, part.height() * scale);
      painter.drawImage(target, frame_, part);
    }
  }
  DrawEmptySlotHints(painter);
  // The start's cards have only the frames the first frame shows: the others
  // are drawn once this paint has reached the screen, not before it.
  backend_.FramePainted();
  if (!prerenderPosted_ && backend_.FramesLeftToPrerender()) {
    prerenderPosted_ = true;
    QTimer::singleShot(0, this, [this] {
      prerenderPosted_ = false;
      if (shell_ != nullptr) shell_->Paint();
    });
  }
}

// An empty slot's panel says how a card gets in.
void FrameView::DrawEmptySlotHints(QPainter& painter) {
  if (shell_ == nullptr || shell_->State().viewState != ViewState::List) return;
  QString hint = QString::fromUtf8(res::Text(res::TextId::EmptySlotHint));
  QFont font = painter.font();
  font.setPixelSize(std::max(1, ToWidget(QRect(0, 0, 0, 12)).height()));
  painter.setFont(font);
  painter.setPen(QColor(200, 200, 200));
  for (Slot s : {kLeft, kRight}) {
    if (shell_->SlotHoldsCard(s)) continue;
    const PanelRect& p = kPanelRects[s];
    QRect panel = ToWidget(QRect(p.left + 16, p.top, p.right - p.left - 32, p.bottom - p.top));
    painter.drawText(panel, Qt::AlignCenter | Qt::TextWordWrap, hint);
  }
}

void FrameView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (placementChanged_) placementChanged_();
}

void FrameView::mouseMoveEvent(QMouseEvent* event) {
  if (shell_ == nullptr) return;
  QPoint p = ToFrame(event->position());
  shell_->MouseMoved(p.x(), p.y());
}

void FrameView::mousePressEvent(QMouseEvent* event) {
  if (shell_ == nullptr) return;
  QPoint p = ToFrame(event->position());
  if (event->button() == Qt::LeftButton) shell_->LeftButtonDown(p.x(), p.y());
  if (event->button() == Qt::RightButton) shell_->RightButtonDown(p.x(), p.y());
}

void FrameView::wheelEvent(QWheelEvent* event) {
  event->accept();
  if (shell_ == nullptr) return;
  wheelEighths_ += event->angleDelta().y();
  int rows = wheelEighths_ / kNotch;
  wheelEighths_ -= rows * kNotch;
  QPoint p = ToFrame(event->position());
  if (rows != 0) shell_->WheelTurned(p.x(), p.y(), rows);
}

void FrameView::keyPressEvent(QKeyEvent* event) {
  std::optional<Key> key = KeyOf(event->key());
  bool plain = (event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) == 0;
  if (!key || !plain || shell_ == nullptr) return QWidget::keyPressEvent(event);
  event->accept();
  shell_->KeyPressed(*key);
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
  QPoint p = ToFrame(event->position());
  QMetaObject::invokeMethod(
      this,
      [this, p, paths] {
        if (shell_ != nullptr) shell_->FilesDropped(p.x(), p.y(), paths);
      },
      Qt::QueuedConnection);
}

}  // namespace slk
