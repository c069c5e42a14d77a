#include "gfx/raster.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace slk::gfx::detail {

namespace {

// Vertex positions are snapped to 1/256 pixel; edge functions are exact in
// 64-bit integers from there, so coverage never depends on rounding.
constexpr int kSubBits = 8;
constexpr std::int64_t kSub = 1 << kSubBits;

// floor() of a value known to lie well inside the range of int64.
std::int64_t FloorToInt(double v) {
  auto i = static_cast<std::int64_t>(v);
  return static_cast<double>(i) > v ? i - 1 : i;
}

bool Snap(float v, std::int64_t& out) {
  if (!(std::fabs(v) < 1.0e6f)) return false;  // also rejects NaN
  out = FloorToInt(static_cast<double>(v) * kSub + 0.5);
  return true;
}

// Whole pixels below and above a snapped co-ordinate (shifts floor).
std::int64_t FloorPixel(std::int64_t v) {
  return v >> kSubBits;
}
std::int64_t CeilPixel(std::int64_t v) {
  return -((-v) >> kSubBits);
}

float Clamp01(float v) {
  return std::min(std::max(v, 0.0f), 1.0f);
}

// Texel index for wrap addressing: floor(coordinate) modulo size; `mask` is
// size - 1 for a power-of-two size, which saves the division.
int Wrap(float coordinate, int size, int mask) {
  if (!(std::fabs(coordinate) < 1.0e9f)) return 0;
  auto i = static_cast<std::int64_t>(coordinate);
  if (static_cast<float>(i) > coordinate) --i;
  if (mask >= 0) return static_cast<int>(i & mask);
  i %= size;
  return static_cast<int>(i < 0 ? i + size : i);
}

int PowerOfTwoMask(int size) {
  return size > 0 && (size & (size - 1)) == 0 ? size - 1 : -1;
}

bool Compare(std::uint32_t func, std::uint32_t incoming, std::uint32_t stored) {
  switch (func) {
    case 1:
      return false;
    case 2:
      return incoming < stored;
    case 3:
      return incoming == stored;
    case 4:
      return incoming <= stored;
    case 5:
      return incoming > stored;
    case 6:
      return incoming != stored;
    case 7:
      return incoming >= stored;
    default:
      return true;
  }
}

std::uint32_t BlendFactor(std::uint32_t mode, std::uint32_t srcAlpha) {
  switch (mode) {
    case 1:
      return 0;
    case 5:
      return srcAlpha;
    case 6:
      return 255 - srcAlpha;
    default:
      return 255;
  }
}

}  // namespace

struct Rasterizer::Attributes {
  float z = 0, rhw = 0, uw = 0, vw = 0, r = 0, g = 0, b = 0, a = 0;

  static Attributes Of(const RasterVertex& v) {
    return Attributes{v.z, v.rhw, v.u * v.rhw, v.v * v.rhw, v.r, v.g, v.b, v.a};
  }
  void Add(const Attributes& d) {
    z += d.z, rhw += d.rhw, uw += d.uw, vw += d.vw;
    r += d.r, g += d.g, b += d.b, a += d.a;
  }
  // this + dx * sx + dy * sy
  Attributes At(const Attributes& dx, float sx, const Attributes& dy, float sy) const {
    return Attributes{z + dx.z * sx + dy.z * sy,    rhw + dx.rhw * sx + dy.rhw * sy,
                      uw + dx.uw * sx + dy.uw * sy, vw + dx.vw * sx + dy.vw * sy,
                      r + dx.r * sx + dy.r * sy,    g + dx.g * sx + dy.g * sy,
                      b + dx.b * sx + dy.b * sy,    a + dx.a * sx + dy.a * sy};
  }
};

struct Rasterizer::Setup {
  std::int64_t x[3], y[3];
  // Edge i runs from vertex i to vertex i + 1; inside is E >= 0 after the
  // fill-rule bias. E at pixel centre (px, py) = dyStep * py + dxStep * px + c.
  std::int64_t dxStep[3], dyStep[3], c[3];
  Attributes origin, ddx, ddy;  // the plane of each attribute, origin at vertex 0
  float x0 = 0, y0 = 0;
  int minX = 0, maxX = 0, minY = 0, maxY = 0;
};

