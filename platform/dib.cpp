#include "platform/dib.h"

#include <cstddef>

#include "platform/bytes.h"

namespace slk::platform {
namespace {

// BITMAPFILEHEADER, 14 bytes.
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kMagicOffset = 0x00;        // 2 bytes at 0x00: "BM"
constexpr std::size_t kPixelOffsetOffset = 0x0A;  // 4 bytes at 0x0A: start of the pixel array

// BITMAPINFOHEADER, following the file header; offsets from its start.
constexpr std::size_t kInfoSizeOffset = 0;      // 4 bytes at +0: size of this header
constexpr std::size_t kWidthOffset = 4;         // 4 bytes at +4: width, signed
constexpr std::size_t kHeightOffset = 8;        // 4 bytes at +8: height, negative = top-down
constexpr std::size_t kPlanesOffset = 12;       // 2 bytes at +12: planes, always 1
constexpr std::size_t kBitCountOffset = 14;     // 2 bytes at +14: bits per pixel
constexpr std::size_t kCompressionOffset = 16;  // 4 bytes at +16: 0 = BI_RGB
constexpr std::size_t kColorsUsedOffset = 32;   // 4 bytes at +32: palette entries, 0 = all
constexpr std::uint32_t kInfoHeaderSize = 40;
// BITMAPV5HEADER is the longest header Windows defines.
constexpr std::uint32_t kLongestInfoHeaderSize = 124;
constexpr std::uint32_t kCompressionRgb = 0;
constexpr std::size_t kPaletteEntrySize = 4;  // blue, green, red, reserved

// Far above any bitmap of the program; keeps a lying header from asking for
// gigabytes before the pixel array's size is checked against the file.
constexpr std::int64_t kMaxDimension = 1 << 15;
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 26;

struct Layout {
  int width = 0;
  int height = 0;
  bool topDown = false;
  int bitCount = 0;
  std::size_t paletteOffset = 0;
  std::size_t paletteCount = 0;
  std::size_t pixelOffset = 0;
  std::size_t stride = 0;
};

bool SupportedBitCount(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32;
}

// Reads and checks the two headers; every offset and size is tested against
// the file's length here so that decoding itself needs no further checks.
std::optional<Layout> ReadLayout(ByteSpan file) {
  auto m0 = ReadU8(file, kMagicOffset);
  auto m1 = ReadU8(file, kMagicOffset + 1);
  auto pixelOffset = ReadU32LE(file, kPixelOffsetOffset);
  auto infoSize = ReadU32LE(file, kFileHeaderSize + kInfoSizeOffset);
  if (!m0 || !m1 || *m0 != 'B' || *m1 != 'M' || !pixelOffset || !infoSize) return std::nullopt;
  if (*infoSize < kInfoHeaderSize || *infoSize > kLongestInfoHeaderSize) return std::nullopt;
  if (!InBounds(file, kFileHeaderSize, *infoSize)) return std::nullopt;

  const std::size_t info = kFileHeaderSize;
  const auto width = static_cast<std::int32_t>(*ReadU32LE(file, info + kWidthOffset));
  const auto height = static_cast<std::int32_t>(*ReadU32LE(file, info + kHeightOffset));
  const auto planes = *ReadU16LE(file, info + kPlanesOffset);
  const auto bits = *ReadU16LE(file, info + kBitCountOffset);
  const auto compression = *ReadU32LE(file, info + kCompressionOffset);
  const auto colorsUsed = *ReadU32LE(file, info + kColorsUsedOffset);

  const std::int64_t rows = height < 0 ? -std::int64_t{height} : height;
  if (width <= 0 || rows == 0 || width > kMaxDimension || rows > kMaxDimension) return std::nullopt;
  if (std::int64_t{width} * rows > kMaxPixels) return std::nullopt;
  if (planes != 1 || !SupportedBitCount(bits) || compression != kCompressionRgb)
    return std::nullopt;

  Layout layout;
  layout.width = width;
  layout.height = static_cast<int>(rows);
  layout.topDown = height < 0;
  layout.bitCount = bits;
  layout.paletteOffset = kFileHeaderSize + *infoSize;
  if (bits <= 8) {
    const std::size_t maxColors = std::size_t{1} << bits;
    if (colorsUsed > maxColors) return std::nullopt;
    layout.paletteCount = colorsUsed == 0 ? maxColors : colorsUsed;
    if (!InBounds(file, layout.paletteOffset, layout.paletteCount * kPaletteEntrySize)) {
      return std::nullopt;
    }
  }
  // Rows are padded to whole 32-bit words.
  layout.stride = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
  layout.pixelOffset = *pixelOffset;
  if (!InBounds(file, layout.pixelOffset, layout.stride * layout.height)) return std::nullopt;
  return layout;
}

std::uint32_t Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
}

std::vector<std::uint32_t> ReadPalette(ByteSpan file, const Layout& layout) {
  std::vector<std::uint32_t> palette(layout.paletteCount);
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const std::uint8_t* e = file.data() + layout.paletteOffset + i * kPaletteEntrySize;
    palette[i] = Rgb(e[2], e[1], e[0]);
  }
  return palette;
}

// One row of stride bytes, already known to lie inside the file.
void DecodeRow(const std::uint8_t* row, const Layout& layout,
               const std::vector<std::uint32_t>& palette, std::uint32_t* out) {
  const int bits = layout.bitCount;
  for (int x = 0; x < layout.width; ++x) {
    if (bits == 24 || bits == 32) {
      const std::uint8_t* p = row + static_cast<std::size_t>(x) * (bits / 8);
      out[x] = Rgb(p[2], p[1], p[0]);
      continue;
    }
    // Indexed: the leftmost pixel sits in the byte's most significant bits.
    const std::size_t bitPos = static_cast<std::size_t>(x) * bits;
    const unsigned shift = 8 - bits - (bitPos % 8);
    const std::size_t index = (row[bitPos / 8] >> shift) & ((1u << bits) - 1);
    out[x] = index < palette.size() ? palette[index] : 0;
  }
}

}  // namespace

std::optional<RgbImage> DecodeBmp(std::span<const std::uint8_t> file) {
  const auto layout = ReadLayout(file);
  if (!layout) return std::nullopt;
  const auto palette = ReadPalette(file, *layout);

  RgbImage image;
  image.width = layout->width;
  image.height = layout->height;
  image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
  for (int y = 0; y < image.height; ++y) {
    const int stored = layout->topDown ? y : image.height - 1 - y;
    const std::uint8_t* row = file.data() + layout->pixelOffset + layout->stride * stored;
    DecodeRow(row, *layout, palette,
              image.pixels.data() + static_cast<std::size_t>(y) * image.width);
  }
  return image;
}

}  // namespace slk::platform
