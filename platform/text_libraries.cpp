#include "platform/text_libraries.h"

#include "platform/shared_library.h"

namespace slk::platform {
namespace {

// The names Debian's (and most systems') packages give the libraries of the
// versions the program is built against.
constexpr const char* kFreeType = "libfreetype.so.6";
constexpr const char* kFontconfig = "libfontconfig.so.1";

template <typename Functions>
struct Loaded {
  SharedLibrary library;
  Functions functions{};
  bool complete = false;

  template <typename FindAll>
  Loaded(const char* name, FindAll findAll) : library(name) {
    complete = library.IsOpen() && findAll(library, functions);
  }
  const Functions* Get() const { return complete ? &functions : nullptr; }
};

}  // namespace

const FreeTypeFunctions* FreeType() {
  static const Loaded<FreeTypeFunctions> loaded(kFreeType, [](const SharedLibrary& l,
                                                              FreeTypeFunctions& f) {
    return l.Find(f.initFreeType, "FT_Init_FreeType") &&
           l.Find(f.doneFreeType, "FT_Done_FreeType") && l.Find(f.openFace, "FT_Open_Face") &&
           l.Find(f.doneFace, "FT_Done_Face") && l.Find(f.setPixelSizes, "FT_Set_Pixel_Sizes") &&
           l.Find(f.getCharIndex, "FT_Get_Char_Index") && l.Find(f.loadGlyph, "FT_Load_Glyph") &&
           l.Find(f.mulFix, "FT_MulFix");
  });
  return loaded.Get();
}

const FontconfigFunctions* Fontconfig() {
  static const Loaded<FontconfigFunctions> loaded(
      kFontconfig, [](const SharedLibrary& l, FontconfigFunctions& f) {
        return l.Find(f.initLoadConfigAndFonts, "FcInitLoadConfigAndFonts") &&
               l.Find(f.configDestroy, "FcConfigDestroy") &&
               l.Find(f.configReference, "FcConfigReference") &&
               l.Find(f.configSubstitute, "FcConfigSubstitute") &&
               l.Find(f.defaultSubstitute, "FcDefaultSubstitute") &&
               l.Find(f.fontMatch, "FcFontMatch") && l.Find(f.patternCreate, "FcPatternCreate") &&
               l.Find(f.patternDestroy, "FcPatternDestroy") &&
               l.Find(f.patternAddString, "FcPatternAddString") &&
               l.Find(f.patternAddBool, "FcPatternAddBool") &&
               l.Find(f.patternGetString, "FcPatternGetString") &&
               l.Find(f.patternGetCharSet, "FcPatternGetCharSet") &&
               l.Find(f.charSetHasChar, "FcCharSetHasChar");
      });
  return loaded.Get();
}

}  // namespace slk::platform