Rasterizer::Rasterizer(Surface& color, Surface* depth, const Rect& clip, const RasterState& state)
    : color_(color),
      depth_(depth),
      clip_(clip),
      state_(state),
      codec_(color.Format()),
      colorBytes_(color.Format().BytesPerPixel()),
      depthBytes_(depth != nullptr ? depth->Format().BytesPerPixel() : 0) {
  if (depth_ == nullptr) state_.zTest = state_.zWrite = false;
  if (state_.texture != nullptr && (state_.texture->width <= 0 || state_.texture->height <= 0)) {
    state_.texture = nullptr;
  }
  // 8-bit channels in their usual places need no packing, only a mask.
  const PixelFormat& f = color.Format();
  if (f.bitCount == 32 && f.redMask == 0xFF0000 && f.greenMask == 0xFF00 && f.blueMask == 0xFF &&
      (f.alphaMask == 0 || f.alphaMask == 0xFF000000u)) {
    packMask_ = 0xFFFFFF | f.alphaMask;
  }
  if (state_.texture != nullptr) {
    texWidth_ = static_cast<float>(state_.texture->width);
    texHeight_ = static_cast<float>(state_.texture->height);
    texMaskU_ = PowerOfTwoMask(state_.texture->width);
    texMaskV_ = PowerOfTwoMask(state_.texture->height);
  }
}

void Rasterizer::Triangle(const RasterVertex& v0, const RasterVertex& v1, const RasterVertex& v2) {
  if (clip_.Empty()) return;
  const RasterVertex* v[3] = {&v0, &v1, &v2};
  Setup s;
  for (int i = 0; i < 3; ++i) {
    if (!Snap(v[i]->x, s.x[i]) || !Snap(v[i]->y, s.y[i])) return;
  }
  // Positive area: clockwise as seen on the screen (y grows downwards).
  std::int64_t area = (s.x[1] - s.x[0]) * (s.y[2] - s.y[0]) - (s.y[1] - s.y[0]) * (s.x[2] - s.x[0]);
  if (area == 0) return;
  if ((state_.cullMode == 2 && area > 0) || (state_.cullMode == 3 && area < 0)) return;
  if (area < 0) {
    std::swap(v[1], v[2]);
    std::swap(s.x[1], s.x[2]);
    std::swap(s.y[1], s.y[2]);
    area = -area;
  }

  // Pixel centres inside the bounding box and the clip rectangle.
  std::int64_t loX = std::min({s.x[0], s.x[1], s.x[2]}), hiX = std::max({s.x[0], s.x[1], s.x[2]});
  std::int64_t loY = std::min({s.y[0], s.y[1], s.y[2]}), hiY = std::max({s.y[0], s.y[1], s.y[2]});
  s.minX = static_cast<int>(std::max<std::int64_t>(CeilPixel(loX), clip_.left));
  s.maxX = static_cast<int>(std::min<std::int64_t>(FloorPixel(hiX), clip_.right - 1));
  s.minY = static_cast<int>(std::max<std::int64_t>(CeilPixel(loY), clip_.top));
  s.maxY = static_cast<int>(std::min<std::int64_t>(FloorPixel(hiY), clip_.bottom - 1));
  if (s.minX > s.maxX || s.minY > s.maxY) return;

  for (int i = 0; i < 3; ++i) {
    int j = (i + 1) % 3;
    std::int64_t ex = s.x[j] - s.x[i], ey = s.y[j] - s.y[i];
    // E(P) = ex * (P.y - y_i) - ey * (P.x - x_i), P in 1/256 units.
    s.dxStep[i] = -ey * kSub;
    s.dyStep[i] = ex * kSub;
    s.c[i] = -ex * s.y[i] + ey * s.x[i];
    // Top-left rule: pixels on a left edge (going up) or a top edge (going
    // right) are inside; on any other edge they are outside.
    bool topLeft = ey < 0 || (ey == 0 && ex > 0);
    if (!topLeft) s.c[i] -= 1;
  }

  // Attribute planes, from the snapped positions.
  const double fx[3] = {s.x[0] / double{kSub}, s.x[1] / double{kSub}, s.x[2] / double{kSub}};
  const double fy[3] = {s.y[0] / double{kSub}, s.y[1] / double{kSub}, s.y[2] / double{kSub}};
  const double areaF = static_cast<double>(area) / static_cast<double>(kSub * kSub);
  Attributes a0 = Attributes::Of(*v[0]), a1 = Attributes::Of(*v[1]), a2 = Attributes::Of(*v[2]);
  auto plane = [&](float Attributes::*field) {
    double d1 = a1.*field - a0.*field, d2 = a2.*field - a0.*field;
    s.ddx.*field = static_cast<float>((d1 * (fy[2] - fy[0]) - d2 * (fy[1] - fy[0])) / areaF);
    s.ddy.*field = static_cast<float>((d2 * (fx[1] - fx[0]) - d1 * (fx[2] - fx[0])) / areaF);
  };
  for (auto field : {&Attributes::z, &Attributes::rhw, &Attributes::uw, &Attributes::vw,
                     &Attributes::r, &Attributes::g, &Attributes::b, &Attributes::a}) {
    plane(field);
  }
  s.origin = a0;
  s.x0 = static_cast<float>(fx[0]);
  s.y0 = static_cast<float>(fy[0]);
  Rows(s);
}

