#pragma once
// The desktop the display and icon tests draw on: 640 x 400 with padded rows,
// so a pitch taken for width x bytes shows up as a sheared picture.

#include "gfx/desktop.h"
#include "gfx/pixel_format.h"

namespace slk::testing {

inline gfx::DesktopOptions TestDesktop(int bits) {
  gfx::DesktopOptions o;
  o.width = 640;
  o.height = 400;
  o.format = gfx::PixelFormat::ForDesktopBits(bits);
  o.pitchPadding = 12;
  return o;
}

}  // namespace slk::testing
