#pragma once
// Builds the files the card benchmarks open, byte by byte with
// tools/card_inputs, without the program's own writers (those are measured).
// Large cards are streamed to disk one save at a time.

#include <cstdint>
#include <string>

namespace slk::bench {

// A PS2 save as a PS2 card keeps it: "icon.sys" naming "list.ico", an icon
// file of `iconBytes` and a data file with the rest, `bytes` in all (at least
// `iconBytes` + 8 KiB). `seed` makes the name and contents differ from save
// to save.
struct Ps2SaveShape {
  std::uint32_t bytes = 200 * 1024;
  std::uint32_t seed = 0;
  std::uint32_t iconBytes = 32 * 1024;
};

// An expanded card image of `saves` such saves; small saves (20 KB) need a
// smaller icon than the usual 32 KiB.
bool WriteExpandedCardFile(const std::string& path, std::uint32_t saves, std::uint32_t bytesPerSave,
                           std::uint32_t iconBytes = 32 * 1024);

// An 8 MB PS2 card image with ECC holding `saves` such saves. Unlike the
// other files it is made by the card library (FormatCard, AddSave): laying
// out a FAT by hand would be a second writer to keep right, and what the
// benchmarks measure is opening and saving the card, not making it.
bool WritePs2CardFile(const std::string& path, std::uint32_t saves, std::uint32_t bytesPerSave);

// A .psu of one PS2 save.
bool WritePs2Psu(const std::string& path, const Ps2SaveShape& shape);

// A .psu of one PS1 save of `blocks` 8 KiB blocks, its title frame first.
bool WritePs1Psu(const std::string& path, std::uint32_t blocks);

// A bare PS1 card (.mcr) with all 15 blocks in use: five saves of three
// blocks.
bool WriteFullPs1Card(const std::string& path);

}  // namespace slk::bench