void Rasterizer::Rows(const Setup& s) {
  using SpanFn = void (Rasterizer::*)(int, int, int, Attributes, const Attributes&);
  SpanFn span;
  const bool textured = state_.texture != nullptr;
  switch (state_.zTest ? depthBytes_ : 0) {
    case 2:
      span = textured ? &Rasterizer::Span<true, 2> : &Rasterizer::Span<false, 2>;
      break;
    case 4:
      span = textured ? &Rasterizer::Span<true, 4> : &Rasterizer::Span<false, 4>;
      break;
    default:
      span = textured ? &Rasterizer::Span<true, 0> : &Rasterizer::Span<false, 0>;
      break;
  }
  // Edge values at the first pixel centre of each row, stepped row by row.
  std::int64_t rowE[3];
  for (int i = 0; i < 3; ++i) rowE[i] = s.dyStep[i] * s.minY + s.dxStep[i] * s.minX + s.c[i];
  for (int py = s.minY; py <= s.maxY; ++py) {
    std::int64_t e0 = rowE[0], e1 = rowE[1], e2 = rowE[2];
    for (int i = 0; i < 3; ++i) rowE[i] += s.dyStep[i];
    // The covered pixels of a row are one run: skip to it, then walk it.
    int x = s.minX;
    while (x <= s.maxX && (e0 | e1 | e2) < 0) {
      e0 += s.dxStep[0], e1 += s.dxStep[1], e2 += s.dxStep[2];
      ++x;
    }
    const int first = x;
    while (x <= s.maxX && (e0 | e1 | e2) >= 0) {
      e0 += s.dxStep[0], e1 += s.dxStep[1], e2 += s.dxStep[2];
      ++x;
    }
    if (x == first) continue;
    Attributes start =
        s.origin.At(s.ddx, static_cast<float>(first) - s.x0, s.ddy, static_cast<float>(py) - s.y0);
    (this->*span)(py, first, x - 1, start, s.ddx);
  }
}

Color Rasterizer::Blend(Color src, std::uint32_t dstPixel) const {
  Color dst = codec_.Unpack(dstPixel);
  std::uint32_t alpha = src >> 24;
  std::uint32_t fs = BlendFactor(state_.srcBlend, alpha), fd = BlendFactor(state_.destBlend, alpha);
  Color out = src & 0xFF000000u;
  for (int shift = 0; shift <= 16; shift += 8) {
    std::uint32_t sc = (src >> shift) & 0xFF, dc = (dst >> shift) & 0xFF;
    std::uint32_t v = std::min<std::uint32_t>((sc * fs + dc * fd + 127) / 255, 255);
    out |= v << shift;
  }
  return out;
}

namespace {

// Colours step along a span in 16.16 fixed point of the 0..255 scale.
struct FixedColor {
  std::int32_t value;
  std::int32_t step;

