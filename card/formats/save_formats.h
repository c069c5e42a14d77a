#pragma once
// Save and card formats written by other tools and devices, parsed from the
// whole file's bytes into a neutral form and written back from it:
//
//   .max  Action Replay Max (LZARI-compressed)        PS2 save   read, write
//   .cbs  CodeBreaker (RC4 over zlib)                  PS2 save   read, write
//   .sps  SharkPort, .xps X-Port                       PS2 save   read (write: tests)
//   .psv  PS3 export of a PS1 or PS2 save (signed)     either     read, write
//   .vmp  PSP/Vita PS1 card (signed)                   PS1 card   read, write
//   .mcs  one directory frame + blocks                 PS1 save   read, write
//   raw   headerless PS1 save blocks ("SC" first)      PS1 save   read
//
// Every reader checks each length and count against the input before using
// it and refuses with the reason in `why`; nothing is read past the input
// and no decompressor writes past the size its header gives.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "card/save_entry.h"
#include "platform/problem.h"

namespace slk::formats {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// Times are the 8 bytes as the format stores them (the PS2 card's own
// clock, Japan time); an all-zero time means the format kept none.
struct Ps2SaveFile {
  std::string name;
  SaveMode mode = 0x8497;
  TimeStamp created;
  TimeStamp modified;
  Bytes bytes;
};

struct Ps2SaveData {
  std::string name;  // the save's folder name
  SaveMode mode = 0x8427;
  TimeStamp created;
  TimeStamp modified;
  std::vector<Ps2SaveFile> files;  // in stored order
};

// A PS1 save: its card file name (at most 20 bytes) and its blocks, a whole
// number of 8192-byte blocks starting with the title frame.
struct Ps1SaveData {
  std::string name;
  Bytes blocks;
};

constexpr std::size_t kPs1BlockSize = 8192;
constexpr std::size_t kPs1CardSize = 131072;
// No PS2 card holds a save this large; a header claiming more is hostile.
constexpr std::uint32_t kMaxSaveBytes = 64u << 20;

// .max
std::optional<Ps2SaveData> ReadMaxSave(ByteView file, platform::Problem& why);
Bytes WriteMaxSave(const Ps2SaveData& save);

// .cbs
std::optional<Ps2SaveData> ReadCbsSave(ByteView file, platform::Problem& why);
Bytes WriteCbsSave(const Ps2SaveData& save);

// .sps and .xps (one layout)
std::optional<Ps2SaveData> ReadSharkPortSave(ByteView file, platform::Problem& why);
// Written with a zero checksum (its algorithm is not known; readers ignore it).
Bytes WriteSharkPortSave(const Ps2SaveData& save);

// .psv: one of the two kinds. The signature is checked only when asked, so
// that files re-signed by other tools still open.
struct PsvSave {
  std::optional<Ps2SaveData> ps2;
  std::optional<Ps1SaveData> ps1;
  bool signatureValid = false;
};
std::optional<PsvSave> ReadPsvSave(ByteView file, platform::Problem& why);
Bytes WritePsvSave(const Ps2SaveData& save);
Bytes WritePsvSave(const Ps1SaveData& save);

// .vmp: the 131,072 card bytes; `signatureValid` tells whether the header's
// signature matches them.
struct VmpCard {
  Bytes card;
  bool signatureValid = false;
};
std::optional<VmpCard> ReadVmpCard(ByteView file, platform::Problem& why);
Bytes WriteVmpCard(ByteView card);  // card: exactly 131,072 bytes

// .mcs: a 128-byte directory frame, then the blocks.
std::optional<Ps1SaveData> ReadMcsSave(ByteView file, platform::Problem& why);
Bytes WriteMcsSave(const Ps1SaveData& save);
// A raw save: whole blocks, the first beginning "SC". The name comes from
// the file's name, which the caller gives.
std::optional<Ps1SaveData> ReadRawPs1Save(ByteView file, std::string name, platform::Problem& why);

}  // namespace slk::formats
