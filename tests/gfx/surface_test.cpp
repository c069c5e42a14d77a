// Surfaces (locking, blits, stretching, clipping, loss), pixel formats, and
// creating surfaces, devices and vertex buffers.

#include "gfx/surface.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <algorithm>
#include <span>
#include <vector>

#include "gfx/desktop.h"
#include "gfx/device.h"
#include "gfx/direct3d.h"
#include "gfx/direct_draw.h"
#include "gfx/pixel_format.h"

namespace slk::gfx {
namespace {

// A surface filled with value(x, y) so that every pixel tells where it came from.
void Number(Surface& s) {
  for (int y = 0; y < s.Height(); ++y) {
    for (int x = 0; x < s.Width(); ++x) {
      s.SetPixel(x, y, static_cast<std::uint32_t>(0x100 + y * 16 + x));
    }
  }
}

std::vector<std::uint32_t> Pixels(const Surface& s) {
  std::vector<std::uint32_t> out;
  for (int y = 0; y < s.Height(); ++y) {
    for (int x = 0; x < s.Width(); ++x) out.push_back(s.PixelAt(x, y));
  }
  return out;
}

TEST(Surface, LockHandsOutRowsAPitchApart) {
  Surface s(5, 3, PixelFormat::Rgb565(), caps::kOffscreenPlain, 6);
  EXPECT_EQ(s.Pitch(), 16u + 6u);
  LockedRect lock;
  ASSERT_EQ(s.Lock(lock), Result::Ok);
  EXPECT_EQ(lock.pitch, s.Pitch());
  // Little-endian pixel 0xBEEF at (4, 2).
  lock.bits[2 * lock.pitch + 4 * 2] = 0xEF;
  lock.bits[2 * lock.pitch + 4 * 2 + 1] = 0xBE;
  EXPECT_EQ(s.Lock(lock), Result::SurfaceBusy);
  ASSERT_EQ(s.Unlock(), Result::Ok);
  EXPECT_EQ(s.Unlock(), Result::NotLocked);
  EXPECT_EQ(s.PixelAt(4, 2), 0xBEEFu);

  LockedRect part;
  ASSERT_EQ(s.Lock(part, Rect{4, 2, 5, 3}), Result::Ok);
  EXPECT_EQ(part.bits[0], 0xEF);
  s.Unlock();
  EXPECT_EQ(s.Lock(part, Rect{4, 2, 6, 3}), Result::InvalidRect);
}

// A frame's pages are resident only once drawn on or populated; zero either way.
TEST(Surface, PopulatedPixelsAreResidentAndZero) {
  const Surface s(512, 312, PixelFormat::Xrgb8888(), caps::kOffscreenPlain);
  std::span<const std::uint8_t> memory = s.Memory();
  std::vector<unsigned char> pages((memory.size() + 4095) / 4096);
  auto resident = [&] {  // -1: not pages of its own (under the sanitizers)
    void* at = const_cast<std::uint8_t*>(memory.data());
    return mincore(at, memory.size(), pages.data()) != 0
               ? -1
               : std::count(pages.begin(), pages.end(), 1);
  };
  if (resident() != 0) GTEST_SKIP() << "the surface's memory is not mapped pages of its own";
  s.PopulatePixels();
  EXPECT_EQ(resident(), static_cast<long>(pages.size()));
  EXPECT_EQ(std::count(memory.begin(), memory.end(), 0), static_cast<long>(memory.size()));
}

TEST(Surface, BltFastCopiesARectangleExactlyAndSkipsTheKeyRange) {
  for (const PixelFormat& f :
       {PixelFormat::Rgb565(), PixelFormat::Rgb888(), PixelFormat::Xrgb8888()}) {
    Surface src(6, 4, f, caps::kOffscreenPlain);
    Number(src);
    Surface dst(8, 8, f, caps::kOffscreenPlain, 4);
    ASSERT_EQ(dst.BltFast(3, 2, src, Rect{1, 1, 4, 3}, bltfast::kWait), Result::Ok);
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        bool inside = x >= 3 && x < 6 && y >= 2 && y < 4;
        std::uint32_t want = inside ? src.PixelAt(x - 2, y - 1) : 0u;
        EXPECT_EQ(dst.PixelAt(x, y), want) << f.bitCount << " bits at " << x << "," << y;
      }
    }
    // Keyed: source values 7 to 9 leave the destination as it was.
    const std::uint32_t keyed[] = {0, 7, 9, 11}, want[] = {0, 0x55, 0x55, 11};
    for (int x = 0; x < 4; ++x) src.SetPixel(x, 0, keyed[x]), dst.SetPixel(x, 0, 0x55);
    src.SetColorKey(ColorKey{7, 9});
    ASSERT_EQ(dst.BltFast(0, 0, src, Rect{0, 0, 4, 1}, bltfast::kSrcColorKey), Result::Ok);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dst.PixelAt(x, 0), want[x]) << f.bitCount;
  }
}

