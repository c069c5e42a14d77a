// The device state and the matrices the set-up leaves behind.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "display/display_engine.h"
#include "engine_fixture.h"

namespace slk {
namespace {

using test::EngineFixture;

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
