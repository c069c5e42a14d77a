#pragma once
// Formats are chosen by a file's extension alone, from two ordered lists of
// seven. The index is also the order of the dialog filters and the value the
// settings store for lock formats.

#include <array>
#include <string>
#include <string_view>

namespace slk {

enum class ImageFormat : int {
  // Card image list.
  Xmc = 0,
  Mem = 1,
  Mcr = 2,
  Gme = 3,
  Mcd = 4,
  Ps = 5,
  Mci = 6,
  // Save data image list (same indices, other list).
  Psu = 0,
  Psd = 1,
  Ps1 = 2,
  Mcx = 3,
  Mcb = 4,
  Psm = 5,
  Mc = 6,
};

enum class FormatList { CardImage, SaveDataImage };

constexpr std::array<std::string_view, 7> kCardImageExtensions = {"xmc", "mem", "mcr", "gme",
                                                                  "mcd", "ps",  "mci"};
constexpr std::array<std::string_view, 7> kSaveDataImageExtensions = {"psu", "psd", "ps1", "mcx",
                                                                      "mcb", "psm", "mc"};

// The PS2 card images, outside the two lists: the emulator's .ps2, the SD
// card adapters' .mc2 and the game loader's .vmc.
constexpr std::array<std::string_view, 3> kPS2CardExtensions = {"ps2", "mc2", "vmc"};
bool IsPS2CardPath(std::string_view path);
// A card image of either list or a PS2 card image.
bool IsCardImagePath(std::string_view path);

// 0-6, or -1 when the path's extension (text after its last '.') is not in the
// list. Letter case does not matter.
int ExtensionIndex(std::string_view path, FormatList list);

// A path that begins with a double quote loses its first and last characters;
// a lone double quote gives an empty path.
std::string StripQuotes(std::string_view path);

// The text after the last '/', or false when there is none (target untouched).
bool FileNamePart(std::string_view path, std::string& target);

}  // namespace slk
