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

bool Snap(float v, std::int64_t& out) {
  if (!(std::fabs(v) < 1.0e6f)) return false;  // also rejects NaN
  out = static_cast<std::int64_t>(std::floor(static_cast<double>(v) * kSub + 0.5));
  return true;
}

std::int64_t FloorDiv(std::int64_t n, std::int64_t d) {  // d > 0
  std::int64_t q = n / d;
  return (n % d != 0 && n < 0) ? q - 1 : q;
}

float Clamp01(float v) {
  return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

std::uint32_t ToByte(float v) {
  return static_cast<std::uint32_t>(Clamp01(v) * 255.0f + 0.5f);
}

// Texel index for wrap addressing: floor(coordinate) modulo size.
int Wrap(float coordinate, int size) {
  if (!(std::fabs(coordinate) < 1.0e9f)) return 0;
  auto i = static_cast<std::int64_t>(std::floor(coordinate)) % size;
  return static_cast<int>(i < 0 ? i + size : i);
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
  s.minX = static_cast<int>(std::max<std::int64_t>(-FloorDiv(-loX, kSub), clip_.left));
  s.maxX = static_cast<int>(std::min<std::int64_t>(FloorDiv(hiX, kSub), clip_.right - 1));
  s.minY = static_cast<int>(std::max<std::int64_t>(-FloorDiv(-loY, kSub), clip_.top));
  s.maxY = static_cast<int>(std::min<std::int64_t>(FloorDiv(hiY, kSub), clip_.bottom - 1));
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
  for (int py = s.minY; py <= s.maxY; ++py) {
    // Solve each edge for the run of pixel centres on this row where it holds.
    std::int64_t lo = s.minX, hi = s.maxX;
    for (int i = 0; i < 3 && lo <= hi; ++i) {
      std::int64_t e = s.dyStep[i] * py + s.dxStep[i] * lo + s.c[i];
      std::int64_t step = s.dxStep[i];
      if (step > 0) {
        if (e < 0) lo += (-e + step - 1) / step;
      } else if (step < 0) {
        if (e < 0) {
          hi = lo - 1;
        } else {
          hi = std::min(hi, lo + e / -step);
        }
      } else if (e < 0) {
        hi = lo - 1;
      }
    }
    if (lo > hi) continue;
    int x0 = static_cast<int>(lo), x1 = static_cast<int>(hi);
    Attributes start =
        s.origin.At(s.ddx, static_cast<float>(x0) - s.x0, s.ddy, static_cast<float>(py) - s.y0);
    if (state_.texture != nullptr) {
      Span<true>(py, x0, x1, start, s.ddx);
    } else {
      Span<false>(py, x0, x1, start, s.ddx);
    }
  }
}

bool Rasterizer::DepthPasses(std::uint8_t* zp, float depth) const {
  float d = Clamp01(depth);
  std::uint32_t q = depthBytes_ == 2
                        ? static_cast<std::uint32_t>(d * 65535.0f + 0.5f)
                        : static_cast<std::uint32_t>(static_cast<double>(d) * 4294967295.0 + 0.5);
  if (!Compare(state_.zFunc, q, LoadPixel(zp, depthBytes_))) return false;
  if (state_.zWrite) StorePixel(zp, depthBytes_, q);
  return true;
}

Color Rasterizer::Combine(const Attributes& at, float w) const {
  std::uint32_t r = ToByte(at.r), g = ToByte(at.g), b = ToByte(at.b), a = ToByte(at.a);
  if (const TextureImage* t = state_.texture) {
    int tx = Wrap(at.uw * w * static_cast<float>(t->width), t->width);
    int ty = Wrap(at.vw * w * static_cast<float>(t->height), t->height);
    Color texel = t->texels[static_cast<std::size_t>(ty) * static_cast<std::size_t>(t->width) +
                            static_cast<std::size_t>(tx)];
    // Modulate the colour; the alpha is the texture's own.
    r = (((texel >> 16) & 0xFF) * r + 127) / 255;
    g = (((texel >> 8) & 0xFF) * g + 127) / 255;
    b = ((texel & 0xFF) * b + 127) / 255;
    a = texel >> 24;
  }
  return MakeColor(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(r),
                   static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b));
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

template <bool Textured>
void Rasterizer::Span(int y, int x0, int x1, Attributes at, const Attributes& dx) {
  std::uint8_t* cp = color_.Row(y) + static_cast<std::size_t>(x0) * colorBytes_;
  std::uint8_t* zp =
      state_.zTest ? depth_->Row(y) + static_cast<std::size_t>(x0) * depthBytes_ : nullptr;
  for (int x = x0; x <= x1; ++x, at.Add(dx), cp += colorBytes_) {
    if (zp != nullptr) {
      bool pass = DepthPasses(zp, at.z);
      zp += depthBytes_;
      if (!pass) continue;
    }
    Color c = Combine(at, Textured ? 1.0f / at.rhw : 1.0f);
    if (state_.blend) c = Blend(c, LoadPixel(cp, colorBytes_));
    StorePixel(cp, colorBytes_, codec_.Pack(c));
  }
}

}  // namespace slk::gfx::detail
