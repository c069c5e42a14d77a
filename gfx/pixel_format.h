#pragma once
// Pixel formats, described the way the display device describes them: a bit
// count and a mask per channel (for Z-buffer formats, the Z depth and mask).
// FormatCodec turns 8-bit channels into pixel values of a format and back.

#include <cstdint>

#include "gfx/types.h"

namespace slk::gfx {

struct PixelFormat {
  std::uint32_t flags = 0;
  // Bits per pixel; for a Z-buffer format the Z depth in bits.
  std::uint32_t bitCount = 0;
  std::uint32_t redMask = 0;
  std::uint32_t greenMask = 0;
  std::uint32_t blueMask = 0;
  std::uint32_t alphaMask = 0;
  std::uint32_t zMask = 0;

  std::uint32_t BytesPerPixel() const { return (bitCount + 7) / 8; }
  bool IsZBuffer() const { return (flags & pf::kZBuffer) != 0; }
  friend bool operator==(const PixelFormat&, const PixelFormat&) = default;

  static PixelFormat Palette8();
  static PixelFormat Rgb565();
  static PixelFormat Xrgb1555();
  static PixelFormat Argb1555();
  static PixelFormat Argb4444();
  static PixelFormat Rgb888();
  static PixelFormat Xrgb8888();
  static PixelFormat Argb8888();
  static PixelFormat BumpDuDv88();
  static PixelFormat Z16();
  static PixelFormat Z32();
  // The usual desktop format of a bit depth: 8 palettised, 16 as 5-6-5,
  // 24 as 8-8-8, 32 as X8R8G8B8. Other depths give a format with no masks.
  static PixelFormat ForDesktopBits(int bits);
};

// One channel of a format: where it sits and how wide it is.
struct ChannelBits {
  std::uint32_t shift = 0;
  std::uint32_t width = 0;
};

ChannelBits ChannelBitsOf(std::uint32_t mask);

// Converts between 8-bit channels and pixel values of one format. Narrow
// channels keep the top bits when packing and replicate them when unpacking,
// so that white stays white and black stays black both ways. A format without
// an alpha mask reads as opaque.
class FormatCodec {
 public:
  explicit FormatCodec(const PixelFormat& format);

  std::uint32_t Pack(Color argb) const {
    return PackChannel(argb >> 16, red_) | PackChannel(argb >> 8, green_) |
           PackChannel(argb, blue_) | PackChannel(argb >> 24, alpha_);
  }
  Color Unpack(std::uint32_t pixel) const {
    return (UnpackChannel(pixel, alpha_, 0xFF) << 24) | (UnpackChannel(pixel, red_, 0) << 16) |
           (UnpackChannel(pixel, green_, 0) << 8) | UnpackChannel(pixel, blue_, 0);
  }
  std::uint32_t BytesPerPixel() const { return bytes_; }

 private:
  static std::uint32_t PackChannel(std::uint32_t value8, ChannelBits c) {
    if (c.width == 0) return 0;
    std::uint32_t v = value8 & 0xFF;
    v = c.width >= 8 ? v << (c.width - 8) : v >> (8 - c.width);
    return v << c.shift;
  }
  static std::uint32_t UnpackChannel(std::uint32_t pixel, ChannelBits c, std::uint32_t missing) {
    if (c.width == 0) return missing;
    std::uint32_t v = (pixel >> c.shift) & ((c.width >= 32 ? 0 : (1u << c.width)) - 1u);
    if (c.width >= 8) return v >> (c.width - 8);
    // Repeat the bits downwards until all 8 are filled.
    std::uint32_t out = v << (8 - c.width);
    for (std::uint32_t s = c.width; s < 8; s *= 2) out |= out >> s;
    return out & 0xFF;
  }

  ChannelBits red_, green_, blue_, alpha_;
  std::uint32_t bytes_;
};

// Raw pixel access in little-endian byte order, 1 to 4 bytes a pixel.
inline std::uint32_t LoadPixel(const std::uint8_t* p, std::uint32_t bytes) {
  switch (bytes) {
    case 1:
      return p[0];
    case 2:
      return static_cast<std::uint32_t>(p[0] | (p[1] << 8));
    case 3:
      return static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
    default:
      return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
             (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  }
}

inline void StorePixel(std::uint8_t* p, std::uint32_t bytes, std::uint32_t value) {
  switch (bytes) {
    case 1:
      p[0] = static_cast<std::uint8_t>(value);
      return;
    case 2:
      p[0] = static_cast<std::uint8_t>(value);
      p[1] = static_cast<std::uint8_t>(value >> 8);
      return;
    case 3:
      p[0] = static_cast<std::uint8_t>(value);
      p[1] = static_cast<std::uint8_t>(value >> 8);
      p[2] = static_cast<std::uint8_t>(value >> 16);
      return;
    default:
      p[0] = static_cast<std::uint8_t>(value);
      p[1] = static_cast<std::uint8_t>(value >> 8);
      p[2] = static_cast<std::uint8_t>(value >> 16);
      p[3] = static_cast<std::uint8_t>(value >> 24);
      return;
  }
}

}  // namespace slk::gfx
