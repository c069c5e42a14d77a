// Perspective, depth, blending, shading and culling of single draws. The
// top-left rule, shared edges, viewport clipping and clearing, and texels
// decoded one per pixel are held by raster_paths_test.cpp.

#include <gtest/gtest.h>

#include "gfx/device.h"
#include "gfx/direct3d.h"
#include "vertices.h"

namespace slk::gfx {
namespace {

using test::kScreenColored;
using test::kScreenTextured;
using test::Vertices;

// A small render target with a 16-bit Z-buffer.
struct Bench : test::Canvas {
  explicit Bench(int w, int h, const PixelFormat& f = PixelFormat::Xrgb8888())
      : Canvas(w, h, f, true) {}
};

TEST(Raster, TextureCoordinatesArePerspectiveCorrectAndWrap) {
  Bench b(8, 1);
  auto texture = std::make_shared<Surface>(8, 1, PixelFormat::Xrgb8888(), caps::kTexture);
  for (int x = 0; x < 8; ++x) texture->SetPixel(x, 0, static_cast<std::uint32_t>(x * 0x10));
  texture->Touch();
  b.device->SetTexture(0, texture);
  // Left edge at w = 1, right edge at w = 3, u from 0 to 1 (then 1 to 2).
  Vertices v;
  auto corner = [&](float x, float y, float rhw, float u) {
    v.F({x, y, 0.5f, rhw}).U(0xFFFFFFFF).F({u, 0});
  };
  corner(0, -1, 1, 0), corner(8, -1, 1.0f / 3, 1), corner(0, 2, 1, 0);
  corner(8, -1, 1.0f / 3, 1), corner(0, 2, 1, 0), corner(8, 2, 1.0f / 3, 1);
  b.Draw(kScreenTextured, v, 6);
  // At pixel x the screen fraction is t = x / 8 and u = t / (3 - 2t): x = 3, 5, 7
  // give u = 0.167, 0.357, 0.7, that is texels 1, 2, 5 (affine would give 3, 5, 7).
  EXPECT_EQ(b.At(0, 0), 0x00u);
  EXPECT_EQ(b.At(3, 0), 0x10u);
  EXPECT_EQ(b.At(5, 0), 0x20u);
  EXPECT_EQ(b.At(7, 0), 0x50u);

  // u from 1 to 2 lands on the same texels: wrap addressing.
  Bench c(8, 1);
  c.device->SetTexture(0, texture);
  Vertices w;
  auto corner2 = [&](float x, float y, float u) { w.F({x, y, 0.5f, 1}).U(0xFFFFFFFF).F({u, 0}); };
  corner2(0, -1, 1), corner2(8, -1, 2), corner2(0, 2, 1);
  corner2(8, -1, 2), corner2(0, 2, 1), corner2(8, 2, 2);
  c.Draw(kScreenTextured, w, 6);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(c.At(x, 0), static_cast<std::uint32_t>(x * 0x10));
}

TEST(Raster, ZLessKeepsTheNearerSurfaceWhateverTheOrder) {
  for (bool nearFirst : {true, false}) {
    Bench b(4, 4);
    if (nearFirst) b.Quad(0, 0, 4, 4, 0.25f, 0xFFFF0000);
    b.Quad(0, 0, 4, 4, 0.75f, 0xFF00FF00);
    if (!nearFirst) b.Quad(0, 0, 4, 4, 0.25f, 0xFFFF0000);
    EXPECT_EQ(b.At(2, 2), 0xFF0000u);
    EXPECT_EQ(b.z->PixelAt(2, 2), static_cast<std::uint32_t>(0.25f * 65535 + 0.5f));
  }
  // Equal depth does not pass LESS.
  Bench b(4, 4);
  b.Quad(0, 0, 4, 4, 0.5f, 0xFFFF0000);
  b.Quad(0, 0, 4, 4, 0.5f, 0xFF00FF00);
  EXPECT_EQ(b.At(1, 1), 0xFF0000u);
}

TEST(Raster, AlphaBlendIsSourceAlphaOverInverse) {
  Bench b(2, 2);
  b.device->Clear({}, clear::kTarget, 0xFF0000C8, 1.0f, 0);  // blue 200
  b.device->SetRenderState(RenderState::AlphaBlendEnable, 1);
  b.device->SetRenderState(RenderState::SrcBlend, blend::kSrcAlpha);
  b.device->SetRenderState(RenderState::DestBlend, blend::kInvSrcAlpha);
  b.Quad(0, 0, 2, 2, 0.5f, 0x80FF0000);  // red, alpha 128
  // red (255 * 128 + 0 * 127 + 127) / 255 = 128; blue (0 * 128 + 200 * 127 + 127) / 255 = 100.
  EXPECT_EQ(b.At(0, 0), 0x800064u);
}

TEST(Raster, GouraudIntoASixteenBitTarget) {
  Bench b(4, 1, PixelFormat::Rgb565());
  Vertices v;
  v.Screen(0, -1, 0, 0xFF000000).Screen(4, -1, 0, 0xFFFF0000).Screen(0, 2, 0, 0xFF000000);
  v.Screen(4, -1, 0, 0xFFFF0000).Screen(0, 2, 0, 0xFF000000).Screen(4, 2, 0, 0xFFFF0000);
  b.Draw(kScreenColored, v, 6);
  // Red x / 4 of 255: 0, 64, -, 191, kept to 5 bits in the target.
  EXPECT_EQ(b.At(0, 0), 0u);
  EXPECT_EQ(b.At(1, 0), (64u >> 3) << 11);
  EXPECT_EQ(b.At(3, 0), (191u >> 3) << 11);
}

TEST(Raster, CullingFollowsTheRenderState) {
  for (std::uint32_t mode : {cull::kNone, cull::kCw, cull::kCcw}) {
    Bench b(4, 4);
    b.device->SetRenderState(RenderState::CullMode, mode);
    Vertices cw, ccw;
    cw.Screen(0, 0, 0, 0xFFFF0000).Screen(4, 0, 0, 0xFFFF0000).Screen(0, 4, 0, 0xFFFF0000);
    ccw.Screen(4, 4, 0, 0xFF00FF00).Screen(4, 0, 0, 0xFF00FF00).Screen(0, 4, 0, 0xFF00FF00);
    b.Draw(kScreenColored, cw, 3);
    b.Draw(kScreenColored, ccw, 3);
    EXPECT_EQ(b.At(0, 0), mode == cull::kCw ? 0u : 0xFF0000u);
    EXPECT_EQ(b.At(3, 3), mode == cull::kCcw ? 0u : 0x00FF00u);
  }
}

TEST(Raster, DrawingOutsideASceneOrAViewportOutsideTheTarget) {
  Bench b(2, 2);
  EXPECT_EQ(b.device->SetViewport(Viewport{1, 1, 2, 2, 0, 1}), Result::InvalidParams);
  Vertices v;
  v.Screen(0, 0, 0, 0).Screen(2, 0, 0, 0).Screen(0, 2, 0, 0);
  EXPECT_EQ(b.device->DrawPrimitive(PrimitiveType::TriangleList, kScreenColored, v.Bytes(), 3, 0),
            Result::NotInScene);
  b.target->MarkLost();
  b.device->BeginScene();
  EXPECT_EQ(b.device->DrawPrimitive(PrimitiveType::TriangleList, kScreenColored, v.Bytes(), 3, 0),
            Result::SurfaceLost);
  b.device->EndScene();
}

}  // namespace
}  // namespace slk::gfx
