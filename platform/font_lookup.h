#pragma once
// Finding the font that the text renderer draws with.

#include <string>
#include <string_view>

namespace slk::platform {

// What the user should do when no font is usable.
inline constexpr std::string_view kFontInstallHint =
    "Install the Japanese font IPAGothic with: sudo apt-get install fonts-ipafont-gothic";

// Which fontconfig configuration a lookup reads.
enum class FontConfiguration {
  // One of its own, read for the lookup and dropped after it.
  Own,
  // The process's current one, made by the first to need it and kept: in the
  // Qt program it is the one Qt's font database reads (and releases when it
  // goes), so that fontconfig's files are read once. Elsewhere it stays
  // until the process ends, which leak checkers report.
  Shared,
};

// The file of IPAGothic, or failing that of another font that fontconfig
// offers for Japanese and that holds kana and kanji. Empty, with a message in
// *error, when there is none.
std::string FindJapaneseFont(std::string* error,
                             FontConfiguration configuration = FontConfiguration::Own);

}  // namespace slk::platform
