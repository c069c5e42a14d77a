#pragma once
// Every file format the program reads or writes, in one table: its
// extensions, whether it is a card image or a save data image, how its bytes
// are read and written, whether Lock may write it and the dialog filter that
// names it. A file's format is chosen by its extension (and, for an
// extension two formats share, by its size). Adding a format is one row.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace slk {

enum class CardFormat : std::uint8_t {
  Xmc,
  Mem,
  Mcr,
  Gme,
  Mcd,
  Ps,
  Mci,
  Ps2,
  Mc2,
  Vmc,
  Srm,
  Vm1,
  Vmp
};

enum class SaveFormat : std::uint8_t {
  Psu,
  Psd,
  Ps1,
  Mcx,
  Mcb,
  Psm,
  Mc,
  Mcs,
  Psv,
  Max,
  Cbs,
  Sps,
  Xps,
  RawPs1,
};

enum class FileKind : std::uint8_t { CardImage, SaveDataImage };

// How a format's bytes are laid out, which picks its reader and writer.
enum class FormatLayout : std::uint8_t {
  // Card images.
  ExpandedCard,  // .xmc: any saves
  PS1Card,       // a PS1 card, bare or behind a header (the PS1 variant)
  PS2Card,       // a PS2 card image, kept whole and written in place
  // Save data images of this program's lists.
  Psu,           // directory and files: PS1 and PS2 saves
  SingleFrame,   // one header, then the blocks (the single-frame variant)
  FramedBlocks,  // .psm, .mc
  // Save data images of other tools and devices (card/formats).
  Mcs,        // one directory frame, then the blocks
  RawPs1,     // the blocks alone, "SC" first
  Psv,        // PS3 export, signed: a PS1 or a PS2 save
  Max,        // Action Replay Max
  Cbs,        // CodeBreaker
  SharkPort,  // SharkPort and X-Port
};

// The PS1 card layouts: where the card lies in the file.
namespace PS1Variant {
constexpr int Mem = 0;  // behind a 64-byte "VgsM" header
constexpr int Mcr = 1;  // bare card
constexpr int Gme = 2;  // behind the DexDrive header, or bare
constexpr int Mcd = 3;
constexpr int Ps = 4;
constexpr int Mci = 5;
constexpr int Vmp = 6;  // behind the PSP/Vita signed header
}  // namespace PS1Variant

// The single-frame layouts.
namespace SingleFrameVariant {
constexpr int Ps1 = 0;
constexpr int Mcx = 1;
constexpr int Mcb = 2;
}  // namespace SingleFrameVariant

// No extension holds a '.', so this one stands for a name without any.
inline constexpr std::string_view kNoExtension = ".";

// Which saves a save data image carries.
enum class Carries : std::uint8_t { Any, PS1Only, PS2Only };

struct FormatRow {
  FileKind kind;
  CardFormat card;  // meaningful for a card image
  SaveFormat save;  // meaningful for a save data image
  // The first is the one written; the others are read as the same format.
  // Unused places are empty; kNoExtension stands for a name without one.
  std::array<std::string_view, 3> extensions;
  FormatLayout layout;
  int variant;  // PS1Variant or SingleFrameVariant, else 0
  bool writable;
  Carries carries;
  // The values qovan2.ini stores for this format as LockImagePS1 and
  // LockImagePS2, or -1 when Lock does not offer it.
  int lockPS1;
  int lockPS2;
  // Text id of the dialog filter's name. A name that does not list the
  // extensions itself is shown followed by them.
  int filterText;
};

namespace detail {
constexpr FormatRow Card(CardFormat f, std::array<std::string_view, 3> ext, FormatLayout layout,
                         int variant, int lockPS1, int lockPS2, int text) {
  return {FileKind::CardImage, f,       {},      ext, layout, variant, true,
          Carries::Any,        lockPS1, lockPS2, text};
}
constexpr FormatRow Save(SaveFormat f, std::array<std::string_view, 3> ext, FormatLayout layout,
                         int variant, bool writable, Carries carries, int lockPS1, int lockPS2,
                         int text) {
  return {FileKind::SaveDataImage,
          {},
          f,
          ext,
          layout,
          variant,
          writable,
          carries,
          lockPS1,
          lockPS2,
          text};
}
}  // namespace detail

