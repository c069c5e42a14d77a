// Lighting of known normals, checked at the pixel that sits exactly on the
// lit vertex, so that the expected colour is the lighting formula itself.

#include <gtest/gtest.h>

#include "gfx/device.h"
#include "gfx/direct3d.h"
#include "vertices.h"

namespace slk::gfx {
namespace {

using test::Vertices;

constexpr std::uint32_t kLitFormat = fvf::kXyz | fvf::kNormal | fvf::kTex1;  // 0x112
constexpr std::uint32_t kColorFormat =
    fvf::kXyz | fvf::kNormal | fvf::kDiffuse | fvf::kSpecular;  // 0xD2

struct LitScene {
  LitScene() : desktop(DesktopOptions{.width = 8, .height = 8}), d3d(desktop) {
    target = std::make_shared<Surface>(8, 8, PixelFormat::Xrgb8888(), caps::k3DDevice);
    d3d.CreateDevice(DeviceType::Rgb, target, device);
    device->SetRenderState(RenderState::CullMode, cull::kNone);
    // Projection with near 4 and far 6: camera z = 5 lands at depth 0.6.
    Matrix projection;
    projection.m[0][0] = projection.m[1][1] = 1;
    projection.m[2][2] = 3;
    projection.m[2][3] = 1;
    projection.m[3][2] = -12;
    device->SetTransform(TransformState::Projection, projection);
    Material m;
    m.diffuse = {0.8f, 0.4f, 0.24f, 0.6f};
    m.ambient = {0.2f, 0.2f, 0.2f, 0};
    m.emissive = {0.12f, 0, 0, 0};
    device->SetMaterial(m);
    light.type = LightType::Point;
    light.diffuse = {1, 1, 1, 0};
    light.ambient = {0.5f, 0.5f, 0.5f, 0};
    light.position = {-5, 5, 0};  // straight in front of the vertex at (-5, 5, 5)
    light.range = 100;
    light.attenuation0 = 1;
    light.attenuation2 = 0.04f;  // 1 / (1 + 0.04 x 25) = 0.5 at distance 5
    device->SetLight(0, light);
    device->LightEnable(0, true);
  }

  // A triangle whose first vertex maps to pixel (0, 0); returns that pixel.
  std::uint32_t Draw(std::uint32_t format, float z, Vector3 normal, std::uint32_t diffuse = 0) {
    Vertices v;
    for (auto [x, y] : {std::pair{-5.0f, 5.0f}, {0.0f, 5.0f}, {-5.0f, 0.0f}}) {
      v.F({x, y, z, normal.x, normal.y, normal.z});
      if (format == kColorFormat) {
        v.U(diffuse).U(0);
      } else {
        v.F({0, 0});
      }
    }
    device->Clear({}, clear::kTarget, 0, 1, 0);
    device->BeginScene();
    EXPECT_EQ(device->DrawPrimitive(PrimitiveType::TriangleList, format, v.Bytes(), 3, 0),
              Result::Ok);
    device->EndScene();
    return target->PixelAt(0, 0);
  }

