// DecodeIcon, the list pre-render and the detail screen on a real (software)
// display device.

#include <gtest/gtest.h>

#include "display/frame_counters.h"
#include "display/text_drawing.h"
#include "icon_fixture.h"
#include "icons/colour_key.h"
#include "icons/detail_screen.h"
#include "icons/pack_color.h"

namespace slk::testing {
namespace {

PS1Icon TwoFrameIcon() {
  PS1Icon icon;
  icon.flag = 0x12;
  icon.palette = {0x001F, 0x03E0};
  icon.FillFrame(0, 0);
  icon.FillFrame(1, 1);
  return icon;
}

class PipelineTest : public IconTest {
 protected:
  gfx::Color Unpacked(const gfx::Surface& s, int x, int y) const {
    return gfx::FormatCodec(s.Format()).Unpack(s.PixelAt(x, y)) & 0xFFFFFF;
  }
  const gfx::Surface& Cached(Slot s, int cell, int frame) const {
    return *engine.IconFrameCache()[s][cell][frame];
  }
  // Mean x of the pixels that are not the frame's key colour.
  double CentreX(const gfx::Surface& s) const {
    double sum = 0;
    int n = 0;
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 64; ++x) {
        if (s.PixelAt(x, y) != s.SrcColorKey()->low) {
          sum += x;
          ++n;
        }
      }
    }
    return n == 0 ? -1 : sum / n;
  }
};

TEST_F(PipelineTest, PS1IconBuildsOneSlabMeshPerFrameAndBindsTheTexture) {
  PS1Icon icon = TwoFrameIcon();
  icon.flag = 0x13;
  std::uint32_t i = AddSave(kLeft, icon.Build(), true);
  ASSERT_EQ(pipeline->DecodeIcon(kLeft, i), 1u);
  const CurrentIcon& c = ws.Icon();
  EXPECT_EQ(c.frameCount, 3u);
  EXPECT_EQ(c.meshCount, 3u);
  EXPECT_EQ(c.vertexCount, 36u);
  EXPECT_EQ(c.textured, 1u);
  EXPECT_EQ(BuiltMeshes(), 3u);
  EXPECT_EQ(engine.ModelFrames()[0]->Fvf(), kTexturedVertexFormat);
  EXPECT_EQ(engine.ModelFrames()[0]->VertexCount(), 36u);
  EXPECT_EQ(engine.Device()->GetTexture(), engine.IconTexture());
  const gfx::Surface& texture = *engine.IconTexture();
  EXPECT_EQ(texture.PixelAt(10, 10), pipeline->PackColor15(0x001F));
  EXPECT_EQ(texture.PixelAt(70, 10), pipeline->PackColor15(0x03E0));
  EXPECT_EQ(texture.PixelAt(100, 100), pipeline->PackColor15(0x18C6));
}

TEST_F(PipelineTest, EachDecodeLeavesOnlyItsOwnMeshesAndTexture) {
  std::uint32_t a = AddSave(kLeft, TexturedTriangle(3, {0, 1, 2}).Build(), false);
  std::uint32_t b = AddSave(kLeft, TwoFrameIcon().Build(), true);
  ASSERT_EQ(pipeline->DecodeIcon(kLeft, a), 1u);
  EXPECT_EQ(BuiltMeshes(), 12u);
  ASSERT_EQ(pipeline->DecodeIcon(kLeft, b), 1u);
  EXPECT_EQ(BuiltMeshes(), 2u);
  EXPECT_TRUE(engine.ModelFrames()[1]);
  EXPECT_FALSE(engine.ModelFrames()[2]);
  EXPECT_TRUE(engine.Device()->GetTexture());
  // An untextured model unbinds the texture.
  ModelFile f = TexturedTriangle(2, {0, 100});
  f.textureType = 0x03;
  f.texture.clear();
  ASSERT_EQ(pipeline->DecodeIcon(kLeft, AddSave(kLeft, f.Build(), false)), 1u);
  EXPECT_FALSE(engine.Device()->GetTexture());
  EXPECT_EQ(ws.Icon().textured, 0u);
  EXPECT_EQ(ws.Icon().meshCount, 8u);
  EXPECT_EQ(engine.ModelFrames()[7]->Fvf(), kColouredVertexFormat);
}

