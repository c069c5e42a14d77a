// The bitmaps that carry lettering: action buttons, digit font, busy banner.

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string_view>

#include "tools/make_bitmaps/designs.h"
#include "tools/make_bitmaps/font.h"

namespace slk::tools {
namespace {

struct InkBox {
  int left = 0, top = 0, right = -1, bottom = -1;  // inclusive; empty when right < left
  int Width() const { return right - left + 1; }
  int Height() const { return bottom - top + 1; }
};

InkBox FindInk(const Mask& mask) {
  InkBox box{mask.width, mask.height, -1, -1};
  for (int y = 0; y < mask.height; ++y) {
    for (int x = 0; x < mask.width; ++x) {
      if (mask.At(x, y) <= 0.0f) continue;
      box.left = std::min(box.left, x);
      box.right = std::max(box.right, x);
      box.top = std::min(box.top, y);
      box.bottom = std::max(box.bottom, y);
    }
  }
  return box;
}

// Copies the part of src inside box to (x, y) of a mask of the given size.
Mask Place(const Mask& src, const InkBox& box, int w, int h, int x, int y) {
  Mask out(w, h);
  for (int sy = box.top; sy <= box.bottom; ++sy) {
    for (int sx = box.left; sx <= box.right; ++sx) {
      const int dx = x + sx - box.left, dy = y + sy - box.top;
      if (dx >= 0 && dy >= 0 && dx < w && dy < h) out.At(dx, dy) = src.At(sx, sy);
    }
  }
  return out;
}

// ---- 105: action buttons --------------------------------------------------

struct ButtonStyle {
  Rgb border, faceTop, faceBottom, bevelLight, bevelDark, label, labelShadow;
  int shift;  // label offset of the pressed face
};

constexpr ButtonStyle kReleased{{16, 52, 60}, {104, 204, 216}, {20, 112, 132}, {196, 244, 248},
                                {12, 72, 86}, {255, 255, 255}, {8, 60, 72},    0};
constexpr ButtonStyle kPressed{{16, 52, 60},   {18, 92, 108},   {52, 150, 166}, {10, 62, 74},
                               {88, 176, 190}, {226, 246, 248}, {6, 44, 54},    1};

void ActionButton(Image& sheet, const Font& font, std::string_view label, int x0, int y0,
                  const ButtonStyle& style) {
  constexpr int kW = 96, kH = 32;
  for (int y = 0; y < kH; ++y) {
    // A gloss step at mid-height makes the released face look rounded.
    double t = static_cast<double>(y) / (kH - 1);
    if (style.shift == 0 && y < kH / 2) t *= 0.6;
    const Rgb row = Mix(style.faceTop, style.faceBottom, t);
    for (int x = 0; x < kW; ++x) sheet.At(x0 + x, y0 + y) = row;
  }
  for (int x = 0; x < kW; ++x) {
    sheet.At(x0 + x, y0) = sheet.At(x0 + x, y0 + kH - 1) = style.border;
    sheet.At(x0 + x, y0 + 1) = style.bevelLight;
    sheet.At(x0 + x, y0 + kH - 2) = style.bevelDark;
  }
  for (int y = 0; y < kH; ++y) {
    sheet.At(x0, y0 + y) = sheet.At(x0 + kW - 1, y0 + y) = style.border;
    if (y > 0 && y < kH - 1) {
      sheet.At(x0 + 1, y0 + y) = style.bevelLight;
      sheet.At(x0 + kW - 2, y0 + y) = style.bevelDark;
    }
  }
  const TextBox box = font.Measure(label);
  Mask text(kW, kH);
  const int baseline = (kH + box.ascent) / 2;
  font.Draw(text, label, (kW - box.width) / 2, baseline);
  Paint(sheet, text, style.labelShadow, x0 + 1 + style.shift, y0 + 1 + style.shift);
  Paint(sheet, text, style.label, x0 + style.shift, y0 + style.shift);
}

// ---- 107: digit font ------------------------------------------------------

constexpr Rgb kGlyphFace{255, 255, 255};
// The outline grey of the detail screen's labels, so digits match them.
constexpr Rgb kGlyphOutline{128, 128, 128};

// Renders text hard-edged at the pixel size and returns its mask and ink.
std::pair<Mask, InkBox> HardText(Font& font, int size, std::string_view text) {
  font.SetPixelSize(size);
  Mask mask(64, 48);
  font.Draw(mask, text, 8, 32);
  Mask hard = Threshold(mask, 0.45f);
  const InkBox ink = FindInk(hard);
  return {std::move(hard), ink};
}

// One glyph cell: the ink centred across the cell, its baseline on row 13 of
// the cell so that digits and signs line up, then outlined.
void Glyph(Image& sheet, Font& font, int size, std::string_view text, int x0, int y0, int w) {
  const auto [mask, ink] = HardText(font, size, text);
  if (ink.Width() + 2 > w) throw std::runtime_error("glyph too wide for its cell");
  constexpr int kBaselineRow = 13;
  const int top = y0 + kBaselineRow - (32 - 1 - ink.top);
  const int left = x0 + (w - ink.Width()) / 2;
  const Mask placed = Place(mask, ink, sheet.width, sheet.height, left, top);
  Paint(sheet, OutlineOf(placed), kGlyphOutline);
  Paint(sheet, placed, kGlyphFace);
}

// The largest size up to maxSize at which the text with its outline fits w.
int FittingSize(Font& font, std::string_view text, int maxSize, int w) {
  for (int size = maxSize; size > 6; --size) {
    if (HardText(font, size, text).second.Width() + 2 <= w) return size;
  }
  throw std::runtime_error("text does not fit");
}

// ---- 108: busy banner -----------------------------------------------------

constexpr Rgb kBannerRed{255, 56, 56};

void Banner(Image& sheet, Font& font, std::string_view text, int y0) {
  constexpr int kW = 250, kH = 30, kSlant = 8;
  // A slanted frame, two pixels wide, leaning like the lettering.
  const Mask outer = Rasterize(
      kW, kH,
      ConvexPolygon(
          {{1.0 + kSlant, 1.0}, {kW - 1.0, 1.0}, {kW - 1.0 - kSlant, kH - 1.0}, {1.0, kH - 1.0}}));
  const Mask inner = Rasterize(
      kW, kH,
      ConvexPolygon(
          {{3.0 + kSlant, 3.0}, {kW - 3.0, 3.0}, {kW - 3.0 - kSlant, kH - 3.0}, {3.0, kH - 3.0}}));
  Mask frame(kW, kH);
  for (std::size_t i = 0; i < frame.values.size(); ++i) {
    frame.values[i] = outer.values[i] - inner.values[i];
  }
  Paint(sheet, Threshold(frame, 0.5f), kBannerRed, 0, y0);

  font.SetPixelSize(20);
  const TextBox box = font.Measure(text);
  Mask mask(kW, kH);
  const int baseline = (kH - box.ascent - box.descent) / 2 + box.ascent;
  font.Draw(mask, text, (kW - box.width) / 2, baseline);
  Paint(sheet, Threshold(mask, 0.5f), kBannerRed, 0, y0);
}

}  // namespace

Image MakeActionButtonSheet(const Fonts& fonts) {
  Font font(fonts.sansBold);
  font.SetPixelSize(15);
  Image sheet(192, 128);
  constexpr std::array<std::string_view, 4> kLabels{"Copy", "Delete", "SaveSDI", "Lock"};
  for (int i = 0; i < 4; ++i) {
    ActionButton(sheet, font, kLabels[i], 0, 32 * i, kReleased);
    ActionButton(sheet, font, kLabels[i], 96, 32 * i, kPressed);
  }
  return sheet;
}

Image MakeDigitFont(const Fonts& fonts) {
  Font font(fonts.sansBold);
  Image sheet(140, 32);
  constexpr int kSize = 16;
  for (int d = 0; d < 10; ++d) {
    Glyph(sheet, font, kSize, std::string(1, static_cast<char>('0' + d)), 14 * d, 0, 14);
  }
  Glyph(sheet, font, kSize, "/", 0, 16, 12);
  Glyph(sheet, font, kSize, ":", 12, 16, 12);
  Glyph(sheet, font, kSize, "-", 24, 16, 14);
  Glyph(sheet, font, FittingSize(font, "KB", kSize, 28), "KB", 38, 16, 28);
  return sheet;
}

Image MakeBusyBanner(const Fonts& fonts) {
  Font font(fonts.sansBoldOblique);
  Image sheet(250, 60);
  Banner(sheet, font, "Now Loading...", 0);
  Banner(sheet, font, "Now Locking...", 30);
  return sheet;
}

}  // namespace slk::tools
