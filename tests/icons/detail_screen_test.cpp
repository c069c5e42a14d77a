// The detail screen: its gradient, texts, numbers, snapshot, viewport and
// the model it leaves for the rendering thread.

#include "icons/detail_screen.h"

#include <gtest/gtest.h>

#include "display/frame_counters.h"
#include "display/text_drawing.h"
#include "icon_fixture.h"

namespace slk::testing {
namespace {

class DetailTest : public IconTest {
 protected:
  void SetUp() override {
    IconTest::SetUp();
    texts.ps2SaveData = "- PS2 SaveData -";
    texts.ps1SaveData = "- PS1 SaveData -";
    texts.upData = "UpData";
    texts.size = "Size";
    // No font: the texts are left out, the numbers and glyphs drawn.
    drawing = std::make_unique<TextDrawing>(engine, nullptr);
    pipeline->SetDetailContext(drawing.get(), &texts, &counters);
    engine.ComposeSurface()->Blt(std::nullopt, nullptr, std::nullopt, gfx::blt::kColorFill, 0);
  }

  std::uint32_t AddPS2Save(std::uint32_t size) {
    std::uint32_t i = AddSave(kLeft, TexturedTriangle(2).Build(), false, size);
    ws.At(kLeft).entries[i].backgroundColours = {0xD0102030, 0xD0405060, 0xD0708090, 0xD0A0B0C0};
    return i;
  }

  // Every lit pixel of the digit's glyph shows at (x, y).
  bool ShowsGlyph(int x, int y, const gfx::Rect& glyph) const {
    const gfx::Surface& target = *engine.RenderTarget();
    const gfx::Surface& font = *engine.DigitFont();
    int lit = 0;
    for (int dy = 0; dy < glyph.Height(); ++dy) {
      for (int dx = 0; dx < glyph.Width(); ++dx) {
        std::uint32_t f = font.PixelAt(glyph.left + dx, glyph.top + dy);
        if (f == 0) continue;
        ++lit;
        if (target.PixelAt(x + dx, y + dy) != f) return false;
      }
    }
    return lit > 0;
  }
  bool ShowsDigits(int rightX, int y, const std::string& digits) const {
    const int n = static_cast<int>(digits.size());
    for (int i = 0; i < n; ++i) {
      if (!ShowsGlyph(rightX - 14 * n + 14 * i, y, DigitGlyph(digits[i] - '0'))) return false;
    }
    return true;
  }
  gfx::Color Colour(int x, int y) const {
    const gfx::Surface& s = *engine.RenderTarget();
    return gfx::FormatCodec(s.Format()).Unpack(s.PixelAt(x, y)) & 0xFFFFFF;
  }