TEST_F(PipelineTest, BrokenIconsBuildNothingAndFallBackToTheStandardIcon) {
  WriteStandardIcon(TexturedTriangle(2, {0, 100}).Build());
  Bytes broken = TexturedTriangle(1).Build();
  broken.resize(100);
  std::uint32_t i = AddSave(kLeft, broken, false);
  std::uint32_t ps1 = AddSave(kLeft, Bytes(0x80, 0), true);  // no room for a bitmap
  std::uint32_t missing = AddStandardIconSave(kLeft);

  EXPECT_EQ(pipeline->DecodeIcon(kLeft, i), 0u);
  EXPECT_EQ(BuiltMeshes(), 0u);
  EXPECT_EQ(ws.Icon().meshCount, 0u);
  EXPECT_EQ(pipeline->DecodeIconOrStandard(kLeft, i), 0u);
  EXPECT_EQ(ws.Icon().meshCount, 8u);
  EXPECT_EQ(pipeline->DecodeIconOrStandard(kLeft, ps1), 0u);
  EXPECT_EQ(ws.Icon().meshCount, 8u);
  EXPECT_EQ(pipeline->MeshStride(), 4u);
  EXPECT_EQ(pipeline->DecodeIcon(kLeft, missing), 1u);
  EXPECT_EQ(ws.Icon().frameCount, 2u);
}

TEST_F(PipelineTest, TenSavesScrolledToNineRenderOneCell) {
  for (int k = 0; k < 10; ++k) AddSave(kLeft, TwoFrameIcon().Build(), true);
  ws.CellFrameCount()[kLeft].fill(77);
  pipeline->PrerenderSlotIcons(kLeft, 9);
  EXPECT_EQ(ws.CellFrameCount()[kLeft][0], 2u);
  for (int c = 1; c < 9; ++c) EXPECT_EQ(ws.CellFrameCount()[kLeft][c], 77u) << c;
  EXPECT_EQ(engine.Device()->GetRenderTarget(), engine.RenderTarget());
  gfx::Matrix world;
  engine.Device()->GetTransform(gfx::TransformState::World, world);
  EXPECT_EQ(world, engine.ListIconWorld());
  gfx::Viewport viewport;
  engine.Device()->GetViewport(viewport);
  EXPECT_EQ(viewport.width, 64u);
  EXPECT_EQ(viewport.height, 64u);
  // An empty slot renders nothing but restores the render target too.
  ws.CellFrameCount()[kRight].fill(5);
  engine.Device()->SetRenderTarget(engine.IconTarget(), 0);
  pipeline->PrerenderSlotIcons(kRight, 0);
  EXPECT_EQ(ws.CellFrameCount()[kRight][0], 5u);
  EXPECT_EQ(engine.Device()->GetRenderTarget(), engine.RenderTarget());
}

// One list page: a PS1 icon's frames in order with their own colours, a white
// and a black model keyed by the first value they leave free, a model of
// twelve shapes cut to eight, a save without any icon (and no standard icon
// file), and last a model whose three shapes put it left, centre and right.
TEST_F(PipelineTest, EachCellCachesItsOwnFramesOverItsOwnKey) {
  AddSave(kLeft, TwoFrameIcon().Build(), true);
  AddSave(kLeft, TexturedTriangle(1, {}, 0x7FFF).Build(), false);
  AddSave(kLeft, TexturedTriangle(1, {}, 0x0000).Build(), false);
  AddSave(kLeft, TexturedTriangle(12).Build(), false);
  std::uint32_t missing = AddStandardIconSave(kLeft);
  AddSave(kLeft, TexturedTriangle(3, {-6000, 0, 6000}).Build(), false);
  EXPECT_EQ(pipeline->DecodeIcon(kLeft, missing), 0u);
  EXPECT_EQ(pipeline->DecodeStandardIcon(), 0u);
  EXPECT_EQ(BuiltMeshes(), 0u);
  pipeline->PrerenderSlotIcons(kLeft, 0);
  const std::uint32_t frames[] = {2, 1, 1, 8, 1, 3};
  for (int c = 0; c < 6; ++c) EXPECT_EQ(ws.CellFrameCount()[kLeft][c], frames[c]) << c;

  // The tile faces the camera tilted; its middle shows the frame's colour.
  gfx::Color red = Unpacked(Cached(kLeft, 0, 0), 32, 32);
  gfx::Color green = Unpacked(Cached(kLeft, 0, 1), 32, 32);
  EXPECT_GT((red >> 16) & 0xFF, 0x40u) << std::hex << red;
  EXPECT_EQ((red >> 8) & 0xFF, 0u) << std::hex << red;
  EXPECT_GT((green >> 8) & 0xFF, 0x40u) << std::hex << green;
  EXPECT_EQ((green >> 16) & 0xFF, 0u) << std::hex << green;

  const gfx::Surface& white = Cached(kLeft, 1, 0);
  const gfx::Surface& black = Cached(kLeft, 2, 0);
  EXPECT_EQ(white.SrcColorKey(), (gfx::ColorKey{0, 0}));
  EXPECT_EQ(black.SrcColorKey(), (gfx::ColorKey{1, 1}));
  int blackPixels = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) blackPixels += black.PixelAt(x, y) == 0 ? 1 : 0;
  }
  EXPECT_GT(blackPixels, 50);          // the icon itself is black
  EXPECT_EQ(black.PixelAt(0, 0), 1u);  // its background is the key
  EXPECT_EQ(white.PixelAt(0, 0), 0u);
  EXPECT_LT(CentreX(Cached(kLeft, 4, 0)), 0) << "the save without an icon shows nothing";

  double x0 = CentreX(Cached(kLeft, 5, 0));
  double x1 = CentreX(Cached(kLeft, 5, 1));
  double x2 = CentreX(Cached(kLeft, 5, 2));
  EXPECT_NEAR(x1, 32, 3);  // shape 1 itself, not a blend towards it
  EXPECT_NEAR(x1 - x0, x2 - x1, 2);
  EXPECT_GT(x1 - x0, 10);
  // Only the key shapes' meshes were built for the list.
  EXPECT_TRUE(engine.ModelFrames()[8]);
  EXPECT_FALSE(engine.ModelFrames()[1]);
  EXPECT_EQ(BuiltMeshes(), 3u);
}

