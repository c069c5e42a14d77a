#include "tools/make_bitmaps/font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <stdexcept>

namespace slk::tools {

struct Font::Impl {
  FT_Library library = nullptr;
  FT_Face face = nullptr;

  ~Impl() {
    if (face != nullptr) FT_Done_Face(face);
    if (library != nullptr) FT_Done_FreeType(library);
  }

  // Loads and renders one character (anti-aliased, hinted); the glyph slot
  // holds it until the next call.
  const FT_GlyphSlotRec& Render(char c) const {
    const FT_UInt index = FT_Get_Char_Index(face, static_cast<unsigned char>(c));
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER) != 0) {
      throw std::runtime_error(std::string("cannot render character ") + c);
    }
    return *face->glyph;
  }

  long Kerning(char left, char right) const {
    if (!FT_HAS_KERNING(face)) return 0;
    FT_Vector delta{};
    FT_Get_Kerning(face, FT_Get_Char_Index(face, static_cast<unsigned char>(left)),
                   FT_Get_Char_Index(face, static_cast<unsigned char>(right)), FT_KERNING_DEFAULT,
                   &delta);
    return delta.x;
  }
};

Font::Font(const std::string& path) : impl_(std::make_unique<Impl>()) {
  if (FT_Init_FreeType(&impl_->library) != 0) throw std::runtime_error("FreeType did not start");
  if (FT_New_Face(impl_->library, path.c_str(), 0, &impl_->face) != 0) {
    throw std::runtime_error("cannot load font " + path);
  }
}

Font::~Font() = default;

void Font::SetPixelSize(int pixels) {
  FT_Set_Pixel_Sizes(impl_->face, 0, static_cast<FT_UInt>(pixels));
}

TextBox Font::Measure(std::string_view text) const {
  TextBox box;
  long pen = 0;  // 26.6 fixed point
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i > 0) pen += impl_->Kerning(text[i - 1], text[i]);
    const FT_GlyphSlotRec& g = impl_->Render(text[i]);
    box.ascent = std::max(box.ascent, g.bitmap_top);
    box.descent = std::max(box.descent, static_cast<int>(g.bitmap.rows) - g.bitmap_top);
    pen += g.advance.x;
  }
  box.width = static_cast<int>((pen + 32) >> 6);
  return box;
}

void Font::Draw(Mask& mask, std::string_view text, int x, int baseline) const {
  long pen = static_cast<long>(x) << 6;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i > 0) pen += impl_->Kerning(text[i - 1], text[i]);
    const FT_GlyphSlotRec& g = impl_->Render(text[i]);
    const int left = static_cast<int>((pen + 32) >> 6) + g.bitmap_left;
    const int top = baseline - g.bitmap_top;
    for (unsigned row = 0; row < g.bitmap.rows; ++row) {
      for (unsigned col = 0; col < g.bitmap.width; ++col) {
        const int px = left + static_cast<int>(col);
        const int py = top + static_cast<int>(row);
        if (px < 0 || py < 0 || px >= mask.width || py >= mask.height) continue;
        const float v = g.bitmap.buffer[row * g.bitmap.pitch + col] / 255.0f;
        mask.At(px, py) = std::max(mask.At(px, py), v);
      }
    }
    pen += g.advance.x;
  }
}

std::pair<int, int> Font::InkSpan(char c) const {
  const FT_GlyphSlotRec& g = impl_->Render(c);
  return {g.bitmap_left, static_cast<int>(g.bitmap.width)};
}

}  // namespace slk::tools
