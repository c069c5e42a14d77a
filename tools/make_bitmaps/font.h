#pragma once
// Lettering for the bitmaps through FreeType, from a TrueType font file.
// Only the generator uses it: the build itself takes the finished bitmaps.

#include <memory>
#include <string>
#include <string_view>

#include "tools/make_bitmaps/image.h"

namespace slk::tools {

struct TextBox {
  int width = 0;    // advance width of the whole text, in pixels
  int ascent = 0;   // rows of ink above the baseline
  int descent = 0;  // rows of ink below it
};

class Font {
 public:
  // Throws std::runtime_error when the file cannot be loaded.
  explicit Font(const std::string& path);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  void SetPixelSize(int pixels);
  // ASCII text only; that is all the bitmaps carry.
  TextBox Measure(std::string_view text) const;
  // Draws the text with its pen starting at (x, baseline) into the mask,
  // keeping the larger coverage where glyphs overlap.
  void Draw(Mask& mask, std::string_view text, int x, int baseline) const;
  // Ink extent of one character: left offset from the pen and width.
  std::pair<int, int> InkSpan(char c) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace slk::tools
