#include "shell/shown_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace slk {
namespace {

// A new frame differs from the one shown in a few pixels: the rectangles
// cover exactly the runs of changed rows, as wide as their changes, and the
// frame shown is the new one afterwards.
TEST(ShownFrameTest, RepaintsOnlyTheRowsAndColumnsThatChanged) {
  constexpr int kWidth = 16, kHeight = 10;
  struct Pixel {
    int x, y;
  };
  const struct {
    std::vector<Pixel> changed;
    std::vector<FrameRect> rects;
  } cases[] = {
      {{}, {}},
      {{{0, 0}}, {{0, 0, 1, 1}}},
      {{{15, 9}, {3, 9}}, {{3, 9, 16, 10}}},
      {{{5, 2}, {7, 3}, {2, 4}, {9, 7}}, {{2, 2, 8, 5}, {9, 7, 10, 8}}},
  };
  ShownFrame frame(kWidth, kHeight);
  std::vector<std::uint32_t> expected(kWidth * kHeight, 0);
  std::uint32_t colour = 1;
  for (const auto& c : cases) {
    std::copy(expected.begin(), expected.end(), frame.Incoming().begin());
    for (Pixel p : c.changed) {
      frame.Incoming()[p.y * kWidth + p.x] = colour;
      expected[p.y * kWidth + p.x] = colour++;
    }
    EXPECT_EQ(frame.TakeIncoming(), c.rects);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), frame.Pixels().begin()));
  }
}

}  // namespace
}  // namespace slk
