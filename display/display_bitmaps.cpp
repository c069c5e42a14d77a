// The bitmap surfaces: each is filled from its bitmap resource, at set-up and
// again after the surfaces were restored.

#include <algorithm>

#include "display/display_engine.h"
#include "platform/dib.h"
#include "resources/bitmaps.h"

namespace slk {

bool DisplayEngine::LoadBitmaps() {
  namespace id = res::BitmapId;
  return LoadBitmapInto(backdrop_, id::Backdrop) && LoadBitmapInto(markerBall_, id::MarkerBall) &&
         LoadBitmapInto(scrollButtonSheet_, id::ScrollButtonSheet) &&
         LoadBitmapInto(actionButtonSheet_, id::ActionButtonSheet) &&
         LoadBitmapInto(busyBanner_, id::BusyBanner) && LoadBitmapInto(digitFont_, id::DigitFont) &&
         LoadBitmapInto(moreArrows_, id::MoreArrows);
}

bool DisplayEngine::LoadBitmapInto(const gfx::SurfacePtr& surface, int bitmapId) {
  if (!surface) return false;
  auto image = platform::DecodeBmp(res::BitmapResource(bitmapId));
  if (!image) return false;
  gfx::LockedRect lock;
  if (surface->Lock(lock) != gfx::Result::Ok) return false;

  // Only the bitmap's own size is copied: a surface larger than its bitmap
  // keeps whatever its other pixels held.
  const gfx::FormatCodec codec(surface->Format());
  const std::uint32_t bpp = codec.BytesPerPixel();
  const int width = std::min(image->width, surface->Width());
  const int height = std::min(image->height, surface->Height());
  // The usual 32-bit desktop: a bitmap's pixel is the surface's already,
  // without a conversion for each of the backdrop's 160,000 pixels.
  const bool same = surface->Format() == gfx::PixelFormat::Xrgb8888();
  for (int y = 0; y < height; ++y) {
    std::uint8_t* out = lock.bits.data() + static_cast<std::size_t>(y) * lock.pitch;
    const std::uint32_t* source = image->pixels.data() + static_cast<std::size_t>(y) * image->width;
    for (int x = 0; x < width; ++x, out += bpp)
      gfx::StorePixel(out, bpp, same ? source[x] & 0x00FFFFFFu : codec.Pack(source[x]));
  }
  surface->Unlock();
  return true;
}

}  // namespace slk
