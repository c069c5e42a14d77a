// Perspective, depth, blending, shading and culling of single draws; then the
// fast paths, which hold the top-left rule, shared edges, viewport clipping
// and clearing, and texels decoded one per pixel.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

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

// The rasteriser's fast paths held against what they replace: coverage of small triangles in vector
// lanes against the 64-bit mask and the walk, texture decode through byte tables against the
// format's own codec, and Clear's copied rows against the bytes around them.
using test::Canvas;
using test::kScreenColored;
using test::kScreenTextured;
using test::Vertices;

// The same numbers on every run, so that a failure repeats.
class Random {
 public:
  explicit Random(std::uint32_t seed) : state_(seed) {}
  std::uint32_t Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_ >> 8;
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint32_t>(n)); }
  // A multiple of `step` in [-limit, limit].
  float Offset(float limit, float step) {
    const int k = static_cast<int>(std::floor(limit / step));
    return static_cast<float>(Below(2 * k + 1) - k) * step;
  }

 private:
  std::uint32_t state_;
};

// ---------------------------------------------------------------------------
// Coverage

struct Triangle {
  float x[3], y[3];
};

Vertices Counted(const std::vector<Triangle>& triangles) {
  Vertices v;
  for (const Triangle& t : triangles) {
    for (int i = 0; i < 3; ++i) v.Screen(t.x[i], t.y[i], 0.5f, 0x00010101);
  }
  return v;
}

// Up to `limit` mismatches between an image and the number of times each
// pixel should be covered, as "x,y: got g, want w" lines.
std::string CountErrors(const Canvas& c, auto expectedCount, int limit = 8) {
  std::ostringstream out;
  int errors = 0;
  for (int y = 0; y < c.target->Height(); ++y) {
    for (int x = 0; x < c.target->Width(); ++x) {
      const std::uint32_t want = static_cast<std::uint32_t>(expectedCount(x, y)) * 0x010101u;
      const std::uint32_t got = c.target->PixelAt(x, y);
      if (got != want && errors++ < limit) {
        out << x << "," << y << ": got " << std::hex << got << ", want " << want << std::dec
            << "\n";
      }
    }
  }
  if (errors > limit) out << "... " << errors << " pixels in all\n";
  return out.str();
}

// A grid of cells of the given sizes from (left, top), every inner corner
// moved by a multiple of 1/4 or 1/256 pixel (little enough to keep each cell
// convex), each cell cut along a random diagonal into two triangles with
// their corners in a random order. The outline stays the rectangle.
struct Mesh {
  std::vector<Triangle> triangles;
  float left, top, right, bottom;
};

Mesh JitteredGrid(float left, float top, const std::vector<float>& widths,
                  const std::vector<float>& heights, Random& random) {
  const std::size_t nx = widths.size(), ny = heights.size();
  std::vector<float> xs{left}, ys{top};
  for (float w : widths) xs.push_back(xs.back() + w);
  for (float h : heights) ys.push_back(ys.back() + h);
  auto jitter = [&](float limit) {
    const int mode = random.Below(3);
    return mode == 0 ? 0.0f : random.Offset(limit, mode == 1 ? 0.25f : 1.0f / 256);
  };
  std::vector<float> px((nx + 1) * (ny + 1)), py(px.size());
  for (std::size_t j = 0; j <= ny; ++j) {
    for (std::size_t i = 0; i <= nx; ++i) {
      float room = 1e9f;
      for (std::size_t k : {i - 1, i}) room = k < nx ? std::min(room, widths[k]) : room;
      for (std::size_t k : {j - 1, j}) room = k < ny ? std::min(room, heights[k]) : room;
      room *= 0.2f;
      const std::size_t n = j * (nx + 1) + i;
      px[n] = xs[i] + (i == 0 || i == nx ? 0.0f : jitter(room));
      py[n] = ys[j] + (j == 0 || j == ny ? 0.0f : jitter(room));
    }
  }
  Mesh mesh{{}, left, top, xs.back(), ys.back()};
  auto add = [&](std::size_t a, std::size_t b, std::size_t c) {
    std::size_t corner[3] = {a, b, c};
    const int start = random.Below(3), step = random.Below(2) == 0 ? 1 : 2;
    Triangle t;
    for (int k = 0; k < 3; ++k) {
      const std::size_t n = corner[(start + step * k) % 3];
      t.x[k] = px[n], t.y[k] = py[n];
    }
    mesh.triangles.push_back(t);
  };
  for (std::size_t j = 0; j < ny; ++j) {
    for (std::size_t i = 0; i < nx; ++i) {
      const std::size_t a = j * (nx + 1) + i, b = a + 1, d = a + nx + 1, c = d + 1;
      if (random.Below(2) == 0) {
        add(a, b, c), add(a, c, d);
      } else {
        add(a, b, d), add(b, c, d);
      }
    }
  }
  return mesh;
}