  Desktop desktop;
  Direct3D d3d;
  SurfacePtr target;
  DevicePtr device;
  Light light;
};

TEST(Lighting, PointLightOnAFacingNormal) {
  LitScene s;
  // emissive + attenuation x (ambient x light ambient + diffuse x N.L):
  // r 0.12 + 0.5 (0.1 + 0.8) = 0.57, g 0.5 (0.1 + 0.4) = 0.25, b 0.5 (0.1 + 0.24) = 0.17.
  EXPECT_EQ(s.Draw(kLitFormat, 5, {0, 0, -1}), 0x91402Bu);
}

TEST(Lighting, NormalsAreNotRenormalised) {
  LitScene s;
  // Half-length normal: N.L = 0.5. r 0.12 + 0.5 (0.1 + 0.4), g 0.5 (0.1 + 0.2), b 0.5 (0.1 + 0.12).
  EXPECT_EQ(s.Draw(kLitFormat, 5, {0, 0, -0.5f}), 0x5E261Cu);
  // World z scaled by 2: the inverse transpose halves the normal the same way.
  Matrix world = Matrix::Identity();
  world.m[2][2] = 2;
  s.device->SetTransform(TransformState::World, world);
  EXPECT_EQ(s.Draw(kLitFormat, 2.5f, {0, 0, -1}), 0x5E261Cu);
  // Unless the normalise state is on.
  s.device->SetRenderState(RenderState::NormalizeNormals, 1);
  EXPECT_EQ(s.Draw(kLitFormat, 2.5f, {0, 0, -1}), 0x91402Bu);
}

TEST(Lighting, BackFacingAndOutOfRange) {
  LitScene s;
  // Facing away: only emissive and the ambient term remain.
  // r 0.12 + 0.5 x 0.1 = 0.17, g and b 0.05.
  EXPECT_EQ(s.Draw(kLitFormat, 5, {0, 0, 1}), 0x2B0D0Du);
  s.light.range = 4.9f;
  s.device->SetLight(0, s.light);
  EXPECT_EQ(s.Draw(kLitFormat, 5, {0, 0, -1}), 0x1F0000u);  // emissive 0.12 alone
}

TEST(Lighting, VertexDiffuseReplacesTheMaterial) {
  LitScene s;
  // Diffuse (0.4, 0.6, 0.8): r 0.12 + 0.5 (0.1 + 0.4), g 0.5 (0.1 + 0.6), b 0.5 (0.1 + 0.8).
  EXPECT_EQ(s.Draw(kColorFormat, 5, {0, 0, -1}, 0x336699CC), 0x5E5973u);
  s.device->SetRenderState(RenderState::Lighting, 0);
  EXPECT_EQ(s.Draw(kColorFormat, 5, {0, 0, -1}, 0x336699CC), 0x6699CCu);
  EXPECT_EQ(s.Draw(kLitFormat, 5, {0, 0, -1}), 0xFFFFFFu);  // unlit, no colour: white
}

TEST(Lighting, TwoLightsAddUpAndClamp) {
  LitScene s;
  s.light.diffuse = {1.5f, 1.5f, 1.5f, 0};
  s.device->SetLight(1, s.light);
  s.device->LightEnable(1, true);
  // The second light adds 0.5 (0.1 + 1.5 x diffuse): r 0.57 + 0.65 clamps to 1,
  // g 0.25 + 0.35 = 0.6, b 0.17 + 0.23 = 0.4.
  EXPECT_EQ(s.Draw(kLitFormat, 5, {0, 0, -1}), 0xFF9966u);
}

TEST(Lighting, TrianglesAreClippedAtTheNearPlane) {
  LitScene s;
  s.device->SetRenderState(RenderState::Lighting, 0);
  EXPECT_EQ(s.Draw(kColorFormat, 3.5f, {0, 0, -1}, 0xFFFFFFFF), 0u);  // wholly before near
  // Top vertex before the near plane (z 3), the others behind it (z 5).
  Vertices v;
  for (auto [x, y, z] : {std::tuple{-5.0f, -5.0f, 5.0f}, {5.0f, -5.0f, 5.0f}, {0.0f, 5.0f, 3.0f}}) {
    v.F({x, y, z, 0, 0, -1}).U(0xFFFFFFFF).U(0);
  }
  s.device->Clear({}, clear::kTarget, 0, 1, 0);
  s.device->BeginScene();
  s.device->DrawPrimitive(PrimitiveType::TriangleList, kColorFormat, v.Bytes(), 3, 0);
  s.device->EndScene();
  int lit = 0;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) lit += s.target->PixelAt(x, y) != 0 ? 1 : 0;
  }
  EXPECT_EQ(s.target->PixelAt(4, 7), 0xFFFFFFu);  // near the bottom edge, behind the plane
  EXPECT_GT(lit, 8);
  EXPECT_LT(lit, 64);
}

TEST(Lighting, RangeMaxIsTheRootOfTheLargestFloat) {
  EXPECT_FLOAT_EQ(kLightRangeMax, 1.8446744e19f);
}

}  // namespace
}  // namespace slk::gfx
