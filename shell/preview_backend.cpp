#include "shell/preview_backend.h"

#include <QPainter>
#include <QString>
#include <array>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/sjis.h"
#include "resources/strings.h"

namespace slk {

namespace {

constexpr QColor kBackdrop(16, 24, 48);
constexpr QColor kPanel(28, 40, 76);
constexpr QColor kCyan(0, 255, 255);
constexpr QColor kRed(255, 0, 0);

QString FromShiftJis(const std::uint8_t* bytes, std::size_t size) {
  return QString::fromStdString(
      platform::ShiftJisToUtf8(std::span<const std::uint8_t>(bytes, size)));
}

QString FromShiftJis(const std::string& text) {
  return FromShiftJis(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

QString Name(const Name64& name) {
  std::size_t n = 0;
  while (n < name.size() && name[n] != 0) ++n;
  return FromShiftJis(name.data(), n);
}

// A colour per save that stays the same from frame to frame.
QColor TileColour(const SaveEntry& entry) {
  std::uint32_t hash = 2166136261u;
  for (std::uint8_t b : entry.name) hash = (hash ^ b) * 16777619u;
  return QColor::fromHsv(static_cast<int>(hash % 360), 150, 210);
}

QPoint CellCorner(Slot s, std::uint32_t cell) {
  return QPoint(10 + 256 * s + 74 * static_cast<int>(cell % 3),
                20 + 64 * static_cast<int>(cell / 3));
}

}  // namespace

PreviewBackend::PreviewBackend() : back_(kFrameWidth, kFrameHeight, QImage::Format_RGB32) {}

PreviewBackend::~PreviewBackend() {
  if (thread_.Joinable()) {
    PauseRendering();
    StopRenderThread();
  }
}

void PreviewBackend::SetStandardIconPath(const std::string&) {}

bool PreviewBackend::InitDisplay(bool) {
  return true;
}

void PreviewBackend::CreateEvents() {
  frameDone_ = std::make_unique<platform::ManualResetEvent>(true);
  renderEnable_ = std::make_unique<platform::ManualResetEvent>(true);
}

void PreviewBackend::CloseEvents() {
  frameDone_.reset();
  renderEnable_.reset();
}

void PreviewBackend::StartRenderThread(ShellState& state, Workspace& ws) {
  state_ = &state;
  ws_ = &ws;
  stop_ = false;
  thread_ = platform::Thread([this] { Loop(); });
}

void PreviewBackend::StopRenderThread() {
  if (!thread_.Joinable()) return;
  stop_ = true;
  renderEnable_->Set();
  thread_.Join();
}

void PreviewBackend::PauseRendering() {
  if (!renderEnable_) return;
  renderEnable_->Reset();
  frameDone_->Wait();
}

void PreviewBackend::ResumeRendering() {
  if (renderEnable_) renderEnable_->Set();
}

void PreviewBackend::DrawTitleBox(Workspace&, Slot slot, std::uint32_t entry) {
  title_ = {slot, entry};
}

void PreviewBackend::BuildDetailScreen(Workspace&, Slot slot, std::uint32_t entry) {
  detail_ = {slot, entry};
}

void PreviewBackend::Loop() {
  using namespace std::chrono_literals;
  for (;;) {
    platform::BeginFrame(*renderEnable_, *frameDone_);
    if (stop_) {
      frameDone_->Set();
      return;
    }
    // While a menu is open the last frame is shown again.
    if (state_->menuLoopActive == 0) {
      DrawFrame(back_);
      std::lock_guard lock(frontMutex_);
      std::swap(front_, back_);
      if (back_.isNull()) back_ = QImage(kFrameWidth, kFrameHeight, QImage::Format_RGB32);
    }
    frameDone_->Set();
    std::this_thread::sleep_for(26ms);
  }
}

bool PreviewBackend::CopyFrame(std::span<std::uint32_t> pixels) {
  std::lock_guard lock(frontMutex_);
  if (front_.isNull() || pixels.size() < std::size_t{kFrameWidth} * kFrameHeight) return false;
  for (int y = 0; y < kFrameHeight; ++y) {
    std::memcpy(pixels.data() + std::size_t{kFrameWidth} * y, front_.constScanLine(y),
                kFrameWidth * sizeof(std::uint32_t));
  }
  return true;
}

void PreviewBackend::DrawFrame(QImage& target) {
  ++clock_;
  QPainter painter(&target);
  painter.fillRect(target.rect(), kBackdrop);
  QFont font = painter.font();
  font.setPixelSize(13);
  painter.setFont(font);
  int mode = state_->displayMode;
  if (mode == DisplayMode::Detail) {
    DrawDetail(painter);
    return;
  }
  DrawPanels(painter);
  if (mode == DisplayMode::Transition) DrawMarkers(painter);
}

void PreviewBackend::DrawPanels(QPainter& painter) {
  static constexpr const char* kArrows[6] = {"\u2912", "\u21C8", "\u2191",
                                             "\u2193", "\u21CA", "\u2913"};
  for (Slot s : {kLeft, kRight}) {
    painter.fillRect(QRect(5 + 256 * s, 20, 222, 192), kPanel);
    for (int k = 0; k < 6; ++k) {
      QRect button(232 + 256 * s, 44 + 24 * k, 24, 24);
      bool down = state_->scrollButtonState[6 * s + k] != 0;
      painter.fillRect(button, down ? QColor(60, 60, 120) : QColor(90, 100, 170));
      painter.setPen(Qt::white);
      painter.drawText(button, Qt::AlignCenter, QString::fromUtf8(kArrows[k]));
    }
    DrawSlot(painter, s);
    painter.setPen(state_->modified[s] != 0 ? kRed : kCyan);
    painter.drawText(QRect(256 * s, 268, 256, 18), Qt::AlignCenter,
                     FromShiftJis(state_->slotTitle[s]));
    const SlotData& slot = ws_->At(s);
    if (slot.open) {
      painter.setPen(kCyan);
      painter.drawText(QRect(256 * s, 288, 256, 18), Qt::AlignCenter,
                       FromShiftJis(slot.kind == CardKind::PS1 ? state_->listTexts.ps1Card
                                                               : state_->listTexts.ps2Card));
    }
  }
  DrawTitle(painter);
}

void PreviewBackend::DrawSlot(QPainter& painter, Slot s) {
  const SlotData& slot = ws_->At(s);
  std::uint32_t top = state_->scrollTop[s];
  if (!slot.open || top >= slot.RowCount()) return;
  std::uint32_t visible = std::min<std::uint32_t>(slot.RowCount() - top, 9);
  int selectedSlot = state_->selectionSlot;
  std::uint32_t selected = state_->selectionPosition;
  for (std::uint32_t cell = 0; cell < visible; ++cell) {
    const SaveEntry& entry = slot.AtRow(top + cell);
    QRect tile(CellCorner(s, cell) + QPoint(6, 6), QSize(52, 52));
    painter.setBrush(TileColour(entry));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(tile, 8, 8);
    painter.setPen(Qt::black);
    painter.drawText(tile, Qt::AlignCenter, entry.IsPS1() ? "PS1" : "PS2");
    if (selectedSlot == s && selected == top + cell) {
      // Pulses with the frame count, as the selection balls do.
      painter.setPen(QPen(QColor(255, 230, 0), 2 + static_cast<int>(clock_ / 4 % 2)));
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(QRect(CellCorner(s, cell), QSize(64, 64)).adjusted(1, 1, -1, -1));
    }
  }
  painter.setBrush(Qt::NoBrush);
}

void PreviewBackend::DrawTitle(QPainter& painter) {
  int s = state_->selectionSlot;
  if (s < 0 || title_.slot != s) return;
  const SlotData& slot = ws_->At(s);
  if (slot.RowCount() == 0 || title_.entry >= slot.EntryCount()) return;
  const SaveEntry& entry = slot.entries[title_.entry];
  painter.setPen(Qt::white);
  painter.drawText(QRect(126, 228, 260, 38), Qt::AlignCenter | Qt::TextWordWrap, Name(entry.title));
}

void PreviewBackend::DrawDetail(QPainter& painter) {
  static constexpr const char* kButtons[4] = {"Copy", "Delete", "SaveSDI", "Lock"};
  static constexpr std::array<QPoint, 4> kPlaces = {QPoint(274, 194), QPoint(390, 194),
                                                    QPoint(274, 246), QPoint(390, 246)};
  if (detail_.slot < 0) return;
  const SlotData& slot = ws_->At(detail_.slot);
  if (detail_.entry >= slot.EntryCount()) return;
  const SaveEntry& entry = slot.entries[detail_.entry];
  painter.setBrush(TileColour(entry));
  painter.setPen(Qt::NoPen);
  // A slow spin stands in for the 3D model.
  int width = 8 + static_cast<int>(clock_ % 60 < 30 ? clock_ % 30 : 30 - clock_ % 30) * 6;
  painter.drawRoundedRect(QRect(128 - width / 2, 60, width, 180), 12, 12);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(kCyan);
  painter.drawText(
      QRect(256, 20, 240, 20), Qt::AlignLeft,
      FromShiftJis(entry.IsPS1() ? state_->listTexts.ps1SaveData : state_->listTexts.ps2SaveData));
  painter.setPen(Qt::white);
  painter.drawText(QRect(256, 44, 240, 20), Qt::AlignLeft, Name(entry.name));
  painter.drawText(QRect(256, 68, 240, 60), Qt::AlignLeft | Qt::TextWordWrap, Name(entry.title));
  const TimeStamp& t = entry.time;
  painter.drawText(QRect(256, 132, 240, 20), Qt::AlignLeft,
                   FromShiftJis(state_->listTexts.upData) +
                       QString::asprintf(" %04u/%02u/%02u %02u:%02u", t.Year(), t.Month(), t.Day(),
                                         t.Hour(), t.Minute()));
  painter.drawText(QRect(256, 156, 240, 20), Qt::AlignLeft,
                   FromShiftJis(state_->listTexts.size) +
                       QString::asprintf(" %u KB", (entry.size + 1023) / 1024));
  for (int id = 0; id < 4; ++id) {
    QRect button(kPlaces[id], QSize(96, 32));
    bool down = state_->actionButtonState[id] != 0;
    painter.fillRect(button, down ? QColor(60, 60, 120) : QColor(90, 100, 170));
    painter.drawText(button, Qt::AlignCenter, kButtons[id]);
  }
}

void PreviewBackend::DrawMarkers(QPainter& painter) {
  painter.setBrush(QColor(255, 230, 0));
  painter.setPen(Qt::NoPen);
  for (const ScreenPoint& p : state_->transitionMarkers) {
    painter.drawEllipse(QPoint(p.x, p.y), 8, 8);
  }
  painter.setBrush(Qt::NoBrush);
}

void PreviewBackend::PlayTransition(ShellState& state, int direction,
                                    const std::function<void()>& afterStep) {
  using namespace std::chrono_literals;
  int slot = state.selectionSlot < 0 ? 0 : static_cast<int>(state.selectionSlot);
  std::uint32_t cell = state.selectionPosition - state.scrollTop[slot];
  QPoint corner = CellCorner(slot, cell);
  std::array<QPoint, 4> cellCorners = {corner, corner + QPoint(64, 0), corner + QPoint(0, 64),
                                       corner + QPoint(64, 64)};
  std::array<QPoint, 4> cellCentre;
  cellCentre.fill(corner + QPoint(32, 32));
  std::array<QPoint, 4> windowCorners = {QPoint(8, 8), QPoint(504, 8), QPoint(8, 304),
                                         QPoint(504, 304)};
  std::array<QPoint, 4> windowCentre;
  windowCentre.fill(QPoint(256, 156));
  std::array<std::array<QPoint, 4>, 4> path =
      direction == 0 ? std::array{cellCorners, cellCentre, windowCentre, windowCorners}
                     : std::array{windowCorners, windowCentre, cellCentre, cellCorners};
  for (int phase = 0; phase < 3; ++phase) {
    for (int t = 0; t <= 16; ++t) {
      for (int m = 0; m < 4; ++m) {
        QPoint from = path[phase][m];
        QPoint to = path[phase + 1][m];
        state.transitionMarkers[m].x = from.x() + (to.x() - from.x()) * t / 16;
        state.transitionMarkers[m].y = from.y() + (to.y() - from.y()) * t / 16;
      }
      std::this_thread::sleep_for(15ms);
      if (afterStep) afterStep();
    }
  }
}

}  // namespace slk
