#include "gfx/direct_draw.h"

#include <algorithm>

#include "gfx/direct3d.h"

namespace slk::gfx {

Result DirectDrawCreate(Desktop& desktop, std::shared_ptr<DirectDraw>& out) {
  out.reset();
  if (!desktop.Options().directDrawAvailable) return Result::NoDevice;
  out = std::make_shared<DirectDraw>(desktop);
  return Result::Ok;
}

DirectDraw::~DirectDraw() {
  if (madePrimary_) desktop_->Screen()->SetClipper(nullptr);
}

Result DirectDraw::SetCooperativeLevel(const Window& window, std::uint32_t flags) {
  if (&window.GetDesktop() != desktop_) return Result::InvalidParams;
  return flags == coop::kNormal ? Result::Ok : Result::Unsupported;
}

namespace {

bool IsDrawableRgb(const PixelFormat& f) {
  return (f.flags & pf::kRgb) != 0 && (f.flags & pf::kPaletteIndexed8) == 0 && f.bitCount >= 16 &&
         f.bitCount <= 32 && f.bitCount % 8 == 0;
}

Result CheckFormatForCaps(const SurfaceDesc& d, const PixelFormat& format) {
  if ((d.caps & caps::kZBuffer) != 0) {
    return format.IsZBuffer() && (format.bitCount == 16 || format.bitCount == 32)
               ? Result::Ok
               : Result::InvalidPixelFormat;
  }
  if (format.IsZBuffer()) return Result::InvalidPixelFormat;
  if ((d.caps & (caps::kTexture | caps::k3DDevice)) != 0 && !IsDrawableRgb(format)) {
    return Result::InvalidPixelFormat;
  }
  return Result::Ok;
}

}  // namespace

Result DirectDraw::CreateSurface(const SurfaceDesc& d, SurfacePtr& out) {
  out.reset();
  if ((d.flags & desc::kCaps) == 0) return Result::InvalidParams;
  if ((d.caps & caps::kPrimarySurface) != 0) {
    if (!desktop_->TakeSurfaceBudget()) return Result::OutOfMemory;
    out = desktop_->Screen();
    madePrimary_ = true;
    Register(out);
    return Result::Ok;
  }
  if ((d.flags & (desc::kWidth | desc::kHeight)) != (desc::kWidth | desc::kHeight) ||
      d.width <= 0 || d.height <= 0) {
    return Result::InvalidParams;
  }
  PixelFormat format = desktop_->Screen()->Format();
  if ((d.flags & desc::kPixelFormat) != 0) {
    if (!d.format) return Result::InvalidPixelFormat;
    format = *d.format;
  }
  if (Result r = CheckFormatForCaps(d, format); r != Result::Ok) return r;
  if (!desktop_->TakeSurfaceBudget()) return Result::OutOfMemory;

  std::uint32_t surfaceCaps = d.caps;
  if ((surfaceCaps & (caps::kSystemMemory | caps::kVideoMemory)) == 0) {
    surfaceCaps |= caps::kSystemMemory;  // there is no other memory here
  }
  auto surface = std::make_shared<Surface>(d.width, d.height, format, surfaceCaps,
                                           desktop_->Options().pitchPadding);
  if ((d.flags & desc::kCkSrcBlt) != 0) surface->SetColorKey(d.srcColorKey);
  Register(surface);
  out = std::move(surface);
  return Result::Ok;
}

Result DirectDraw::CreateClipper(std::uint32_t flags, std::shared_ptr<Clipper>& out) {
  out.reset();
  if (flags != 0) return Result::InvalidParams;
  out = std::make_shared<Clipper>();
  return Result::Ok;
}

Result DirectDraw::QueryDirect3D(std::shared_ptr<Direct3D>& out) {
  out = std::make_shared<Direct3D>(*desktop_);
  return Result::Ok;
}

void DirectDraw::Register(const SurfacePtr& surface) {
  std::erase_if(surfaces_, [](const std::weak_ptr<Surface>& w) { return w.expired(); });
  surfaces_.push_back(surface);
}

Result DirectDraw::RestoreAllSurfaces() {
  for (const auto& weak : surfaces_) {
    if (auto s = weak.lock()) s->Restore();
  }
  return Result::Ok;
}

void DirectDraw::LoseAllSurfaces() {
  for (const auto& weak : surfaces_) {
    if (auto s = weak.lock()) s->MarkLost();
  }
}

}  // namespace slk::gfx