  FixedColor(float start, float perPixel)
      : value(static_cast<std::int32_t>(std::min(std::max(start, -1.0f), 2.0f) * 16711680.0f) +
              32768),
        step(static_cast<std::int32_t>(std::min(std::max(perPixel, -2.0f), 2.0f) * 16711680.0f)) {}
  std::uint32_t Byte() const {
    return static_cast<std::uint32_t>(std::min(std::max(value >> 16, 0), 255));
  }
  void Next() { value += step; }
};

}  // namespace

template <bool Textured, std::uint32_t ZBytes>
void Rasterizer::Span(int y, int x0, int x1, Attributes at, const Attributes& dx) {
  // Everything the loop reads is copied into locals first: the pixel stores go
  // through byte pointers, which may alias anything, so members would be
  // reloaded after every store.
  const std::uint32_t colorBytes = colorBytes_;
  const std::uint32_t packMask = packMask_;
  const std::uint32_t zFunc = state_.zFunc;
  const bool zWrite = state_.zWrite, blend = state_.blend;
  const Color* texels = nullptr;
  int texWidth = 0, texHeight = 0, maskU = texMaskU_, maskV = texMaskV_;
  float scaleU = texWidth_, scaleV = texHeight_;
  if constexpr (Textured) {
    texels = state_.texture->texels.data();
    texWidth = state_.texture->width;
    texHeight = state_.texture->height;
  }
  std::uint8_t* cp = color_.Row(y) + static_cast<std::size_t>(x0) * colorBytes;
  std::uint8_t* zp = nullptr;
  if constexpr (ZBytes != 0) zp = depth_->Row(y) + static_cast<std::size_t>(x0) * ZBytes;
  FixedColor red(at.r, dx.r), green(at.g, dx.g), blue(at.b, dx.b), alpha(at.a, dx.a);
  float z = at.z, rhw = at.rhw, uw = at.uw, vw = at.vw;
  const float dz = dx.z, drhw = dx.rhw, duw = dx.uw, dvw = dx.vw;

  for (int x = x0; x <= x1; ++x, cp += colorBytes) {
    const FixedColor pr = red, pg = green, pb = blue, pa = alpha;
    red.Next(), green.Next(), blue.Next(), alpha.Next();
    const float pz = z, prhw = rhw, puw = uw, pvw = vw;
    z += dz, rhw += drhw, uw += duw, vw += dvw;
    if constexpr (ZBytes != 0) {
      float d = Clamp01(pz);
      std::uint32_t q =
          ZBytes == 2 ? static_cast<std::uint32_t>(d * 65535.0f + 0.5f)
                      : static_cast<std::uint32_t>(static_cast<double>(d) * 4294967295.0 + 0.5);
      std::uint8_t* here = zp;
      zp += ZBytes;
      if (!Compare(zFunc, q, LoadPixel(here, ZBytes))) continue;
      if (zWrite) StorePixel(here, ZBytes, q);
    }
    std::uint32_t r = pr.Byte(), g = pg.Byte(), b = pb.Byte(), a = pa.Byte();
    if constexpr (Textured) {
      // Stage 0: the texture modulates the colour; the alpha is the texture's own.
      const float w = 1.0f / prhw;
      int tx = Wrap(puw * w * scaleU, texWidth, maskU);
      int ty = Wrap(pvw * w * scaleV, texHeight, maskV);
      Color texel = texels[static_cast<std::size_t>(ty) * static_cast<std::size_t>(texWidth) +
                           static_cast<std::size_t>(tx)];
      r = (((texel >> 16) & 0xFF) * r + 127) / 255;
      g = (((texel >> 8) & 0xFF) * g + 127) / 255;
      b = ((texel & 0xFF) * b + 127) / 255;
      a = texel >> 24;
    }
    Color c = (a << 24) | (r << 16) | (g << 8) | b;
    if (blend) c = Blend(c, LoadPixel(cp, colorBytes));
    StorePixel(cp, colorBytes, packMask != 0 ? c & packMask : codec_.Pack(c));
  }
}

}  // namespace slk::gfx::detail
