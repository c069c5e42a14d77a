#pragma once
// Pixel buffers for drawing the program's bitmaps: an RGB image, an RGBA
// image for the program icon, and coverage masks that shapes and text are
// rasterised into before they are painted in a colour.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

namespace slk::tools {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct Image {
  Image(int w, int h, Rgb fill = {}) : width(w), height(h), pixels(std::size_t(w) * h, fill) {}
  Rgb& At(int x, int y) { return pixels[std::size_t(y) * width + x]; }
  const Rgb& At(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  int width, height;
  std::vector<Rgb> pixels;
};

struct Rgba {
  float r = 0, g = 0, b = 0, a = 0;  // straight (not premultiplied), 0..1
};

struct RgbaImage {
  RgbaImage(int w, int h) : width(w), height(h), pixels(std::size_t(w) * h) {}
  Rgba& At(int x, int y) { return pixels[std::size_t(y) * width + x]; }
  const Rgba& At(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
  int width, height;
  std::vector<Rgba> pixels;
};

// Coverage 0..1 per pixel.
struct Mask {
  Mask(int w, int h) : width(w), height(h), values(std::size_t(w) * h, 0.0f) {}
  float& At(int x, int y) { return values[std::size_t(y) * width + x]; }
  float At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0.0f;
    return values[std::size_t(y) * width + x];
  }
  int width, height;
  std::vector<float> values;
};

// A shape as an inside test on continuous co-ordinates; pixel (x, y) spans
// [x, x + 1) x [y, y + 1).
using Shape = std::function<bool(double x, double y)>;

// Coverage of a shape, sampled n x n times per pixel.
Mask Rasterize(int w, int h, const Shape& shape, int n = 4);

// Every pixel with coverage of at least one half becomes 1, the rest 0: for
// indexed bitmaps, whose palettes have no room for blended edges.
Mask Threshold(const Mask& mask, float level = 0.5f);

// Pixels within one pixel (8-neighbourhood) of the mask but not in it.
Mask OutlineOf(const Mask& mask);

// Paints colour over the image with the mask's coverage, the mask's (0, 0)
// placed at (ox, oy).
void Paint(Image& image, const Mask& mask, Rgb colour, int ox = 0, int oy = 0);

Rgb Mix(Rgb a, Rgb b, double t);

// Shape helpers.
Shape Rect(double x0, double y0, double x1, double y1);
Shape Circle(double cx, double cy, double r);
Shape RoundedRect(double x0, double y0, double x1, double y1, double radius);
// A convex polygon, points in either winding order.
Shape ConvexPolygon(std::vector<std::pair<double, double>> points);

}  // namespace slk::tools
