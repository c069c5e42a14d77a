#include "resources/bitmaps.h"

#include <gtest/gtest.h>

#include "platform/dib.h"

namespace slk::res {
namespace {

platform::RgbImage Decode(int id) {
  const auto image = platform::DecodeBmp(BitmapResource(id));
  EXPECT_TRUE(image) << id;
  return image.value_or(platform::RgbImage{});
}

std::uint32_t At(const platform::RgbImage& image, int x, int y) {
  return image.pixels.at(static_cast<std::size_t>(y) * image.width + x);
}

// Other code cuts these rectangles out of the sheets; black is transparent
// in the keyed ones.
TEST(Bitmaps, LayoutProbes) {
  const auto backdrop = Decode(BitmapId::Backdrop);
  EXPECT_EQ(backdrop.width, 512);
  EXPECT_EQ(backdrop.height, 312);
  EXPECT_EQ(At(backdrop, 243, 100), 0u);  // inside the Left button column
  EXPECT_EQ(At(backdrop, 499, 100), 0u);  // inside the Right one
  EXPECT_GT(At(backdrop, 256, 156) & 0xFF, At(backdrop, 0, 0) & 0xFF);  // light centre
  EXPECT_NE(At(backdrop, 243, 37), 0u);                                 // end cap

  const auto ball = Decode(BitmapId::MarkerBall);
  EXPECT_EQ(At(ball, 0, 0), 0u);
  EXPECT_NE(At(ball, 8, 8), 0u);

  const auto arrows = Decode(BitmapId::MoreArrows);
  EXPECT_EQ(At(arrows, 0, 0), 0u);
  EXPECT_NE(At(arrows, 7, 8), 0u);   // up triangle
  EXPECT_NE(At(arrows, 23, 8), 0u);  // down triangle

  // Action buttons are blitted without a key: no transparent black at all.
  const auto buttons = Decode(BitmapId::ActionButtonSheet);
  for (std::uint32_t p : buttons.pixels) ASSERT_NE(p, 0u);

  const auto digits = Decode(BitmapId::DigitFont);
  for (int d = 0; d < 10; ++d) {
    int ink = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 14 * d; x < 14 * d + 14; ++x) ink += At(digits, x, y) == 0xFFFFFFu;
    }
    EXPECT_GT(ink, 10) << d;
  }

  const auto banner = Decode(BitmapId::BusyBanner);
  for (std::uint32_t p : banner.pixels) ASSERT_TRUE(p == 0u || (p >> 16) == 0xFF) << std::hex << p;
}

}  // namespace
}  // namespace slk::res
