#include "gfx/surface.h"

#include <gtest/gtest.h>

#include <vector>

#include "gfx/desktop.h"

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

}  // namespace
}  // namespace slk::gfx
