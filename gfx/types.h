#pragma once
// Plain values shared by every gfx object: result codes, rectangles, colours,
// vectors, matrices and the flag words. The numeric values are those of
// DirectDraw 7 and Direct3D 7, so that code written against the display
// device's documented constants reads the same here.

#include <array>
#include <cstdint>

namespace slk::gfx {

// Result codes. Callers compare against Result::Ok exactly, and the renderer
// tells a lost surface apart from every other failure.
enum class Result : std::uint32_t {
  Ok = 0,
  Generic = 0x80004005,
  OutOfMemory = 0x8007000E,
  InvalidParams = 0x80070057,
  Unsupported = 0x80004001,
  InvalidRect = 0x88760096,
  NoColorKey = 0x887600D7,
  SurfaceAlreadyAttached = 0x887600E8,
  SurfaceBusy = 0x887601AE,
  SurfaceLost = 0x887601C2,
  NotLocked = 0x88760248,
  NoDevice = 0x88760082,
  InvalidPixelFormat = 0x88760091,
  NotInScene = 0x8876027A,
  AlreadyInScene = 0x88760279,
  VertexBufferLocked = 0x887602F8,
};

// The failure test of the platform: any code with the top bit set.
constexpr bool Failed(Result r) {
  return (static_cast<std::uint32_t>(r) & 0x80000000u) != 0;
}

// A rectangle that excludes its right and bottom edges.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

Rect Intersect(const Rect& a, const Rect& b);

// A colour in floating point, each channel nominally 0..1 (lights may exceed 1).
struct ColorValue {
  float r = 0;
  float g = 0;
  float b = 0;
  float a = 0;
};

struct Vector3 {
  float x = 0;
  float y = 0;
  float z = 0;
};

// A 4 x 4 single-precision matrix in the row-vector convention: m[row][column],
// a point is multiplied as a row vector on the left, translation in row 3.
struct Matrix {
  std::array<std::array<float, 4>, 4> m{};

  static Matrix Identity();
  friend bool operator==(const Matrix&, const Matrix&) = default;
};

// A 32-bit packed colour, 0xAARRGGBB.
using Color = std::uint32_t;

constexpr Color MakeColor(std::uint8_t a, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return (static_cast<Color>(a) << 24) | (static_cast<Color>(r) << 16) |
         (static_cast<Color>(g) << 8) | b;
}

// Surface description flags: which fields of a SurfaceDesc are meaningful.
namespace desc {
constexpr std::uint32_t kCaps = 0x1;
constexpr std::uint32_t kHeight = 0x2;
constexpr std::uint32_t kWidth = 0x4;
constexpr std::uint32_t kPitch = 0x8;
constexpr std::uint32_t kPixelFormat = 0x1000;
constexpr std::uint32_t kCkSrcBlt = 0x10000;
constexpr std::uint32_t kTextureStage = 0x100000;
}  // namespace desc

// Surface capabilities.
namespace caps {
constexpr std::uint32_t kOffscreenPlain = 0x40;
constexpr std::uint32_t kPrimarySurface = 0x200;
constexpr std::uint32_t kSystemMemory = 0x800;
constexpr std::uint32_t kTexture = 0x1000;
constexpr std::uint32_t k3DDevice = 0x2000;
constexpr std::uint32_t kVideoMemory = 0x4000;
constexpr std::uint32_t kZBuffer = 0x20000;
}  // namespace caps

// Pixel format flags.
namespace pf {
constexpr std::uint32_t kAlphaPixels = 0x1;
constexpr std::uint32_t kPaletteIndexed8 = 0x20;
constexpr std::uint32_t kRgb = 0x40;
constexpr std::uint32_t kZBuffer = 0x400;
constexpr std::uint32_t kLuminance = 0x20000;
constexpr std::uint32_t kBumpLuminance = 0x40000;
constexpr std::uint32_t kBumpDuDv = 0x80000;
}  // namespace pf

// BltFast flags.
namespace bltfast {
constexpr std::uint32_t kNoColorKey = 0x0;
constexpr std::uint32_t kSrcColorKey = 0x1;
constexpr std::uint32_t kWait = 0x10;
}  // namespace bltfast

// Blt flags.
namespace blt {
constexpr std::uint32_t kColorFill = 0x400;
constexpr std::uint32_t kKeySrc = 0x8000;
constexpr std::uint32_t kWait = 0x1000000;
}  // namespace blt

// Device Clear flags.
namespace clear {
constexpr std::uint32_t kTarget = 0x1;
constexpr std::uint32_t kZBuffer = 0x2;
}  // namespace clear

// Flexible vertex format bits.
namespace fvf {
constexpr std::uint32_t kXyz = 0x2;
constexpr std::uint32_t kXyzRhw = 0x4;
constexpr std::uint32_t kNormal = 0x10;
constexpr std::uint32_t kDiffuse = 0x40;
constexpr std::uint32_t kSpecular = 0x80;
constexpr std::uint32_t kTex1 = 0x100;
constexpr std::uint32_t kPositionMask = 0xE;
constexpr std::uint32_t kTexCountMask = 0xF00;
}  // namespace fvf

// Triangle raster capability that means "no Z-buffer needed".
constexpr std::uint32_t kRasterCapsZBufferlessHsr = 0x8000;

}  // namespace slk::gfx
