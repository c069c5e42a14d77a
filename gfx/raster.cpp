#include "gfx/raster.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <utility>

#include "gfx/coverage.h"

namespace slk::gfx::detail {

namespace {

// Vertex positions are snapped to 1/256 pixel; edge functions are exact in
// 64-bit integers from there, so coverage never depends on rounding.
constexpr int kSubBits = 8;
constexpr std::int64_t kSub = 1 << kSubBits;
constexpr std::uint32_t kZFuncLess = 2;

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
// size - 1 for a power-of-two size, which saves the division. Coordinates
// this far from 0 fit in 32 bits.
int Wrap(float coordinate, int size, int mask) {
  if (!(std::fabs(coordinate) < 1.0e9f)) return 0;
  auto i = static_cast<std::int32_t>(coordinate);
  if (static_cast<float>(i) > coordinate) --i;
  if (mask >= 0) return i & mask;
  i %= size;
  return i < 0 ? i + size : i;
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

// Colours step along a span in 16.16 fixed point of the 0..255 scale.
std::int32_t FixedStart(float start) {
  return static_cast<std::int32_t>(std::min(std::max(start, -1.0f), 2.0f) * 16711680.0f) + 32768;
}
std::int32_t FixedStep(float perPixel) {
  return static_cast<std::int32_t>(std::min(std::max(perPixel, -2.0f), 2.0f) * 16711680.0f);
}
std::uint32_t FixedByte(std::int32_t value) {
  return static_cast<std::uint32_t>(std::min(std::max(value >> 16, 0), 255));
}

template <std::uint32_t ZBytes>
std::uint32_t QuantizeDepth(float z) {
  float d = Clamp01(z);
  if constexpr (ZBytes == 2) return static_cast<std::uint32_t>(d * 65535.0f + 0.5f);
  return static_cast<std::uint32_t>(static_cast<double>(d) * 4294967295.0 + 0.5);
}

// The 5-6-5 packing of the codec: the top bits of each channel.
std::uint32_t Pack565(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
}

}  // namespace

SetupVertex PrepareVertex(const RasterVertex& v) {
  SetupVertex out;
  out.valid = Snap(v.x, out.x) && Snap(v.y, out.y);
  out.attr = {v.z, v.rhw, v.u * v.rhw, v.v * v.rhw, v.r, v.g, v.b, v.a};
  return out;
}

struct Rasterizer::Setup {
  const SetupVertex* v[3];
  std::int64_t area = 0;
  // Edge i runs from vertex i to vertex i + 1; inside is E >= 0 after the
  // fill-rule bias. E steps by dxStep a pixel right and by dyStep a row down;
  // e is E at the box's first pixel centre (minX, minY).
  std::int64_t dxStep[3], dyStep[3], e[3];
  int minX = 0, maxX = 0, minY = 0, maxY = 0;
  bool small = false;  // within SmallCoverage's extent
  // The plane of each attribute, origin at vertex 0; made only once a pixel
  // is found to be covered.
  std::array<float, kAttributeCount> origin, ddx, ddy;
  float x0 = 0, y0 = 0;