// In dialog filter order. The first seven card images and the first seven
// save data images keep the order, texts and lock values the program always
// had; formats added later follow.
inline constexpr std::array kFormats = {
    detail::Card(CardFormat::Xmc, {"xmc"}, FormatLayout::ExpandedCard, 0, 0, 0, 32),
    detail::Card(CardFormat::Mem, {"mem", "vgs"}, FormatLayout::PS1Card, PS1Variant::Mem, 1, -1,
                 33),
    detail::Card(CardFormat::Mcr, {"mcr"}, FormatLayout::PS1Card, PS1Variant::Mcr, 2, -1, 34),
    detail::Card(CardFormat::Gme, {"gme", "ddf"}, FormatLayout::PS1Card, PS1Variant::Gme, 3, -1,
                 35),
    detail::Card(CardFormat::Mcd, {"mcd"}, FormatLayout::PS1Card, PS1Variant::Mcd, 4, -1, 36),
    detail::Card(CardFormat::Ps, {"ps"}, FormatLayout::PS1Card, PS1Variant::Ps, 5, -1, 37),
    detail::Card(CardFormat::Mci, {"mci"}, FormatLayout::PS1Card, PS1Variant::Mci, 6, -1, 38),
    detail::Card(CardFormat::Ps2, {"ps2"}, FormatLayout::PS2Card, 0, -1, -1, 30),
    detail::Card(CardFormat::Mc2, {"mc2"}, FormatLayout::PS2Card, 0, -1, -1, 30),
    detail::Card(CardFormat::Vmc, {"vmc"}, FormatLayout::PS2Card, 0, -1, -1, 30),
    // RetroArch's card; a raw save under its name is read as such.
    detail::Card(CardFormat::Srm, {"srm"}, FormatLayout::PS1Card, PS1Variant::Mcr, -1, -1, 80),
    detail::Card(CardFormat::Vm1, {"vm1"}, FormatLayout::PS1Card, PS1Variant::Mcr, -1, -1, 81),
    detail::Card(CardFormat::Vmp, {"vmp"}, FormatLayout::PS1Card, PS1Variant::Vmp, -1, -1, 82),
    detail::Save(SaveFormat::Psu, {"psu"}, FormatLayout::Psu, 0, true, Carries::Any, 7, 1, 39),
    detail::Save(SaveFormat::Psd, {"psd"}, FormatLayout::Psu, 0, true, Carries::Any, 8, 2, 40),
    detail::Save(SaveFormat::Ps1, {"ps1"}, FormatLayout::SingleFrame, SingleFrameVariant::Ps1, true,
                 Carries::PS1Only, 9, -1, 41),
    detail::Save(SaveFormat::Mcx, {"mcx"}, FormatLayout::SingleFrame, SingleFrameVariant::Mcx, true,
                 Carries::PS1Only, 10, -1, 42),
    detail::Save(SaveFormat::Mcb, {"mcb"}, FormatLayout::SingleFrame, SingleFrameVariant::Mcb, true,
                 Carries::PS1Only, 11, -1, 43),
    detail::Save(SaveFormat::Psm, {"psm"}, FormatLayout::FramedBlocks, 0, true, Carries::PS1Only,
                 12, -1, 44),
    detail::Save(SaveFormat::Mc, {"mc"}, FormatLayout::FramedBlocks, 0, true, Carries::PS1Only, 13,
                 -1, 45),
    detail::Save(SaveFormat::Mcs, {"mcs"}, FormatLayout::Mcs, 0, true, Carries::PS1Only, -1, -1,
                 83),
    detail::Save(SaveFormat::Psv, {"psv"}, FormatLayout::Psv, 0, true, Carries::Any, -1, -1, 85),
    detail::Save(SaveFormat::Max, {"max"}, FormatLayout::Max, 0, true, Carries::PS2Only, -1, -1,
                 86),
    detail::Save(SaveFormat::Cbs, {"cbs"}, FormatLayout::Cbs, 0, true, Carries::PS2Only, -1, -1,
                 87),
    detail::Save(SaveFormat::Sps, {"sps"}, FormatLayout::SharkPort, 0, false, Carries::PS2Only, -1,
                 -1, 88),
    detail::Save(SaveFormat::Xps, {"xps"}, FormatLayout::SharkPort, 0, false, Carries::PS2Only, -1,
                 -1, 89),
    // Whole blocks, "SC" first: a single save's .srm beside RetroArch's card
    // .srm, .sav, or a file without an extension.
    detail::Save(SaveFormat::RawPs1, {"sav", "srm", kNoExtension}, FormatLayout::RawPs1, 0, false,
                 Carries::PS1Only, -1, -1, 84),
};

const FormatRow& RowOf(CardFormat format);
const FormatRow& RowOf(SaveFormat format);

// The row of that kind whose extensions hold the path's (the text after the
// last '.' of its file name; letter case does not matter), or nothing.
const FormatRow* FormatOfPath(std::string_view path, FileKind kind);
std::optional<CardFormat> CardFormatOf(std::string_view path);
std::optional<SaveFormat> SaveFormatOf(std::string_view path);

// The extension a format is written with.
std::string_view ExtensionOf(const FormatRow& row);

bool IsPS2CardPath(std::string_view path);
// A path whose extension names a card image.
bool IsCardImagePath(std::string_view path);

// The row Lock writes for a stored LockImagePS1 / LockImagePS2 value.
enum class LockList { PS1, PS2 };
const FormatRow* LockFormat(LockList list, std::int32_t value);
// The rows of a lock list in the order of their stored values.
std::span<const FormatRow* const> LockFormats(LockList list);

// A path that begins with a double quote loses its first and last characters;
// a lone double quote gives an empty path.
std::string StripQuotes(std::string_view path);

// The text after the last '/', or false when there is none (target untouched).
bool FileNamePart(std::string_view path, std::string& target);

}  // namespace slk
