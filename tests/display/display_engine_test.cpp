// Set-up, failure and release of the display engine; the matrix helpers and
// the device state it leaves behind.

#include "display/display_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "display/matrix.h"
#include "gfx/desktop.h"
#include "platform/dib.h"
#include "resources/bitmaps.h"
#include "support/test_desktop.h"

namespace slk {
namespace {

// A desktop with a window on it and a display engine, plus the log of what
// the engine releases.
struct EngineFixture {
  explicit EngineFixture(gfx::DesktopOptions options = testing::TestDesktop(32))
      : desktop(options), window(desktop, gfx::Point{40, 30}) {
    engine = std::make_unique<DisplayEngine>();
    engine->SetReleaseObserver([this](std::string_view name) { released.emplace_back(name); });
  }

  // Released names other than the 144 cached icon frames and the model frames.
  std::vector<std::string> Singles() const {
    std::vector<std::string> out;
    for (const auto& n : released) {
      if (n.rfind("IconFrameCache[", 0) != 0 && n.rfind("ModelFrames[", 0) != 0) out.push_back(n);
    }
    return out;
  }

  std::vector<std::string> released;  // declared before the engine: it outlives its observer
  gfx::Desktop desktop;
  gfx::Window window;
  std::unique_ptr<DisplayEngine> engine;
};

using gfx::PixelFormat;

gfx::DeviceType DeviceTypeOf(const EngineFixture& f) {
  gfx::DeviceCaps caps;
  f.engine->Device()->GetCaps(caps);
  return caps.type;
}

TEST(DisplayEngine, CheckDirectX7ProbesTheDesktopAndAnEightBitOneIsRefused) {
  gfx::Desktop present(testing::TestDesktop(32));
  EXPECT_TRUE(CheckDirectX7(present));
  gfx::DesktopOptions options = testing::TestDesktop(32);
  options.directDrawAvailable = false;
  gfx::Desktop absent(options);
  EXPECT_FALSE(CheckDirectX7(absent));

  EngineFixture f(testing::TestDesktop(8));
  EXPECT_FALSE(f.engine->InitDisplay(f.window, true));
  f.engine->ReleaseDisplay();
  EXPECT_EQ(f.released, (std::vector<std::string>{"PrimarySurface", "DirectDraw"}));
}

TEST(DisplayEngine, WorksOnSixteenTwentyFourAndThirtyTwoBitDesktops) {
  for (int bits : {16, 24, 32}) {
    EngineFixture f(testing::TestDesktop(bits));
    ASSERT_TRUE(f.engine->InitDisplay(f.window, false)) << bits;
    const DisplayEngine& e = *f.engine;
    EXPECT_EQ(e.PixelLayout().primaryBytesPerPixel, static_cast<std::uint32_t>(bits / 8));
    const PixelFormat desktop = PixelFormat::ForDesktopBits(bits);
    for (const auto* s :
         {&e.RenderTarget(), &e.IconTarget(), &e.ComposeSurface(), &e.Backdrop(), &e.TitleSurface(),
          &e.TextScratch(), &e.MarkerBall(), &e.ScrollButtonSheet(), &e.ActionButtonSheet(),
          &e.BusyBanner(), &e.DigitFont(), &e.MoreArrows(), &e.IconFrameCache()[1][8][7]}) {
      ASSERT_TRUE(*s);
      EXPECT_EQ((*s)->Format(), desktop) << bits;
    }
    EXPECT_EQ(e.PrimarySurface(), f.desktop.Screen());
  }
}

TEST(DisplayEngine, SoftwareDeviceKeepsItsBuffersInSystemMemory) {
  for (bool halPriority : {false, true}) {
    EngineFixture f;
    ASSERT_TRUE(f.engine->InitDisplay(f.window, halPriority));
    EXPECT_EQ(DeviceTypeOf(f), gfx::DeviceType::Rgb);
    for (const auto* s : {&f.engine->RenderTargetZBuffer(), &f.engine->IconTargetZBuffer(),
                          &f.engine->IconTexture()}) {
      EXPECT_NE((*s)->Caps() & gfx::caps::kSystemMemory, 0u);
      EXPECT_EQ((*s)->Caps() & gfx::caps::kVideoMemory, 0u);
    }
    // Hardware types that cannot be created leave nothing behind to release.
    EXPECT_TRUE(f.released.empty());
  }
}

TEST(DisplayEngine, HardwareWithoutAZBufferFallsBackToSoftware) {
  gfx::DesktopOptions options = testing::TestDesktop(32);
  options.hardwareDevices = true;
  EngineFixture f(options);
  ASSERT_TRUE(f.engine->InitDisplay(f.window, true));
  // TnL HAL and HAL were created, found no Z-buffer format and were dropped.
  EXPECT_EQ(f.released, (std::vector<std::string>{"Device", "Device"}));
  EXPECT_EQ(DeviceTypeOf(f), gfx::DeviceType::Rgb);
  EXPECT_NE(f.engine->IconTexture()->Caps() & gfx::caps::kSystemMemory, 0u);
}

TEST(DisplayEngine, HardwareWithAZBufferIsTakenAndUsesVideoMemory) {
  gfx::DesktopOptions options = testing::TestDesktop(32);
  options.hardwareDevices = true;
  options.hardwareZBufferFormats = {PixelFormat::Z32()};
  EngineFixture f(options);
  ASSERT_TRUE(f.engine->InitDisplay(f.window, true));
  EXPECT_EQ(DeviceTypeOf(f), gfx::DeviceType::TnLHal);
  // No 16-bit format: the second pass, at the target's depth of 32, finds it.
  EXPECT_EQ(f.engine->RenderTargetZBuffer()->Format(), PixelFormat::Z32());
  EXPECT_NE(f.engine->RenderTargetZBuffer()->Caps() & gfx::caps::kVideoMemory, 0u);
  EXPECT_NE(f.engine->IconTexture()->Caps() & gfx::caps::kVideoMemory, 0u);
}

TEST(DisplayEngine, ZBufferPassesWantSixteenThenTheTargetDepthThenAny) {
  gfx::DesktopOptions options = testing::TestDesktop(16);
  options.zBufferFormats = {PixelFormat::Rgb565(), PixelFormat::Z32(), PixelFormat::Z16()};
  EngineFixture sixteen(options);
  ASSERT_TRUE(sixteen.engine->InitDisplay(sixteen.window, false));
  EXPECT_EQ(sixteen.engine->RenderTargetZBuffer()->Format(), PixelFormat::Z16());

  options.zBufferFormats = {PixelFormat::Z32()};  // neither 16 nor the 16-bit target's depth
  EngineFixture any(options);
  ASSERT_TRUE(any.engine->InitDisplay(any.window, false));
  EXPECT_EQ(any.engine->RenderTargetZBuffer()->Format(), PixelFormat::Z32());
}

TEST(DisplayEngine, TextureFormatPrefersSixteenBitsAndSkipsBumpMaps) {
  EngineFixture f;
  ASSERT_TRUE(f.engine->InitDisplay(f.window, false));
  const PixelLayout& layout = f.engine->PixelLayout();
  EXPECT_EQ(f.engine->IconTexture()->Format(), PixelFormat::Rgb565());
  EXPECT_EQ(f.engine->IconTexture()->Width(), 128);
  EXPECT_EQ(layout.textureBytesPerPixel, 2u);
  EXPECT_EQ(layout.textureRed, (ChannelMask{11, 5}));
  EXPECT_EQ(layout.textureGreen, (ChannelMask{5, 6}));
  EXPECT_EQ(layout.textureBlue, (ChannelMask{0, 5}));

  gfx::DesktopOptions options = testing::TestDesktop(32);
  options.textureFormats = {PixelFormat::BumpDuDv88(), PixelFormat::Argb8888()};
  EngineFixture wide(options);
  ASSERT_TRUE(wide.engine->InitDisplay(wide.window, false));
  EXPECT_EQ(wide.engine->PixelLayout().textureBytesPerPixel, 4u);
  EXPECT_EQ(wide.engine->PixelLayout().textureRed, (ChannelMask{16, 8}));
}

TEST(DisplayEngine, ReleaseAfterAHalfWayFailureReleasesExactlyWhatWasMade) {
  gfx::DesktopOptions options = testing::TestDesktop(32);
  // Primary, two targets, two Z-buffers, texture, compose surface, backdrop,
  // then ten of the cached frames before the memory runs out.
  options.surfaceBudget = 8 + 10;
  EngineFixture f(options);
  EXPECT_FALSE(f.engine->InitDisplay(f.window, false));
  f.engine->ReleaseDisplay();
  std::vector<std::string> cached;
  for (const auto& n : f.released) {
    if (n.rfind("IconFrameCache", 0) == 0) cached.push_back(n);
  }
  ASSERT_EQ(cached.size(), 10u);
  EXPECT_EQ(cached.back(), "IconFrameCache[0][1][1]");
  EXPECT_EQ(f.Singles(),
            (std::vector<std::string>{"IconTexture", "BackgroundQuad", "Backdrop", "Device",
                                      "Direct3D", "Clipper", "RenderTargetZBuffer",
                                      "IconTargetZBuffer", "ComposeSurface", "IconTarget",
                                      "RenderTarget", "PrimarySurface", "DirectDraw"}));
  f.released.clear();
  f.engine->ReleaseDisplay();
  EXPECT_TRUE(f.released.empty());
}

TEST(DisplayEngine, NoZBufferFormatFailsTheLastDeviceType) {
  gfx::DesktopOptions options = testing::TestDesktop(32);
  options.zBufferFormats.clear();
  EngineFixture f(options);
  EXPECT_FALSE(f.engine->InitDisplay(f.window, false));
  EXPECT_EQ(f.released, (std::vector<std::string>{"Device"}));
  f.released.clear();
  f.engine->ReleaseDisplay();
  EXPECT_EQ(f.released, (std::vector<std::string>{"Direct3D", "Clipper", "IconTarget",
                                                  "RenderTarget", "PrimarySurface", "DirectDraw"}));
}

TEST(DisplayEngine, BitmapsAreCopiedAtTheirOwnSize) {
  for (int bits : {16, 32}) {
    EngineFixture f(testing::TestDesktop(bits));
    ASSERT_TRUE(f.engine->InitDisplay(f.window, false));
    gfx::FormatCodec codec(f.engine->Backdrop()->Format());
    auto backdrop = platform::DecodeBmp(res::BitmapResource(res::BitmapId::Backdrop));
    ASSERT_TRUE(backdrop);
    for (auto [x, y] : {std::pair{0, 0}, {256, 156}, {511, 311}, {240, 100}}) {
      EXPECT_EQ(f.engine->Backdrop()->PixelAt(x, y),
                codec.Pack(backdrop->pixels[static_cast<std::size_t>(y) * 512 + x]));
    }
    // The digit font's surface has four rows more than its bitmap; they stay as they were.
    auto digits = platform::DecodeBmp(res::BitmapResource(res::BitmapId::DigitFont));
    ASSERT_TRUE(digits);
    EXPECT_EQ(digits->height, 32);
    for (int x = 0; x < 140; ++x) EXPECT_EQ(f.engine->DigitFont()->PixelAt(x, 33), 0u);
  }
}

TEST(DisplayEngine, LostSurfacesAreRestoredWithTheirBitmaps) {
  EngineFixture f;
  ASSERT_TRUE(f.engine->InitDisplay(f.window, false));
  const std::uint32_t ball = f.engine->MarkerBall()->PixelAt(8, 8);
  EXPECT_FALSE(f.engine->PrimaryLost());
  f.engine->DirectDraw()->LoseAllSurfaces();
  EXPECT_TRUE(f.engine->PrimaryLost());
  f.engine->RestoreSurfaces();
  EXPECT_FALSE(f.engine->PrimaryLost());
  EXPECT_EQ(f.engine->MarkerBall()->PixelAt(8, 8), ball);
  // Surfaces without a bitmap hold nothing meaningful until they are redrawn.
  EXPECT_EQ(f.engine->ComposeSurface()->PixelAt(0, 0), 0xCDCDCDCDu);
}

// The matrix helpers, and the device state and matrices the set-up leaves behind.

Matrix Filled(float start) {
  Matrix m;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) m.m[i][j] = start + static_cast<float>(i * 4 + j) * 0.5f;
  }
  return m;
}

