// Rough mock-ups of the list and detail screens built from the bitmaps at
// the places the display puts them, to judge the bitmaps together. Only the
// --preview output uses them.

#include "tools/make_bitmaps/mockups.h"

namespace slk::tools {
namespace {

// Copies the source rectangle to (dx, dy); keyed copies skip black.
void Blit(Image& dst, const Image& src, int sx, int sy, int w, int h, int dx, int dy, bool keyed) {
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Rgb& p = src.At(sx + x, sy + y);
      if (keyed && p == Rgb{}) continue;
      if (dst.Contains(dx + x, dy + y)) dst.At(dx + x, dy + y) = p;
    }
  }
}

void Number(Image& dst, const Image& digits, int rightX, int y, unsigned value, int count) {
  for (int i = count - 1; i >= 0; --i, value /= 10) {
    Blit(dst, digits, 14 * static_cast<int>(value % 10), 0, 14, 16, rightX - 14 * (count - i), y,
         true);
  }
}

}  // namespace

Image MockListScreen(const Sheets& s) {
  Image screen = s.backdrop;
  for (int slot = 0; slot < 2; ++slot) {
    for (int k = 0; k < 6; ++k) {
      const int pressed = slot == 1 && k == 2 ? 1 : 0;
      Blit(screen, s.scrollButtons, 24 * pressed, 24 * k, 24, 24, 232 + 256 * slot, 44 + 24 * k,
           false);
    }
    Blit(screen, s.moreArrows, 0, 0, 16, 16, 108 + 256 * slot, 0, true);
    Blit(screen, s.moreArrows, 16, 0, 16, 16, 108 + 256 * slot, 216, true);
  }
  // The selection corners around cell 4 of the Left slot.
  for (int k = 0; k < 4; ++k) {
    Blit(screen, s.markerBall, 0, 0, 16, 16, 84 + 64 * (k % 2) - 8, 84 + 64 * (k / 2) - 8, true);
  }
  return screen;
}

Image MockDetailScreen(const Sheets& s) {
  // A PS1 save's dark blue gradient laid over the list.
  Image screen = MockListScreen(s);
  for (int y = 0; y < screen.height; ++y) {
    const Rgb tint = Mix(Rgb{0, 0, 128}, Rgb{0, 0, 32}, y / 311.0);
    for (Rgb& p : std::span(screen.pixels).subspan(std::size_t(y) * screen.width, screen.width)) {
      p = Mix(p, tint, 0.75);
    }
  }
  for (int i = 0; i < 4; ++i) {
    Blit(screen, s.actionButtons, i == 1 ? 96 : 0, 32 * i, 96, 32, 274 + 116 * (i % 2),
         194 + 52 * (i / 2), false);
  }
  Blit(screen, s.busyBanner, 0, 30, 250, 30, 130, 282, true);
  Number(screen, s.digitFont, 416, 111, 2001, 4);
  Blit(screen, s.digitFont, 0, 16, 12, 16, 416, 111, true);
  Number(screen, s.digitFont, 456, 111, 10, 2);
  Blit(screen, s.digitFont, 0, 16, 12, 16, 456, 111, true);
  Number(screen, s.digitFont, 496, 111, 24, 2);
  Number(screen, s.digitFont, 416, 133, 5, 2);
  Blit(screen, s.digitFont, 12, 16, 12, 16, 416, 133, true);
  Number(screen, s.digitFont, 456, 133, 7, 2);
  Blit(screen, s.digitFont, 12, 16, 12, 16, 456, 133, true);
  Number(screen, s.digitFont, 496, 133, 9, 2);
  Number(screen, s.digitFont, 468, 155, 8, 1);
  Blit(screen, s.digitFont, 38, 16, 28, 16, 468, 155, true);
  for (const auto& [x, y] : {std::pair{0, 0}, {496, 0}, {0, 296}, {496, 296}}) {
    Blit(screen, s.markerBall, 0, 0, 16, 16, x, y, true);
  }
  return screen;
}

}  // namespace slk::tools