TEST(Surface, BltFastClipsToTheDestination) {
  Surface src(4, 4, PixelFormat::Xrgb8888(), caps::kOffscreenPlain);
  Number(src);
  Surface dst(4, 4, PixelFormat::Xrgb8888(), caps::kOffscreenPlain);
  ASSERT_EQ(dst.BltFast(-2, 3, src, std::nullopt, 0), Result::Ok);
  // Only the source's columns 2..3 of row 0 land, at (0..1, 3).
  EXPECT_EQ(dst.PixelAt(0, 3), src.PixelAt(2, 0));
  EXPECT_EQ(dst.PixelAt(1, 3), src.PixelAt(3, 0));
  EXPECT_EQ(dst.PixelAt(2, 3), 0u);
  EXPECT_EQ(dst.PixelAt(0, 2), 0u);
  // Wholly outside: nothing happens, and that is not an error.
  EXPECT_EQ(dst.BltFast(70000, 0, src, std::nullopt, 0), Result::Ok);
}

TEST(Surface, BltFastRejectsWhatItCannotDoAndReadsBeforeItWrites) {
  Surface a(4, 4, PixelFormat::Rgb565(), caps::kOffscreenPlain);
  Surface b(4, 4, PixelFormat::Xrgb8888(), caps::kOffscreenPlain);
  Surface c(4, 4, PixelFormat::Rgb565(), caps::kOffscreenPlain);
  EXPECT_EQ(a.BltFast(0, 0, b, std::nullopt, 0), Result::InvalidPixelFormat);
  EXPECT_EQ(a.BltFast(0, 0, c, Rect{2, 2, 5, 3}, 0), Result::InvalidRect);
  EXPECT_EQ(a.BltFast(0, 0, c, std::nullopt, bltfast::kSrcColorKey), Result::NoColorKey);
  // Within one surface the old pixels are read.
  Number(c);
  ASSERT_EQ(c.BltFast(1, 0, c, Rect{0, 0, 3, 1}, 0), Result::Ok);
  EXPECT_EQ(c.PixelAt(1, 0), 0x100u);
  EXPECT_EQ(c.PixelAt(3, 0), 0x102u);
}

TEST(Surface, StretchPicksTheSourcePixelUnderEachCentre) {
  Surface src(2, 2, PixelFormat::Xrgb8888(), caps::kOffscreenPlain);
  Number(src);
  Surface dst(4, 4, PixelFormat::Xrgb8888(), caps::kOffscreenPlain);
  ASSERT_EQ(dst.Blt(std::nullopt, &src, std::nullopt, blt::kWait), Result::Ok);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dst.PixelAt(x, y), src.PixelAt(x / 2, y / 2));
  }
  // 16 -> 14 drops source columns 3 and 11 (the centres of 14 cells over 16).
  Surface row(16, 1, PixelFormat::Xrgb8888(), caps::kOffscreenPlain);
  Number(row);
  Surface small(14, 1, PixelFormat::Xrgb8888(), caps::kOffscreenPlain);
  ASSERT_EQ(small.Blt(std::nullopt, &row, std::nullopt, 0), Result::Ok);
  std::vector<std::uint32_t> want;
  for (int x : {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 12, 13, 14, 15}) want.push_back(0x100u + x);
  EXPECT_EQ(Pixels(small), want);
}

TEST(Surface, KeyedStretchClippedKeepsTheMapping) {
  Surface src(2, 1, PixelFormat::Rgb565(), caps::kOffscreenPlain);
  Number(src);
  src.SetColorKey(ColorKey{0x100, 0x100});  // pixel (0, 0) is the key
  Surface dst(4, 1, PixelFormat::Rgb565(), caps::kOffscreenPlain);
  for (int x = 0; x < 4; ++x) dst.SetPixel(x, 0, 0x77);
  // Destination -2..6 is 8 wide: each source pixel covers 4; only 0..3 is visible.
  ASSERT_EQ(dst.Blt(Rect{-2, 0, 6, 1}, &src, std::nullopt, blt::kKeySrc), Result::Ok);
  EXPECT_EQ(Pixels(dst), (std::vector<std::uint32_t>{0x77, 0x77, 0x101, 0x101}));
}

