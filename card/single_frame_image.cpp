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
#include <optional>

#include "card/ps1_card.h"
#include "card/refusal.h"
#include "card/save_data_image.h"
#include "card/save_records.h"
#include "platform/bytes.h"

namespace slk {
namespace {

constexpr std::uint64_t kFrameHeaderBytes = kFrameSize;  // .ps1 and the framed .mcx form
constexpr std::uint64_t kShortHeaderBytes = 54;          // .mcx/.mcb as written
constexpr std::size_t kShortHeaderName = 0x00;           // 22 bytes at 0x00: card file name

// Enough of the file's start to tell the forms apart.
using Head = std::array<std::uint8_t, kFrameSize + 2>;

constexpr std::size_t kShortHeaderBlockCount = kShortHeaderBytes + 3;  // the title frame's

struct Layout {
  std::uint64_t dataStart = 0;
  Name64 name{};
  // The save's size as the header gives it, and where; none in the
  // headerless form.
  std::optional<std::uint64_t> declared;
  const char* declaredBy = "";
};

bool TitleMagicAt(const Head& head, std::size_t at) {
  return head[at] == 'S' && head[at + 1] == 'C';
}

Layout FrameLayout(const Head& head) {
  return Layout{kFrameHeaderBytes,
                CardFileName(Bytes(&head[PS1Frame::kName], PS1Frame::kNameBytes)),
                platform::GetU32LE(&head[PS1Frame::kSize]), "the header's save size"};
}

// This form's header holds no size. The title frame's block count is the
// game's own and can be wrong (cards exist whose 1-block saves claim 7), so it
// is held against the file only when the file does not end on a block: then
// the count tells a cut file from one with bytes after its save.
Layout ShortHeaderLayout(const Head& head, std::uint64_t fileSize) {
  Layout layout{kShortHeaderBytes,
                CardFileName(Bytes(&head[kShortHeaderName], PS1Frame::kNameBytes)), std::nullopt};
  if (fileSize % kBlockSize != kShortHeaderBytes) {
    layout.declared = std::uint64_t{head[kShortHeaderBlockCount]} * kBlockSize;
    layout.declaredBy = "the title frame's block count";
  }
  return layout;
}

Layout McxLayout(const Head& head, std::uint64_t fileSize, std::string_view nameHint) {
  // The form we write is told by its length: its name may well begin with
  // "SC" or with bytes that read as a frame state.
  if (fileSize % kBlockSize == kShortHeaderBytes) return ShortHeaderLayout(head, fileSize);
  if (fileSize >= head.size() &&
      platform::GetU32LE(&head[PS1Frame::kState]) == PS1Frame::kStateFirst &&
      TitleMagicAt(head, kFrameSize))
    return FrameLayout(head);
  if (fileSize >= 2 && TitleMagicAt(head, 0))
    return Layout{0, CardFileName(AsBytes(nameHint)), std::nullopt};
  return ShortHeaderLayout(head, fileSize);
}

std::optional<Layout> LayoutOf(Workspace& ws, platform::File& image, int variant,
                               std::string_view nameHint) {
  Head head{};
  std::uint64_t fileSize = image.Size();
  std::uint64_t want = std::min<std::uint64_t>(fileSize, head.size());
  if (!image.Seek(0) || !ReadOrRefuse(ws, image, head.data(), want)) return std::nullopt;
  if (IsWholePS1Card(head, fileSize)) {
    ws.Refuse(ProblemOf(platform::Reason::NotASave, "a whole PS1 memory card"),
              MessageId::NotSaveDataImage);
    return std::nullopt;
  }
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
  TimeStamp now = ws.Now();
  std::optional<Layout> layout = LayoutOf(ws, image, variant, nameHint);
  if (!layout) return 0;
  std::uint64_t fileSize = image.Size();
  if (fileSize < layout->dataStart + kBlockSize)
    return RefuseShort(ws, image, layout->dataStart + kBlockSize);
  // The save is the whole blocks the file holds; the size its header gives
  // (the .ps1 size field, byte 57 of an .mcx) must say the same, or the file
  // was cut short or is not what its name says. A partial block after them
  // is not part of the save.
  std::uint64_t size = (fileSize - layout->dataStart) / kBlockSize * kBlockSize;
  if (size > kCardCapacity)
    return RefuseField(ws, platform::Reason::TooLarge, {}, size, kCardCapacity);
  if (layout->declared && *layout->declared != size)
    return RefuseField(ws, platform::Reason::SizeMismatch, layout->declaredBy, size,
                       *layout->declared);

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