  void Planes();
};

void Rasterizer::Setup::Planes() {
  double fx[3], fy[3];
  for (int i = 0; i < 3; ++i) {
    fx[i] = static_cast<double>(v[i]->x) / double{kSub};
    fy[i] = static_cast<double>(v[i]->y) / double{kSub};
  }
  const double areaF = static_cast<double>(area) / static_cast<double>(kSub * kSub);
  const double dx1 = fx[1] - fx[0], dx2 = fx[2] - fx[0];
  const double dy1 = fy[1] - fy[0], dy2 = fy[2] - fy[0];
  const auto& a0 = v[0]->attr;
  const auto& a1 = v[1]->attr;
  const auto& a2 = v[2]->attr;
  for (int k = 0; k < kAttributeCount; ++k) {
    const double d1 = a1[k] - a0[k], d2 = a2[k] - a0[k];
    ddx[k] = static_cast<float>((d1 * dy2 - d2 * dy1) / areaF);
    ddy[k] = static_cast<float>((d2 * dx1 - d1 * dx2) / areaF);
  }
  origin = a0;
  x0 = static_cast<float>(fx[0]);
  y0 = static_cast<float>(fy[0]);
}

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
  rows_ = ChooseRows();
}

void Rasterizer::Triangle(const RasterVertex& v0, const RasterVertex& v1, const RasterVertex& v2) {
  Triangle(PrepareVertex(v0), PrepareVertex(v1), PrepareVertex(v2));
}

void Rasterizer::Triangle(const SetupVertex& v0, const SetupVertex& v1, const SetupVertex& v2) {
  if (clip_.Empty() || !v0.valid || !v1.valid || !v2.valid) return;
  Setup s;
  s.v[0] = &v0, s.v[1] = &v1, s.v[2] = &v2;
  // Positive area: clockwise as seen on the screen (y grows downwards).
  std::int64_t area = (v1.x - v0.x) * (v2.y - v0.y) - (v1.y - v0.y) * (v2.x - v0.x);
  if (area == 0) return;
  if ((state_.cullMode == 2 && area > 0) || (state_.cullMode == 3 && area < 0)) return;
  if (area < 0) {
    std::swap(s.v[1], s.v[2]);
    area = -area;
  }
  s.area = area;
  const std::int64_t x[3] = {s.v[0]->x, s.v[1]->x, s.v[2]->x};
  const std::int64_t y[3] = {s.v[0]->y, s.v[1]->y, s.v[2]->y};

  // Pixel centres inside the bounding box and the clip rectangle.
  std::int64_t loX = std::min({x[0], x[1], x[2]}), hiX = std::max({x[0], x[1], x[2]});
  std::int64_t loY = std::min({y[0], y[1], y[2]}), hiY = std::max({y[0], y[1], y[2]});
  s.minX = static_cast<int>(std::max<std::int64_t>(CeilPixel(loX), clip_.left));
  s.maxX = static_cast<int>(std::min<std::int64_t>(FloorPixel(hiX), clip_.right - 1));
  s.minY = static_cast<int>(std::max<std::int64_t>(CeilPixel(loY), clip_.top));
  s.maxY = static_cast<int>(std::min<std::int64_t>(FloorPixel(hiY), clip_.bottom - 1));
  if (s.minX > s.maxX || s.minY > s.maxY) return;
  s.small = hiX - loX <= SmallCoverage::kMaxExtent && hiY - loY <= SmallCoverage::kMaxExtent;

  const std::int64_t originX = std::int64_t{s.minX} * kSub, originY = std::int64_t{s.minY} * kSub;
  for (int i = 0; i < 3; ++i) {
    int j = i == 2 ? 0 : i + 1;
    std::int64_t ex = x[j] - x[i], ey = y[j] - y[i];
    // E(P) = ex * (P.y - y_i) - ey * (P.x - x_i), P in 1/256 units.
    s.dxStep[i] = -ey * kSub;
    s.dyStep[i] = ex * kSub;
    // Top-left rule: pixels on a left edge (going up) or a top edge (going
    // right) are inside; on any other edge they are outside.
    const bool topLeft = ey < 0 || (ey == 0 && ex > 0);
    s.e[i] = ex * (originY - y[i]) - ey * (originX - x[i]) - (topLeft ? 0 : 1);
  }
  (this->*rows_)(s);
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

// The pixel work of a triangle's spans. Everything the loop reads is kept in
// the members of this local object: the pixel stores go through byte
// pointers, which may alias anything, so the rasteriser's own members would
// be reloaded after every store.
template <bool Textured, std::uint32_t ZBytes, PixelTarget Kind>
struct Rasterizer::SpanWriter {
  const Rasterizer& raster;
  std::uint8_t* colorRows;
  std::uint8_t* depthRows;
  std::size_t colorPitch, depthPitch;
  std::uint32_t colorBytes, packMask, zFunc;
  bool zWrite, blend;
  const Color* texels = nullptr;
  int texWidth = 0, texHeight = 0, maskU, maskV;
  float scaleU, scaleV;
  std::int32_t stepR = 0, stepG = 0, stepB = 0, stepA = 0;
  float dz = 0, drhw = 0, duw = 0, dvw = 0;

  explicit SpanWriter(const Rasterizer& r)
      : raster(r),
        colorRows(r.color_.Row(0)),
        depthRows(ZBytes != 0 ? r.depth_->Row(0) : nullptr),
        colorPitch(r.color_.Pitch()),
        depthPitch(ZBytes != 0 ? r.depth_->Pitch() : 0),
        colorBytes(Kind == PixelTarget::General ? r.colorBytes_
                                                : (Kind == PixelTarget::Masked32 ? 4 : 2)),
        packMask(r.packMask_),
        zFunc(r.state_.zFunc),
        zWrite(r.state_.zWrite),
        blend(r.state_.blend),
        maskU(r.texMaskU_),
        maskV(r.texMaskV_),
        scaleU(r.texWidth_),
        scaleV(r.texHeight_) {
    if constexpr (Textured) {
      texels = r.state_.texture->texels.data();
      texWidth = r.state_.texture->width;
      texHeight = r.state_.texture->height;
    }
  }
  void Steps(const Setup& s) {
    stepR = FixedStep(s.ddx[kRed]), stepG = FixedStep(s.ddx[kGreen]);
    stepB = FixedStep(s.ddx[kBlue]), stepA = FixedStep(s.ddx[kAlpha]);
    dz = s.ddx[kZ], drhw = s.ddx[kRhw], duw = s.ddx[kUw], dvw = s.ddx[kVw];
  }
  // Called once per row of a triangle: inlined, so that the members above
  // stay in registers from span to span.
  [[gnu::always_inline]] inline void Span(const Setup& s, int py, int first, int last);
  void Pixel(std::uint8_t* cp, std::uint32_t r, std::uint32_t g, std::uint32_t b,
             std::uint32_t a) const;
};

// The attributes at the span's start, then everything stepped pixel by pixel.
template <bool Textured, std::uint32_t ZBytes, PixelTarget Kind>
void Rasterizer::SpanWriter<Textured, ZBytes, Kind>::Span(const Setup& s, int py, int first,
                                                          int last) {
  const float sx = static_cast<float>(first) - s.x0, sy = static_cast<float>(py) - s.y0;
  std::array<float, kAttributeCount> at;
  for (int k = 0; k < kAttributeCount; ++k) at[k] = s.origin[k] + s.ddx[k] * sx + s.ddy[k] * sy;
  std::int32_t red = FixedStart(at[kRed]), green = FixedStart(at[kGreen]);
  std::int32_t blue = FixedStart(at[kBlue]), alpha = Textured ? 0 : FixedStart(at[kAlpha]);
  float z = at[kZ], rhw = at[kRhw], uw = at[kUw], vw = at[kVw];
  std::uint8_t* cp = colorRows + static_cast<std::size_t>(py) * colorPitch +
                     static_cast<std::size_t>(first) * colorBytes;
  std::uint8_t* zp = nullptr;
  if constexpr (ZBytes != 0) {
    zp = depthRows + static_cast<std::size_t>(py) * depthPitch +
         static_cast<std::size_t>(first) * ZBytes;
  }

  for (int px = first; px <= last; ++px, cp += colorBytes) {
    const std::int32_t pr = red, pg = green, pb = blue, pa = alpha;
    red += stepR, green += stepG, blue += stepB;
    if constexpr (!Textured) alpha += stepA;
    const float prhw = rhw, puw = uw, pvw = vw;
    if constexpr (Textured) rhw += drhw, uw += duw, vw += dvw;
    if constexpr (ZBytes != 0) {
      const std::uint32_t q = QuantizeDepth<ZBytes>(z);
      z += dz;
      std::uint8_t* here = zp;
      zp += ZBytes;
      const std::uint32_t stored = LoadPixel(here, ZBytes);
      if (Kind == PixelTarget::General ? !Compare(zFunc, q, stored) : !(q < stored)) continue;
      if (zWrite) StorePixel(here, ZBytes, q);
    }
    std::uint32_t r = FixedByte(pr), g = FixedByte(pg), b = FixedByte(pb), a = 0;
    if constexpr (Textured) {
      // Stage 0: the texture modulates the colour; the alpha is the texture's own.
      const float w = 1.0f / prhw;
      const int tx = Wrap(puw * w * scaleU, texWidth, maskU);
      const int ty = Wrap(pvw * w * scaleV, texHeight, maskV);
      const Color texel = texels[static_cast<std::size_t>(ty) * static_cast<std::size_t>(texWidth) +
                                 static_cast<std::size_t>(tx)];
      r = (((texel >> 16) & 0xFF) * r + 127) / 255;
      g = (((texel >> 8) & 0xFF) * g + 127) / 255;
      b = ((texel & 0xFF) * b + 127) / 255;
      a = texel >> 24;
    } else {
      a = FixedByte(pa);
    }
    Pixel(cp, r, g, b, a);
  }
}

template <bool Textured, std::uint32_t ZBytes, PixelTarget Kind>
void Rasterizer::SpanWriter<Textured, ZBytes, Kind>::Pixel(std::uint8_t* cp, std::uint32_t r,
                                                           std::uint32_t g, std::uint32_t b,
                                                           std::uint32_t a) const {
  if constexpr (Kind == PixelTarget::Rgb565) {
    StorePixel(cp, 2, Pack565(r, g, b));
  } else {
    Color c = (a << 24) | (r << 16) | (g << 8) | b;
    if constexpr (Kind == PixelTarget::Masked32) {
      StorePixel(cp, 4, c & packMask);
    } else {
      if (blend) c = raster.Blend(c, LoadPixel(cp, colorBytes));
      StorePixel(cp, colorBytes, packMask != 0 ? c & packMask : raster.codec_.Pack(c));
    }
  }
}

template <bool Textured, std::uint32_t ZBytes, PixelTarget Kind>
void Rasterizer::Rows(Setup& s) const {
  SpanWriter<Textured, ZBytes, Kind> writer(*this);
  bool planes = false;
  // Rows run downwards, so the last span drawn is the box's bottom row.
  Rect box{s.maxX + 1, s.maxY + 1, s.minX, s.minY};
  struct AddBox {
    Rect& box;
    Rect& drawn;
    ~AddBox() {
      if (box.Empty()) return;
      drawn = drawn.Empty()
                  ? box
                  : Rect{std::min(drawn.left, box.left), std::min(drawn.top, box.top),
                         std::max(drawn.right, box.right), std::max(drawn.bottom, box.bottom)};
    }
  } add{box, drawn_};
  // The span of the row, from the first pixel of the box; inlined for the
  // same reason as SpanWriter::Span.
  auto span = [&](int py, int first, int last) __attribute__((always_inline)) {
    if (!planes) {
      s.Planes();
      writer.Steps(s);
      planes = true;
    }
    writer.Span(s, py, s.minX + first, s.minX + last);
    box.left = std::min(box.left, s.minX + first);
    box.right = std::max(box.right, s.minX + last + 1);
    box.top = std::min(box.top, py);
    box.bottom = py + 1;
  };
  std::int64_t e[3] = {s.e[0], s.e[1], s.e[2]};
  const int width = s.maxX - s.minX + 1;
  int first = 0, last = 0;
  if (s.small && width <= SmallCoverage::kWidth) {
    SmallCoverage coverage(e, s.dxStep, s.dyStep, width);
    for (int py = s.minY; py <= s.maxY; ++py) {
      if (RowRun::Ends(coverage.Next(), first, last)) span(py, first, last);
    }
    return;
  }
  const RowRun run{s.dxStep[0], s.dxStep[1], s.dxStep[2], width};
  const bool narrow = width <= RowRun::kMaskWidth;
  for (int py = s.minY; py <= s.maxY; ++py) {
    if (narrow ? run.Mask(e[0], e[1], e[2], first, last)
               : run.Walk(e[0], e[1], e[2], first, last)) {
      span(py, first, last);
    }
    for (int i = 0; i < 3; ++i) e[i] += s.dyStep[i];
  }
}

// After the definition of Rows, so that every compiler instantiates it here.
Rasterizer::RowsFn Rasterizer::ChooseRows() const {
  // Without blending and with the usual LESS compare, the two common target
  // formats get loops of their own.
  PixelTarget kind = PixelTarget::General;
  if (!state_.blend && (!state_.zTest || state_.zFunc == kZFuncLess)) {
    if (packMask_ != 0) kind = PixelTarget::Masked32;
    if (color_.Format() == PixelFormat::Rgb565()) kind = PixelTarget::Rgb565;
  }
  auto pick = [kind](auto textured, auto zBytes) -> RowsFn {
    constexpr bool kTextured = decltype(textured)::value;
    constexpr std::uint32_t kZBytes = decltype(zBytes)::value;
    switch (kind) {
      case PixelTarget::Masked32:
        return &Rasterizer::Rows<kTextured, kZBytes, PixelTarget::Masked32>;
      case PixelTarget::Rgb565:
        return &Rasterizer::Rows<kTextured, kZBytes, PixelTarget::Rgb565>;
      default:
        return &Rasterizer::Rows<kTextured, kZBytes, PixelTarget::General>;
    }
  };
  auto forDepth = [&](auto textured) -> RowsFn {
    switch (state_.zTest ? depthBytes_ : 0) {
      case 2:
        return pick(textured, std::integral_constant<std::uint32_t, 2>{});
      case 4:
        return pick(textured, std::integral_constant<std::uint32_t, 4>{});
      default:
        return pick(textured, std::integral_constant<std::uint32_t, 0>{});
    }
  };
  return state_.texture != nullptr ? forDepth(std::true_type{}) : forDepth(std::false_type{});
}

}  // namespace slk::gfx::detail