TEST(Surface, ColorFillAndClipper) {
  Desktop desktop(DesktopOptions{.width = 8, .height = 4});
  Window window(desktop, Point{6, 1}, 4, 2);
  auto clipper = std::make_shared<Clipper>();
  ASSERT_EQ(clipper->SetWindow(&window, 0), Result::Ok);
  Surface& screen = *desktop.Screen();
  screen.SetClipper(clipper);
  ASSERT_EQ(screen.Blt(std::nullopt, nullptr, std::nullopt, blt::kColorFill, 0xABCDEF), Result::Ok);
  // Only the window's visible part, (6..7, 1..2), is touched.
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 8; ++x) {
      bool inside = x >= 6 && y >= 1 && y < 3;
      EXPECT_EQ(screen.PixelAt(x, y), inside ? 0xABCDEFu : 0u) << x << "," << y;
    }
  }
  // A screen without pixels has no memory, takes the same blits (counted,
  // lost as ever) and cannot be locked.
  Desktop blind(DesktopOptions{.width = 8, .height = 4, .screenKeepsPixels = false});
  Surface& none = *blind.Screen();
  Surface source(8, 4, PixelFormat::Xrgb8888(), caps::kOffscreenPlain);
  const std::uint64_t version = none.ContentVersion();
  EXPECT_EQ(none.Blt(std::nullopt, &source, std::nullopt, 0), Result::Ok);
  EXPECT_EQ(none.BltFast(0, 0, source, std::nullopt, 0), Result::Ok);
  EXPECT_EQ(none.ContentVersion(), version + 2);
  LockedRect lock;
  EXPECT_EQ(none.Lock(lock), Result::Unsupported);
  EXPECT_TRUE(none.Memory().empty());
  none.MarkLost();
  EXPECT_EQ(none.Blt(std::nullopt, &source, std::nullopt, 0), Result::SurfaceLost);
}

TEST(Surface, LostSurfacesRefuseWorkUntilRestored) {
  Surface s(2, 2, PixelFormat::Xrgb8888(), caps::kOffscreenPlain);
  Number(s);
  Surface other(2, 2, PixelFormat::Xrgb8888(), caps::kOffscreenPlain);
  s.MarkLost();
  EXPECT_EQ(s.IsLost(), Result::SurfaceLost);
  LockedRect lock;
  EXPECT_EQ(s.Lock(lock), Result::SurfaceLost);
  EXPECT_EQ(other.BltFast(0, 0, s, std::nullopt, 0), Result::SurfaceLost);
  EXPECT_EQ(s.BltFast(0, 0, other, std::nullopt, 0), Result::SurfaceLost);
  std::uint64_t before = s.ContentVersion();
  ASSERT_EQ(s.Restore(), Result::Ok);
  EXPECT_EQ(s.IsLost(), Result::Ok);
  EXPECT_NE(s.ContentVersion(), before);
  // Restored memory holds nothing meaningful until it is redrawn.
  EXPECT_EQ(s.PixelAt(1, 1), 0xCDCDCDCDu);
}

TEST(Surface, OneZBufferCanBeAttached) {
  Surface target(4, 4, PixelFormat::Xrgb8888(), caps::k3DDevice);
  auto z1 = std::make_shared<Surface>(4, 4, PixelFormat::Z16(), caps::kZBuffer);
  auto z2 = std::make_shared<Surface>(4, 4, PixelFormat::Z16(), caps::kZBuffer);
  auto notZ = std::make_shared<Surface>(4, 4, PixelFormat::Rgb565(), caps::kOffscreenPlain);
  EXPECT_EQ(target.AddAttachedSurface(notZ), Result::InvalidParams);
  ASSERT_EQ(target.AddAttachedSurface(z1), Result::Ok);
  EXPECT_EQ(target.AddAttachedSurface(z2), Result::SurfaceAlreadyAttached);
  ASSERT_EQ(target.DeleteAttachedSurface(*z1), Result::Ok);
  EXPECT_EQ(target.AddAttachedSurface(z2), Result::Ok);
}

