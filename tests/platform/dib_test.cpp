#include "platform/dib.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/bytes.h"

namespace slk::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Builds a BMP file field by field, so that each test can state exactly the
// header it means and break one field at a time.
struct BmpBuilder {
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::uint16_t planes = 1;
  std::uint16_t bitCount = 24;
  std::uint32_t compression = 0;
  std::uint32_t colorsUsed = 0;
  std::uint32_t infoSize = 40;
  std::vector<std::uint32_t> palette;  // 0x00RRGGBB
  Bytes pixels;                        // the pixel array as stored
  std::int64_t pixelOffsetDelta = 0;   // added to the natural offset

  Bytes Build() const {
    const std::uint32_t pixelOffset =
        static_cast<std::uint32_t>(14 + infoSize + 4 * palette.size() + pixelOffsetDelta);
    Bytes out(14 + infoSize, 0);
    out[0] = 'B';
    out[1] = 'M';
    PutU32LE(&out[2], static_cast<std::uint32_t>(14 + infoSize + 4 * palette.size() +
                                                 pixels.size()));  // file size
    PutU32LE(&out[10], pixelOffset);
    PutU32LE(&out[14], infoSize);
    PutU32LE(&out[18], static_cast<std::uint32_t>(width));
    PutU32LE(&out[22], static_cast<std::uint32_t>(height));
    PutU16LE(&out[26], planes);
    PutU16LE(&out[28], bitCount);
    PutU32LE(&out[30], compression);
    PutU32LE(&out[46], colorsUsed);
    for (std::uint32_t c : palette) {
      out.push_back(static_cast<std::uint8_t>(c));        // blue
      out.push_back(static_cast<std::uint8_t>(c >> 8));   // green
      out.push_back(static_cast<std::uint8_t>(c >> 16));  // red
      out.push_back(0);
    }
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
  }
};

// 3 x 2, 24-bit, bottom-up: rows are 9 bytes + 3 padding.
BmpBuilder TrueColor3x2() {
  BmpBuilder b;
  b.width = 3;
  b.height = 2;
  b.pixels = {// bottom row: blue, green, red (B, G, R triplets), padding
              0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0, 0, 0,
              // top row: white, black, 0x123456
              0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x56, 0x34, 0x12, 0, 0, 0};
  return b;
}

// Every depth and both row orders, pixel for pixel: palettes are stored
// B, G, R; entries past a short palette read as black; 1-bit rows start at
// the most significant bit; the offset field, not the header length, says
// where the pixels start.
TEST(DecodeBmp, EveryDepthAndRowOrderIsPixelExact) {
  BmpBuilder topDown = TrueColor3x2();
  topDown.height = -2;
  BmpBuilder one{.width = 10,
                 .bitCount = 1,
                 .palette = {0x000000, 0xFF0000},
                 .pixels = {0b10110000, 0b01000000, 0, 0}};
  BmpBuilder four{.width = 3,
                  .height = 2,
                  .bitCount = 4,
                  .colorsUsed = 3,
                  .palette = {0x101010, 0x00FFFF, 0xFFFFFF},
                  .pixels = {0x12, 0x00, 0, 0,    // bottom row: 1, 2, 0
                             0x0F, 0x10, 0, 0}};  // top row: 0, 15 (beyond the palette), 1
  BmpBuilder eight{.width = 2,
                   .bitCount = 8,
                   .colorsUsed = 2,
                   .palette = {0xABCDEF, 0x010203},
                   .pixels = {1, 0, 0, 0}};
  BmpBuilder full{
      .bitCount = 32, .palette = {}, .pixels = {0x33, 0x22, 0x11, 0xFF}};  // B, G, R, unused
  BmpBuilder longer = TrueColor3x2();
  longer.infoSize = 124;
  BmpBuilder gap = TrueColor3x2();
  gap.pixelOffsetDelta = 2;
  Bytes gapFile = gap.Build();
  gapFile.insert(gapFile.begin() + 54, {0xEE, 0xEE});

  const std::uint32_t R = 0xFF0000;
  const std::vector<std::uint32_t> threeByTwo = {0xFFFFFF, 0x000000, 0x123456,
                                                 0x0000FF, 0x00FF00, 0xFF0000};
  const struct {
    const char* what;
    Bytes file;
    std::vector<std::uint32_t> pixels;
  } cases[] = {
      {"24-bit bottom-up", TrueColor3x2().Build(), threeByTwo},
      {"top-down", topDown.Build(), {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 0, 0x123456}},
      {"1-bit", one.Build(), {R, 0, R, R, 0, 0, 0, 0, 0, R}},
      {"4-bit", four.Build(), {0x101010, 0, 0x00FFFF, 0x00FFFF, 0xFFFFFF, 0x101010}},
      {"8-bit", eight.Build(), {0x010203, 0xABCDEF}},
      {"32-bit", full.Build(), {0x112233}},
      {"124-byte header", longer.Build(), threeByTwo},
      {"gap before the pixels", gapFile, threeByTwo},
  };
  for (const auto& c : cases) {
    const auto image = DecodeBmp(c.file);
    ASSERT_TRUE(image) << c.what;
    EXPECT_EQ(image->pixels, c.pixels) << c.what;
    EXPECT_EQ(image->pixels.size(), static_cast<std::size_t>(image->width) * image->height);
  }
  EXPECT_EQ(DecodeBmp(topDown.Build())->height, 2);
}

