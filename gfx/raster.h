#pragma once
// Internal to gfx: the triangle rasteriser. Vertices arrive in screen space
// (pixels, depth already mapped by the viewport, 1/w); the rasteriser covers
// pixels by the top-left rule with pixel centres at integer co-ordinates,
// interpolates colour linearly and texture co-ordinates perspective-correctly,
// and runs the Z test, texture stage 0 and alpha blending.

#include <array>
#include <cstdint>
#include <vector>

#include "gfx/pixel_format.h"
#include "gfx/surface.h"
#include "gfx/types.h"

namespace slk::gfx::detail {

struct RasterVertex {
  float x = 0;
  float y = 0;
  float z = 0;    // depth, 0..1
  float rhw = 1;  // 1 / w
  float u = 0;
  float v = 0;
  float r = 0;  // diffuse colour, each 0..1
  float g = 0;
  float b = 0;
  float a = 0;
};

// The attributes a triangle interpolates, in the order of SetupVertex::attr.
enum Attribute : int { kZ, kRhw, kUw, kVw, kRed, kGreen, kBlue, kAlpha, kAttributeCount };

// A vertex as triangle set-up takes it: the position snapped to 1/256 pixel
// and the attributes as they are interpolated (u and v divided by w). A
// vertex shared by several triangles is prepared once.
struct SetupVertex {
  std::int64_t x = 0;
  std::int64_t y = 0;
  std::array<float, kAttributeCount> attr{};
  bool valid = false;  // false: the position is NaN or too far away to draw
};

SetupVertex PrepareVertex(const RasterVertex& v);

// A texture decoded to 0xAARRGGBB texels, row by row.
struct TextureImage {
  int width = 0;
  int height = 0;
  std::vector<Color> texels;
};

struct RasterState {
  bool zTest = false;
  bool zWrite = false;
  std::uint32_t zFunc = 2;
  bool blend = false;
  std::uint32_t srcBlend = 2;
  std::uint32_t destBlend = 1;
  std::uint32_t cullMode = 1;
  const TextureImage* texture = nullptr;
};

// How the rasteriser writes pixels: packed 8-bit channels in place (a mask),
// 5-6-5, or through the codec with blending and any Z compare function.
enum class PixelTarget { Masked32, Rgb565, General };

class Rasterizer {
 public:
  // `clip` must lie within `color` (and `depth`, when given).
  Rasterizer(Surface& color, Surface* depth, const Rect& clip, const RasterState& state);

  void Triangle(const RasterVertex& v0, const RasterVertex& v1, const RasterVertex& v2);
  void Triangle(const SetupVertex& v0, const SetupVertex& v1, const SetupVertex& v2);

  // The bounding box of the spans drawn so far (whether or not their pixels
  // passed the Z test); empty before the first.
  const Rect& Drawn() const { return drawn_; }

 private:
  struct Setup;
  template <bool Textured, std::uint32_t ZBytes, PixelTarget Kind>
  struct SpanWriter;
  using RowsFn = void (Rasterizer::*)(Setup& s) const;

  RowsFn ChooseRows() const;
  template <bool Textured, std::uint32_t ZBytes, PixelTarget Kind>
  void Rows(Setup& s) const;
  Color Blend(Color src, std::uint32_t dstPixel) const;

  Surface& color_;
  Surface* depth_;
  Rect clip_;
  RasterState state_;
  FormatCodec codec_;
  std::uint32_t colorBytes_;
  std::uint32_t depthBytes_;
  float texWidth_ = 0;
  float texHeight_ = 0;
  int texMaskU_ = -1;
  int texMaskV_ = -1;
  std::uint32_t packMask_ = 0;  // non-zero: packing is this mask
  RowsFn rows_ = nullptr;
  mutable Rect drawn_{};
};

}  // namespace slk::gfx::detail
