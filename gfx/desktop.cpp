#include "gfx/desktop.h"

namespace slk::gfx {

Desktop::Desktop(const DesktopOptions& options)
    : options_(options),
      screen_(std::make_shared<Surface>(options.width, options.height, options.format,
                                        caps::kPrimarySurface | caps::kVideoMemory,
                                        options.pitchPadding, options.screenKeepsPixels)) {}

bool Desktop::TakeSurfaceBudget() {
  if (options_.surfaceBudget < 0) return true;
  if (options_.surfaceBudget == 0) return false;
  --options_.surfaceBudget;
  return true;
}

Result Clipper::SetWindow(const Window* window, std::uint32_t flags) {
  if (flags != 0) return Result::InvalidParams;
  window_ = window;
  return Result::Ok;
}

Rect Clipper::ClipRect(const Rect& bounds) const {
  if (window_ == nullptr) return bounds;
  // The window is the only one on its desktop, so its visible region is its
  // client area less whatever lies off the screen.
  return Intersect(window_->ClientRectOnScreen(), bounds);
}

}  // namespace slk::gfx
