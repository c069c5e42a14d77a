#include "platform/text.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string_view>
#include <thread>
#include <vector>

namespace slk::platform {
namespace {

std::span<const std::uint8_t> Sjis(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// A surface in memory with a guard band around it, so that a write outside
// the target shows up even without AddressSanitizer.
class Surface {
 public:
  Surface(int width, int height, int bytesPerPixel, std::uint32_t r, std::uint32_t g,
          std::uint32_t b)
      : pitch_(width * bytesPerPixel + kGuard * 2),
        memory_(static_cast<std::size_t>(pitch_ * (height + 2)), kFill) {
    target_ = {memory_.data() + pitch_ + kGuard, width, height, pitch_, bytesPerPixel, r, g, b};
  }
  static Surface Rgb32(int w, int h) { return Surface(w, h, 4, 0xFF0000, 0x00FF00, 0x0000FF); }
  static Surface Rgb565(int w, int h) { return Surface(w, h, 2, 0xF800, 0x07E0, 0x001F); }

  PixelTarget& Target() { return target_; }
  std::uint32_t At(int x, int y) const {
    const std::uint8_t* p = target_.pixels + y * pitch_ + x * target_.bytesPerPixel;
    std::uint32_t v = 0;
    for (int i = 0; i < target_.bytesPerPixel; ++i) v |= std::uint32_t{p[i]} << (8 * i);
    return v;
  }
  bool GuardIntact() const {
    int rowBytes = target_.width * target_.bytesPerPixel;
    for (int row = 0; row < target_.height + 2; ++row) {
      for (int i = 0; i < pitch_; ++i) {
        bool inside = row >= 1 && row <= target_.height && i >= kGuard && i < kGuard + rowBytes;
        if (!inside && memory_[static_cast<std::size_t>(row * pitch_ + i)] != kFill) return false;
      }
    }
    return true;
  }

 private:
  static constexpr int kGuard = 8;
  static constexpr std::uint8_t kFill = 0xA5;
  int pitch_;
  std::vector<std::uint8_t> memory_;
  PixelTarget target_;
};

class Text : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    renderer_ = TextRenderer::Create(&error).release();
    if (renderer_ == nullptr) message_ = error;
  }
  static void TearDownTestSuite() {
    delete renderer_;
    renderer_ = nullptr;
  }
  void SetUp() override {
    if (renderer_ == nullptr) GTEST_SKIP() << message_;
  }
  static const TextRenderer& R() { return *renderer_; }

  static TextRenderer* renderer_;
  static std::string message_;
};
TextRenderer* Text::renderer_ = nullptr;
std::string Text::message_;

TEST_F(Text, HalfAndFullWidthCharactersOnOneLineHeight) {
  EXPECT_EQ(R().LineHeight(), 16);
  EXPECT_EQ(R().Measure({}).width, 0);
  EXPECT_EQ(R().Measure({}).height, 16);
  EXPECT_EQ(R().Measure(Sjis("<No File>")).width, 9 * 8);
  // "ＰＳ１メモリーカード": ten full-width characters.
  EXPECT_EQ(R().Measure(Sjis("\x82\x6F\x82\x72\x82\x50\x83\x81\x83\x82\x83\x8A\x81\x5B\x83"
                             "\x4A\x81\x5B\x83\x68"))
                .width,
            10 * 16);
  EXPECT_EQ(R().Measure(Sjis("ab\0cd")).width, R().Measure(Sjis("ab")).width);
  EXPECT_EQ(R().Measure(Sjis("\x85\x40")).width, R().Measure(Sjis("?")).width);
}

TEST_F(Text, DrawsOnlyTheColourOnBlackInsideTheCell) {
  Surface surface = Surface::Rgb32(120, 22);
  const auto text = Sjis("Size \x83\x54\x83\x43\x83\x59");  // "Size サイズ"
  TextExtent extent = R().Draw(surface.Target(), 3, 2, text, 0, 255, 255);
  EXPECT_EQ(extent.width, R().Measure(text).width);
  std::set<std::uint32_t> inCell;
  int ink = 0;
  for (int y = 0; y < 22; ++y) {
    for (int x = 0; x < 120; ++x) {
      bool cell = x >= 3 && x < 3 + extent.width && y >= 2 && y < 2 + extent.height;
      std::uint32_t v = surface.At(x, y);
      if (!cell) {
        ASSERT_EQ(v, 0xA5A5A5A5u) << "outside the cell at " << x << "," << y;
        continue;
      }
      inCell.insert(v);
      ink += v != 0 ? 1 : 0;
    }
  }
  EXPECT_EQ(inCell, (std::set<std::uint32_t>{0x000000, 0x00FFFF}));  // no anti-aliasing
  EXPECT_GT(ink, 40);
  EXPECT_TRUE(surface.GuardIntact());
}

TEST_F(Text, ClipsAtEveryEdge) {
  const auto text = Sjis("Wg\x8A\xBF\x8E\x9A|");
  const int w = R().Measure(text).width;
  const int positions[][2] = {
      {-5, -5}, {-w + 1, 0}, {-w, 0},      {0, -15},           {0, -16},        {4, 1}, {-1000, -9},
      {7, 9},   {3, 3},      {INT_MIN, 0}, {INT_MAX, INT_MAX}, {-20000, 20000}, {5, -3}};
  for (auto [x, y] : positions) {
    Surface surface = Surface::Rgb32(8, 6);
    R().Draw(surface.Target(), x, y, text, 255, 255, 255);
    EXPECT_TRUE(surface.GuardIntact()) << x << "," << y;
    for (int py = 0; py < 6; ++py) {
      for (int px = 0; px < 8; ++px) {
        bool cell = std::int64_t{px} >= x && std::int64_t{px} < std::int64_t{x} + w &&
                    std::int64_t{py} >= y && std::int64_t{py} < std::int64_t{y} + 16;
        std::uint32_t v = surface.At(px, py);
        if (cell) {
          EXPECT_TRUE(v == 0 || v == 0xFFFFFF) << px << "," << py;
        } else {
          EXPECT_EQ(v, 0xA5A5A5A5u) << px << "," << py << " drawing at " << x << "," << y;
        }
      }
    }
  }
  PixelTarget nothing;
  EXPECT_EQ(R().Draw(nothing, 0, 0, text, 1, 2, 3).width, w);
}

TEST_F(Text, DarkColoursNeverBecomeTheColourKey) {
  Surface surface = Surface::Rgb565(40, 16);
  R().Draw(surface.Target(), 0, 0, Sjis("AB"), 0, 0, 1);
  std::set<std::uint32_t> values;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) values.insert(surface.At(x, y));
  }
  EXPECT_EQ(values, (std::set<std::uint32_t>{0x0000, 0x0001}));
  EXPECT_EQ(TextPixelValue(surface.Target(), 255, 0, 0), 0xF800u);
  EXPECT_EQ(TextPixelValue(surface.Target(), 128, 128, 0), 0x8400u);
  PixelTarget bgr;
  bgr.bytesPerPixel = 4;
  bgr.redMask = 0x0000FF;
  bgr.greenMask = 0x00FF00;
  bgr.blueMask = 0xFF0000;
  EXPECT_EQ(TextPixelValue(bgr, 255, 0, 1), 0x0100FFu);
  EXPECT_EQ(TextPixelValue(bgr, 0, 0, 0), 0x000001u);
}

