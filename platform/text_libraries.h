#pragma once
// FreeType and fontconfig, loaded the first time text is drawn rather than
// at every start: slotkeeper-cli draws text only for `icon`, and loading the
// two (with expat and brotli behind them) took about 0.26 ms of every other
// command's start.

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

namespace slk::platform {

// The functions of each library the text drawing uses.
struct FreeTypeFunctions {
  decltype(&::FT_Init_FreeType) initFreeType;
  decltype(&::FT_Done_FreeType) doneFreeType;
  decltype(&::FT_Open_Face) openFace;
  decltype(&::FT_Done_Face) doneFace;
  decltype(&::FT_Set_Pixel_Sizes) setPixelSizes;
  decltype(&::FT_Get_Char_Index) getCharIndex;
  decltype(&::FT_Load_Glyph) loadGlyph;
  decltype(&::FT_MulFix) mulFix;
};

struct FontconfigFunctions {
  decltype(&::FcInitLoadConfigAndFonts) initLoadConfigAndFonts;
  decltype(&::FcConfigDestroy) configDestroy;
  decltype(&::FcConfigReference) configReference;
  decltype(&::FcConfigSubstitute) configSubstitute;
  decltype(&::FcDefaultSubstitute) defaultSubstitute;
  decltype(&::FcFontMatch) fontMatch;
  decltype(&::FcPatternCreate) patternCreate;
  decltype(&::FcPatternDestroy) patternDestroy;
  decltype(&::FcPatternAddString) patternAddString;
  decltype(&::FcPatternAddBool) patternAddBool;
  decltype(&::FcPatternGetString) patternGetString;
  decltype(&::FcPatternGetCharSet) patternGetCharSet;
  decltype(&::FcCharSetHasChar) charSetHasChar;
};

// Loaded on first use, once, from any thread; null when the library or one
// of its functions cannot be found (the callers then say that FreeType
// could not be started, or fontconfig set up, as when it fails).
const FreeTypeFunctions* FreeType();
const FontconfigFunctions* Fontconfig();

}  // namespace slk::platform
