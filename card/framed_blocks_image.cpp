// .psm and .mc: for each block of the save, a 128-byte directory frame and then
// the block's 8192 bytes. Only the first frame is read (size and name); the
// later ones are passed over.

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "card/ps1_card.h"
#include "card/refusal.h"
#include "card/save_data_image.h"
#include "card/save_records.h"
#include "platform/bytes.h"

namespace slk {
namespace {

constexpr std::uint64_t kFramedBlockBytes = kFrameSize + kBlockSize;

using Frame = std::array<std::uint8_t, kFrameSize>;

Frame BlockFrame(const SaveFileEntry& file, std::uint32_t block, std::uint32_t blocks) {
  Frame frame{};
  bool last = block + 1 == blocks;
  std::uint32_t state =
      block == 0 ? PS1Frame::kStateFirst : (last ? PS1Frame::kStateLast : PS1Frame::kStateMiddle);
  platform::PutU32LE(&frame[PS1Frame::kState], state);
  platform::PutU16LE(&frame[PS1Frame::kLink],
                     last ? PS1Frame::kLinkEnd : static_cast<std::uint16_t>(block + 1));
  if (block == 0) {
    platform::PutU32LE(&frame[PS1Frame::kSize], file.size);
    PutCardFileName(&frame[PS1Frame::kName], file.name);
  }
  frame[PS1Frame::kChecksum] = FrameChecksum(frame);
  return frame;
}

// Copies `blocks` blocks into the slot's data file, dropping the frame
// before each (the first frame has been read). A few blocks at a time are
// read with their frames, closed up and written at once: one read and one
// write per block cost more than the copying itself.
bool CopyBlocks(platform::File& data, platform::File& image, std::uint32_t blocks) {
  constexpr std::uint32_t kBlocksAtOnce = 16;
  std::vector<std::uint8_t> staged(kBlocksAtOnce * kFramedBlockBytes);
  for (std::uint32_t done = 0; done < blocks;) {
    std::uint32_t run = std::min(kBlocksAtOnce, blocks - done);
    // From the frame before the first block of the run (none for block 0)
    // to the end of its last block.
    std::uint64_t skip = done == 0 ? 0 : kFrameSize;
    std::uint64_t bytes = run * kFramedBlockBytes - kFrameSize + skip;
    if (!image.ReadExact(staged.data(), bytes)) return false;
    std::uint8_t* into = staged.data();
    for (std::uint32_t k = 0; k < run; ++k) {
      const std::uint8_t* block = staged.data() + skip + k * kFramedBlockBytes;
      std::memmove(into, block, kBlockSize);
      into += kBlockSize;
    }
    if (!data.WriteExact(staged.data(), static_cast<std::uint64_t>(run) * kBlockSize)) return false;
    done += run;
  }
  return true;
}

}  // namespace

std::uint32_t ReadFramedBlocks(Workspace& ws, Slot s, platform::File& image) {
  TimeStamp now = ws.Now();
  std::uint64_t fileSize = image.Size();
  if (fileSize < kFramedBlockBytes) return RefuseShort(ws, image, kFramedBlockBytes);
  Frame frame{};
  if (!ReadOrRefuse(ws, image, frame.data(), frame.size())) return 0;
  if (IsWholePS1Card(frame, fileSize)) {
    ws.Refuse(ProblemOf(platform::Reason::NotASave, "a whole PS1 memory card"),
              MessageId::NotSaveDataImage);
    return 0;
  }
  std::uint32_t size = platform::GetU32LE(&frame[PS1Frame::kSize]);
  std::uint32_t blocks = size / kBlockSize;
  if (size % kBlockSize != 0 || blocks == 0)
    return RefuseField(ws, platform::Reason::BadField, "save size " + std::to_string(size));
  if (size > kCardCapacity)
    return RefuseField(ws, platform::Reason::TooLarge, {}, size, kCardCapacity);
  std::uint64_t present = fileSize / kFramedBlockBytes;
  if (blocks > present)
    return RefuseField(ws, platform::Reason::SizeMismatch, "the first frame's save size",
                       present * kBlockSize, size);

  SlotRollback rollback(ws, s);
  if (!ws.AddEntry(s, size)) return 0;
  SaveEntry& entry = ws.At(s).entries.back();
  FillPS1Entry(entry, CardFileName(Bytes(&frame[PS1Frame::kName], PS1Frame::kNameBytes)), size,
               now);
  if (!ws.At(s).dataFile.Seek(entry.offset) || !CopyBlocks(ws.At(s).dataFile, image, blocks) ||
      !FinishPS1Save(ws, s, entry))
    return 0;
  rollback.Keep();
  return 1;
}

std::uint32_t WriteFramedBlocks(Workspace& ws, Slot s, const SaveEntry& entry,
                                platform::File& image) {
  if (!IsWholeBlockPS1Save(entry)) return 0;
  const SaveFileEntry& file = entry.files.front();
  std::uint32_t blocks = file.size / kBlockSize;
  if (!ws.At(s).dataFile.Seek(entry.offset)) return 0;
  for (std::uint32_t i = 0; i < blocks; ++i) {
    Frame frame = BlockFrame(file, i, blocks);
    if (!image.WriteExact(frame.data(), frame.size()) ||
        !ws.CopyOutOfSlot(image, s, kBlockSize, kBlockSize))
      return 0;
  }
  return image.Failed() ? 0 : 1;
}

}  // namespace slk
