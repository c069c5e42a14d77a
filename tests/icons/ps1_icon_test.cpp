// The PS1 decoder, the slab it is shown on and the colour packing into the
// texture's format.

#include "icons/ps1_icon.h"

#include <gtest/gtest.h>

#include "icon_builders.h"
#include "icons/pack_color.h"
#include "icons/slab.h"

namespace slk::testing {
namespace {

constexpr std::uint16_t kGrey = 0x18C6;

// Every texel of a 64 x 64 cell, one value when they all agree.
std::optional<std::uint16_t> CellColour(const IconImage& image, int cell) {
  const int x0 = (cell % 2) * 64, y0 = (cell / 2) * 64;
  std::uint16_t first = TexelAt(image, x0, y0);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      if (TexelAt(image, x0 + x, y0 + y) != first) return std::nullopt;
    }
  }
  return first;
}

TEST(PS1Icon, FlagGivesFrameCountAndCellsOutsideTheFramesStayGrey) {
  PS1Icon icon;
  icon.palette = {0x001F, 0x03E0, 0x7C00, 0x7FFF};
  for (int f = 0; f < 4; ++f) icon.FillFrame(f, static_cast<std::uint8_t>(f));
  IconImage image{};

  icon.flag = 0x11;
  ASSERT_EQ(DecodePS1Image(icon.Build(), image), 1u);
  EXPECT_EQ(CellColour(image, 0), 0x001F);
  EXPECT_EQ(CellColour(image, 1), kGrey);
  EXPECT_EQ(CellColour(image, 2), kGrey);
  EXPECT_EQ(CellColour(image, 3), kGrey);

  icon.flag = 0x13;
  ASSERT_EQ(DecodePS1Image(icon.Build(), image), 3u);
  EXPECT_EQ(CellColour(image, 0), 0x001F);
  EXPECT_EQ(CellColour(image, 1), 0x03E0);
  EXPECT_EQ(CellColour(image, 2), 0x7C00);
  EXPECT_EQ(CellColour(image, 3), kGrey);

  icon.flag = 0x14;
  ASSERT_EQ(DecodePS1Image(icon.Build(), image), 4u);
  EXPECT_EQ(CellColour(image, 3), 0x7FFF);
  // Counts outside one to four are limited.
  for (auto [flag, frames] : {std::pair{0x10, 1u}, {0x00, 1u}, {0x15, 4u}, {0x1F, 4u}})
    EXPECT_EQ(PS1FrameCount(static_cast<std::uint8_t>(flag)), frames) << flag;
}

TEST(PS1Icon, PaletteEntryZeroIsAnOrdinaryColourAndBit15IsKept) {
  PS1Icon icon;
  icon.palette[0] = 0x0000;  // black, not a hole
  icon.palette[1] = 0x8000 | 0x1234;
  icon.FillFrame(0, 0);
  icon.SetPixel(0, 5, 5, 1);
  IconImage image{};
  ASSERT_EQ(DecodePS1Image(icon.Build(), image), 1u);
  EXPECT_EQ(TexelAt(image, 0, 0), 0x0000);
  // The texel holds the word as it stands; the packing ignores bit 15.
  EXPECT_EQ(TexelAt(image, 20, 4 * (15 - 5)), 0x9234);
}

TEST(PS1Icon, TopRowIsStoredLastSoItShowsAtTheTopOfTheSlab) {
  PS1Icon icon;
  icon.palette = {0x0000, 0x001F, 0x03E0};
  icon.FillFrame(0, 0);
  for (int x = 0; x < 16; ++x) {
    icon.SetPixel(0, x, 0, 1);   // top row red
    icon.SetPixel(0, x, 15, 2);  // bottom row green
  }
  icon.SetPixel(0, 0, 7, 1);  // left pixel of a pair: the low nibble
  icon.SetPixel(0, 1, 7, 2);
  IconImage image{};
  ASSERT_TRUE(DecodePS1Image(icon.Build(), image));
  for (int r = 0; r < 4; ++r) {
    EXPECT_EQ(TexelAt(image, 10, r), 0x03E0) << r;       // texture rows 0-3: icon row 15
    EXPECT_EQ(TexelAt(image, 10, 60 + r), 0x001F) << r;  // rows 60-63: icon row 0
  }
  EXPECT_EQ(TexelAt(image, 3, 4 * 8), 0x001F);  // icon row 7 at cell rows 32-35
  EXPECT_EQ(TexelAt(image, 4, 4 * 8 + 3), 0x03E0);

  CurrentIcon slab;
  BuildSlab(slab);
  SetSlabFrame(slab, 0);
  // The slab's bottom edge (y = -0.8) carries vT, the cell's first rows.
  EXPECT_FLOAT_EQ(slab.slab[0].y, -0.8f);
  EXPECT_FLOAT_EQ(slab.slab[0].v, 0.0f);
  EXPECT_FLOAT_EQ(slab.slab[5].y, 0.8f);
  EXPECT_FLOAT_EQ(slab.slab[5].v, 0.5f);
  SetSlabFrame(slab, 3);
  EXPECT_FLOAT_EQ(slab.slab[0].u, 0.5f);
  EXPECT_FLOAT_EQ(slab.slab[0].v, 0.5f);
  EXPECT_FLOAT_EQ(slab.slab[12].u, 0.75f) << "the edges show the grey cell";
}

TEST(PS1Icon, IconBytesShorterThanTheirFramesBuildNothing) {
  PS1Icon icon;
  icon.flag = 0x13;
  const Bytes full = icon.Build(0x80 + 3 * 128);
  IconImage image{};
  EXPECT_TRUE(DecodePS1Image(full, image));
  for (std::size_t n = 0; n < full.size(); ++n) {
    Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_FALSE(DecodePS1Image(cut, image)) << n;
  }
}

PixelLayout LayoutOf(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  PixelLayout layout;
  layout.textureRed = ChannelMaskOf(red);
  layout.textureGreen = ChannelMaskOf(green);
  layout.textureBlue = ChannelMaskOf(blue);
  return layout;
}

TEST(PackColor15, FiveBitsLandAtTheTopOfEachChannel) {
  const PixelLayout rgb565 = LayoutOf(0xF800, 0x07E0, 0x001F);
  const PixelLayout rgb888 = LayoutOf(0xFF0000, 0x00FF00, 0x0000FF);
  const PixelLayout argb1555 = LayoutOf(0x7C00, 0x03E0, 0x001F);
  EXPECT_EQ(PackColor15(0x7FFF, rgb565), 0xFFDFu);  // green's lowest bit stays 0
  EXPECT_EQ(PackColor15(0x7FFF, rgb888), 0xF8F8F8u);
  EXPECT_EQ(PackColor15(0x001F, argb1555), 0x7C00u);  // console red into bits 10-14
  EXPECT_EQ(PackColor15(0x7C00, argb1555), 0x001Fu);
  EXPECT_EQ(PackColor15(0x8000 | 0x1234, rgb565), PackColor15(0x1234, rgb565));
  EXPECT_EQ(PackColor15(0x7FFF, LayoutOf(0xF00, 0xF0, 0xF)), 0xFFFu);  // 4-bit channels
}

}  // namespace
}  // namespace slk::testing