// Pixel formats: channel masks, packing and unpacking.
TEST(PixelFormat, ChannelBitsOfMasks) {
  const std::uint32_t cases[][3] = {{0xF800, 11, 5},     {0x07E0, 5, 6},      {0, 32, 0},
                                    {0xFF000000, 24, 8}, {0xFFFFFFFF, 0, 32}, {0x80000000, 31, 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(ChannelBitsOf(c[0]).shift, c[1]) << std::hex << c[0];
    EXPECT_EQ(ChannelBitsOf(c[0]).width, c[2]) << std::hex << c[0];
  }
}

TEST(PixelFormat, PacksTheTopBitsOfEachChannel) {
  const Color c = 0xFF123456;
  EXPECT_EQ(FormatCodec(PixelFormat::Rgb565()).Pack(c),
            (0x12u >> 3) << 11 | (0x34u >> 2) << 5 | (0x56u >> 3));
  EXPECT_EQ(FormatCodec(PixelFormat::Xrgb1555()).Pack(c),
            (0x12u >> 3) << 10 | (0x34u >> 3) << 5 | (0x56u >> 3));
  EXPECT_EQ(FormatCodec(PixelFormat::Argb1555()).Pack(c),
            0x8000u | (0x12u >> 3) << 10 | (0x34u >> 3) << 5 | (0x56u >> 3));
  EXPECT_EQ(FormatCodec(PixelFormat::Argb4444()).Pack(c), 0xF135u);
  EXPECT_EQ(FormatCodec(PixelFormat::Rgb888()).Pack(c), 0x123456u);
  EXPECT_EQ(FormatCodec(PixelFormat::Xrgb8888()).Pack(c), 0x123456u);
  EXPECT_EQ(FormatCodec(PixelFormat::Argb8888()).Pack(c), 0xFF123456u);
}

TEST(PixelFormat, UnpackReplicatesBitsAndReadsMissingAlphaAsOpaque) {
  FormatCodec c565(PixelFormat::Rgb565());
  EXPECT_EQ(c565.Unpack(0xFFFF), 0xFFFFFFFFu);
  EXPECT_EQ(c565.Unpack(0x0000), 0xFF000000u);
  EXPECT_EQ(c565.Unpack(0xF800), 0xFFFF0000u);
  // 5 bits 10000 -> 10000100, 6 bits 100000 -> 10000010.
  EXPECT_EQ(c565.Unpack(0x8410), 0xFF848284u);
  FormatCodec c4444(PixelFormat::Argb4444());
  EXPECT_EQ(c4444.Unpack(0x7A5F), 0x77AA55FFu);
  FormatCodec c1555(PixelFormat::Argb1555());
  EXPECT_EQ(c1555.Unpack(0x7FFF) >> 24, 0u);
  EXPECT_EQ(c1555.Unpack(0xFFFF) >> 24, 0xFFu);
}

TEST(PixelFormat, EveryDrawableFormatRoundTripsItsOwnValues) {
  for (const PixelFormat& f :
       {PixelFormat::Rgb565(), PixelFormat::Xrgb1555(), PixelFormat::Argb1555(),
        PixelFormat::Argb4444(), PixelFormat::Rgb888(), PixelFormat::Xrgb8888(),
        PixelFormat::Argb8888()}) {
    FormatCodec codec(f);
    std::uint32_t all = f.redMask | f.greenMask | f.blueMask | f.alphaMask;
    for (std::uint32_t v : {0u, all, 0x5555u & all, 0xAAAAAAAAu & all, 0x00F0F0F0u & all}) {
      EXPECT_EQ(codec.Pack(codec.Unpack(v)), v) << "format bits " << f.bitCount;
    }
  }
}

// Creating surfaces, devices and vertex buffers. Surface budgets, surface loss, a missing library
// and the format enumerations are held by tests/display/display_engine_test.cpp.
SurfaceDesc Plain(int w, int h) {
  SurfaceDesc d;
  d.flags = desc::kCaps | desc::kWidth | desc::kHeight;
  d.caps = caps::kOffscreenPlain;
  d.width = w;
  d.height = h;
  return d;
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

// That the hardware types are missing without hardware, and the software one
// taken, is the display engine's device choice test's.
TEST(Direct3D, TheSoftwareDeviceNeedsA3DTarget) {
  Desktop desktop(DesktopOptions{.width = 8, .height = 8});
  Direct3D d3d(desktop);
  auto target = std::make_shared<Surface>(8, 8, PixelFormat::Xrgb8888(), caps::k3DDevice);
  DevicePtr device;
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
