// The expanded card image part of `check`: walks the file's records as the
// reader would and reports where the structure or its counts disagree.

#include "card/ps1_card.h"
#include "card/save_entry.h"
#include "card/utility.h"
#include "cli/card_check.h"
#include "platform/bytes.h"
#include "platform/sjis.h"

namespace slk {
namespace {

using ByteSpan = std::span<const std::uint8_t>;
using Findings = std::vector<CardFinding>;

// File header: 4 bytes "EXMC", 4 bytes save count, 4 bytes version, 4 bytes 0.
constexpr std::size_t kHeaderBytes = 16;
constexpr std::uint32_t kVersion = 1;
// Save header: 4 bytes "SVDT", 4 bytes entry count, 4 bytes "PS1D"/"PS2D", 4 bytes 0.
constexpr std::size_t kSaveHeaderBytes = 16;
// Directory and file entries: 2 bytes mode, 2 bytes 0, 4 bytes entry count or
// file size, 8 bytes time, 64 bytes name.
constexpr std::size_t kEntryBytes = 80;
constexpr std::size_t kEntryCountOffset = 4;
constexpr std::size_t kEntryNameOffset = 16;
constexpr std::uint64_t kFileAlignment = 512;

class SaveWalk {
 public:
  SaveWalk(ByteSpan file, std::uint32_t index, Findings& found)
      : file_(file), index_(index), found_(found) {}

  // Checks the save at `pos` and moves `pos` past it. False when the walk
  // cannot go on.
  bool Walk(std::size_t& pos) {
    if (file_.size() - pos < kSaveHeaderBytes + kEntryBytes)
      return Stop(CardFault::Truncated, "the file ends inside its header");
    const std::uint8_t* header = &file_[pos];
    const std::uint8_t* directory = header + kSaveHeaderBytes;
    name_ = platform::ShiftJisToUtf8(ByteSpan(directory + kEntryNameOffset, 64));
    std::uint32_t entryCount = platform::GetU32LE(directory + kEntryCountOffset);
    if (entryCount < 2)
      return Stop(CardFault::BadEntryCount, "its entry count " + std::to_string(entryCount) +
                                                " leaves no room for \".\" and \"..\"");
    bool ps1 = (platform::GetU16LE(directory) & kModePS1) != 0;
    CheckSaveHeader(header, entryCount, ps1);
    pos += kSaveHeaderBytes + kEntryBytes;
    std::uint32_t files = entryCount - 2;
    if (files > (file_.size() - pos) / kEntryBytes)
      return Stop(CardFault::Truncated,
                  "the file is too short for its " + std::to_string(files) + " files");
    std::uint64_t firstSize = 0;
    for (std::uint32_t j = 0; j < files; ++j) {
      if (file_.size() - pos < kEntryBytes)
        return Stop(CardFault::Truncated,
                    "the file ends inside the entry of file " + std::to_string(j));
      std::uint32_t size = platform::GetU32LE(&file_[pos + kEntryCountOffset]);
      pos += kEntryBytes;
      if (size > file_.size() - pos)
        return Stop(CardFault::Truncated,
                    "the file ends inside the bytes of file " + std::to_string(j));
      if (j == 0) firstSize = size;
      // Padding that the file's end cuts short is harmless: nothing follows.
      pos += std::min<std::uint64_t>(RoundUp(size, kFileAlignment), file_.size() - pos);
    }
    if (ps1 && (files != 1 || firstSize == 0 || firstSize % kBlockSize != 0))
      Report(CardFault::BadPS1Save, "a PS1 save must be one file of whole 8192-byte blocks");
    return true;
  }

 private:
  void CheckSaveHeader(const std::uint8_t* header, std::uint32_t entryCount, bool ps1) {
    if (platform::GetU32LE(header) != PackMagic("SVDT"))
      Report(CardFault::BadSaveHeader, "its save header does not begin with \"SVDT\"");
    std::uint32_t headerCount = platform::GetU32LE(header + 4);
    if (headerCount != entryCount)
      Report(CardFault::BadSaveHeader, "its save header counts " + std::to_string(headerCount) +
                                           " entries, its directory " + std::to_string(entryCount));
    if (platform::GetU32LE(header + 8) != PackMagic(ps1 ? "PS1D" : "PS2D"))
      Report(CardFault::BadSaveHeader, std::string("its save header is not tagged ") +
                                           (ps1 ? "\"PS1D\"" : "\"PS2D\"") + " as its mode says");
  }
  void Report(CardFault fault, const std::string& text) {
    found_.push_back({fault, "save " + std::to_string(index_) + " (" + name_ + "): " + text});
  }
  bool Stop(CardFault fault, const std::string& text) {
    Report(fault, text);
    return false;
  }

  ByteSpan file_;
  std::uint32_t index_;
  Findings& found_;
  std::string name_;
};

}  // namespace

std::vector<CardFinding> CheckExpandedCardImage(std::span<const std::uint8_t> file) {
  Findings found;
  if (file.size() < 4 || platform::GetU32LE(file.data()) != PackMagic("EXMC")) {
    found.push_back({CardFault::BadMagic, "the file does not begin with \"EXMC\""});
    return found;
  }
  if (file.size() < kHeaderBytes) {
    found.push_back({CardFault::Truncated, "the file ends inside its header"});
    return found;
  }
  std::uint32_t version = platform::GetU32LE(&file[8]);
  if (version > kVersion) {
    found.push_back({CardFault::BadVersion, "format version " + std::to_string(version) +
                                                "; only versions 0 and 1 are known"});
    return found;
  }
  std::uint32_t count = platform::GetU32LE(&file[4]);
  std::size_t pos = kHeaderBytes;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (pos >= file.size()) {
      found.push_back({CardFault::Truncated, "the header counts " + std::to_string(count) +
                                                 " saves but the file ends after " +
                                                 std::to_string(i)});
      return found;
    }
    if (!SaveWalk(file, i, found).Walk(pos)) return found;
  }
  if (pos < file.size())
    found.push_back({CardFault::TrailingBytes, std::to_string(file.size() - pos) +
                                                   " bytes follow the last of the " +
                                                   std::to_string(count) + " saves"});
  return found;
}

}  // namespace slk
