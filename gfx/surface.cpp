#include "gfx/surface.h"

#include <algorithm>
#include <cstring>

#include "gfx/desktop.h"

namespace slk::gfx {

namespace {

// What a restored surface holds until it is redrawn.
constexpr std::uint8_t kUndefinedFill = 0xCD;

std::uint32_t PitchFor(int width, std::uint32_t bytesPerPixel, std::uint32_t padding) {
  std::uint32_t row = static_cast<std::uint32_t>(std::max(width, 0)) * bytesPerPixel;
  return ((row + 15u) & ~15u) + padding;
}

}  // namespace

Surface::Surface(int width, int height, const PixelFormat& format, std::uint32_t caps,
                 std::uint32_t pitchPadding, bool keepsPixels)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pitch_(PitchFor(width, format.BytesPerPixel(), pitchPadding)),
      caps_(caps),
      format_(format),
      memory_(keepsPixels ? static_cast<std::size_t>(pitch_) * static_cast<std::size_t>(height_)
                          : 0),
      keepsPixels_(keepsPixels) {}

SurfaceDesc Surface::GetSurfaceDesc() const {
  SurfaceDesc d;
  d.flags = desc::kCaps | desc::kHeight | desc::kWidth | desc::kPitch | desc::kPixelFormat;
  d.width = width_;
  d.height = height_;
  d.pitch = pitch_;
  d.caps = caps_;
  d.format = format_;
  if (srcKey_) {
    d.flags |= desc::kCkSrcBlt;
    d.srcColorKey = *srcKey_;
  }
  return d;
}

Result Surface::GetPixelFormat(PixelFormat& out) const {
  out = format_;
  return Result::Ok;
}

Result Surface::CheckUsable() const {
  if (lost_.load(std::memory_order_acquire)) return Result::SurfaceLost;
  if (locked_) return Result::SurfaceBusy;
  return Result::Ok;
}

Result Surface::Lock(LockedRect& out, const std::optional<Rect>& rect) {
  if (Result r = CheckUsable(); r != Result::Ok) return r;
  if (!keepsPixels_) return Result::Unsupported;
  Rect area = rect.value_or(Bounds());
  if (area.Empty() || Intersect(area, Bounds()) != area) return Result::InvalidRect;
  std::size_t offset = static_cast<std::size_t>(area.top) * pitch_ +
                       static_cast<std::size_t>(area.left) * format_.BytesPerPixel();
  out.bits = std::span<std::uint8_t>(memory_).subspan(offset);
  out.pitch = pitch_;
  locked_ = true;
  return Result::Ok;
}

Result Surface::Unlock() {
  if (!locked_) return Result::NotLocked;
  locked_ = false;
  Touch();
  return Result::Ok;
}

Result Surface::SetColorKey(const std::optional<ColorKey>& key) {
  srcKey_ = key;
  return Result::Ok;
}

Result Surface::IsLost() const {
  return lost_.load(std::memory_order_acquire) ? Result::SurfaceLost : Result::Ok;
}

Result Surface::Restore() {
  if (lost_.load(std::memory_order_acquire)) {
    std::fill(memory_.begin(), memory_.end(), kUndefinedFill);
    locked_ = false;
    Touch();
    lost_.store(false, std::memory_order_release);
  }
  return Result::Ok;
}

Result Surface::AddAttachedSurface(const std::shared_ptr<Surface>& zBuffer) {
  if (!zBuffer || (zBuffer->Caps() & caps::kZBuffer) == 0) return Result::InvalidParams;
  if (zBuffer.get() == this) return Result::InvalidParams;
  if (zBuffer_) return Result::SurfaceAlreadyAttached;
  if (zBuffer->Width() < width_ || zBuffer->Height() < height_) return Result::InvalidParams;
  zBuffer_ = zBuffer;
  return Result::Ok;
}

Result Surface::DeleteAttachedSurface(const Surface& zBuffer) {
  if (zBuffer_.get() != &zBuffer) return Result::InvalidParams;
  zBuffer_.reset();
  return Result::Ok;
}

Result Surface::SetClipper(const std::shared_ptr<Clipper>& clipper) {
  clipper_ = clipper;
  return Result::Ok;
}

std::uint32_t Surface::PixelAt(int x, int y) const {
  if (!keepsPixels_ || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  std::uint32_t bpp = format_.BytesPerPixel();
  return LoadPixel(Row(y) + static_cast<std::size_t>(x) * bpp, bpp);
}

void Surface::SetPixel(int x, int y, std::uint32_t value) {
  if (!keepsPixels_ || x < 0 || y < 0 || x >= width_ || y >= height_) return;
  std::uint32_t bpp = format_.BytesPerPixel();
  StorePixel(Row(y) + static_cast<std::size_t>(x) * bpp, bpp, value);
}

Result Surface::BltFast(int x, int y, Surface& src, const std::optional<Rect>& srcRect,
                        std::uint32_t flags) {
  if (Result r = CheckUsable(); r != Result::Ok) return r;
  if (Result r = src.CheckUsable(); r != Result::Ok) return r;
  if (src.Format() != format_) return Result::InvalidPixelFormat;
  Rect from = srcRect.value_or(src.Bounds());
  if (from.Empty()) return Result::Ok;
  if (Intersect(from, src.Bounds()) != from) return Result::InvalidRect;
  bool keyed = (flags & bltfast::kSrcColorKey) != 0;
  if (keyed && !src.SrcColorKey()) return Result::NoColorKey;

  Rect to = Intersect(Rect{x, y, x + from.Width(), y + from.Height()}, Bounds());
  if (to.Empty()) return Result::Ok;
  Rect clippedFrom{from.left + (to.left - x), from.top + (to.top - y), 0, 0};
  clippedFrom.right = clippedFrom.left + to.Width();
  clippedFrom.bottom = clippedFrom.top + to.Height();
  if (keepsPixels_ && src.keepsPixels_) CopyRect(src, clippedFrom, Point{to.left, to.top}, keyed);
  Touch();
  return Result::Ok;
}

Result Surface::Blt(const std::optional<Rect>& destRect, Surface* src,
                    const std::optional<Rect>& srcRect, std::uint32_t flags,
                    std::uint32_t fillValue) {
  if (Result r = CheckUsable(); r != Result::Ok) return r;
  Rect to = destRect.value_or(Bounds());
  if (to.Empty()) return Result::Ok;
  Rect clip = Bounds();
  if (clipper_) clip = clipper_->ClipRect(Bounds());

  if ((flags & blt::kColorFill) != 0) {
    if (keepsPixels_) Fill(Intersect(to, clip), fillValue);
    Touch();
    return Result::Ok;
  }
  if (src == nullptr) return Result::InvalidParams;
  if (Result r = src->CheckUsable(); r != Result::Ok) return r;
  if (src->Format() != format_) return Result::InvalidPixelFormat;
  Rect from = srcRect.value_or(src->Bounds());
  if (from.Empty()) return Result::Ok;
  if (Intersect(from, src->Bounds()) != from) return Result::InvalidRect;
  bool keyed = (flags & blt::kKeySrc) != 0;
  if (keyed && !src->SrcColorKey()) return Result::NoColorKey;

  Rect visible = Intersect(to, clip);
  if (visible.Empty()) return Result::Ok;
  if (!keepsPixels_ || !src->keepsPixels_) {
    Touch();
    return Result::Ok;
  }
  if (from.Width() == to.Width() && from.Height() == to.Height()) {
    Rect shifted{from.left + (visible.left - to.left), from.top + (visible.top - to.top), 0, 0};
    shifted.right = shifted.left + visible.Width();
    shifted.bottom = shifted.top + visible.Height();
    CopyRect(*src, shifted, Point{visible.left, visible.top}, keyed);
  } else {
    StretchRect(*src, from, to, visible, keyed);
  }
  Touch();
  return Result::Ok;
}

void Surface::Fill(const Rect& r, std::uint32_t value) {
  if (r.Empty()) return;
  std::uint32_t bpp = format_.BytesPerPixel();
  for (int y = r.top; y < r.bottom; ++y) {
    std::uint8_t* p = Row(y) + static_cast<std::size_t>(r.left) * bpp;
    for (int x = r.left; x < r.right; ++x, p += bpp) StorePixel(p, bpp, value);
  }
}

}  // namespace slk::gfx
