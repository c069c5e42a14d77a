#pragma once
// The program's bitmaps 102 to 108, built into it as the bytes of Windows BMP
// files (decode them with platform/dib.h).

#include <cstdint>
#include <span>

namespace slk::res {

namespace BitmapId {
constexpr int Backdrop = 102;           // 512 x 312, 24-bit
constexpr int ScrollButtonSheet = 103;  // 48 x 144, 4-bit
constexpr int MoreArrows = 104;         // 32 x 16, 4-bit
constexpr int ActionButtonSheet = 105;  // 192 x 128, 24-bit
constexpr int MarkerBall = 106;         // 16 x 16, 24-bit
constexpr int DigitFont = 107;          // 140 x 32, 4-bit
constexpr int BusyBanner = 108;         // 250 x 60, 1-bit
}  // namespace BitmapId

// The BMP file of the bitmap; an empty span for an id without one.
std::span<const std::uint8_t> BitmapResource(int id);

}  // namespace slk::res
