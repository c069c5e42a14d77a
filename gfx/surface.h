#pragma once
// A surface: a block of pixels in one format with a pitch, a source colour
// key, a lost/restored state and the two blits the display uses. Surfaces are
// made by DirectDraw::CreateSurface (tests may also construct them directly)
// and shared through std::shared_ptr; dropping the last reference frees them.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "gfx/pixel_format.h"
#include "gfx/types.h"
#include "gfx/zeroed_memory.h"

namespace slk::gfx {

class Clipper;

// A source colour key: pixels whose raw value lies in [low, high] are skipped.
struct ColorKey {
  std::uint32_t low = 0;
  std::uint32_t high = 0;
  friend bool operator==(const ColorKey&, const ColorKey&) = default;
};

// What a surface is asked to be, or what it is (GetSurfaceDesc). `flags`
// (desc::k...) says which fields are meaningful when creating.
struct SurfaceDesc {
  std::uint32_t flags = 0;
  int width = 0;
  int height = 0;
  std::uint32_t pitch = 0;
  std::uint32_t caps = 0;
  // Empty means "no format chosen": creation then uses the desktop's format.
  std::optional<PixelFormat> format;
  ColorKey srcColorKey;
  std::uint32_t textureStage = 0;
};

// The memory a Lock hands out: `bits` starts at the locked rectangle's top-left
// pixel and runs to the end of the surface; rows are `pitch` bytes apart.
struct LockedRect {
  std::span<std::uint8_t> bits;
  std::uint32_t pitch = 0;
};

class Surface {
 public:
  // Pitch is the row size rounded up to 16 bytes plus `pitchPadding`.
  // Without `keepsPixels` the surface has no memory: blits onto it are
  // checked and counted but write nothing, it cannot be locked, and read as
  // a source or pixel by pixel it gives nothing (see
  // DesktopOptions::screenKeepsPixels).
  Surface(int width, int height, const PixelFormat& format, std::uint32_t caps,
          std::uint32_t pitchPadding = 0, bool keepsPixels = true);
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  std::uint32_t Pitch() const { return pitch_; }
  std::uint32_t Caps() const { return caps_; }
  const PixelFormat& Format() const { return format_; }
  Rect Bounds() const { return Rect{0, 0, width_, height_}; }
  bool KeepsPixels() const { return keepsPixels_; }

  SurfaceDesc GetSurfaceDesc() const;
  Result GetPixelFormat(PixelFormat& out) const;

  // Whole surface or a rectangle of it. Fails with SurfaceLost while lost and
  // SurfaceBusy while already locked.
  Result Lock(LockedRect& out, const std::optional<Rect>& rect = std::nullopt);
  Result Unlock();
  bool IsLocked() const { return locked_; }

  // An empty key removes it.
  Result SetColorKey(const std::optional<ColorKey>& key);
  const std::optional<ColorKey>& SrcColorKey() const { return srcKey_; }

  // Ok, or SurfaceLost while lost.
  Result IsLost() const;
  // Clears the lost state. The memory is kept but its content is undefined,
  // which we make visible with a fixed fill so that nothing relies on it.
  Result Restore();
  // What a display-mode change does to the surface. Thread-safe.
  void MarkLost() { lost_.store(true, std::memory_order_release); }

  // A Z-buffer attached to a render target; one at most.
  Result AddAttachedSurface(const std::shared_ptr<Surface>& zBuffer);
  Result DeleteAttachedSurface(const Surface& zBuffer);
  const std::shared_ptr<Surface>& AttachedZBuffer() const { return zBuffer_; }

  // Blts onto this surface are kept inside the clipper's region.
  Result SetClipper(const std::shared_ptr<Clipper>& clipper);
  const std::shared_ptr<Clipper>& GetClipper() const { return clipper_; }

  // Copies `srcRect` of `src` (all of it when empty) to (x, y), clipped to this
  // surface. flags: bltfast::kSrcColorKey to skip the source's key colour.
  Result BltFast(int x, int y, Surface& src, const std::optional<Rect>& srcRect,
                 std::uint32_t flags);
  // Stretches `srcRect` of `src` onto `destRect` of this surface (each the
  // whole surface when empty), nearest sample, clipped to this surface and its
  // clipper. flags: blt::kKeySrc; blt::kColorFill fills destRect with
  // `fillValue` (a raw pixel value) and takes no source.
  Result Blt(const std::optional<Rect>& destRect, Surface* src, const std::optional<Rect>& srcRect,
             std::uint32_t flags, std::uint32_t fillValue = 0);

  // Direct access for the renderer and for tests: no lock and no lost check.
  std::uint32_t PixelAt(int x, int y) const;
  void SetPixel(int x, int y, std::uint32_t value);
  std::span<std::uint8_t> Memory() { return memory_; }
  std::span<const std::uint8_t> Memory() const { return memory_; }
  std::uint8_t* Row(int y) { return memory_.data() + static_cast<std::size_t>(y) * pitch_; }
  const std::uint8_t* Row(int y) const {
    return memory_.data() + static_cast<std::size_t>(y) * pitch_;
  }

  // The pixels' memory made resident now (ZeroedMemory::Populate), from any
  // thread: for a surface the next frame draws whole.
  void PopulatePixels() const { memory_.Populate(); }

  // Changes whenever the content may have changed through this object's own
  // operations (Unlock, blits onto it, Restore); textures are re-read then.
  std::uint64_t ContentVersion() const { return version_; }
  void Touch() { ++version_; }

 private:
  Result CheckUsable() const;
  void CopyRect(const Surface& src, const Rect& srcRect, Point dest, bool keyed);
  void StretchRect(const Surface& src, const Rect& srcRect, const Rect& destRect, const Rect& clip,
                   bool keyed);
  void Fill(const Rect& r, std::uint32_t value);

  int width_;
  int height_;
  std::uint32_t pitch_;
  std::uint32_t caps_;
  PixelFormat format_;
  ZeroedMemory memory_;
  std::optional<ColorKey> srcKey_;
  std::shared_ptr<Surface> zBuffer_;
  std::shared_ptr<Clipper> clipper_;
  std::atomic<bool> lost_{false};
  bool locked_ = false;
  std::uint64_t version_ = 0;
  bool keepsPixels_;
};

using SurfacePtr = std::shared_ptr<Surface>;

}  // namespace slk::gfx
