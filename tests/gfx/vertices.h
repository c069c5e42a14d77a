#pragma once
// Builds vertex bytes for draw tests, field by field in little-endian order,
// and a render target with a device to draw them on.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "gfx/device.h"
#include "gfx/direct3d.h"

namespace slk::gfx::test {

class Vertices {
 public:
  Vertices& F(std::initializer_list<float> values) {
    for (float f : values) {
      std::uint32_t bits;
      std::memcpy(&bits, &f, sizeof bits);
      U(bits);
    }
    return *this;
  }
  Vertices& U(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  // Pre-transformed, coloured: x, y, z, rhw, diffuse (format 0x44).
  Vertices& Screen(float x, float y, float z, std::uint32_t color, float rhw = 1.0f) {
    return F({x, y, z, rhw}).U(color);
  }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

inline constexpr std::uint32_t kScreenColored = fvf::kXyzRhw | fvf::kDiffuse;
inline constexpr std::uint32_t kScreenTextured = kScreenColored | fvf::kTex1;

// A render target with padded rows and an RGB device on it, culling off;
// with a 16-bit Z-buffer, cleared and compared LESS, when asked.
struct Canvas {
  explicit Canvas(int w, int h, const PixelFormat& f = PixelFormat::Xrgb8888(), bool depth = false)
      : desktop(DesktopOptions{.width = w, .height = h}), d3d(desktop) {
    target = std::make_shared<Surface>(w, h, f, caps::k3DDevice, 4);
    if (depth) {
      z = std::make_shared<Surface>(w, h, PixelFormat::Z16(), caps::kZBuffer);
      target->AddAttachedSurface(z);
    }
    d3d.CreateDevice(DeviceType::Rgb, target, device);
    device->SetRenderState(RenderState::CullMode, cull::kNone);
    if (depth) {
      device->SetRenderState(RenderState::ZEnable, 1);
      device->SetRenderState(RenderState::ZFunc, cmp::kLess);
      device->Clear({}, clear::kTarget | clear::kZBuffer, 0, 1.0f, 0);
    }
  }
  // Each triangle adds its colour to the pixels it covers.
  void Counting() {
    device->SetRenderState(RenderState::AlphaBlendEnable, 1);
    device->SetRenderState(RenderState::SrcBlend, blend::kOne);
    device->SetRenderState(RenderState::DestBlend, blend::kOne);
  }
  void Draw(std::uint32_t format, const Vertices& v, std::size_t count) {
    ASSERT_EQ(device->BeginScene(), Result::Ok);
    ASSERT_EQ(device->DrawPrimitive(PrimitiveType::TriangleList, format, v.Bytes(),
                                    static_cast<std::uint32_t>(count), 0),
              Result::Ok);
    ASSERT_EQ(device->EndScene(), Result::Ok);
  }
  // Two triangles over [x0, x1) x [y0, y1) in screen pixels.
  void Quad(float x0, float y0, float x1, float y1, float depth, std::uint32_t color) {
    Vertices v;
    v.Screen(x0, y0, depth, color).Screen(x1, y0, depth, color).Screen(x0, y1, depth, color);
    v.Screen(x1, y0, depth, color).Screen(x0, y1, depth, color).Screen(x1, y1, depth, color);
    Draw(kScreenColored, v, 6);
  }
  std::uint32_t At(int x, int y) const { return target->PixelAt(x, y); }
  std::vector<std::uint32_t> Pixels() const {
    std::vector<std::uint32_t> out;
    for (int y = 0; y < target->Height(); ++y) {
      for (int x = 0; x < target->Width(); ++x) out.push_back(target->PixelAt(x, y));
    }
    return out;
  }

  Desktop desktop;
  Direct3D d3d;
  SurfacePtr target, z;
  DevicePtr device;
};

}  // namespace slk::gfx::test
