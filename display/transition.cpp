// The marker animation between the list and the detail view.

#include <thread>

#include "display/render_thread.h"

namespace slk {

namespace {

using Markers = std::array<gfx::Point, 4>;

constexpr int kStepsPerPhase = 17;
// The centres of the four balls in the detail screen's corners, and the
// window's centre; markers run top-left, top-right, bottom-left, bottom-right.
constexpr Markers kWindowCorners{gfx::Point{8, 8}, gfx::Point{504, 8}, gfx::Point{8, 304},
                                 gfx::Point{504, 304}};
constexpr gfx::Point kWindowCentre{256, 156};

Markers AllAt(gfx::Point p) {
  return Markers{p, p, p, p};
}

Markers CellCorners(gfx::Point topLeft) {
  return Markers{topLeft, gfx::Point{topLeft.x + 64, topLeft.y},
                 gfx::Point{topLeft.x, topLeft.y + 64}, gfx::Point{topLeft.x + 64, topLeft.y + 64}};
}

void Publish(ShellState& shell, const Markers& markers) {
  for (std::size_t i = 0; i < markers.size(); ++i) {
    shell.transitionMarkers[i].x.store(markers[i].x, std::memory_order_relaxed);
    shell.transitionMarkers[i].y.store(markers[i].y, std::memory_order_relaxed);
  }
}

}  // namespace

Markers TransitionStep(const Markers& start, const Markers& end, int t) {
  Markers out;
  for (std::size_t i = 0; i < out.size(); ++i) {
    // Signed division truncating toward zero, as the animation was tuned.
    out[i].x = start[i].x + ((end[i].x - start[i].x) * t) / 16;
    out[i].y = start[i].y + ((end[i].y - start[i].y) * t) / 16;
  }
  return out;
}

void PlayTransition(ShellState& shell, int direction, const std::function<void()>& betweenSteps,
                    std::chrono::milliseconds stepSleep) {
  // Only a visible selected save has a cell to start from or return to; the
  // shell opens the detail view of nothing else.
  int slot = shell.selectionSlot.load(std::memory_order_relaxed);
  if (slot != kLeft && slot != kRight) return;
  std::uint32_t position = shell.selectionPosition.load(std::memory_order_relaxed);
  std::uint32_t top = shell.scrollTop[static_cast<std::size_t>(slot)];
  if (position < top || position - top >= kVisibleCells) return;
  gfx::Point cell = GridCellOrigin(slot, position - top);
  Markers corners = CellCorners(cell);
  Markers centre = AllAt(gfx::Point{cell.x + 32, cell.y + 32});

  // Open: cell corners -> cell centre -> window centre -> window corners.
  // Close: the same way back. Each phase starts where the last one ended.
  std::array<Markers, 3> ends =
      direction == 0 ? std::array<Markers, 3>{centre, AllAt(kWindowCentre), kWindowCorners}
                     : std::array<Markers, 3>{AllAt(kWindowCentre), centre, corners};
  Markers from = direction == 0 ? corners : kWindowCorners;
  for (const Markers& to : ends) {
    for (int t = 0; t < kStepsPerPhase; ++t) {
      Publish(shell, TransitionStep(from, to, t));
      auto wakeUp = std::chrono::steady_clock::now() + stepSleep;
      if (betweenSteps) betweenSteps();
      std::this_thread::sleep_until(wakeUp);
    }
    from = to;
  }
}

void Renderer::PlayTransition(int direction, const std::function<void()>& betweenSteps) {
  slk::PlayTransition(*shell_, direction, betweenSteps, kTransitionStepSleep);
}

}  // namespace slk
