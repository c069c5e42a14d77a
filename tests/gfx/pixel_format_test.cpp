#include "gfx/pixel_format.h"

#include <gtest/gtest.h>

namespace slk::gfx {
namespace {

TEST(PixelFormat, ChannelBitsOfMasks) {
  const std::uint32_t cases[][3] = {{0xF800, 11, 5},     {0x07E0, 5, 6},      {0, 32, 0},
                                    {0xFF000000, 24, 8}, {0xFFFFFFFF, 0, 32}, {0x80000000, 31, 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(ChannelBitsOf(c[0]).shift, c[1]) << std::hex << c[0];
    EXPECT_EQ(ChannelBitsOf(c[0]).width, c[2]) << std::hex << c[0];
  }
}

TEST(PixelFormat, PacksTheTopBitsOfEachChannel) {
  const Color c = 0xFF123456;
  EXPECT_EQ(FormatCodec(PixelFormat::Rgb565()).Pack(c),
            (0x12u >> 3) << 11 | (0x34u >> 2) << 5 | (0x56u >> 3));
  EXPECT_EQ(FormatCodec(PixelFormat::Xrgb1555()).Pack(c),
            (0x12u >> 3) << 10 | (0x34u >> 3) << 5 | (0x56u >> 3));
  EXPECT_EQ(FormatCodec(PixelFormat::Argb1555()).Pack(c),
            0x8000u | (0x12u >> 3) << 10 | (0x34u >> 3) << 5 | (0x56u >> 3));
  EXPECT_EQ(FormatCodec(PixelFormat::Argb4444()).Pack(c), 0xF135u);
  EXPECT_EQ(FormatCodec(PixelFormat::Rgb888()).Pack(c), 0x123456u);
  EXPECT_EQ(FormatCodec(PixelFormat::Xrgb8888()).Pack(c), 0x123456u);
  EXPECT_EQ(FormatCodec(PixelFormat::Argb8888()).Pack(c), 0xFF123456u);
}

TEST(PixelFormat, UnpackReplicatesBitsAndReadsMissingAlphaAsOpaque) {
  FormatCodec c565(PixelFormat::Rgb565());
  EXPECT_EQ(c565.Unpack(0xFFFF), 0xFFFFFFFFu);
  EXPECT_EQ(c565.Unpack(0x0000), 0xFF000000u);
  EXPECT_EQ(c565.Unpack(0xF800), 0xFFFF0000u);
  // 5 bits 10000 -> 10000100, 6 bits 100000 -> 10000010.
  EXPECT_EQ(c565.Unpack(0x8410), 0xFF848284u);
  FormatCodec c4444(PixelFormat::Argb4444());
  EXPECT_EQ(c4444.Unpack(0x7A5F), 0x77AA55FFu);
  FormatCodec c1555(PixelFormat::Argb1555());
  EXPECT_EQ(c1555.Unpack(0x7FFF) >> 24, 0u);
  EXPECT_EQ(c1555.Unpack(0xFFFF) >> 24, 0xFFu);
}

TEST(PixelFormat, EveryDrawableFormatRoundTripsItsOwnValues) {
  for (const PixelFormat& f :
       {PixelFormat::Rgb565(), PixelFormat::Xrgb1555(), PixelFormat::Argb1555(),
        PixelFormat::Argb4444(), PixelFormat::Rgb888(), PixelFormat::Xrgb8888(),
        PixelFormat::Argb8888()}) {
    FormatCodec codec(f);
    std::uint32_t all = f.redMask | f.greenMask | f.blueMask | f.alphaMask;
    for (std::uint32_t v : {0u, all, 0x5555u & all, 0xAAAAAAAAu & all, 0x00F0F0F0u & all}) {
      EXPECT_EQ(codec.Pack(codec.Unpack(v)), v) << "format bits " << f.bitCount;
    }
  }
}

TEST(PixelFormat, DesktopFormatsByDepth) {
  EXPECT_EQ(PixelFormat::ForDesktopBits(8).bitCount, 8u);
  EXPECT_NE(PixelFormat::ForDesktopBits(8).flags & pf::kPaletteIndexed8, 0u);
  EXPECT_EQ(PixelFormat::ForDesktopBits(16), PixelFormat::Rgb565());
  EXPECT_EQ(PixelFormat::ForDesktopBits(24), PixelFormat::Rgb888());
  EXPECT_EQ(PixelFormat::ForDesktopBits(32), PixelFormat::Xrgb8888());
}

}  // namespace
}  // namespace slk::gfx