TEST(Matrix, MultiplyWithSharedStorageGivesTheSameProduct) {
  const Matrix a = Filled(1.0f), b = Filled(-3.0f);
  Matrix ab, aa;
  MatrixMultiply(ab, a, b);
  MatrixMultiply(aa, a, a);
  EXPECT_EQ(ab.m[0][0], 1 * -3.0f + 1.5f * -1.0f + 2 * 1.0f + 2.5f * 3.0f);

  Matrix q = a;
  MatrixMultiply(q, q, b);
  EXPECT_EQ(q, ab);
  q = b;
  MatrixMultiply(q, a, q);
  EXPECT_EQ(q, ab);
  q = a;
  MatrixMultiply(q, q, q);
  EXPECT_EQ(q, aa);
}

TEST(Matrix, ScaleTranslateAndRotations) {
  Matrix m = Filled(7.0f);  // every call writes the whole matrix
  MatrixScale(m, 2, 3, 4);
  Matrix want;
  want.m[0][0] = 2, want.m[1][1] = 3, want.m[2][2] = 4, want.m[3][3] = 1;
  EXPECT_EQ(m, want);

  MatrixTranslate(m, 5, 6, 7);
  want = Matrix::Identity();
  want.m[3][0] = 5, want.m[3][1] = 6, want.m[3][2] = 7;
  EXPECT_EQ(m, want);

  MatrixRotateX(m, 0.5f);
  EXPECT_EQ(m.m[1][1], std::cos(0.5f));
  EXPECT_EQ(m.m[1][2], std::sin(0.5f));
  EXPECT_EQ(m.m[2][1], -std::sin(0.5f));
  EXPECT_EQ(m.m[0][0], 1.0f);

  MatrixRotateY(m, 0.5f);
  EXPECT_EQ(m.m[0][0], std::cos(0.5f));
  EXPECT_EQ(m.m[0][2], -std::sin(0.5f));
  EXPECT_EQ(m.m[2][0], std::sin(0.5f));
  EXPECT_EQ(m.m[1][1], 1.0f);
}

