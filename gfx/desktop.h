#pragma once
// The desktop the display device draws on: its screen (the primary surface's
// memory) in a chosen format, the knobs tests use to shape what the device
// offers, and the placement of a window's client area on it.

#include <cstdint>
#include <memory>
#include <vector>

#include "gfx/pixel_format.h"
#include "gfx/surface.h"
#include "gfx/types.h"

namespace slk::gfx {

struct DesktopOptions {
  int width = 1024;
  int height = 768;
  PixelFormat format = PixelFormat::Xrgb8888();
  // Extra bytes at the end of every row of every surface, so that code which
  // ignores the pitch shows up in tests.
  std::uint32_t pitchPadding = 0;
  // False makes DirectDrawCreate fail, as on a system without the library.
  bool directDrawAvailable = true;
  // There is no hardware: the TnL HAL and HAL device types fail to create.
  // With this set they create (and draw in software), offering only
  // `hardwareZBufferFormats`, so that the fall-back after a failed Z-buffer
  // choice can be exercised.
  bool hardwareDevices = false;
  std::vector<PixelFormat> hardwareZBufferFormats = {};
  // Z-buffer and texture formats of the RGB device, in enumeration order.
  std::vector<PixelFormat> zBufferFormats = {PixelFormat::Z16(), PixelFormat::Z32()};
  std::vector<PixelFormat> textureFormats = {PixelFormat::BumpDuDv88(), PixelFormat::Rgb565(),
                                             PixelFormat::Argb1555(), PixelFormat::Argb4444(),
                                             PixelFormat::Argb8888()};
  // How many more surfaces may be created before creation fails with
  // OutOfMemory; negative means no limit.
  int surfaceBudget = -1;
  // False: the screen takes blits (clipped, counted in its ContentVersion,
  // lost and restored as ever) but keeps none of their pixels and has no
  // memory, for a desktop nobody reads back. The program's own is such: its
  // frames reach the window through the renderer's kept copy, and a screen
  // of pixels was one more copy of every frame (624 KiB).
  bool screenKeepsPixels = true;
};

class Desktop {
 public:
  explicit Desktop(const DesktopOptions& options = {});
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  const DesktopOptions& Options() const { return options_; }
  // The screen. Every primary surface created on this desktop is this one.
  const SurfacePtr& Screen() const { return screen_; }
  Rect Bounds() const { return Rect{0, 0, options_.width, options_.height}; }

  // Takes one surface from the budget; false when it is spent.
  bool TakeSurfaceBudget();
  void SetSurfaceBudget(int budget) { options_.surfaceBudget = budget; }

 private:
  DesktopOptions options_;
  SurfacePtr screen_;
};

// A window's client area on a desktop.
class Window {
 public:
  Window(Desktop& desktop, Point clientOrigin, int width = 512, int height = 312)
      : desktop_(&desktop), origin_(clientOrigin), width_(width), height_(height) {}

  Desktop& GetDesktop() const { return *desktop_; }
  Point ClientToScreen(Point p) const { return Point{p.x + origin_.x, p.y + origin_.y}; }
  Rect ClientRectOnScreen() const {
    return Rect{origin_.x, origin_.y, origin_.x + width_, origin_.y + height_};
  }
  int ClientWidth() const { return width_; }
  int ClientHeight() const { return height_; }
  void MoveTo(Point clientOrigin) { origin_ = clientOrigin; }

 private:
  Desktop* desktop_;
  Point origin_;
  int width_;
  int height_;
};

// Keeps blits onto the screen inside a window's visible part.
class Clipper {
 public:
  Result SetWindow(const Window* window, std::uint32_t flags);
  const Window* GetWindow() const { return window_; }
  // The region blits may touch, in the destination's co-ordinates; the whole
  // of `bounds` while no window is set.
  Rect ClipRect(const Rect& bounds) const;

 private:
  const Window* window_ = nullptr;
};

}  // namespace slk::gfx
