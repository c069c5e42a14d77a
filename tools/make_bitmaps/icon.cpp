// The program icon (resource 110): a memory card seen from the front, its
// label showing the 3 x 3 grid of the list screen, gold contacts below.
// Drawn in a 64-unit square and scaled, with soft edges and transparency.

#include <functional>

#include "tools/make_bitmaps/designs.h"

namespace slk::tools {
namespace {

// Paints a colour (which may vary over the icon) over the image with the
// shape's coverage, the shape given in 64-unit co-ordinates.
void Layer(RgbaImage& image, const Shape& shape, const std::function<Rgb(double, double)>& colour) {
  const double k = image.width / 64.0;
  const Mask mask = Rasterize(
      image.width, image.height, [&](double x, double y) { return shape(x / k, y / k); }, 8);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const float a = mask.At(x, y);
      if (a <= 0.0f) continue;
      const Rgb c = colour((x + 0.5) / k, (y + 0.5) / k);
      Rgba& p = image.At(x, y);
      const float outA = a + p.a * (1.0f - a);
      const auto blend = [&](float under, std::uint8_t over) {
        return (over / 255.0f * a + under * p.a * (1.0f - a)) / outA;
      };
      p = Rgba{blend(p.r, c.r), blend(p.g, c.g), blend(p.b, c.b), outA};
    }
  }
}

std::function<Rgb(double, double)> Flat(Rgb c) {
  return [c](double, double) { return c; };
}

std::function<Rgb(double, double)> Vertical(Rgb top, Rgb bottom, double y0, double y1) {
  return [=](double, double y) { return Mix(top, bottom, (y - y0) / (y1 - y0)); };
}

// The card's outline with its top right corner cut off. Edges sit on even
// units so that the 32-pixel icon stays sharp.
Shape CardShape(double inset) {
  return ConvexPolygon({{8 + inset, 2 + inset},
                        {46 - inset * 0.4, 2 + inset},
                        {56 - inset, 12 + inset * 0.4},
                        {56 - inset, 62 - inset},
                        {8 + inset, 62 - inset}});
}

}  // namespace

RgbaImage MakeProgramIcon(int size) {
  RgbaImage image(size, size);
  Layer(image, CardShape(0), Flat(Rgb{28, 34, 44}));
  Layer(image, CardShape(2), Vertical(Rgb{128, 140, 156}, Rgb{64, 72, 88}, 4, 60));
  // Label with the list screen's 3 x 3 grid, the middle cell selected.
  Layer(image, RoundedRect(14, 6, 48, 40, 2), Flat(Rgb{0, 76, 84}));
  Layer(image, RoundedRect(16, 8, 46, 38, 1.5),
        Vertical(Rgb{40, 200, 204}, Rgb{0, 128, 136}, 8, 38));
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      const double x = 20 + col * 8, y = 12 + row * 8;
      const Rgb c = row == 1 && col == 1 ? Rgb{255, 236, 96} : Rgb{232, 250, 250};
      Layer(image, Rect(x, y, x + 6, y + 6), Flat(c));
    }
  }
  // Contacts.
  for (int i = 0; i < 5; ++i) {
    const double x = 14 + i * 8;
    Layer(image, Rect(x, 48, x + 4, 58), Vertical(Rgb{250, 220, 120}, Rgb{176, 128, 32}, 48, 58));
  }
  return image;
}

}  // namespace slk::tools