class DisplayState : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(f.engine->InitDisplay(f.window, false)); }
  gfx::Device& Device() { return *f.engine->Device(); }
  EngineFixture f;
};

TEST_F(DisplayState, SpinTableTurnsBy314OverOneEightyPerStep) {
  const auto& spin = f.engine->SpinTable();
  EXPECT_EQ(spin[0], Matrix::Identity());
  const Matrix& quarter = spin[90];
  float angle = std::atan2(-quarter.m[0][2], quarter.m[0][0]);
  EXPECT_NEAR(angle, 1.5700f, 1e-5f);
  EXPECT_EQ(quarter.m[0][0], std::cos(90.0f * 0.017444445f));
  EXPECT_GT(quarter.m[0][0], 7e-4f);  // pi / 2 would give about 0
  EXPECT_EQ(spin[359].m[2][0], std::sin(359.0f * 0.017444445f));
}

TEST_F(DisplayState, AnIconTileIsDrawnLitAndTextured) {
  // A 0x112 tile facing the camera through the list camera: emissive 0.5 plus
  // the first light at N.L about 0.9 and 1 / 3.4 attenuation, times the texture.
  auto& device = Device();
  gfx::LockedRect lock;
  ASSERT_EQ(f.engine->IconTexture()->Lock(lock), gfx::Result::Ok);
  for (std::size_t i = 0; i + 1 < lock.bits.size(); i += 2) {
    lock.bits[i] = 0x1F;  // 5-6-5 blue
    lock.bits[i + 1] = 0x00;
  }
  f.engine->IconTexture()->Unlock();
  device.SetTexture(0, f.engine->IconTexture());
  device.SetRenderTarget(f.engine->IconTarget(), 0);
  device.SetViewport(gfx::Viewport{0, 0, 64, 64, 0, 1});
  device.SetTransform(gfx::TransformState::World, f.engine->ListIconWorld());
  std::vector<std::uint8_t> bytes;
  auto put = [&](float v) {
    std::uint32_t b;
    std::memcpy(&b, &v, 4);
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(b >> (8 * i)));
  };
  const float pts[6][2] = {{-0.8f, -0.8f}, {0.8f, -0.8f}, {-0.8f, 0.8f},
                           {0.8f, -0.8f},  {-0.8f, 0.8f}, {0.8f, 0.8f}};
  for (const auto& p : pts) {
    for (float v : {p[0], p[1], -0.1f, 0.0f, 0.0f, -1.0f, 0.5f, 0.5f}) put(v);
  }
  device.Clear({}, gfx::clear::kTarget | gfx::clear::kZBuffer, 0xFFFFFF, 1.0f, 0);
  device.BeginScene();
  ASSERT_EQ(device.DrawPrimitive(gfx::PrimitiveType::TriangleList, 0x112, bytes, 6, 0),
            gfx::Result::Ok);
  device.EndScene();
  const std::uint32_t centre = f.engine->IconTarget()->PixelAt(32, 32);
  EXPECT_EQ(centre & 0xFFFF00u, 0u);
  EXPECT_GT(centre & 0xFF, 0xC0u);
  EXPECT_EQ(f.engine->IconTarget()->PixelAt(0, 0), 0xFFFFFFu);
}

}  // namespace
}  // namespace slk
