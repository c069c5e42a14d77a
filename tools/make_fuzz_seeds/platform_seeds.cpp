// Seeds for the settings file and BMP targets.

#include <string>

#include "seeds.h"
#include "tools/card_inputs/card_inputs.h"

namespace slk::tools {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

using inputs::Put16;
using inputs::Put32;

// A small BMP: `infoSize`-byte info header, a palette for indexed depths,
// rows padded to 32 bits, a diagonal pattern; negative height = top-down.
Bytes Bmp(int width, int height, int bits, std::uint32_t infoSize = 40) {
  std::size_t palette = bits <= 8 ? (std::size_t{1} << bits) * 4 : 0;
  std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
  std::size_t rows = static_cast<std::size_t>(height < 0 ? -height : height);
  std::size_t pixels = 14 + infoSize + palette;
  Bytes b(pixels + stride * rows, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<std::uint32_t>(b.size()));
  Put32(b, 10, static_cast<std::uint32_t>(pixels));
  Put32(b, 14, infoSize);
  Put32(b, 18, static_cast<std::uint32_t>(width));
  Put32(b, 22, static_cast<std::uint32_t>(height));
  Put16(b, 26, 1);
  Put16(b, 28, static_cast<std::uint16_t>(bits));
  for (std::size_t i = 0; i < palette; ++i)
    b[14 + infoSize + i] = static_cast<std::uint8_t>(i * 13);
  for (std::size_t i = pixels; i < b.size(); ++i)
    b[i] = static_cast<std::uint8_t>(i * 7 + i / stride);
  return b;
}

}  // namespace

bool WriteIniSeeds(const SeedFolders& folders) {
  Corpus ini = folders.For("fuzz_ini");
  const std::string settings =
      "[Setting]\nDefaultImage=1\nUseDefaultImage=0\nLockImagePS1=2\nLockImagePS2=1\n"
      "LockAutoIconic=1\nHALpriority=0\nAnimationCut=0\nUseSlotPath=1\n"
      "[Directory]\nLockPath=/home/user/locks\nLSlotPath=/home/user/cards/left.mcr\n"
      "RSlotPath=\"/home/user/cards/right one.xmc\"\n";
  std::string crlf;
  for (char c : settings) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const std::string mixed =
      "; written by hand\n[other]\nkey = value\n\n[setting]\n  lockimageps1 = -3\n"
      "# comment=with equals\nHALpriority=99999999999\n[Directory]\nLockPath=\n[Setting]\n"
      "DefaultImage=0\n";
  return ini.Add("qovan2.ini", Text(settings)) && ini.Add("crlf.ini", Text(crlf)) &&
         ini.Add("mixed.ini", Text(mixed)) && ini.Add("empty.ini", {});
}

bool WriteBmpSeeds(const SeedFolders& folders) {
  Corpus bmp = folders.For("fuzz_bmp");
  return bmp.Add("mono.bmp", Bmp(9, 5, 1)) && bmp.Add("nibble.bmp", Bmp(7, 3, 4)) &&
         bmp.Add("indexed.bmp", Bmp(5, 4, 8)) && bmp.Add("rgb.bmp", Bmp(6, 3, 24)) &&
         bmp.Add("rgba.bmp", Bmp(4, 4, 32)) && bmp.Add("topdown.bmp", Bmp(5, -3, 24)) &&
         bmp.Add("v5header.bmp", Bmp(3, 3, 8, 124));
}

}  // namespace slk::tools
