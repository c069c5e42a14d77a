#pragma once
// The records a slot keeps for each save, and the small value types they use.
// Field order and widths follow the on-disk entries of the expanded card image.

#include <array>
#include <cstdint>
#include <vector>

namespace slk {

enum class CardKind : std::uint32_t {
  PS2 = 0,  // "PS2 MemoryCard": the expanded card, any saves, no capacity limit
  PS1 = 1,  // "PS1 MemoryCard": 15 blocks, PS1 saves only
  // "PS2 MemoryCard Image": a PS2 card image (.ps2, .mc2, .vmc) kept whole and
  // written back in place; PS2 saves only, as many as its free clusters hold.
  PS2Card = 2,
};

// 16-bit mode word of a save's directory or file. Only kModePS1 is ever tested.
using SaveMode = std::uint16_t;
constexpr SaveMode kModePS1 = 0x1000;
constexpr SaveMode kModePS1Directory = 0x9027;  // written for the directory of a PS1 save
constexpr SaveMode kModePS1File = 0x8417;       // written for the single file of a PS1 save
constexpr SaveMode kModeDotEntry = 0x8427;      // "." and ".." of a PS2 save in a .psu

// 8 bytes, stored as such in files: reserved 0, second, minute, hour, day,
// month (1-12), 16-bit little-endian year. Local time, no zone.
struct TimeStamp {
  std::array<std::uint8_t, 8> bytes{};

  std::uint8_t Second() const { return bytes[1]; }
  std::uint8_t Minute() const { return bytes[2]; }
  std::uint8_t Hour() const { return bytes[3]; }
  std::uint8_t Day() const { return bytes[4]; }
  std::uint8_t Month() const { return bytes[5]; }
  std::uint16_t Year() const { return static_cast<std::uint16_t>(bytes[6] | (bytes[7] << 8)); }
  bool operator==(const TimeStamp&) const = default;
};

using Name64 = std::array<std::uint8_t, 64>;

// One file of a save.
struct SaveFileEntry {
  SaveMode mode = 0;
  std::uint32_t size = 0;
  TimeStamp time;
  Name64 name{};
};

// What the start of a PS2 save's icon.sys said when the save was read.
enum class IconSysForm : std::uint8_t { Unknown, Binary, Text };

// One save of a slot. Its files lie back to back in the slot's data file,
// starting at `offset`.
struct SaveEntry {
  std::uint32_t size = 0;
  std::uint32_t offset = 0;
  std::array<std::uint32_t, 3> iconOffsets{};  // list, copy, delete icon
  std::array<std::uint32_t, 3> iconSizes{};
  std::uint32_t useStandardIcon = 0;
  std::array<std::uint32_t, 4> backgroundColours{};  // ARGB: TL, TR, BL, BR
  std::uint16_t titleLine1Length = 0;
  std::uint16_t titleLine2Length = 0;
  Name64 title{};  // Shift-JIS
  SaveMode mode = 0;
  std::uint32_t entryCount = 0;  // files + 2 ("." and "..")
  TimeStamp time;
  Name64 name{};
  std::vector<SaveFileEntry> files;
  // Blocks the card's directory gave a save whose chain of blocks broke off
  // before them: more than it holds. 0 for a whole save.
  std::uint32_t declaredBlocks = 0;
  // Whether the save's icon.sys was read and is the text form ("PS2X", lines
  // of "key = value") rather than the binary one. `list` shows a text form's
  // title lines and otherwise need not read icon.sys back.
  IconSysForm iconSysForm = IconSysForm::Unknown;

  bool IsPS1() const { return (mode & kModePS1) != 0; }
  std::uint32_t FileCount() const { return entryCount >= 2 ? entryCount - 2 : 0; }
  bool Shortened() const { return declaredBlocks != 0; }
};

}  // namespace slk
