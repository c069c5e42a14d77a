#include "tools/make_bitmaps/image.h"

#include <cmath>
#include <utility>

namespace slk::tools {

Mask Rasterize(int w, int h, const Shape& shape, int n) {
  Mask mask(w, h);
  const double step = 1.0 / n;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int inside = 0;
      for (int sy = 0; sy < n; ++sy) {
        for (int sx = 0; sx < n; ++sx) {
          inside += shape(x + (sx + 0.5) * step, y + (sy + 0.5) * step) ? 1 : 0;
        }
      }
      mask.At(x, y) = static_cast<float>(inside) / static_cast<float>(n * n);
    }
  }
  return mask;
}

Mask Threshold(const Mask& mask, float level) {
  Mask out(mask.width, mask.height);
  for (std::size_t i = 0; i < mask.values.size(); ++i) {
    out.values[i] = mask.values[i] >= level ? 1.0f : 0.0f;
  }
  return out;
}

Mask OutlineOf(const Mask& mask) {
  Mask out(mask.width, mask.height);
  for (int y = 0; y < mask.height; ++y) {
    for (int x = 0; x < mask.width; ++x) {
      if (mask.At(x, y) > 0.0f) continue;
      bool near = false;
      for (int dy = -1; dy <= 1 && !near; ++dy) {
        for (int dx = -1; dx <= 1 && !near; ++dx) near = mask.At(x + dx, y + dy) > 0.0f;
      }
      out.At(x, y) = near ? 1.0f : 0.0f;
    }
  }
  return out;
}

Rgb Mix(Rgb a, Rgb b, double t) {
  const auto lerp = [t](std::uint8_t p, std::uint8_t q) {
    return static_cast<std::uint8_t>(std::lround(p + (q - p) * std::clamp(t, 0.0, 1.0)));
  };
  return {lerp(a.r, b.r), lerp(a.g, b.g), lerp(a.b, b.b)};
}

void Paint(Image& image, const Mask& mask, Rgb colour, int ox, int oy) {
  for (int y = 0; y < mask.height; ++y) {
    for (int x = 0; x < mask.width; ++x) {
      const float a = mask.At(x, y);
      if (a <= 0.0f || !image.Contains(x + ox, y + oy)) continue;
      Rgb& p = image.At(x + ox, y + oy);
      p = a >= 1.0f ? colour : Mix(p, colour, a);
    }
  }
}

Shape Rect(double x0, double y0, double x1, double y1) {
  return [=](double x, double y) { return x >= x0 && x < x1 && y >= y0 && y < y1; };
}

Shape Circle(double cx, double cy, double r) {
  return [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; };
}

Shape RoundedRect(double x0, double y0, double x1, double y1, double radius) {
  return [=](double x, double y) {
    if (x < x0 || x >= x1 || y < y0 || y >= y1) return false;
    const double cx = std::clamp(x, x0 + radius, x1 - radius);
    const double cy = std::clamp(y, y0 + radius, y1 - radius);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
  };
}

Shape ConvexPolygon(std::vector<std::pair<double, double>> points) {
  return [points = std::move(points)](double x, double y) {
    int sign = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
      const auto [ax, ay] = points[i];
      const auto [bx, by] = points[(i + 1) % points.size()];
      const double cross = (bx - ax) * (y - ay) - (by - ay) * (x - ax);
      const int s = cross > 0 ? 1 : (cross < 0 ? -1 : 0);
      if (s == 0) continue;
      if (sign == 0) sign = s;
      if (s != sign) return false;
    }
    return true;
  };
}

}  // namespace slk::tools
