#pragma once
// Text on a pixel surface: our stand-in for GDI's TextOutA and
// GetTextExtentPoint32A on a surface's device context with its default font.
//
// Texts are byte strings in Shift-JIS (code page 932), as the cards and the
// resources hold them; a sequence that does not decode is drawn as '?', and a
// NUL byte ends the text. The one font is IPAGothic (Debian's
// fonts-ipafont-gothic, found through fontconfig) with a 16-pixel em: a
// full-width character is 16 pixels wide, a half-width one 8, and a line is
// 16 pixels high, like the Japanese system font. Glyphs are rendered in
// monochrome, without anti-aliasing, so that a black source colour key cuts
// them out cleanly.
//
// Threads: a renderer may be shared. Measure and Draw take an internal mutex
// (FreeType faces and the glyph cache are not safe to share otherwise); the
// program uses it from the rendering thread and, only while that thread is
// paused, from the user-interface thread.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace slk::platform {

// A locked surface's memory: rows `pitch` bytes apart (negative for a
// bottom-up surface whose `pixels` points at the top row), pixels of
// 1 to 4 bytes stored little-endian, with the colour channels at the masks.
struct PixelTarget {
  std::uint8_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int pitch = 0;
  int bytesPerPixel = 0;
  std::uint32_t redMask = 0, greenMask = 0, blueMask = 0;
};

struct TextExtent {
  int width = 0;
  int height = 0;
};

// The value of colour (r, g, b) in the target's pixel format, each channel
// cut to its mask's bits. Never 0, which is the colour key: a colour too dark
// to survive the cut becomes the lowest bit of the masks.
std::uint32_t TextPixelValue(const PixelTarget& target, std::uint8_t r, std::uint8_t g,
                             std::uint8_t b);

class TextRenderer {
 public:
  // nullptr, and a message for the user in *error, when no usable font is
  // installed. The caller decides what to do about it.
  static std::unique_ptr<TextRenderer> Create(std::string* error);
  // The same, finding the font through the process's fontconfig
  // configuration (FontConfiguration::Shared): for the Qt program, whose
  // font database then reads fontconfig's files no second time.
  static std::unique_ptr<TextRenderer> CreateSharingFontconfig(std::string* error);
  // The same with a given font file (tests, or a font chosen by the user).
  static std::unique_ptr<TextRenderer> CreateFromFile(const std::string& fontPath,
                                                      std::string* error);
  TextRenderer(const TextRenderer&) = delete;
  TextRenderer& operator=(const TextRenderer&) = delete;
  ~TextRenderer();

  // The sum of the characters' advance widths, and the line height, which is
  // the same for every text, the empty one included (width 0).
  TextExtent Measure(std::span<const std::uint8_t> sjis) const;
  // Like TextOutA with an opaque black background: fills the text's cell
  // (Measure's extent) at (x, y) with 0 and draws the glyphs in colour
  // (r, g, b) (see TextPixelValue). Touches no pixel outside the cell or the
  // target. Returns the extent.
  TextExtent Draw(PixelTarget& target, int x, int y, std::span<const std::uint8_t> sjis,
                  std::uint8_t r, std::uint8_t g, std::uint8_t b) const;

  int LineHeight() const;
  const std::string& FontPath() const;

 private:
  struct Impl;
  explicit TextRenderer(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace slk::platform
