// The device's 3D work for the two screens: the detail screen's per-frame
// textured, lit model of about 2,000 triangles spinning in a 224 x 224
// viewport of the 512 x 312 target, and the list pre-render's 72 small icon
// draws into a 64 x 64 target; each with the device state the display sets up.

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "baseline.h"
#include "gfx/device.h"
#include "gfx/direct3d.h"

namespace slk::gfx {
namespace {

constexpr int kRings = 25;
constexpr int kSegments = 40;  // 2 x 25 x 40 = 2,000 triangles

void PutFloat(std::uint8_t* p, float f) {
  std::uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

// A sphere of radius 0.8 as a triangle list of position, normal, texture
// co-ordinate (format 0x112).
void FillSphere(VertexBuffer& vb) {
  std::span<std::uint8_t> bytes;
  vb.Lock(bytes);
  std::size_t n = 0;
  auto vertex = [&](int ring, int segment) {
    float theta = static_cast<float>(ring) / kRings * 3.14159265f;
    float phi = static_cast<float>(segment) / kSegments * 6.28318531f;
    float nx = std::sin(theta) * std::cos(phi), ny = std::cos(theta),
          nz = std::sin(theta) * std::sin(phi);
    std::uint8_t* p = bytes.data() + 32 * n++;
    const float values[8] = {0.8f * nx,
                             0.8f * ny,
                             0.8f * nz,
                             nx,
                             ny,
                             nz,
                             static_cast<float>(segment) / kSegments * 2,
                             static_cast<float>(ring) / kRings};
    for (int i = 0; i < 8; ++i) PutFloat(p + 4 * i, values[i]);
  };
  for (int r = 0; r < kRings; ++r) {
    for (int s = 0; s < kSegments; ++s) {
      vertex(r, s), vertex(r + 1, s), vertex(r, s + 1);
      vertex(r, s + 1), vertex(r + 1, s), vertex(r + 1, s + 1);
    }
  }
  vb.Unlock();
}

// What the display sets on its device for both screens: the depth test, no
// culling, its projection, two point lights and the material.
void SetDisplayState(Device& device) {
  device.SetRenderState(RenderState::ZEnable, 1);
  device.SetRenderState(RenderState::CullMode, cull::kNone);
  device.SetRenderState(RenderState::ZFunc, cmp::kLess);
  Matrix projection;
  projection.m[0][0] = projection.m[1][1] = 1;
  projection.m[2][2] = 3, projection.m[2][3] = 1, projection.m[3][2] = -12;
  device.SetTransform(TransformState::Projection, projection);
  Light light;
  light.type = LightType::Point;
  light.diffuse = light.ambient = ColorValue{1.2f, 1.2f, 1.2f, 0};
  light.direction = Vector3{};
  light.range = kLightRangeMax;
  light.attenuation0 = 3.4f;
  device.SetLight(0, light);
  device.LightEnable(0, true);
  light.position.z = 10;
  device.SetLight(1, light);
  device.LightEnable(1, true);
  Material material;
  material.diffuse = ColorValue{1.5f, 1.5f, 1.5f, 0};
  material.emissive = ColorValue{0.5f, 0.5f, 0.5f, 0};
  device.SetMaterial(material);
}

// A desktop of its own and a device on it that draws into a `width` x
// `height` target with a Z buffer; a 128 x 128 texture for the scene to fill.
struct DeviceRig {
  DeviceRig(DesktopOptions options, int width, int height, PixelFormat format)
      : desktop(options), d3d(desktop) {
    target = std::make_shared<Surface>(width, height, format, caps::k3DDevice);
    target->AddAttachedSurface(
        std::make_shared<Surface>(width, height, PixelFormat::Z16(), caps::kZBuffer));
    d3d.CreateDevice(DeviceType::Rgb, target, device);
    texture = std::make_shared<Surface>(128, 128, PixelFormat::Rgb565(), caps::kTexture);
  }

  void DrawScene(const VertexBuffer& mesh) {
    device->BeginScene();
    device->DrawPrimitiveVB(PrimitiveType::TriangleList, mesh, 0, mesh.VertexCount(), 0);
    device->EndScene();
  }

  Desktop desktop;
  Direct3D d3d;
  SurfacePtr target, texture;
  DevicePtr device;
};

struct Scene : DeviceRig {
  Scene()
      : DeviceRig(DesktopOptions{.width = 640, .height = 480}, 512, 312, PixelFormat::Xrgb8888()) {
    for (int y = 0; y < 128; ++y) {
      for (int x = 0; x < 128; ++x)
        texture->SetPixel(x, y, ((x / 8 + y / 8) % 2) ? 0xF81Fu : 0x07E0u);
    }
    texture->Touch();
    d3d.CreateVertexBuffer(VertexBufferDesc{0, 0x112, kRings * kSegments * 6}, mesh, 0);
    FillSphere(*mesh);

    SetDisplayState(*device);
    device->SetTexture(0, texture);
    device->SetViewport(Viewport{16, 44, 224, 224, 0, 1});
  }

  void Frame(int step) {
    float a = static_cast<float>(step % 360) * 0.017444445f;
    Matrix world;
    world.m[0][0] = 4 * std::cos(a), world.m[0][2] = -0.70710677f * std::sin(a);
    world.m[1][1] = 4;
    world.m[2][0] = 4 * std::sin(a), world.m[2][2] = 0.70710677f * std::cos(a);
    world.m[3][2] = 5, world.m[3][3] = 1;
    device->SetTransform(TransformState::World, world);
    device->Clear({}, clear::kZBuffer, 0, 1.0f, 0);
    DrawScene(*mesh);
  }

  VertexBufferPtr mesh;
};

void BM_TexturedLitMesh2000(benchmark::State& state) {
  Scene scene;
  int step = 0;
  bench::Stopwatch watch;
  watch.Start();
  for (auto _ : state) {
    scene.Frame(step++);
    benchmark::ClobberMemory();
  }
  watch.Stop(state.iterations());
  const std::size_t bytes = scene.mesh->Bytes().size() + 224 * 224 * 4;
  state.counters["triangles"] = kRings * kSegments * 2;
  bench::ReportAgainstMemcpy(state, bytes, watch.PerIteration());
  state.SetLabel("target: <= 1 ms per frame");
}
BENCHMARK(BM_TexturedLitMesh2000)->Unit(benchmark::kMillisecond);

// The device's share of the icon list pre-render: nine spheres of 14 to 22
// segments in 8 shapes each (about 2,000 vertices a mesh, as bench_icons
// builds them), each cleared and drawn into the 64 x 64 icon target of a
// 16-bit desktop with the display's lights, material and list world matrix.
struct IconScene : DeviceRig {
  IconScene()
      : DeviceRig(DesktopOptions{.width = 640, .height = 400}, 64, 64, PixelFormat::Rgb565()) {
    for (int y = 0; y < 128; ++y) {
      for (int x = 0; x < 128; ++x) texture->SetPixel(x, y, y % 2 ? 0x07FFu : 0xF81Fu);
    }
    texture->Touch();
    device->SetTexture(0, texture);
    SetDisplayState(*device);
    const float c = std::cos(-0.87222224f), s = std::sin(-0.87222224f);
    Matrix world;  // tilted about x, flattened in depth, 5 units away
    world.m[0] = {4, 0, 0, 0};
    world.m[1] = {0, 4 * c, 0.70710677f * s, 0};
    world.m[2] = {0, -4 * s, 0.70710677f * c, 0};
    world.m[3] = {0, 0, 5, 1};
    device->SetTransform(TransformState::World, world);
    for (int segments = 14; segments <= 22; ++segments) {
      for (int shape = 0; shape < 8; ++shape) meshes.push_back(Sphere(segments, shape));
    }
  }

  // A ring-and-segment sphere as the icon decoder leaves it: positions and
  // normals from 16-bit fixed point, texture co-ordinates (format 0x112).
  VertexBufferPtr Sphere(int segments, int shape) {
    constexpr int kIconRings = 19;
    std::vector<std::array<float, 3>> corners;
    auto point = [&](int ring, int segment) {
      float a = 3.14159f * static_cast<float>(ring) / kIconRings;
      float b = 6.28318f * static_cast<float>(segment) / static_cast<float>(segments);
      return std::array<float, 3>{std::sin(a) * std::cos(b), std::cos(a),
                                  std::sin(a) * std::sin(b)};
    };
    for (int r = 0; r < kIconRings; ++r) {
      for (int s = 0; s < segments; ++s) {
        auto p00 = point(r, s), p01 = point(r, s + 1), p10 = point(r + 1, s),
             p11 = point(r + 1, s + 1);
        for (const auto& p : {p00, p10, p01, p01, p10, p11}) corners.push_back(p);
      }
    }
    VertexBufferPtr vb;
    d3d.CreateVertexBuffer(VertexBufferDesc{0, 0x112, static_cast<std::uint32_t>(corners.size())},
                           vb, 0);
    std::span<std::uint8_t> bytes;
    vb->Lock(bytes);
    const float radius = 7000.0f + 400.0f * static_cast<float>(shape);
    auto fixed = [](float v) { return static_cast<float>(static_cast<std::int16_t>(v)); };
    for (std::size_t i = 0; i < corners.size(); ++i) {
      const auto& c = corners[i];
      const float values[8] = {fixed(c[0] * radius) / 10240.0f,
                               fixed(c[1] * radius) / 10240.0f,
                               fixed(c[2] * radius) / 10240.0f,
                               fixed(c[0] * 4096) / 4096.0f,
                               -fixed(c[1] * 4096) / 4096.0f,
                               fixed(c[2] * 4096) / 4096.0f,
                               (c[0] + 1) / 2,
                               (c[1] + 1) / 2};
      for (int k = 0; k < 8; ++k) PutFloat(bytes.data() + 32 * i + 4 * k, values[k]);
    }
    vb->Unlock();
    return vb;
  }

  void DrawAll() {
    for (const VertexBufferPtr& mesh : meshes) {
      device->Clear({}, clear::kTarget | clear::kZBuffer, 0xFFFFFF, 1.0f, 0);
      DrawScene(*mesh);
    }
  }

  std::vector<VertexBufferPtr> meshes;
};

void BM_IconPrerenderDraws(benchmark::State& state) {
  IconScene scene;
  bench::Stopwatch watch;
  watch.Start();
  for (auto _ : state) {
    scene.DrawAll();
    benchmark::ClobberMemory();
  }
  watch.Stop(state.iterations());
  std::size_t bytes = 0;
  for (const VertexBufferPtr& mesh : scene.meshes) bytes += mesh->Bytes().size();
  state.counters["draws"] = static_cast<double>(scene.meshes.size());
  state.counters["ms"] = watch.PerIteration() / 1e6;
  bench::ReportAgainstMemcpy(state, bytes, watch.PerIteration());
  state.SetLabel("the device's part of PrerenderSlotIcons");
}
BENCHMARK(BM_IconPrerenderDraws)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace slk::gfx