TEST(ColourKey, SmallestFreeValueFillsTheBackgroundThatKeepsBothClearedValues) {
  std::vector<std::uint8_t> bytes(4 * 4 * 4, 0);
  PixelPlane pixels{bytes, 16, 4, 4, 4};
  auto set = [&](int i, std::uint32_t v) { gfx::StorePixel(&bytes[4 * i], 4, v); };
  for (int i = 0; i < 16; ++i) set(i, 0x00FFFFFF);
  EXPECT_EQ(ChooseKeyColour(pixels), 0u);
  set(3, 0x00FF0000);  // low 16 bits 0
  set(4, 0x00000001);
  EXPECT_EQ(ChooseKeyColour(pixels), 2u);

  std::vector<std::uint8_t> all(64 * 64 * 2);
  for (int i = 0; i < 4096; ++i) gfx::StorePixel(&all[2 * i], 2, static_cast<std::uint32_t>(i));
  EXPECT_EQ(ChooseKeyColour(PixelPlane{all, 128, 2, 64, 64}), 4096u);

  FillWithKey(pixels, 0x0123);
  EXPECT_EQ(gfx::LoadPixel(&bytes[20], 4), 0x0123u);

  // The background is what keeps both cleared values.
  std::vector<std::uint8_t> colour(3 * 2, 0xFF), depth(3 * 2, 0xFF);
  gfx::StorePixel(&colour[0], 2, 0x1234);  // drawn, nearer
  gfx::StorePixel(&depth[0], 2, 0x8000);
  gfx::StorePixel(&depth[2], 2, 0x8000);  // drawn white
  FillBackgroundWithKey(PixelPlane{colour, 6, 2, 3, 1}, PixelPlane{depth, 6, 2, 3, 1}, 0xFFFF,
                        0xFFFF, 7);
  EXPECT_EQ(gfx::LoadPixel(&colour[0], 2), 0x1234u);
  EXPECT_EQ(gfx::LoadPixel(&colour[2], 2), 0xFFFFu);
  EXPECT_EQ(gfx::LoadPixel(&colour[4], 2), 7u);
}

class PipelineTest32 : public IconTest {
 protected:
  PipelineTest32() : IconTest(32) {}
};

TEST_F(PipelineTest32, KeysFillOnlyTheLowTwoBytesOfWiderPixels) {
  AddSave(kLeft, TwoFrameIcon().Build(), true);
  pipeline->PrerenderSlotIcons(kLeft, 0);
  const gfx::Surface& frame = *engine.IconFrameCache()[kLeft][0][0];
  std::uint32_t key = frame.SrcColorKey()->low;
  EXPECT_LT(key, 4096u);
  EXPECT_EQ(frame.PixelAt(0, 0), key);
}

// The detail screen: its gradient, texts, numbers, snapshot, viewport and the model it leaves for
// the rendering thread.
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
