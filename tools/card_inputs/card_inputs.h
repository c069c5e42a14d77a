#pragma once
// Input files and saves laid out byte by byte, for the tests, the benchmarks,
// the fuzz seed generator and the sample generator. Everything here is written
// from the file layouts directly and never through the program's own writers,
// so that a mistake in a writer cannot hide in the inputs that check it.
// The slot adders at the end put a save straight into a workspace slot as a
// reader would leave it, for programs that then let the writers export it.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "card/workspace.h"

namespace slk::inputs {

using Buffer = std::vector<std::uint8_t>;

// ---- Bytes ----------------------------------------------------------------

// Little-endian values at `at`, which must lie inside the buffer.
void Put16(Buffer& b, std::size_t at, std::uint16_t v);
void Put32(Buffer& b, std::size_t at, std::uint32_t v);
std::uint16_t Get16(const Buffer& b, std::size_t at);
std::uint32_t Get32(const Buffer& b, std::size_t at);
// The text's bytes at `at`, without a terminator; cut at the buffer's end.
void PutText(Buffer& b, std::size_t at, std::string_view text);
void Append(Buffer& b, const Buffer& more);
// Pads the bytes appended since `start` with zeros to a multiple of
// `alignment`.
void PadTo(Buffer& b, std::size_t start, std::size_t alignment);

// Fills b[from..] with the high bytes of a linear congruential generator
// started at `state` (x = x * 1664525 + 1013904223, before every byte): bytes
// that differ per seed and do not compress to nothing. Returns the last state.
std::uint32_t FillPattern(Buffer& b, std::size_t from, std::uint32_t state);
Buffer Pattern(std::size_t size, std::uint32_t seed);

// An 8-byte time stamp as files store it: reserved, second, minute, hour,
// day, month, year; 10:20:30 on `day` June of `year`.
Buffer Time(std::uint8_t day, std::uint16_t year = 2003);
// The same time as a save record keeps it.
TimeStamp Day(std::uint8_t day);
// A 64-byte name field holding `text`, zero-padded, cut at 64 bytes.
Name64 NameOf(const std::string& text);

// ---- PS1 saves --------------------------------------------------------------

// The 128-byte title frame that begins a PS1 save: "SC", the icon flag (0x11
// to 0x13 for 1 to 3 frames), the block count, the title (at most 64 bytes,
// Shift-JIS as the console stores it) and the icon's 16-colour palette.
struct PS1TitleFrame {
  std::uint32_t blocks = 1;
  std::string title;
  std::uint8_t iconFlag = 0x11;
  std::array<std::uint16_t, 16> palette{};  // console colours, 5 bits each, red lowest
};
// Writes the frame over the first 128 bytes of `save`, which it zeros first.
void PutPS1TitleFrame(Buffer& save, const PS1TitleFrame& frame);

// 16 x 16 palette indices, [y][x].
using PS1IconFrame = std::array<std::array<std::uint8_t, 16>, 16>;
// The icon's frames from byte 0x80 on, two pixels a byte, left pixel low.
void PutPS1IconFrames(Buffer& save, const std::vector<PS1IconFrame>& frames);

// The blocks of a PS1 save: a title frame, then a pattern that differs per
// block and per seed.
Buffer PS1Blocks(std::uint32_t blocks, const std::string& title, std::uint8_t seed = 1);

// A 128-byte PS1 directory frame with its checksum.
Buffer DirFrame(std::uint32_t state, std::uint32_t size, std::uint16_t link,
                const std::string& name);

// Raw PS1 card bytes (.mcr) laid out frame by frame, so that any card can be
// made: gaps, deleted saves, chains. Starts formatted, every block free.
class PS1CardBuilder {
 public:
  static constexpr std::size_t kFrame = 128;
  static constexpr std::size_t kBlock = 8192;

  PS1CardBuilder();

  // Directory frame `frame` (1-15) describes block `frame`.
  PS1CardBuilder& Directory(int frame, std::uint32_t state, std::uint32_t size, std::uint16_t link,
                            const std::string& name);
  // Fills block `block` (1-15) with a recognisable pattern; for a save's
  // first block, a title frame with the given title and block count.
  PS1CardBuilder& Block(int block, std::uint8_t fill, const std::string& title = "",
                        std::uint8_t blockCount = 0);
  // Puts a save's bytes into the blocks from `first` on.
  PS1CardBuilder& Blocks(int first, const Buffer& bytes);