TEST_F(Text, TwentyFourBitTargetsAndBottomUpRows) {
  Surface surface(24, 18, 3, 0xFF0000, 0x00FF00, 0x0000FF);
  PixelTarget flipped = surface.Target();
  flipped.pixels += (flipped.height - 1) * flipped.pitch;
  flipped.pitch = -flipped.pitch;
  R().Draw(flipped, 0, 0, Sjis("T"), 255, 0, 0);
  // The top of the text lies in the last row of memory.
  EXPECT_EQ(surface.At(0, 17), 0u);
  bool red = false;
  for (int y = 0; y < 18; ++y) {
    for (int x = 0; x < 8; ++x) red |= surface.At(x, y) == 0xFF0000;
  }
  EXPECT_TRUE(red);
  EXPECT_TRUE(surface.GuardIntact());
}

// The rendering thread and the user-interface thread share one renderer; its
// glyph cache fills from both (run under ThreadSanitizer too).
TEST_F(Text, TwoThreadsDrawTheSameAsOne) {
  static constexpr std::string_view texts[] = {"Slotkeeper 2", "\x8A\xBF\x8E\x9A 123",
                                               "<New File>"};
  auto drawAll = [](std::vector<std::uint32_t>* sums) {
    for (int round = 0; round < 30; ++round) {
      for (std::string_view text : texts) {
        Surface surface = Surface::Rgb32(120, 16);
        R().Draw(surface.Target(), round % 5, 0, Sjis(text), 255, 255, 255);
        std::uint32_t sum = 0;
        for (int y = 0; y < 16; ++y) {
          for (int x = 0; x < 120; ++x) sum = sum * 31 + surface.At(x, y);
        }
        sums->push_back(sum);
      }
    }
  };
  std::vector<std::uint32_t> a, b, reference;
  {
    std::thread other(drawAll, &a);
    drawAll(&b);
    other.join();
  }
  drawAll(&reference);
  EXPECT_EQ(a, reference);
  EXPECT_EQ(b, reference);
}

TEST(TextRenderer, MissingFontGivesAMessageWithTheInstallCommand) {
  std::string error;
  EXPECT_EQ(TextRenderer::CreateFromFile("/nonexistent/font.ttf", &error), nullptr);
  EXPECT_NE(error.find("/nonexistent/font.ttf"), std::string::npos);
  EXPECT_NE(error.find("apt-get install fonts-ipafont-gothic"), std::string::npos);
  error.clear();
  EXPECT_EQ(TextRenderer::CreateFromFile(SLOTKEEPER_SOURCE_DIR "/platform/text.h", &error),
            nullptr);
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace slk::platform
