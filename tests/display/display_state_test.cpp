// The matrix helpers, and the device state and matrices the set-up leaves
// behind.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "display/display_engine.h"
#include "display/matrix.h"
#include "engine_fixture.h"

namespace slk {
namespace {

using test::EngineFixture;

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
