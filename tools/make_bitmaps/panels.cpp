// The list screen's pictures: backdrop, scroll buttons, more-arrows and the
// marker ball. Keyed bitmaps (104, 106) keep pure black for what must stay
// transparent and never use it inside a shape.

#include <algorithm>
#include <array>
#include <cmath>

#include "tools/make_bitmaps/designs.h"

namespace slk::tools {
namespace {

constexpr Rgb kBlack{0, 0, 0};

// The teal of the scroll buttons and the columns' end caps.
constexpr Rgb kTealFace{0, 160, 164};
constexpr Rgb kTealPressedFace{0, 120, 124};
constexpr Rgb kTealLight{128, 232, 232};
constexpr Rgb kTealMid{40, 200, 204};
constexpr Rgb kTealDark{0, 96, 100};
constexpr Rgb kTealDarkest{0, 52, 56};

void FillRect(Image& image, int x0, int y0, int w, int h, Rgb colour) {
  for (int y = y0; y < y0 + h; ++y) {
    for (int x = x0; x < x0 + w; ++x) {
      if (image.Contains(x, y)) image.At(x, y) = colour;
    }
  }
}

// A one-pixel frame: top and left edge in one colour, bottom and right in
// another, as a raised (light first) or sunken (dark first) border.
void Bevel(Image& image, int x0, int y0, int w, int h, Rgb topLeft, Rgb bottomRight) {
  FillRect(image, x0, y0, w, 1, topLeft);
  FillRect(image, x0, y0, 1, h, topLeft);
  FillRect(image, x0, y0 + h - 1, w, 1, bottomRight);
  FillRect(image, x0 + w - 1, y0, 1, h, bottomRight);
}

// A triangle of rows 2, 4, ... 2 * rows pixels wide, centred on the line
// between columns cx - 1 and cx; pointing up when up, else down.
void Triangle(Image& image, int cx, int top, int rows, bool up, Rgb colour) {
  for (int i = 0; i < rows; ++i) {
    const int half = up ? i + 1 : rows - i;
    FillRect(image, cx - half, top + i, 2 * half, 1, colour);
  }
}

// One 24 x 24 scroll button at (x0, y0): symbol k of the sheet's six.
void ScrollButton(Image& image, int x0, int y0, int symbol, bool pressed) {
  FillRect(image, x0, y0, 24, 24, pressed ? kTealPressedFace : kTealFace);
  if (pressed) {
    Bevel(image, x0, y0, 24, 24, kTealDarkest, kTealLight);
    Bevel(image, x0 + 1, y0 + 1, 22, 22, kTealDark, kTealFace);
  } else {
    Bevel(image, x0, y0, 24, 24, kTealLight, kTealDarkest);
    Bevel(image, x0 + 1, y0 + 1, 22, 22, kTealMid, kTealDark);
  }
  // Pressed symbols sink one pixel to the lower right.
  const int cx = x0 + 12 + (pressed ? 1 : 0);
  const int y = y0 + (pressed ? 1 : 0);
  switch (symbol) {
    case 0:  // to the first row: bar above an up triangle
      FillRect(image, cx - 6, y + 7, 12, 2, kBlack);
      Triangle(image, cx, y + 10, 6, true, kBlack);
      break;
    case 1:  // one page up
      Triangle(image, cx, y + 6, 5, true, kBlack);
      Triangle(image, cx, y + 12, 5, true, kBlack);
      break;
    case 2:  // one row up
      Triangle(image, cx, y + 9, 6, true, kBlack);
      break;
    case 3:  // one row down
      Triangle(image, cx, y + 9, 6, false, kBlack);
      break;
    case 4:  // one page down
      Triangle(image, cx, y + 7, 5, false, kBlack);
      Triangle(image, cx, y + 13, 5, false, kBlack);
      break;
    default:  // to the last row: down triangle above a bar
      Triangle(image, cx, y + 8, 6, false, kBlack);
      FillRect(image, cx - 6, y + 15, 12, 2, kBlack);
      break;
  }
}

// A black column with a grey frame and teal end caps, behind one slot's
// six scroll buttons (which cover y 44..187).
void ButtonColumn(Image& image, int x0) {
  constexpr int kTop = 32, kHeight = 168;
  FillRect(image, x0, kTop, 24, kHeight, kBlack);
  Bevel(image, x0, kTop, 24, kHeight, Rgb{64, 64, 64}, Rgb{150, 150, 150});
  for (const int capTop : {kTop + 1, kTop + kHeight - 12}) {
    FillRect(image, x0 + 1, capTop, 22, 11, kTealFace);
    Bevel(image, x0 + 1, capTop, 22, 11, kTealLight, kTealDark);
  }
}

}  // namespace

Image MakeBackdrop() {
  Image image(512, 312);
  // Elliptical so that the four corners are the darkest points.
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const double dx = (x + 0.5 - 256.0) / 256.0;
      const double dy = (y + 0.5 - 156.0) / 156.0;
      const double t = std::sqrt(dx * dx + dy * dy) / std::sqrt(2.0);
      const auto v = static_cast<std::uint8_t>(std::lround(196.0 - 150.0 * std::pow(t, 1.25)));
      image.At(x, y) = Rgb{v, v, static_cast<std::uint8_t>(std::min(255, v + 6))};
    }
  }
  ButtonColumn(image, 232);
  ButtonColumn(image, 488);
  return image;
}

Image MakeScrollButtonSheet() {
  Image image(48, 144);
  for (int k = 0; k < 6; ++k) {
    ScrollButton(image, 0, 24 * k, k, false);
    ScrollButton(image, 24, 24 * k, k, true);
  }
  return image;
}

Image MakeMoreArrows() {
  Image image(32, 16);
  constexpr Rgb kRim{0, 112, 24};
  constexpr std::array<Rgb, 3> kFace{Rgb{150, 255, 150}, Rgb{64, 240, 80}, Rgb{24, 200, 48}};
  for (const bool up : {true, false}) {
    const int cx = up ? 8 : 24;
    Triangle(image, cx, 4, 8, up, kRim);
    // The face one pixel inside the rim, lit from above: light rows first.
    for (int i = 0; i < 6; ++i) {
      const int half = up ? i + 1 : 6 - i;
      FillRect(image, cx - half, 5 + i, 2 * half, 1, kFace[std::min(i / 2, 2)]);
    }
  }
  return image;
}

Image MakeMarkerBall() {
  Image image(16, 16);
  const Mask disc = Threshold(Rasterize(16, 16, Circle(8.0, 8.0, 7.6), 8), 0.45f);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      if (disc.At(x, y) == 0.0f) continue;
      const double px = x + 0.5 - 8.0, py = y + 0.5 - 8.0;
      const double r = std::sqrt(px * px + py * py) / 7.6;  // 0 centre .. 1 rim
      // A bright core off to the upper left, deep blue body, a lighter glow
      // on the rim so that the ball reads on dark and light grounds alike.
      const double hx = x + 0.5 - 6.0, hy = y + 0.5 - 6.0;
      const double core = std::exp(-(hx * hx + hy * hy) / 7.0);
      Rgb c = Mix(Rgb{16, 64, 232}, Rgb{8, 28, 150}, r);
      c = Mix(c, Rgb{230, 244, 255}, core);
      if (r > 0.8) c = Mix(c, Rgb{90, 170, 255}, (r - 0.8) / 0.2 * 0.8);
      image.At(x, y) = c;
    }
  }
  return image;
}

}  // namespace slk::tools