  // The 3,904-byte header DexDrive software writes in front of this card.
  Buffer DexDriveHeader() const;

  std::uint8_t* Raw() { return bytes_.data(); }
  const Buffer& Bytes() const { return bytes_; }
  Buffer BlockBytes(int block) const;

 private:
  void Seal(int frame);

  Buffer bytes_;
};

// Single-save files of a PS1 save's blocks:
// .ps1 and the framed .mcx form: a directory frame, then the blocks.
Buffer FramedSingle(const std::string& name, std::uint32_t declaredSize, const Buffer& blocks);
// .mcx/.mcb as written: 22 name bytes, 32 zeros, the blocks.
Buffer ShortHeaderSingle(const std::string& name, const Buffer& blocks);
// .psm/.mc: a frame before every block.
Buffer FramedBlocks(const std::string& name, std::uint32_t declaredSize, const Buffer& blocks);

// ---- PS2 saves --------------------------------------------------------------

// A 964-byte icon.sys: title line break, background transparency, the four
// corner colours, lights, title and the three icon file names.
struct IconSysFields {
  std::string title;  // as stored (Shift-JIS), at most 68 bytes
  std::uint16_t lineBreak = 0;
  std::uint32_t transparency = 0;
  std::array<std::array<std::uint32_t, 4>, 4> corners{};  // r, g, b, a; 0 to 128
  std::array<std::array<float, 4>, 3> lightDirections{};
  std::array<std::array<float, 4>, 3> lightColours{};
  std::array<float, 4> ambient{};
  std::array<std::string, 3> icons;  // list, copy, delete; at most 64 bytes each
};
Buffer BuildIconSys(const IconSysFields& sys);
// The usual one of the tests: every corner (red, 0x20, 0x10, 0x80), one icon
// file for all three.
Buffer IconSys(const std::string& title, std::uint16_t lineBreak, const std::string& listIcon,
               std::uint8_t red = 0x40);

struct FileSpec {
  std::uint16_t mode = 0x8497;
  std::string name;
  Buffer bytes;
  Buffer time = Time(2);
};

struct SaveSpec {
  std::uint16_t mode = 0x8427;
  std::string name;
  std::vector<FileSpec> files;
  Buffer time = Time(1);
  // Set to write a count other than files + 2.
  long entryCountOverride = -1;
  std::uint32_t EntryCount() const;
};

// A PS1 save as a PS2-side file holds it: one file of PS1Blocks.
SaveSpec PS1Save(const std::string& name, std::uint32_t blocks, const std::string& title);

// The expanded card (.xmc): header, then each save's records and files.
Buffer Record80(std::uint16_t mode, std::uint32_t countOrSize, const Buffer& time,
                const std::string& name);
Buffer XmcHeader(std::uint32_t saves, std::uint32_t version = 1, const std::string& magic = "EXMC");
// `tag` empty: "PS1D" or "PS2D" by the save's mode.
Buffer XmcSave(const SaveSpec& save, const std::string& tag = "");
Buffer Xmc(const std::vector<SaveSpec>& saves, std::uint32_t version = 1);

// .psu: 512-byte headers, files padded to 1 KiB; every entry created at
// `created`.
Buffer PsuHeader(std::uint16_t mode, std::uint32_t countOrSize, const Buffer& created,
                 const Buffer& modified, const std::string& name);
Buffer Psu(const SaveSpec& save, const Buffer& created = Time(9, 1999));

// ---- Saves straight into a workspace slot -----------------------------------

// Appends a PS1 save of `bytes` (its blocks) to the open slot as a new entry
// and row, its title and icon read from its title frame as a reader would.
bool AddPS1Save(Workspace& ws, Slot s, const std::string& name, const Buffer& bytes,
                const TimeStamp& time);

using NamedFile = std::pair<std::string, Buffer>;

struct PS2SaveInput {
  std::string name;  // the directory's
  std::vector<NamedFile> files;
  TimeStamp time = Day(1);
  TimeStamp fileTime = Day(2);
  SaveMode fileMode = 0x8497;
};

enum class IconSysUse {
  // Title, colours and icons from the save's "icon.sys" when it has one, else
  // the standard icon.
  ReadWhenPresent,
  // The standard icon whatever the files are.
  Ignore,
};

// Appends a PS2 save of these files, back to back in the slot's data file,
// to the open slot as a new entry and row.
bool AddPS2Save(Workspace& ws, Slot s, const PS2SaveInput& save, IconSysUse iconSys);

}  // namespace slk::inputs