TEST(DecodeBmp, EveryTruncationIsRefused) {
  for (const BmpBuilder& b : {TrueColor3x2(), [] {
                                BmpBuilder p;
                                p.width = 5;
                                p.bitCount = 4;
                                p.palette.assign(16, 0x808080);
                                p.pixels = {0x01, 0x23, 0x40, 0x00};
                                return p;
                              }()}) {
    const Bytes file = b.Build();
    ASSERT_TRUE(DecodeBmp(file));
    for (std::size_t n = 0; n < file.size(); ++n) {
      EXPECT_FALSE(DecodeBmp(std::span(file).first(n))) << "length " << n;
    }
  }
}

TEST(DecodeBmp, AbsurdHeadersAreRefused) {
  const auto refused = [](auto change) {
    BmpBuilder b = TrueColor3x2();
    change(b);
    return !DecodeBmp(b.Build()).has_value();
  };
  EXPECT_TRUE(refused([](BmpBuilder& b) { b.width = 0; }));
  EXPECT_TRUE(refused([](BmpBuilder& b) { b.width = -3; }));
  EXPECT_TRUE(refused([](BmpBuilder& b) { b.height = 0; }));
  EXPECT_TRUE(refused([](BmpBuilder& b) { b.height = INT32_MIN; }));
  EXPECT_TRUE(refused([](BmpBuilder& b) { b.width = 0x7FFFFFFF; }));
  EXPECT_TRUE(refused([](BmpBuilder& b) {
    b.width = 30000;  // within the size limits, but no such pixel array
    b.height = 30000;
  }));
  EXPECT_TRUE(refused([](BmpBuilder& b) { b.planes = 2; }));
  EXPECT_TRUE(refused([](BmpBuilder& b) { b.bitCount = 16; }));
  EXPECT_TRUE(refused([](BmpBuilder& b) { b.bitCount = 2; }));
  EXPECT_TRUE(refused([](BmpBuilder& b) { b.compression = 1; }));  // RLE8
  EXPECT_TRUE(refused([](BmpBuilder& b) { b.pixelOffsetDelta = 1; }));
  EXPECT_TRUE(refused([](BmpBuilder& b) { b.pixelOffsetDelta = 0xFFFFFFF; }));
  EXPECT_TRUE(refused([](BmpBuilder& b) {
    b.bitCount = 8;
    b.colorsUsed = 257;
  }));
  EXPECT_TRUE(refused([](BmpBuilder& b) {
    b.bitCount = 1;
    b.colorsUsed = 0x40000000;
  }));

  // Header sizes other than the 40-byte header and its successors.
  for (std::uint32_t infoSize : {0u, 12u, 39u, 125u, 0xFFFFFFF0u}) {
    Bytes file = TrueColor3x2().Build();
    PutU32LE(&file[14], infoSize);
    EXPECT_FALSE(DecodeBmp(file)) << infoSize;
  }

  Bytes wrongMagic = TrueColor3x2().Build();
  wrongMagic[1] = 'A';
  EXPECT_FALSE(DecodeBmp(wrongMagic));
}

}  // namespace
}  // namespace slk::platform