  ListTexts texts;
  std::unique_ptr<TextDrawing> drawing;
  FrameCounters counters;
};

TEST_F(DetailTest, PS1SaveShowsItsCaptionOverABlueGradientThatDarkensDownwards) {
  PS1Icon icon;
  std::uint32_t i = AddSave(kLeft, icon.Build(), true);
  ws.ReadPS1Title(kLeft, ws.At(kLeft).entries[i].offset, ws.At(kLeft).entries[i]);
  const SaveEntry& e = ws.At(kLeft).entries[i];
  EXPECT_EQ(e.backgroundColours[0], 0xC0000080u);
  EXPECT_EQ(e.backgroundColours[3], 0xC0000020u);
  EXPECT_EQ(std::string(DetailCaption(e, texts).begin(), DetailCaption(e, texts).end()),
            "- PS1 SaveData -");

  pipeline->BuildDetailScreen(kLeft, i);
  // Three quarters of the gradient over the black list: blue 0x80 x 0.75
  // at the top, 0x20 x 0.75 at the bottom.
  gfx::Color top = Colour(256, 1), bottom = Colour(256, 310);
  EXPECT_NEAR(static_cast<int>(top & 0xFF), 0x60, 4);  // 5-bit blue
  EXPECT_NEAR(static_cast<int>(bottom & 0xFF), 0x18, 4);
  EXPECT_EQ(top & 0xFFFF00, 0u);

  // Captions are cut to the length of the PS2 one.
  std::uint32_t k = AddPS2Save(100);
  auto caption = DetailCaption(ws.At(kLeft).entries[k], texts);
  EXPECT_EQ(std::string(caption.begin(), caption.end()), "- PS2 SaveData -");
  texts.ps1SaveData = "- PS1 SaveData -  longer";
  caption = DetailCaption(ws.At(kLeft).entries[i], texts);
  EXPECT_EQ(std::string(caption.begin(), caption.end()), "- PS1 SaveData -");
}

TEST_F(DetailTest, SizeInWholeKilobytesAndDateAndTimeWithTheirLeadingZeros) {
  std::uint32_t a = AddPS2Save(8192);
  ws.At(kLeft).entries[a].time.bytes = {0, 9, 7, 5, 24, 10, 2001 & 0xFF, 2001 >> 8};
  pipeline->BuildDetailScreen(kLeft, a);
  EXPECT_TRUE(ShowsDigits(468, 155, "8"));
  EXPECT_TRUE(ShowsGlyph(468, 155, kKiloByteGlyph));
  const struct {
    int x, y;
    const char* digits;
  } shown[] = {{416, 111, "2001"}, {456, 111, "10"}, {496, 111, "24"},
               {416, 133, "05"},   {456, 133, "07"}, {496, 133, "09"}};
  for (const auto& d : shown) EXPECT_TRUE(ShowsDigits(d.x, d.y, d.digits)) << d.digits;
  for (int x : {416, 456}) {
    EXPECT_TRUE(ShowsGlyph(x, 111, kSlashGlyph));
    EXPECT_TRUE(ShowsGlyph(x, 133, kColonGlyph));
  }

  std::uint32_t b = AddPS2Save(8191);
  pipeline->BuildDetailScreen(kLeft, b);
  EXPECT_TRUE(ShowsDigits(468, 155, "7"));
  EXPECT_FALSE(ShowsDigits(468, 155, "8"));
}

TEST_F(DetailTest, LeavesSnapshotViewportModelAndAnUnturnedFirstFrame) {
  std::uint32_t i = AddPS2Save(8192);
  counters.spinAngle = 200;
  counters.modelFrame = 5;
  EXPECT_EQ(pipeline->BuildDetailScreen(kLeft, i), 1u);
  EXPECT_EQ(counters.spinAngle, 0u);
  EXPECT_EQ(counters.modelFrame, 0u);
  EXPECT_EQ(ws.Icon().meshCount, 8u);
  EXPECT_EQ(engine.Device()->GetTexture(), engine.IconTexture());
  gfx::Viewport v;
  engine.Device()->GetViewport(v);
  EXPECT_EQ((std::array<std::uint32_t, 4>{v.x, v.y, v.width, v.height}), kDetailModelViewport);

  const gfx::Surface& target = *engine.RenderTarget();
  const gfx::Surface& snapshot = *engine.ComposeSurface();
  for (int y = 0; y < 312; y += 7) {
    for (int x = 0; x < 512; x += 5) ASSERT_EQ(snapshot.PixelAt(x, y), target.PixelAt(x, y));
  }
  // The marker balls sit in the corners.
  const gfx::Surface& ball = *engine.MarkerBall();
  for (const gfx::Point& at : kDetailCornerBalls)
    EXPECT_EQ(target.PixelAt(at.x + 8, at.y + 8), ball.PixelAt(8, 8));

  // An icon that cannot be built shows the standard icon.
  WriteStandardIcon(TexturedTriangle(3).Build());
  EXPECT_EQ(pipeline->BuildDetailScreen(kLeft, AddSave(kLeft, Bytes(40, 0xFF), false)), 0u);
  EXPECT_EQ(ws.Icon().meshCount, 12u);
}

}  // namespace
}  // namespace slk::testing