// Triangles that share edges, of sizes on both sides of every limit of the
// row finders (8 columns and 16 x 16 pixels for the lanes, 32 columns for the
// 64-bit mask), at sub-pixel offsets and cut by a viewport: each pixel of the
// outline is covered once and none outside it, so whichever finder each
// neighbour takes, they agree on the top-left rule.
TEST(RasterCoverage, MeshOfMixedSizesCoversEachPixelOnce) {
  const std::vector<float> widths = {0.75f, 1,      2.5f, 5,  7.25f, 8, 8.5f, 12,
                                     16,    16.25f, 24,   33, 40,    6, 3,    4.5f};
  const std::vector<float> heights = {0.5f, 1.25f, 3, 6, 8, 15.75f, 16, 16.25f, 20, 4};
  const float offsets[][2] = {{0, 0}, {0.5f, 0.25f}, {1.0f / 256, 255.0f / 256}, {0.25f, 0.625f}};
  const Rect viewports[] = {{0, 0, 200, 112}, {20, 9, 141, 70}, {7, 30, 12, 101}};
  Random random(20261206);
  for (const auto& offset : offsets) {
    for (const Rect& view : viewports) {
      const Mesh mesh = JitteredGrid(3 + offset[0], 2 + offset[1], widths, heights, random);
      Canvas c(200, 112);
      c.Counting();
      ASSERT_EQ(c.device->SetViewport(Viewport{std::uint32_t(view.left), std::uint32_t(view.top),
                                               std::uint32_t(view.Width()),
                                               std::uint32_t(view.Height()), 0, 1}),
                Result::Ok);
      c.Draw(kScreenColored, Counted(mesh.triangles), mesh.triangles.size() * 3);
      EXPECT_EQ(CountErrors(c,
                            [&](int x, int y) {
                              const float fx = float(x), fy = float(y);
                              return x >= view.left && x < view.right && y >= view.top &&
                                     y < view.bottom && fx >= mesh.left && fx < mesh.right &&
                                     fy >= mesh.top && fy < mesh.bottom;
                            }),
                "")
          << "offset " << offset[0] << "," << offset[1] << ", viewport from " << view.left << ","
          << view.top;
    }
  }
}

// The same triangles drawn whole and in narrow strips of viewport: a triangle
// 9 to 17 pixels wide takes the 64-bit mask whole and the vector lanes in a
// strip of 8 columns or fewer, a wide one walks whole and takes the mask in a
// strip, and a huge one (edge values far beyond 32 bits) must never take the
// lanes however narrow its clipped box. Every pixel counts the same either way.
TEST(RasterCoverage, NarrowStripsCoverWhatTheWholeTriangleCovers) {
  Random random(7);
  std::vector<Triangle> triangles;
  auto add = [&](int count, float reach, float step) {
    for (int n = 0; n < count; ++n) {
      Triangle t;
      const float ax = random.Offset(34, 0.25f) + 32, ay = random.Offset(26, 0.25f) + 24;
      for (int i = 0; i < 3; ++i) {
        t.x[i] = ax + (i == 0 ? 0 : random.Offset(reach, step));
        t.y[i] = ay + (i == 0 ? 0 : random.Offset(reach, step));
      }
      triangles.push_back(t);
    }
  };
  add(150, 8, 0.25f);
  add(60, 8, 1.0f / 256);
  add(40, 24, 0.25f);
  add(6, 430, 0.5f);
  const Vertices v = Counted(triangles);

  Canvas whole(64, 48);
  whole.Counting();
  whole.Draw(kScreenColored, v, triangles.size() * 3);
  const std::vector<std::uint32_t> expected = whole.Pixels();
  int covered = 0;
  for (std::uint32_t p : expected) covered += p != 0 ? 1 : 0;
  ASSERT_GT(covered, 64 * 48 / 2);

  const Rect strips[] = {{0, 0, 8, 48}, {0, 0, 5, 48}, {0, 0, 1, 48}, {0, 0, 64, 7}};
  for (const Rect& strip : strips) {
    Canvas parts(64, 48);
    parts.Counting();
    for (int x = 0; x < 64; x += strip.Width()) {
      for (int y = 0; y < 48; y += strip.Height()) {
        const auto w = std::min(strip.Width(), 64 - x), h = std::min(strip.Height(), 48 - y);
        ASSERT_EQ(parts.device->SetViewport(Viewport{std::uint32_t(x), std::uint32_t(y),
                                                     std::uint32_t(w), std::uint32_t(h), 0, 1}),
                  Result::Ok);
        parts.Draw(kScreenColored, v, triangles.size() * 3);
      }
    }
    EXPECT_EQ(CountErrors(parts, [&](int x, int y) { return expected[y * 64 + x] & 0xFF; }), "")
        << "strips " << strip.Width() << " x " << strip.Height();
  }
}

