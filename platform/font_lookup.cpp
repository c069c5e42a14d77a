#include "platform/font_lookup.h"

#include <fontconfig/fontconfig.h>

#include <memory>

namespace slk::platform {
namespace {

struct ConfigDeleter {
  void operator()(FcConfig* config) const { FcConfigDestroy(config); }
};
struct PatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using ConfigPtr = std::unique_ptr<FcConfig, ConfigDeleter>;
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

// Save titles are mostly kana and kanji; a font without them would draw boxes.
bool CoversJapanese(FcPattern* font) {
  FcCharSet* chars = nullptr;
  if (FcPatternGetCharSet(font, FC_CHARSET, 0, &chars) != FcResultMatch) return false;
  for (FcChar32 c :
       {FcChar32{'A'}, FcChar32{0x3042}, FcChar32{0x30A2}, FcChar32{0x6F22}, FcChar32{0xFF71}}) {
    if (!FcCharSetHasChar(chars, c)) return false;
  }
  return true;
}

}  // namespace

std::string FindJapaneseFont(std::string* error, FontConfiguration configuration) {
  auto fail = [&](std::string_view why) {
    if (error != nullptr) *error = std::string(why) + " " + std::string(kFontInstallHint);
    return std::string();
  };
  ConfigPtr config(configuration == FontConfiguration::Shared ? FcConfigReference(nullptr)
                                                              : FcInitLoadConfigAndFonts());
  if (!config) return fail("Fontconfig could not be set up.");
  // fontconfig always answers with some font: the family is the wish, the
  // language makes another Japanese font win over the default Latin ones if
  // IPAGothic is missing, and CoversJapanese checks the answer.
  PatternPtr pattern(FcPatternCreate());
  if (!pattern) return fail("Fontconfig could not be set up.");
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("IPAGothic"));
  FcPatternAddString(pattern.get(), FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
  FcPatternAddBool(pattern.get(), FC_OUTLINE, FcTrue);
  FcConfigSubstitute(config.get(), pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  PatternPtr match(FcFontMatch(config.get(), pattern.get(), &result));
  FcChar8* file = nullptr;
  if (!match || FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch ||
      file == nullptr || !CoversJapanese(match.get())) {
    return fail("No font with Japanese characters was found (IPAGothic is missing).");
  }
  return std::string(reinterpret_cast<const char*>(file));
}

}  // namespace slk::platform
