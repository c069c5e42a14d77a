#include "tools/make_icons/canvas.h"

#include <algorithm>
#include <cmath>

namespace slk::tools {

std::uint16_t ToConsole(Rgb c) {
  return static_cast<std::uint16_t>(0x8000 | (c.r >> 3) | ((c.g >> 3) << 5) | ((c.b >> 3) << 10));
}

Rgb FromConsole(std::uint16_t texel) {
  auto expand = [](int five) { return static_cast<std::uint8_t>((five << 3) | (five >> 2)); };
  return {expand(texel & 31), expand((texel >> 5) & 31), expand((texel >> 10) & 31)};
}

Rgb Mix(Rgb a, Rgb b, float k) {
  k = std::clamp(k, 0.0f, 1.0f);
  auto mix = [k](std::uint8_t x, std::uint8_t y) {
    return static_cast<std::uint8_t>(std::lround(x + (y - x) * k));
  };
  return {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)};
}

Rgb Shade(Rgb c, float k) {
  auto shade = [k](std::uint8_t x) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(x * k), 0L, 255L));
  };
  return {shade(c.r), shade(c.g), shade(c.b)};
}

Canvas::Canvas(Rgb background) {
  texels_.fill(ToConsole(background));
}

void Canvas::Paint(AtlasRect area,
                   const std::function<std::optional<Rgb>(float s, float t)>& paint) {
  for (int y = area.y; y < area.y + area.h; ++y)
    for (int x = area.x; x < area.x + area.w; ++x) {
      if (x < 0 || y < 0 || x >= kTextureSide || y >= kTextureSide) continue;
      float s = area.w > 1 ? static_cast<float>(x - area.x) / static_cast<float>(area.w - 1) : 0;
      float t = area.h > 1 ? static_cast<float>(y - area.y) / static_cast<float>(area.h - 1) : 0;
      if (std::optional<Rgb> c = paint(s, t)) texels_[y * kTextureSide + x] = ToConsole(*c);
    }
}

void Canvas::Fill(AtlasRect area, Rgb colour) {
  Paint(area, [colour](float, float) { return colour; });
}

bool InsideRoundedRect(float s, float t, float s0, float t0, float s1, float t1, float radius) {
  if (s < s0 || s > s1 || t < t0 || t > t1) return false;
  float cs = std::clamp(s, s0 + radius, s1 - radius);
  float ct = std::clamp(t, t0 + radius, t1 - radius);
  return std::hypot(s - cs, t - ct) <= radius;
}

}  // namespace slk::tools
