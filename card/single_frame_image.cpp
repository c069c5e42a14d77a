// .ps1, .mcx and .mcb: one header, then the save's blocks.
//
// .ps1 as written: a 128-byte directory frame (state 0x51, size, link, name,
// checksum), the blocks from offset 128.
// .mcx/.mcb as written: 22 bytes at 0x00: card file name; 32 bytes at 0x16:
// zero; the blocks from offset 54, so that byte 57 is the title frame's block
// count. Other tools also write these two as a 128-byte directory frame (state
// 0x51, "SC" at 128) or as the bare blocks ("SC" at 0); both are read.

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

#include "card/ps1_card.h"
#include "card/save_data_image.h"
#include "card/save_records.h"
#include "platform/bytes.h"

namespace slk {
namespace {

constexpr std::uint64_t kFrameHeaderBytes = kFrameSize;  // .ps1 and the framed .mcx form
constexpr std::uint64_t kShortHeaderBytes = 54;          // .mcx/.mcb as written
constexpr std::size_t kShortHeaderName = 0x00;           // 22 bytes at 0x00: card file name
constexpr std::uint64_t kSlotLimit = std::numeric_limits<std::uint32_t>::max();

// Enough of the file's start to tell the forms apart.
using Head = std::array<std::uint8_t, kFrameSize + 2>;

struct Layout {
  std::uint64_t dataStart = 0;
  Name64 name{};
};

bool TitleMagicAt(const Head& head, std::size_t at) {
  return head[at] == 'S' && head[at + 1] == 'C';
}

Layout FrameLayout(const Head& head) {
  return Layout{kFrameHeaderBytes,
                CardFileName(Bytes(&head[PS1Frame::kName], PS1Frame::kNameBytes))};
}

Layout ShortHeaderLayout(const Head& head) {
  return Layout{kShortHeaderBytes,
                CardFileName(Bytes(&head[kShortHeaderName], PS1Frame::kNameBytes))};
}

Layout McxLayout(const Head& head, std::uint64_t fileSize, std::string_view nameHint) {
  // The form we write is told by its length: its name may well begin with
  // "SC" or with bytes that read as a frame state.
  if (fileSize % kBlockSize == kShortHeaderBytes) return ShortHeaderLayout(head);
  if (fileSize >= head.size() &&
      platform::GetU32LE(&head[PS1Frame::kState]) == PS1Frame::kStateFirst &&
      TitleMagicAt(head, kFrameSize))
    return FrameLayout(head);
  if (fileSize >= 2 && TitleMagicAt(head, 0)) return Layout{0, CardFileName(AsBytes(nameHint))};
  return ShortHeaderLayout(head);
}

std::optional<Layout> LayoutOf(platform::File& image, int variant, std::string_view nameHint) {
  Head head{};
  std::uint64_t fileSize = image.Size();
  std::uint64_t want = std::min<std::uint64_t>(fileSize, head.size());
  if (!image.Seek(0) || !image.ReadExact(head.data(), want)) return std::nullopt;
  if (variant == SingleFrameVariant::Ps1) return FrameLayout(head);
  if (variant == SingleFrameVariant::Mcx || variant == SingleFrameVariant::Mcb)
    return McxLayout(head, fileSize, nameHint);
  return std::nullopt;
}

std::array<std::uint8_t, kFrameSize> Ps1DirectoryFrame(const SaveFileEntry& file) {
  std::array<std::uint8_t, kFrameSize> frame{};
  platform::PutU32LE(&frame[PS1Frame::kState], PS1Frame::kStateFirst);
  platform::PutU32LE(&frame[PS1Frame::kSize], file.size);
  bool oneBlock = file.size / kBlockSize == 1;
  platform::PutU16LE(&frame[PS1Frame::kLink], oneBlock ? PS1Frame::kLinkEnd : 1);
  PutCardFileName(&frame[PS1Frame::kName], file.name);
  frame[PS1Frame::kChecksum] = FrameChecksum(frame);
  return frame;
}

}  // namespace

std::uint32_t ReadSingleFrameImage(Workspace& ws, Slot s, platform::File& image, int variant,
                                   std::string_view nameHint) {
  TimeStamp now = MakeTimeStamp();
  std::optional<Layout> layout = LayoutOf(image, variant, nameHint);
  std::uint64_t fileSize = image.Size();
  if (!layout || fileSize < layout->dataStart) return 0;
  // The block count a header declares (the .ps1 size field, byte 57 of an
  // .mcx) is often stale, so it only stands when the file holds exactly that
  // many blocks; otherwise the whole blocks present decide. Either way the
  // save is the whole blocks the file holds, and at least one.
  std::uint64_t size = (fileSize - layout->dataStart) / kBlockSize * kBlockSize;
  if (size == 0 || size > kSlotLimit) return 0;

  SlotRollback rollback(ws, s);
  if (!ws.AddEntry(s, size)) return 0;
  SaveEntry& entry = ws.At(s).entries.back();
  FillPS1Entry(entry, layout->name, static_cast<std::uint32_t>(size), now);
  if (!image.Seek(layout->dataStart) || !ws.At(s).dataFile.Seek(entry.offset) ||
      !ws.CopyIntoSlot(image, s, size, kBlockSize) || !FinishPS1Save(ws, s, entry))
    return 0;
  rollback.Keep();
  return 1;
}

std::uint32_t WriteSingleFrameImage(Workspace& ws, Slot s, const SaveEntry& entry,
                                    platform::File& image, int variant) {
  if (!IsWholeBlockPS1Save(entry)) return 0;
  const SaveFileEntry& file = entry.files.front();
  if (variant == SingleFrameVariant::Ps1) {
    auto frame = Ps1DirectoryFrame(file);
    if (!image.WriteExact(frame.data(), frame.size())) return 0;
  } else if (variant == SingleFrameVariant::Mcx || variant == SingleFrameVariant::Mcb) {
    std::array<std::uint8_t, kShortHeaderBytes> header{};
    PutCardFileName(&header[kShortHeaderName], file.name);
    if (!image.WriteExact(header.data(), header.size())) return 0;
  } else {
    return 0;
  }
  if (!ws.At(s).dataFile.Seek(entry.offset) || !ws.CopyOutOfSlot(image, s, file.size, kBlockSize))
    return 0;
  return image.Failed() ? 0 : 1;
}

}  // namespace slk