// ---------------------------------------------------------------------------
// Texture decode

// Draws `texture` (256 x 256) onto a 256 x 256 A8R8G8B8 target, one texel on
// each pixel: texture co-ordinates run over the pixels' edges, so that each
// pixel centre samples the middle of its texel, and white modulates nothing.
std::vector<std::uint32_t> DrawTexelPerPixel(const SurfacePtr& texture) {
  Canvas c(256, 256, PixelFormat::Argb8888());
  EXPECT_EQ(c.device->SetTexture(0, texture), Result::Ok);
  Vertices v;
  auto corner = [&](float x, float y) {
    v.F({x - 0.5f, y - 0.5f, 0.5f, 1.0f}).U(0xFFFFFFFF).F({x / 256, y / 256});
  };
  corner(0, 0), corner(256, 0), corner(0, 256);
  corner(256, 0), corner(256, 256), corner(0, 256);
  c.Draw(kScreenTextured, v, 6);
  return c.Pixels();
}

// The table per byte must give every texel value the colour the format's
// codec gives it: all 65536 values of each 16-bit format, a sample of the
// wider ones. The texture rows are padded, so a decode that ignored the
// pitch would also show.
TEST(RasterTexture, ByteTablesDecodeLikeTheCodec) {
  Canvas probe(1, 1);
  std::vector<PixelFormat> formats;
  probe.device->EnumTextureFormats([&](const PixelFormat& f) {
    formats.push_back(f);
    return true;
  });
  for (const PixelFormat& offered :
       {PixelFormat::Rgb565(), PixelFormat::Argb1555(), PixelFormat::Argb4444()}) {
    ASSERT_NE(std::find(formats.begin(), formats.end(), offered), formats.end());
  }
  for (const PixelFormat& extra :
       {PixelFormat::Xrgb1555(), PixelFormat::Rgb888(), PixelFormat::Xrgb8888()}) {
    formats.push_back(extra);
  }
  Random random(99);
  for (const PixelFormat& format : formats) {
    auto texture = std::make_shared<Surface>(256, 256, format, caps::kTexture, 6);
    const std::uint32_t valueMask =
        format.bitCount >= 32 ? 0xFFFFFFFFu : (1u << format.bitCount) - 1;
    std::vector<std::uint32_t> values;
    for (std::uint32_t n = 0; n < 65536; ++n) {
      const std::uint32_t high = random.Next() << 8;
      values.push_back(format.bitCount == 16 ? n : (high ^ random.Next()) & valueMask);
    }
    for (int i = 0; i < 65536; ++i) texture->SetPixel(i % 256, i / 256, values[i]);
    texture->Touch();
    const std::vector<std::uint32_t> drawn = DrawTexelPerPixel(texture);
    const FormatCodec codec(format);
    int errors = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (drawn[i] != codec.Unpack(values[i]) && errors++ < 4) {
        ADD_FAILURE() << "format of " << format.bitCount << " bits, masks " << std::hex
                      << format.alphaMask << "/" << format.redMask << "/" << format.greenMask << "/"
                      << format.blueMask << ": texel " << values[i] << " drawn as " << drawn[i]
                      << ", codec " << codec.Unpack(values[i]);
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Clear

// Every byte of the surface's memory, padding included, set to a pattern
// that differs from row to row and from byte to byte.
void FillPattern(Surface& s) {
  auto memory = s.Memory();
  for (std::size_t i = 0; i < memory.size(); ++i) {
    memory[i] = static_cast<std::uint8_t>(i * 7 + i / 251 + 3);
  }
}

// Up to a few bytes that are not what a clear of `rects` to `value` should
// leave: the value's bytes inside the rectangles, the pattern everywhere else.
std::string ClearErrors(const Surface& s, const std::vector<Rect>& rects, std::uint32_t value) {
  const std::uint32_t bpp = s.Format().BytesPerPixel();
  auto memory = s.Memory();
  std::ostringstream out;
  int errors = 0;
  for (std::size_t i = 0; i < memory.size(); ++i) {
    const auto y = static_cast<int>(i / s.Pitch());
    const std::size_t column = i % s.Pitch();
    const auto x = static_cast<int>(column / bpp);
    bool inside = false;
    for (const Rect& r : rects) {
      inside |= column < std::size_t(s.Width()) * bpp && x >= r.left && x < r.right && y >= r.top &&
                y < r.bottom;
    }
    const auto want =
        static_cast<std::uint8_t>(inside ? value >> (8 * (column % bpp)) : i * 7 + i / 251 + 3);
    if (memory[i] != want && errors++ < 6) {
      out << "byte " << column << " of row " << y << ": " << int(memory[i]) << ", want "
          << int(want) << "\n";
    }
  }
  return out.str();
}

// Clear fills one row and copies it to the others: rectangles of one row and
// one column, at the far corner, in a viewport, and over padded rows of 2, 3
// and 4-byte targets and Z-buffers must change those pixels' bytes only.
TEST(RasterClear, RectanglesChangeTheirOwnBytesOnly) {
  const std::vector<Rect> rects = {{2, 1, 7, 4}, {0, 5, 3, 6}, {9, 0, 10, 9}, {11, 8, 13, 11}};
  for (const PixelFormat& format :
       {PixelFormat::Rgb565(), PixelFormat::Rgb888(), PixelFormat::Xrgb8888()}) {
    for (const PixelFormat& depthFormat : {PixelFormat::Z16(), PixelFormat::Z32()}) {
      Desktop desktop(DesktopOptions{.width = 13, .height = 11});
      Direct3D d3d(desktop);
      auto target = std::make_shared<Surface>(13, 11, format, caps::k3DDevice, 5);
      auto z = std::make_shared<Surface>(13, 11, depthFormat, caps::kZBuffer, 3);
      target->AddAttachedSurface(z);
      DevicePtr device;
      d3d.CreateDevice(DeviceType::Rgb, target, device);
      FillPattern(*target), FillPattern(*z);
      ASSERT_EQ(device->Clear(rects, clear::kTarget | clear::kZBuffer, 0xFF8C4A21, 0.25f, 0),
                Result::Ok);
      const std::uint32_t pixel = FormatCodec(format).Pack(0xFF8C4A21);
      const std::uint32_t depth = depthFormat.bitCount == 16 ? 16384 : 1073741824;
      EXPECT_EQ(ClearErrors(*target, rects, pixel), "") << format.bitCount << "-bit target";
      EXPECT_EQ(ClearErrors(*z, rects, depth), "") << depthFormat.bitCount << "-bit Z";

      // Without rectangles, the viewport; a rectangle reaching out of it is cut.
      FillPattern(*target), FillPattern(*z);
      ASSERT_EQ(device->SetViewport(Viewport{4, 2, 8, 9, 0, 1}), Result::Ok);
      ASSERT_EQ(device->Clear({}, clear::kTarget, 0xFF8C4A21, 1, 0), Result::Ok);
      EXPECT_EQ(ClearErrors(*target, {{4, 2, 12, 11}}, pixel), "") << format.bitCount;
      const Rect outside[] = {{0, 0, 6, 4}};
      FillPattern(*target);
      ASSERT_EQ(device->Clear(outside, clear::kTarget, 0xFF8C4A21, 1, 0), Result::Ok);
      EXPECT_EQ(ClearErrors(*target, {{4, 2, 6, 4}}, pixel), "") << format.bitCount;
      EXPECT_EQ(ClearErrors(*z, {}, 0), "");
    }
  }
}

}  // namespace
}  // namespace slk::gfx
