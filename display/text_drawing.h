#pragma once
// Text and numbers on the display's surfaces. Text is drawn the way GDI drew
// it on a surface's device context: onto the TextScratch with an opaque black
// cell, then stamped onto the target with the black colour key so that only
// the glyphs show. Numbers are cut from the DigitFont bitmap.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "display/display_engine.h"
#include "gfx/surface.h"
#include "gfx/types.h"

namespace slk::platform {
class TextRenderer;
}

namespace slk {

struct TextColour {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  friend bool operator==(const TextColour&, const TextColour&) = default;
};

// Outlined texts are drawn twice: the outline colour with weight 4 at (x, y),
// then the face colour with weight 2 at (x + 1, y + 1), which leaves a
// one-pixel outline around a bold face.
struct OutlineColours {
  TextColour outline;
  TextColour face;
};

inline constexpr OutlineColours kTitleColours{{128, 128, 0}, {255, 255, 0}};
inline constexpr OutlineColours kCaptionColours{{0, 128, 128}, {0, 255, 255}};
inline constexpr OutlineColours kLabelColours{{128, 128, 128}, {255, 255, 255}};
inline constexpr TextColour kFileNameColour{0, 255, 255};
inline constexpr TextColour kModifiedFileNameColour{255, 0, 0};
inline constexpr TextColour kCardKindColour{0, 255, 255};

// Glyphs of the DigitFont (right and bottom edges excluded).
inline constexpr int kDigitWidth = 14;
inline constexpr gfx::Rect kSlashGlyph{0, 16, 12, 32};
inline constexpr gfx::Rect kColonGlyph{12, 16, 24, 32};
inline constexpr gfx::Rect kDashGlyph{24, 16, 38, 32};
inline constexpr gfx::Rect kKiloByteGlyph{38, 16, 66, 32};
constexpr gfx::Rect DigitGlyph(int digit) {
  return gfx::Rect{kDigitWidth * digit, 0, kDigitWidth * digit + kDigitWidth, 16};
}

// Writes the `count` lowest decimal digits of `value` into `digits`, most
// significant first (leading zeros when the value is shorter, higher digits
// dropped when it is longer). Count 0 means as many digits as the value has
// (1 for 0, at most 10). Returns the count; a count below 1 writes nothing,
// and so does a count that `digits` cannot hold (then 0 is returned).
std::int32_t SplitDigits(std::uint32_t value, std::span<std::uint8_t> digits, std::int32_t count);

// The text cut in the middle with "..." so that it is at most `maxWidth`
// pixels wide, keeping its start and, when it fits, everything from its last
// '.' (a file name's extension). Shift-JIS characters are never split. A
// text that fits, or any text without a renderer, comes back unchanged; a
// NUL byte ends the text.
std::string ShortenInMiddle(const platform::TextRenderer* renderer, std::string_view sjis,
                            int maxWidth);

// The text cut at its end with "..." so that it is at most `maxWidth` pixels
// wide; otherwise as ShortenInMiddle.
std::string ShortenAtEnd(const platform::TextRenderer* renderer, std::string_view sjis,
                         int maxWidth);

class TextDrawing {
 public:
  // Without a renderer (no usable font) texts are not drawn; numbers are.
  TextDrawing(const DisplayEngine& engine, const platform::TextRenderer* renderer)
      : engine_(&engine), renderer_(renderer) {}

  // Draws `text` (Shift-JIS bytes) at (x, y) on `target`, smeared over
  // weight x weight pixels; with a centring width the text is centred in
  // that many pixels from x. A text wider than the scratch surface, or one
  // that would start left of the target, is clipped, never drawn outside a
  // surface. A weight below 1 draws nothing.
  void DrawBoldText(int x, int y, gfx::Surface& target, std::span<const std::uint8_t> text,
                    TextColour colour, int weight, int centreWidth) const;
  void DrawBoldText(int x, int y, gfx::Surface& target, std::string_view text, TextColour colour,
                    int weight, int centreWidth) const;
  // The two passes of an outlined text.
  void DrawOutlinedText(int x, int y, gfx::Surface& target, std::span<const std::uint8_t> text,
                        const OutlineColours& colours, int centreWidth) const;

  // Draws SplitDigits(value, count) with the DigitFont so that the number
  // ends at `rightX`.
  void DrawNumber(int rightX, int y, gfx::Surface& target, std::uint32_t value,
                  std::int32_t count) const;
  // One DigitFont glyph (kSlashGlyph, ...) with its top-left corner at (x, y).
  void DrawGlyph(int x, int y, gfx::Surface& target, const gfx::Rect& glyph) const;

  // Width in pixels of a text as DrawBoldText draws it with weight 1; 0
  // without a renderer.
  int Measure(std::span<const std::uint8_t> text) const;
  const platform::TextRenderer* Renderer() const { return renderer_; }

 private:
  // Draws the text onto the TextScratch; returns the measured width and
  // height, or nothing drawable (width 0) when the scratch cannot be locked.
  gfx::Rect Stage(std::span<const std::uint8_t> text, TextColour colour, int* measuredWidth) const;

  const DisplayEngine* engine_;
  const platform::TextRenderer* renderer_;
};

}  // namespace slk
