#include "platform/font_lookup.h"

#include <memory>

#include "platform/text_libraries.h"

namespace slk::platform {
namespace {

struct ConfigDeleter {
  void operator()(FcConfig* config) const { Fontconfig()->configDestroy(config); }
};
struct PatternDeleter {
  void operator()(FcPattern* pattern) const { Fontconfig()->patternDestroy(pattern); }
};
using ConfigPtr = std::unique_ptr<FcConfig, ConfigDeleter>;
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

// Save titles are mostly kana and kanji; a font without them would draw boxes.
bool CoversJapanese(FcPattern* font) {
  FcCharSet* chars = nullptr;
  const FontconfigFunctions& fc = *Fontconfig();
  if (fc.patternGetCharSet(font, FC_CHARSET, 0, &chars) != FcResultMatch) return false;
  for (FcChar32 c :
       {FcChar32{'A'}, FcChar32{0x3042}, FcChar32{0x30A2}, FcChar32{0x6F22}, FcChar32{0xFF71}}) {
    if (!fc.charSetHasChar(chars, c)) return false;
  }
  return true;
}

}  // namespace

std::string FindJapaneseFont(std::string* error, FontConfiguration configuration) {
  auto fail = [&](std::string_view why) {
    if (error != nullptr) *error = std::string(why) + " " + std::string(kFontInstallHint);
    return std::string();
  };
  const FontconfigFunctions* loaded = Fontconfig();
  if (!loaded) return fail("Fontconfig could not be set up.");
  const FontconfigFunctions& fc = *loaded;
  ConfigPtr config(configuration == FontConfiguration::Shared ? fc.configReference(nullptr)
                                                              : fc.initLoadConfigAndFonts());
  if (!config) return fail("Fontconfig could not be set up.");
  // fontconfig always answers with some font: the family is the wish, the
  // language makes another Japanese font win over the default Latin ones if
  // IPAGothic is missing, and CoversJapanese checks the answer.
  PatternPtr pattern(fc.patternCreate());
  if (!pattern) return fail("Fontconfig could not be set up.");
  fc.patternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("IPAGothic"));
  fc.patternAddString(pattern.get(), FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
  fc.patternAddBool(pattern.get(), FC_OUTLINE, FcTrue);
  fc.configSubstitute(config.get(), pattern.get(), FcMatchPattern);
  fc.defaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  PatternPtr match(fc.fontMatch(config.get(), pattern.get(), &result));
  FcChar8* file = nullptr;
  if (!match || fc.patternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch ||
      file == nullptr || !CoversJapanese(match.get())) {
    return fail("No font with Japanese characters was found (IPAGothic is missing).");
  }
  return std::string(reinterpret_cast<const char*>(file));
}

}  // namespace slk::platform
