// .psu and .psd: a sequence of 512-byte headers, the save's directory, "."
// and "..", then one header per file, each followed by the file's bytes padded
// to a multiple of 1024.

#include <array>
#include <string>

#include "card/ps1_card.h"
#include "card/refusal.h"
#include "card/save_data_image.h"
#include "card/save_records.h"
#include "platform/bytes.h"

namespace slk {
namespace {

constexpr std::size_t kHeaderBytes = 512;
constexpr std::size_t kMode = 0x00;      // 2 bytes at 0x00: SaveMode; 2 bytes at 0x02: 0
constexpr std::size_t kCount = 0x04;     // 4 bytes at 0x04: entry count (directory) or size
constexpr std::size_t kCreated = 0x08;   // 8 bytes at 0x08: TimeStamp, created
constexpr std::size_t kModified = 0x18;  // 8 bytes at 0x18: TimeStamp, modified
constexpr std::size_t kName = 0x40;      // 64 bytes at 0x40: name, NUL-padded
// 4 bytes at 0x10 and 0x14, 32 bytes at 0x20 and 384 bytes at 0x80: zero.

// "." and "..": skipped unread, written with the time of writing.
constexpr std::uint64_t kDotEntriesBytes = 2 * kHeaderBytes;
constexpr std::uint64_t kFileAlignment = 1024;

using Header = std::array<std::uint8_t, kHeaderBytes>;

Header HeaderOf(SaveMode mode, std::uint32_t countOrSize, const TimeStamp& created,
                const TimeStamp& modified, const Name64& name) {
  Header header{};
  platform::PutU16LE(&header[kMode], mode);
  platform::PutU32LE(&header[kCount], countOrSize);
  PutTime(&header[kCreated], created);
  PutTime(&header[kModified], modified);
  PutName(&header[kName], name);
  return header;
}

Name64 Dots(std::size_t n) {
  Name64 name{};
  for (std::size_t i = 0; i < n; ++i) name[i] = '.';
  return name;
}

SaveFileEntry FileFromHeader(Bytes header) {
  return SaveFileEntry{platform::GetU16LE(&header[kMode]), platform::GetU32LE(&header[kCount]),
                       TimeAt(header, kModified), NameAt(header, kName)};
}

constexpr FileRecordLayout kPsuFiles{kHeaderBytes, kFileAlignment, FileFromHeader};

}  // namespace

std::uint32_t ReadPsu(Workspace& ws, Slot s, platform::File& image) {
  Header directory;
  if (!ReadOrRefuse(ws, image, directory.data(), directory.size())) return 0;
  SaveMode mode = platform::GetU16LE(&directory[kMode]);
  if (ws.At(s).kind == CardKind::PS1 && (mode & kModePS1) == 0) {
    ws.Refuse(ProblemOf(platform::Reason::PS2Save, NameText(NameAt(directory, kName))),
              MessageId::PS2IntoPS1Card);
    return 0;
  }
  std::uint32_t entryCount = platform::GetU32LE(&directory[kCount]);
  if (entryCount < 2)
    return RefuseField(ws, platform::Reason::BadField,
                       "entry count " + std::to_string(entryCount) + " of a save");
  if (image.Remaining() < kDotEntriesBytes)
    return RefuseShort(ws, image, image.Position() + kDotEntriesBytes);
  if (!image.Skip(kDotEntriesBytes)) return 0;

  SlotRollback rollback(ws, s);
  if (!ws.AddEntry(s)) return 0;
  SaveEntry& entry = ws.At(s).entries.back();
  entry.mode = mode;
  entry.entryCount = entryCount;
  entry.time = TimeAt(directory, kModified);  // the created time is not kept
  entry.name = NameAt(directory, kName);

  if (!ReadSaveFiles(ws, s, image, entry, kPsuFiles)) return 0;
  // A file of one PS1 save that no PS1 card could hold is not a save but a
  // wrong file. (An expanded card may carry such a save; it has no limit.)
  if (entry.IsPS1() && entry.size > kCardCapacity)
    return RefuseField(ws, platform::Reason::TooLarge, {}, entry.size, kCardCapacity);
  rollback.Keep();
  return 1;
}

std::uint32_t WritePsu(Workspace& ws, Slot s, const SaveEntry& entry, platform::File& image) {
  TimeStamp now = ws.Now();
  auto entryCount = static_cast<std::uint32_t>(entry.files.size() + 2);
  const Header headers[] = {
      HeaderOf(entry.mode, entryCount, now, entry.time, entry.name),
      HeaderOf(kModeDotEntry, 0, now, now, Dots(1)),
      HeaderOf(kModeDotEntry, 0, now, now, Dots(2)),
  };
  for (const Header& header : headers) {
    if (!image.WriteExact(header.data(), header.size())) return 0;
  }
  if (!ws.At(s).dataFile.Seek(entry.offset)) return 0;
  for (const SaveFileEntry& file : entry.files) {
    Header header = HeaderOf(file.mode, file.size, now, file.time, file.name);
    if (!image.WriteExact(header.data(), header.size()) ||
        !ws.CopyOutOfSlot(image, s, file.size, kFileAlignment))
      return 0;
  }
  return image.Failed() ? 0 : 1;
}

}  // namespace slk
