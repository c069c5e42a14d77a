#pragma once
// The DirectDraw object: made on a desktop, it creates surfaces and clippers,
// hands out the Direct3D object, and restores every surface it made after a
// loss. The desktop must outlive it and everything it made.

#include <cstdint>
#include <memory>
#include <vector>

#include "gfx/desktop.h"
#include "gfx/surface.h"

namespace slk::gfx {

class Direct3D;

// SetCooperativeLevel flags.
namespace coop {
constexpr std::uint32_t kNormal = 0x8;
}

class DirectDraw {
 public:
  explicit DirectDraw(Desktop& desktop) : desktop_(&desktop) {}
  DirectDraw(const DirectDraw&) = delete;
  DirectDraw& operator=(const DirectDraw&) = delete;
  // The screen outlives us: a clipper set through our primary goes with us.
  ~DirectDraw();

  Desktop& GetDesktop() const { return *desktop_; }

  // Windowed use only: kNormal is the one level offered.
  Result SetCooperativeLevel(const Window& window, std::uint32_t flags);

  // caps::kPrimarySurface gives the desktop's screen. Other surfaces need
  // width and height; they take the desktop's format unless the description
  // carries one (desc::kPixelFormat), and desc::kCkSrcBlt sets their source
  // colour key. Z-buffers need a Z format, textures an RGB format.
  Result CreateSurface(const SurfaceDesc& description, SurfacePtr& out);
  Result CreateClipper(std::uint32_t flags, std::shared_ptr<Clipper>& out);
  Result QueryDirect3D(std::shared_ptr<Direct3D>& out);

  Result RestoreAllSurfaces();
  // What another program taking the display does: every surface this object
  // made (the screen included) becomes lost.
  void LoseAllSurfaces();

 private:
  void Register(const SurfacePtr& surface);

  Desktop* desktop_;
  std::vector<std::weak_ptr<Surface>> surfaces_;
  bool madePrimary_ = false;
};

// Makes the DirectDraw object of a desktop; fails when the desktop says the
// library is not there.
Result DirectDrawCreate(Desktop& desktop, std::shared_ptr<DirectDraw>& out);

}  // namespace slk::gfx
