// The detail screen's per-frame 3D work: a textured, lit model of about 2,000
// triangles spinning in a 224 x 224 viewport of the 512 x 312 target, with the
// device state the display sets up.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
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

struct Scene {
  Scene() : desktop(DesktopOptions{.width = 640, .height = 480}), d3d(desktop) {
    target = std::make_shared<Surface>(512, 312, PixelFormat::Xrgb8888(), caps::k3DDevice);
    target->AddAttachedSurface(
        std::make_shared<Surface>(512, 312, PixelFormat::Z16(), caps::kZBuffer));
    d3d.CreateDevice(DeviceType::Rgb, target, device);
    texture = std::make_shared<Surface>(128, 128, PixelFormat::Rgb565(), caps::kTexture);
    for (int y = 0; y < 128; ++y) {
      for (int x = 0; x < 128; ++x)
        texture->SetPixel(x, y, ((x / 8 + y / 8) % 2) ? 0xF81Fu : 0x07E0u);
    }
    texture->Touch();
    d3d.CreateVertexBuffer(VertexBufferDesc{0, 0x112, kRings * kSegments * 6}, mesh, 0);
    FillSphere(*mesh);

    device->SetRenderState(RenderState::ZEnable, 1);
    device->SetRenderState(RenderState::CullMode, cull::kNone);
    device->SetRenderState(RenderState::ZFunc, cmp::kLess);
    Matrix projection;
    projection.m[0][0] = projection.m[1][1] = 1;
    projection.m[2][2] = 3, projection.m[2][3] = 1, projection.m[3][2] = -12;
    device->SetTransform(TransformState::Projection, projection);
    Light light;
    light.type = LightType::Point;
    light.diffuse = light.ambient = ColorValue{1.2f, 1.2f, 1.2f, 0};
    light.direction = Vector3{};
    light.range = kLightRangeMax;
    light.attenuation0 = 3.4f;
    device->SetLight(0, light);
    device->LightEnable(0, true);
    light.position.z = 10;
    device->SetLight(1, light);
    device->LightEnable(1, true);
    Material material;
    material.diffuse = ColorValue{1.5f, 1.5f, 1.5f, 0};
    material.emissive = ColorValue{0.5f, 0.5f, 0.5f, 0};
    device->SetMaterial(material);
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
    device->BeginScene();
    device->DrawPrimitiveVB(PrimitiveType::TriangleList, *mesh, 0, mesh->VertexCount(), 0);
    device->EndScene();
  }

  Desktop desktop;
  Direct3D d3d;
  SurfacePtr target, texture;
  DevicePtr device;
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

}  // namespace
}  // namespace slk::gfx
