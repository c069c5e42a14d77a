#pragma once
// The program's bitmaps 102 to 108 and its icon, drawn from code. Sizes and
// the places of every cell are fixed by the display, which cuts rectangles
// out of these sheets; the drawing inside the cells is ours.

#include <string>

#include "tools/make_bitmaps/image.h"

namespace slk::tools {

struct Fonts {
  std::string sansBold;         // the action button labels and the digits
  std::string sansBoldOblique;  // the busy banners
};

Image MakeBackdrop();                             // 102, 512 x 312
Image MakeScrollButtonSheet();                    // 103, 48 x 144
Image MakeMoreArrows();                           // 104, 32 x 16
Image MakeActionButtonSheet(const Fonts& fonts);  // 105, 192 x 128
Image MakeMarkerBall();                           // 106, 16 x 16
Image MakeDigitFont(const Fonts& fonts);          // 107, 140 x 32
Image MakeBusyBanner(const Fonts& fonts);         // 108, 250 x 60
RgbaImage MakeProgramIcon(int size);              // 110, any square size

}  // namespace slk::tools
