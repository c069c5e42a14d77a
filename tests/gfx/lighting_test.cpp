// Lighting of known normals, checked at the pixel that sits exactly on the
// lit vertex, so that the expected colour is the lighting formula itself.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "gfx/device.h"
#include "gfx/direct3d.h"
#include "vertices.h"

namespace slk::gfx {
namespace {

using test::Vertices;

constexpr std::uint32_t kLitFormat = fvf::kXyz | fvf::kNormal | fvf::kTex1;  // 0x112
constexpr std::uint32_t kColorFormat =
    fvf::kXyz | fvf::kNormal | fvf::kDiffuse | fvf::kSpecular;  // 0xD2

// A projection with a 90 degree field of view that maps camera z = nearZ to
// depth 0 and z = farZ to depth 1.
Matrix Perspective(float nearZ, float farZ) {
  Matrix p;
  p.m[0][0] = p.m[1][1] = 1;
  p.m[2][2] = farZ / (farZ - nearZ);
  p.m[2][3] = 1;
  p.m[3][2] = -nearZ * farZ / (farZ - nearZ);
  return p;
}

struct LitScene : test::Canvas {
  LitScene() : Canvas(8, 8) {
    // Camera z = 5 lands at depth 0.6.
    device->SetTransform(TransformState::Projection, Perspective(4, 6));
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

  Light light;
};

TEST(Lighting, PointLightOnNormalsThatAreNotRenormalised) {
  LitScene s;
  // emissive + attenuation x (ambient x light ambient + diffuse x N.L):
  // r 0.12 + 0.5 (0.1 + 0.8) = 0.57, g 0.5 (0.1 + 0.4) = 0.25, b 0.5 (0.1 + 0.24) = 0.17.
  EXPECT_EQ(s.Draw(kLitFormat, 5, {0, 0, -1}), 0x91402Bu);
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

TEST(Lighting, VertexDiffuseReplacesTheMaterialAndTwoLightsAddUpAndClamp) {
  LitScene s;
  // Diffuse (0.4, 0.6, 0.8): r 0.12 + 0.5 (0.1 + 0.4), g 0.5 (0.1 + 0.6), b 0.5 (0.1 + 0.8).
  EXPECT_EQ(s.Draw(kColorFormat, 5, {0, 0, -1}, 0x336699CC), 0x5E5973u);
  s.device->SetRenderState(RenderState::Lighting, 0);
  EXPECT_EQ(s.Draw(kColorFormat, 5, {0, 0, -1}, 0x336699CC), 0x6699CCu);
  EXPECT_EQ(s.Draw(kLitFormat, 5, {0, 0, -1}), 0xFFFFFFu);  // unlit, no colour: white
  s.device->SetRenderState(RenderState::Lighting, 1);
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

TEST(Lighting, AttenuationWithoutDistanceTerms) {
  LitScene s;
  // Constant attenuation 2 halves the light at distance 5 as 1 + 0.04 x 25
  // does, and at distance 4.5 as well (the icons' lights have only this term).
  auto place = [&s](float a0, float a1, float lightZ) {
    s.light.attenuation0 = a0, s.light.attenuation1 = a1, s.light.attenuation2 = 0;
    s.light.position.z = lightZ;
    s.device->SetLight(0, s.light);
  };
  place(2, 0, 0);
  EXPECT_EQ(s.Draw(kLitFormat, 5, {0, 0, -1}), 0x91402Bu);
  place(2, 0, 0.5f);
  EXPECT_EQ(s.Draw(kLitFormat, 5, {0, 0, -1}), 0x91402Bu);
  // A linear term alone still depends on the distance: 1 / (1 + 0.2 x 5).
  place(1, 0.2f, 0);
  EXPECT_EQ(s.Draw(kLitFormat, 5, {0, 0, -1}), 0x91402Bu);
  place(1, 0.2f, 0.5f);
  EXPECT_NE(s.Draw(kLitFormat, 5, {0, 0, -1}), 0x91402Bu);
}

// ---------------------------------------------------------------------------
// A draw transforms, lights and clip-tests each distinct vertex once (found by
// its bytes) and reuses it for every triangle that repeats it; the picture
// must be the one the same triangles give drawn one call each.

struct MeshVertex {
  Vector3 p, n;
  float u = 0, v = 0;
  std::uint32_t color = 0xFFFFFFFF;
};

// Quads (a, b) for a below na and b below nb, each as two triangles with every
// corner repeated; `corner` gets the quad's a too.
template <class Corner>
void AddQuads(std::vector<MeshVertex>& out, int na, int nb, Corner corner) {
  for (int b = 0; b < nb; ++b) {
    for (int a = 0; a < na; ++a) {
      for (auto [x, y] :
           {std::pair{a, b}, {a + 1, b}, {a + 1, b + 1}, {a, b}, {a + 1, b + 1}, {a, b + 1}}) {
        out.push_back(corner(x, y, a));
      }
    }
  }
}

// A latitude-longitude sphere as a triangle list, every corner repeated for
// each triangle that has it; the seam's corners repeat the first column's
// position and normal with u = 1.
void AddSphere(std::vector<MeshVertex>& out, Vector3 centre, float radius) {
  constexpr int kRings = 8, kSegments = 12;
  AddQuads(out, kRings, kSegments, [&](int ring, int segment, int) {
    const float theta = 3.14159265f * static_cast<float>(ring) / kRings;
    const float phi = 6.28318531f * static_cast<float>(segment % kSegments) / kSegments;
    const Vector3 n{std::sin(theta) * std::cos(phi), std::cos(theta),
                    std::sin(theta) * std::sin(phi)};
    MeshVertex m;
    m.p = {centre.x + radius * n.x, centre.y + radius * n.y, centre.z + radius * n.z};
    m.n = n;
    m.u = static_cast<float>(segment) / kSegments;
    m.v = static_cast<float>(ring) / kRings;
    m.color = 0xFF000000u | static_cast<std::uint32_t>(ring * 30) << 16 | 0x8040u;
    return m;
  });
}

// A grid of quads over the plane y = -1.5, reaching behind the eye, beyond
// the far plane and far past the guard band at the sides: most of its
// triangles are clipped, and share corners with triangles that are not.
void AddGround(std::vector<MeshVertex>& out) {
  AddQuads(out, 6, 6, [](int i, int k, int) {
    MeshVertex m;
    m.p = {-60.0f + 20.0f * static_cast<float>(i), -1.5f, -4.0f + 4.25f * static_cast<float>(k)};
    m.n = {0, 1, 0};
    m.u = m.p.x / 8, m.v = m.p.z / 8;
    m.color =
        0xFF000000u | static_cast<std::uint32_t>(i * 40) << 8 | static_cast<std::uint32_t>(k * 40);
    return m;
  });
}

// Two rows of quads facing the eye whose middle column is a seam: the
// corners on it have the same position, normal and u on both sides and
// differ in their last field only (v, or the colour when there is no
// texture). `merged` gives the right side the left side's values there, as a
// batch that overlooked the last bytes would.
void AddSeamedFlag(std::vector<MeshVertex>& out, bool textured, bool merged) {
  AddQuads(out, 4, 2, [textured, merged](int i, int k, int quad) {
    const bool right = quad >= 2;
    MeshVertex m;
    m.p = {-2.5f + 0.625f * static_cast<float>(i), 0.4f + 0.5f * static_cast<float>(k), 3.0f};
    m.n = {0, 0, -1};
    const bool second = right && !merged && i == 2;
    m.u = static_cast<float>(i) / 4;
    m.v = static_cast<float>(k) / 2 + (second && textured ? 0.5f : 0.0f);
    m.color = second && !textured ? 0xFF20E040 : 0xFFE02040;
    return m;
  });
}

// The icons' lighting (point lights at the eye and behind, constant
// attenuation, no range) and a third point light with distance attenuation
// and a range that leaves part of the scene out.
struct SharedVertexScene : test::Canvas {
  SharedVertexScene() : Canvas(64, 64, PixelFormat::Xrgb8888(), true) {
    device->SetTransform(TransformState::Projection, Perspective(1, 20));
    Material m;
    m.diffuse = {0.7f, 0.5f, 0.9f, 1};
    m.ambient = {0.2f, 0.3f, 0.2f, 0};
    m.emissive = {0.05f, 0, 0.1f, 0};
    device->SetMaterial(m);
    Light light;
    light.type = LightType::Point;
    light.diffuse = light.ambient = {1.2f, 1.2f, 1.2f, 0};
    light.range = kLightRangeMax;
    light.attenuation0 = 3.4f;
    device->SetLight(0, light);
    light.position.z = 10;
    device->SetLight(1, light);
    light.diffuse = {0.9f, 0.7f, 0.3f, 0};
    light.ambient = {0.1f, 0.1f, 0.1f, 0};
    light.position = {3, 4, 2};
    light.range = 9;
    light.attenuation0 = 1, light.attenuation1 = 0.2f, light.attenuation2 = 0.05f;
    device->SetLight(2, light);
    for (std::uint32_t i = 0; i < 3; ++i) device->LightEnable(i, true);
    texture = std::make_shared<Surface>(8, 8, PixelFormat::Argb8888(), caps::kTexture);
    for (std::uint32_t y = 0; y < 8; ++y) {
      for (std::uint32_t x = 0; x < 8; ++x) {
        texture->SetPixel(
            int(x), int(y),
            0xFF000000u | (x * 32 + 31) << 16 | (y * 32 + 31) << 8 | ((x ^ y) * 32 + 31));
      }
    }
  }

  // Draws vertices [first, first + count) of `list` in one call.
  void Draw(std::uint32_t format, const std::vector<MeshVertex>& list, std::size_t first,
            std::size_t count) {
    device->SetTexture(0, (format & fvf::kTex1) != 0 ? texture : SurfacePtr());
    Vertices v;
    for (std::size_t i = first; i < first + count; ++i) {
      const MeshVertex& m = list[i];
      v.F({m.p.x, m.p.y, m.p.z, m.n.x, m.n.y, m.n.z});
      if ((format & fvf::kDiffuse) != 0) v.U(m.color);
      if ((format & fvf::kTex1) != 0) v.F({m.u, m.v});
    }
    device->BeginScene();
    EXPECT_EQ(device->DrawPrimitive(PrimitiveType::TriangleList, format, v.Bytes(),
                                    static_cast<std::uint32_t>(count), 0),
              Result::Ok);
    device->EndScene();
  }
  void DrawOneByOne(std::uint32_t format, const std::vector<MeshVertex>& list) {
    for (std::size_t i = 0; i + 3 <= list.size(); i += 3) Draw(format, list, i, 3);
  }
  // The target's pixels, then the Z-buffer's.
  std::vector<std::uint32_t> Picture() {
    std::vector<std::uint32_t> out;
    for (const SurfacePtr& s : {target, z}) {
      for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) out.push_back(s->PixelAt(x, y));
      }
    }
    device->Clear({}, clear::kTarget | clear::kZBuffer, 0, 1, 0);
    return out;
  }

  SurfacePtr texture;
};

std::vector<MeshVertex> SharedVertexMesh(std::uint32_t format, bool mergedSeam) {
  std::vector<MeshVertex> list;
  AddSphere(list, {0.2f, 0.3f, 5}, 2);
  AddSphere(list, {-1.2f, 1, 1.3f}, 0.8f);  // through the near plane
  AddSphere(list, {0, 0, 30}, 2);           // beyond the far plane
  AddGround(list);
  AddSeamedFlag(list, (format & fvf::kTex1) != 0, mergedSeam);
  return list;
}

// Pixels left black from row `top` down.
std::size_t Holes(const std::vector<std::uint32_t>& picture, int top) {
  return static_cast<std::size_t>(
      std::count(picture.begin() + top * 64, picture.begin() + 64 * 64, 0u));
}

// Position, normal and texture co-ordinates (32 bytes, as the icons' meshes),
// with a colour too (36), and with a colour and no texture (28, compared as
// three words and a tail). The second device has drawn before in every size,
// so its kept buffers must not leak from one draw into the next.
TEST(SharedVertices, OneDrawGivesThePictureOfOneDrawPerTriangle) {
  SharedVertexScene warm;
  for (std::uint32_t format : {fvf::kXyz | fvf::kNormal | fvf::kTex1,
                               fvf::kXyz | fvf::kNormal | fvf::kDiffuse | fvf::kTex1,
                               fvf::kXyz | fvf::kNormal | fvf::kDiffuse}) {
    const std::vector<MeshVertex> list = SharedVertexMesh(format, false);
    SharedVertexScene fresh;
    fresh.Draw(format, list, 0, list.size());
    const std::vector<std::uint32_t> whole = fresh.Picture();
    // The ground below the horizon is drawn by clipped triangles only (near
    // the eye every one of them crosses the near plane or the guard band).
    EXPECT_EQ(Holes(whole, 36), 0u) << format;

    warm.DrawOneByOne(format, list);
    EXPECT_TRUE(warm.Picture() == whole) << "one by one after other draws, format " << format;
    warm.Draw(format, list, 0, list.size());
    EXPECT_TRUE(warm.Picture() == whole) << "whole after small draws, format " << format;

    // The seam's two sets of corners do show: merging them would be seen.
    fresh.Draw(format, SharedVertexMesh(format, true), 0, list.size());
    EXPECT_FALSE(fresh.Picture() == whole) << format;
  }
}

}  // namespace
}  // namespace slk::gfx
