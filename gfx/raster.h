#pragma once
// Internal to gfx: the triangle rasteriser. Vertices arrive in screen space
// (pixels, depth already mapped by the viewport, 1/w); the rasteriser covers
// pixels by the top-left rule with pixel centres at integer co-ordinates,
// interpolates colour linearly and texture co-ordinates perspective-correctly,
// and runs the Z test, texture stage 0 and alpha blending.

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

class Rasterizer {
 public:
  // `clip` must lie within `color` (and `depth`, when given).
  Rasterizer(Surface& color, Surface* depth, const Rect& clip, const RasterState& state);

  void Triangle(const RasterVertex& v0, const RasterVertex& v1, const RasterVertex& v2);

 private:
  struct Setup;
  struct Attributes;

  void Rows(const Setup& s);
  template <bool Textured, std::uint32_t ZBytes>
  void Span(int y, int x0, int x1, Attributes at, const Attributes& dx);
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
};

}  // namespace slk::gfx::detail
