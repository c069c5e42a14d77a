// Creating surfaces, devices and vertex buffers. Surface budgets, surface
// loss, a missing library and the format enumerations are held by
// tests/display/display_engine_test.cpp.

#include "gfx/direct_draw.h"

#include <gtest/gtest.h>

#include "gfx/device.h"
#include "gfx/direct3d.h"

namespace slk::gfx {
namespace {

SurfaceDesc Plain(int w, int h) {
  SurfaceDesc d;
  d.flags = desc::kCaps | desc::kWidth | desc::kHeight;
  d.caps = caps::kOffscreenPlain;
  d.width = w;
  d.height = h;
  return d;
}

TEST(DirectDraw, PrimaryIsTheDesktopAndPlainSurfacesShareItsFormat) {
  Desktop desktop(DesktopOptions{.width = 32, .height = 16, .format = PixelFormat::Rgb888()});
  std::shared_ptr<DirectDraw> dd;
  ASSERT_EQ(DirectDrawCreate(desktop, dd), Result::Ok);
  SurfaceDesc primary;
  primary.flags = desc::kCaps;
  primary.caps = caps::kPrimarySurface;
  SurfacePtr screen, plain;
  ASSERT_EQ(dd->CreateSurface(primary, screen), Result::Ok);
  EXPECT_EQ(screen, desktop.Screen());
  ASSERT_EQ(dd->CreateSurface(Plain(5, 3), plain), Result::Ok);
  EXPECT_EQ(plain->Format(), PixelFormat::Rgb888());
  EXPECT_EQ(plain->Width(), 5);
  EXPECT_FALSE(plain->SrcColorKey());
  EXPECT_NE(plain->Caps() & caps::kSystemMemory, 0u);
}

TEST(DirectDraw, KeyedAndFormattedDescriptions) {
  Desktop desktop(DesktopOptions{.width = 8, .height = 8});
  DirectDraw dd(desktop);
  SurfaceDesc keyed = Plain(4, 4);
  keyed.flags |= desc::kCkSrcBlt;
  SurfacePtr s;
  ASSERT_EQ(dd.CreateSurface(keyed, s), Result::Ok);
  ASSERT_TRUE(s->SrcColorKey());
  EXPECT_EQ(*s->SrcColorKey(), (ColorKey{0, 0}));

  SurfaceDesc z = Plain(4, 4);
  z.flags |= desc::kPixelFormat;
  z.caps = caps::kZBuffer | caps::kSystemMemory;
  EXPECT_EQ(dd.CreateSurface(z, s), Result::InvalidPixelFormat);  // no format found
  z.format = PixelFormat::Rgb565();
  EXPECT_EQ(dd.CreateSurface(z, s), Result::InvalidPixelFormat);  // not a Z format
  z.format = PixelFormat::Z16();
  ASSERT_EQ(dd.CreateSurface(z, s), Result::Ok);
  EXPECT_EQ(s->Format(), PixelFormat::Z16());
}

TEST(Direct3D, OnlyTheSoftwareDeviceExistsWithoutHardware) {
  Desktop desktop(DesktopOptions{.width = 8, .height = 8});
  Direct3D d3d(desktop);
  auto target = std::make_shared<Surface>(8, 8, PixelFormat::Xrgb8888(), caps::k3DDevice);
  DevicePtr device;
  EXPECT_EQ(d3d.CreateDevice(DeviceType::TnLHal, target, device), Result::NoDevice);
  EXPECT_EQ(d3d.CreateDevice(DeviceType::Hal, target, device), Result::NoDevice);
  EXPECT_EQ(d3d.CreateDevice(DeviceType::Rgb, target, device), Result::Ok);
  ASSERT_TRUE(device);
  auto plain = std::make_shared<Surface>(8, 8, PixelFormat::Xrgb8888(), caps::kOffscreenPlain);
  EXPECT_EQ(d3d.CreateDevice(DeviceType::Rgb, plain, device), Result::InvalidParams);
}

TEST(Direct3D, VertexBuffersOfTheUsedFormats) {
  Desktop desktop(DesktopOptions{.width = 8, .height = 8});
  Direct3D d3d(desktop);
  VertexBufferPtr vb;
  ASSERT_EQ(d3d.CreateVertexBuffer(VertexBufferDesc{0, 0x44, 6}, vb, 0), Result::Ok);
  std::span<std::uint8_t> bytes;
  ASSERT_EQ(vb->Lock(bytes), Result::Ok);
  EXPECT_EQ(bytes.size(), 120u);
  EXPECT_EQ(vb->Lock(bytes), Result::SurfaceBusy);
  EXPECT_EQ(vb->Unlock(), Result::Ok);
  EXPECT_EQ(d3d.CreateVertexBuffer(VertexBufferDesc{0, 0x44, 0}, vb, 0), Result::InvalidParams);
  EXPECT_EQ(d3d.CreateVertexBuffer(VertexBufferDesc{0, 0x6, 3}, vb, 0), Result::InvalidParams);
}

}  // namespace
}  // namespace slk::gfx
