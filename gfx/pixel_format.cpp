#include "gfx/pixel_format.h"

#include <algorithm>

namespace slk::gfx {

Rect Intersect(const Rect& a, const Rect& b) {
  Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (r.Empty()) return Rect{};
  return r;
}

Matrix Matrix::Identity() {
  Matrix m;
  for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
  return m;
}

namespace {

PixelFormat Rgb(std::uint32_t bits, std::uint32_t r, std::uint32_t g, std::uint32_t b,
                std::uint32_t a = 0) {
  PixelFormat f;
  f.flags = pf::kRgb | (a != 0 ? pf::kAlphaPixels : 0);
  f.bitCount = bits;
  f.redMask = r;
  f.greenMask = g;
  f.blueMask = b;
  f.alphaMask = a;
  return f;
}

PixelFormat Depth(std::uint32_t bits, std::uint32_t mask) {
  PixelFormat f;
  f.flags = pf::kZBuffer;
  f.bitCount = bits;
  f.zMask = mask;
  return f;
}

}  // namespace

PixelFormat PixelFormat::Palette8() {
  PixelFormat f;
  f.flags = pf::kRgb | pf::kPaletteIndexed8;
  f.bitCount = 8;
  return f;
}
PixelFormat PixelFormat::Rgb565() {
  return Rgb(16, 0xF800, 0x07E0, 0x001F);
}
PixelFormat PixelFormat::Xrgb1555() {
  return Rgb(16, 0x7C00, 0x03E0, 0x001F);
}
PixelFormat PixelFormat::Argb1555() {
  return Rgb(16, 0x7C00, 0x03E0, 0x001F, 0x8000);
}
PixelFormat PixelFormat::Argb4444() {
  return Rgb(16, 0x0F00, 0x00F0, 0x000F, 0xF000);
}
PixelFormat PixelFormat::Rgb888() {
  return Rgb(24, 0xFF0000, 0xFF00, 0xFF);
}
PixelFormat PixelFormat::Xrgb8888() {
  return Rgb(32, 0xFF0000, 0xFF00, 0xFF);
}
PixelFormat PixelFormat::Argb8888() {
  return Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
}
PixelFormat PixelFormat::BumpDuDv88() {
  PixelFormat f;
  f.flags = pf::kBumpDuDv;
  f.bitCount = 16;
  f.redMask = 0x00FF;    // du
  f.greenMask = 0xFF00;  // dv
  return f;
}
PixelFormat PixelFormat::Z16() {
  return Depth(16, 0xFFFF);
}
PixelFormat PixelFormat::Z32() {
  return Depth(32, 0xFFFFFFFF);
}

PixelFormat PixelFormat::ForDesktopBits(int bits) {
  switch (bits) {
    case 8:
      return Palette8();
    case 16:
      return Rgb565();
    case 24:
      return Rgb888();
    case 32:
      return Xrgb8888();
    default: {
      PixelFormat f;
      f.flags = pf::kRgb;
      f.bitCount = static_cast<std::uint32_t>(std::max(bits, 0));
      return f;
    }
  }
}

ChannelBits ChannelBitsOf(std::uint32_t mask) {
  ChannelBits c;
  while (c.shift < 32 && ((mask >> c.shift) & 1u) == 0) ++c.shift;
  while (c.shift + c.width < 32 && ((mask >> (c.shift + c.width)) & 1u) != 0) ++c.width;
  return c;
}

FormatCodec::FormatCodec(const PixelFormat& format)
    : red_(ChannelBitsOf(format.redMask)),
      green_(ChannelBitsOf(format.greenMask)),
      blue_(ChannelBitsOf(format.blueMask)),
      alpha_(ChannelBitsOf(format.alphaMask)),
      bytes_(format.BytesPerPixel()) {
  // Channels wider than 8 bits are not used by any surface format here; a
  // palettised format has no masks and packs everything to 0.
}

}  // namespace slk::gfx
