#pragma once
// The 128 x 128 icon texture, painted procedurally: each area of the atlas is
// filled by a function of its own (s, t) coordinates, which are the same ones
// the primitives of geometry.h hand out, so a picture lands exactly where the
// surface that uses it expects it.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "tools/make_icons/geometry.h"

namespace slk::tools {

constexpr int kTextureSide = 128;
constexpr int kTexelCount = kTextureSide * kTextureSide;

// Row by row from the top; console colours with 5 bits per component, red in
// the low bits, bit 15 set (opaque) as real icons have it.
using Texture = std::array<std::uint16_t, kTexelCount>;

std::uint16_t ToConsole(Rgb c);
Rgb FromConsole(std::uint16_t texel);
Rgb Mix(Rgb a, Rgb b, float k);  // k = 0 gives a, 1 gives b
Rgb Shade(Rgb c, float k);       // every component times k, clamped

class Canvas {
 public:
  explicit Canvas(Rgb background);

  // Calls `paint` for every texel of the area with its (s, t); an empty result
  // leaves the texel as it was.
  void Paint(AtlasRect area, const std::function<std::optional<Rgb>(float s, float t)>& paint);
  void Fill(AtlasRect area, Rgb colour);
  Rgb At(int x, int y) const { return FromConsole(texels_[y * kTextureSide + x]); }
  const Texture& Texels() const { return texels_; }

 private:
  Texture texels_{};
};

// Distance-style helpers for painting shapes in (s, t) space.
bool InsideRoundedRect(float s, float t, float s0, float t0, float s1, float t1, float radius);

}  // namespace slk::tools
