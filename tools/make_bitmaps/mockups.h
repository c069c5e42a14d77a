#pragma once
// Mock-ups of the two screens from the finished bitmaps, for --preview.

#include <span>

#include "tools/make_bitmaps/image.h"

namespace slk::tools {

struct Sheets {
  Image backdrop, scrollButtons, moreArrows, actionButtons, markerBall, digitFont, busyBanner;
};

Image MockListScreen(const Sheets& sheets);
Image MockDetailScreen(const Sheets& sheets);

}  // namespace slk::tools
