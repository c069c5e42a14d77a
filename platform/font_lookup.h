#pragma once
// Finding the font that the text renderer draws with.

#include <string>
#include <string_view>

namespace slk::platform {

// What the user should do when no font is usable.
inline constexpr std::string_view kFontInstallHint =
    "Install the Japanese font IPAGothic with: sudo apt-get install fonts-ipafont-gothic";

// The file of IPAGothic, or failing that of another font that fontconfig
// offers for Japanese and that holds kana and kanji. Empty, with a message in
// *error, when there is none.
std::string FindJapaneseFont(std::string* error);

}  // namespace slk::platform
