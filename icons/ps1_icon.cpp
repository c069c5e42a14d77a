#include "icons/ps1_icon.h"

#include <algorithm>
#include <array>

#include "platform/bytes.h"

namespace slk {

namespace {

constexpr int kIconSide = 16;
constexpr int kBlock = 4;
constexpr int kCellSide = 64;

void DrawFrame(const std::uint8_t* bitmap, const std::array<ConsoleColour, 16>& palette,
               std::uint32_t frame, IconImage& image) {
  const int cellX = static_cast<int>(frame % 2) * kCellSide;
  const int cellY = static_cast<int>(frame / 2) * kCellSide;
  for (int y = 0; y < kIconSide; ++y) {
    // Texture rows run bottom-up within a cell: the slab's bottom edge
    // carries the cell's first row.
    const int top = cellY + kBlock * (kIconSide - 1 - y);
    for (int x = 0; x < kIconSide; ++x) {
      std::uint8_t pair = bitmap[y * (kIconSide / 2) + x / 2];
      ConsoleColour colour = palette[(x % 2 == 0) ? (pair & 0x0F) : (pair >> 4)];
      for (int dy = 0; dy < kBlock; ++dy) {
        for (int dx = 0; dx < kBlock; ++dx)
          TexelAt(image, cellX + kBlock * x + dx, top + dy) = colour;
      }
    }
  }
}

}  // namespace

std::uint32_t PS1FrameCount(std::uint8_t displayFlag) {
  std::uint32_t count = displayFlag & 0x0F;
  return std::clamp<std::uint32_t>(count, 1, ps1icon::kMaxFrames);
}

std::optional<std::uint32_t> DecodePS1Image(std::span<const std::uint8_t> bytes, IconImage& image) {
  auto flag = platform::ReadU8(bytes, ps1icon::kFlagOffset);
  if (!flag) return std::nullopt;
  const std::uint32_t frames = PS1FrameCount(*flag);
  if (!platform::InBounds(bytes, ps1icon::kBitmapOffset, ps1icon::kBitmapSize * frames))
    return std::nullopt;

  std::array<ConsoleColour, 16> palette{};
  for (std::size_t i = 0; i < palette.size(); ++i)
    palette[i] = platform::GetU16LE(bytes.data() + ps1icon::kPaletteOffset + 2 * i);

  image.fill(ps1icon::kFillColour);
  for (std::uint32_t f = 0; f < frames; ++f)
    DrawFrame(bytes.data() + ps1icon::kBitmapOffset + ps1icon::kBitmapSize * f, palette, f, image);
  return frames;
}

}  // namespace slk
