// One frame of the detail screen: the static snapshot, the spinning model,
// the action buttons and the blinking lock banner.

#include <algorithm>
#include <array>
#include <span>

#include "display/render_thread.h"

namespace slk {

namespace {

// Where the four owner-drawn action buttons (Copy, Delete, SaveSDI, Lock)
// sit; each image is cut from the ActionButtonSheet, one row per button.
constexpr std::array<gfx::Point, 4> kActionButtonOrigins{
    gfx::Point{274, 194}, gfx::Point{390, 194}, gfx::Point{274, 246}, gfx::Point{390, 246}};
constexpr int kActionButtonWidth = 96;
constexpr int kActionButtonHeight = 32;

// The lower half of the BusyBanner reads "Now Locking...".
constexpr gfx::Rect kLockingBanner{0, 30, 250, 60};
constexpr gfx::Point kBannerOrigin{130, 282};
constexpr int kBannerShownFrames = 14;
constexpr int kBannerPeriod = 22;

// A PS1 tile flips its frames at a quarter of a PS2 model's pace.
constexpr int kPS1ModelDivider = 4;

constexpr std::uint32_t kCopy = gfx::bltfast::kWait;

}  // namespace

void Renderer::DrawDetailFrame() {
  damageAll_ = true;
  damage_.clear();
  DrawDetail(false);
}

void Renderer::DrawDetail(bool sinceLast) {
  const gfx::SurfacePtr& target = engine_->RenderTarget();
  const gfx::DevicePtr& device = engine_->Device();
  if (!target || !device || !engine_->ComposeSurface() || !engine_->ActionButtonSheet() ||
      !engine_->BusyBanner()) {
    return;  // a display that was never set up
  }
  gfx::Surface& snapshot = *engine_->ComposeSurface();
  // On the frame before, everything but the model's area and the banner
  // (when it was shown) already shows the snapshot, the buttons are opaque
  // and drawn again, and the Z-buffer holds its cleared value outside the
  // model's area: only those two need the snapshot back, and only the
  // model's area a clear.
  gfx::Viewport viewport;
  device->GetViewport(viewport);
  const gfx::Rect bounds = target->Bounds();
  const gfx::Rect banner = gfx::Intersect(
      gfx::Rect{kBannerOrigin.x, kBannerOrigin.y, kBannerOrigin.x + kLockingBanner.Width(),
                kBannerOrigin.y + kLockingBanner.Height()},
      bounds);
  const bool partial = sinceLast && viewport.x == last_.viewport.x &&
                       viewport.y == last_.viewport.y && viewport.width == last_.viewport.width &&
                       viewport.height == last_.viewport.height && snapshot.Bounds() == bounds &&
                       device->GetRenderTarget() == target;
  last_.viewport = viewport;
  const gfx::Rect before = last_.modelArea;
  if (partial) {
    if (!before.Empty()) target->BltFast(before.left, before.top, snapshot, before, kCopy);
    if (last_.bannerShown && !banner.Empty()) {
      target->BltFast(banner.left, banner.top, snapshot, banner, kCopy);
      damage_.push_back(banner);
    }
  } else {
    target->BltFast(0, 0, snapshot, std::nullopt, gfx::bltfast::kWait);
    damageAll_ = true;
  }

  Matrix world;
  MatrixMultiply(world, engine_->SpinTable()[counters_.spinAngle % DisplayEngine::kSpinSteps],
                 engine_->DetailIconWorld());
  device->SetTransform(gfx::TransformState::World, world);
  if (!partial) {
    device->Clear({}, gfx::clear::kZBuffer, 0, 1.0f, 0);
  } else if (!before.Empty()) {
    device->Clear(std::span(&before, 1), gfx::clear::kZBuffer, 0, 1.0f, 0);
  }
  device->ResetDrawnArea();
  device->BeginScene();
  if (counters_.modelFrame < DisplayEngine::kModelFrameCount) {
    const gfx::VertexBufferPtr& mesh = engine_->ModelFrames()[counters_.modelFrame];
    if (mesh) {
      device->DrawPrimitiveVB(gfx::PrimitiveType::TriangleList, *mesh, 0,
                              workspace_->Icon().vertexCount, 0);
    }
  }
  device->EndScene();
  last_.modelArea = gfx::Intersect(device->DrawnArea(), bounds);
  if (partial) {
    const gfx::Rect& now = last_.modelArea;
    gfx::Rect both =
        before.Empty() ? now
        : now.Empty()
            ? before
            : gfx::Rect{std::min(before.left, now.left), std::min(before.top, now.top),
                        std::max(before.right, now.right), std::max(before.bottom, now.bottom)};
    if (!both.Empty()) damage_.push_back(both);
  }

  gfx::Surface& sheet = *engine_->ActionButtonSheet();
  // The buttons are opaque: one drawn in the same state from the same sheet,
  // where neither the model (before or now) nor the banner reached, would
  // leave every pixel as it is, so it is not drawn again.
  const bool sameSheet =
      partial && last_.buttonSheet == &sheet && last_.buttonSheetVersion == sheet.ContentVersion();
  last_.buttonSheet = &sheet;
  last_.buttonSheetVersion = sheet.ContentVersion();
  for (int i = 0; i < 4; ++i) {
    int state =
        shell_->actionButtonState[static_cast<std::size_t>(i)].load(std::memory_order_relaxed) != 0;
    int& shown = last_.actionButtons[static_cast<std::size_t>(i)];
    const gfx::Point& at = kActionButtonOrigins[static_cast<std::size_t>(i)];
    const gfx::Rect area{at.x, at.y, at.x + kActionButtonWidth, at.y + kActionButtonHeight};
    if (sameSheet && state == shown && gfx::Intersect(area, before).Empty() &&
        gfx::Intersect(area, last_.modelArea).Empty() && gfx::Intersect(area, banner).Empty()) {
      continue;
    }
    if (partial && state != shown) damage_.push_back(gfx::Intersect(area, bounds));
    gfx::Rect source{kActionButtonWidth * state, kActionButtonHeight * i,
                     kActionButtonWidth * state + kActionButtonWidth,
                     kActionButtonHeight * i + kActionButtonHeight};
    // A button that could not be drawn is drawn again on the next frame.
    shown = target->BltFast(at.x, at.y, sheet, source, gfx::bltfast::kWait) == gfx::Result::Ok
                ? state
                : -1;
  }
  const bool bannerShown = workspace_->Lock().locked && counters_.bannerPhase < kBannerShownFrames;
  if (bannerShown) {
    target->BltFast(kBannerOrigin.x, kBannerOrigin.y, *engine_->BusyBanner(), kLockingBanner,
                    gfx::bltfast::kSrcColorKey | gfx::bltfast::kWait);
    if (partial && !last_.bannerShown && !banner.Empty()) damage_.push_back(banner);
  }
  last_.bannerShown = bannerShown;
  // The banner's clock runs whether or not a lock is in force.
  if (++counters_.bannerPhase == kBannerPeriod) counters_.bannerPhase = 0;
  if (++counters_.spinAngle == DisplayEngine::kSpinSteps) counters_.spinAngle = 0;
  AdvanceModelFrame();
}

void Renderer::AdvanceModelFrame() {
  // The shown save is the selected one. With no selection (the shell never
  // shows the detail view without one) the model stands still.
  int slot = shell_->selectionSlot.load(std::memory_order_relaxed);
  if (slot != kLeft && slot != kRight) return;
  const SlotData& data = workspace_->At(slot);
  std::uint32_t position = shell_->selectionPosition.load(std::memory_order_relaxed);
  if (position >= data.RowCount() || data.rows[position] >= data.EntryCount()) return;
  if (data.AtRow(position).IsPS1()) {
    if (++counters_.frameDivider < kPS1ModelDivider) return;
    counters_.frameDivider = 0;
  }
  ++counters_.modelFrame;
  if (counters_.modelFrame >= workspace_->Icon().meshCount) counters_.modelFrame = 0;
}

}  // namespace slk
