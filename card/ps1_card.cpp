#include "card/ps1_card.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "card/refusal.h"
#include "card/utility.h"
#include "platform/bytes.h"

namespace slk {
namespace {

// .mem: 64-byte header as written.
constexpr std::uint32_t kMemHeaderSize = 64;
// .gme (DexDrive): 64 bytes of signature and per-block states and links, then
// a 256-byte comment for each of the 15 blocks.
constexpr std::uint32_t kGmeHeaderSize = 3904;
constexpr std::string_view kGmeSignature = "123-456-STD";
constexpr std::size_t kGmeStates = 0x16;
constexpr std::size_t kGmeLinks = 0x26;

// Directory frame fields.
constexpr std::size_t kStateOffset = 0;  // 4 bytes at 0x00: block state
constexpr std::size_t kSizeOffset = 4;   // 4 bytes at 0x04: save size (first block only)
constexpr std::size_t kLinkOffset = 8;   // 2 bytes at 0x08: next block index, 0xFFFF = last
constexpr std::size_t kNameOffset = 10;  // 20 bytes at 0x0A: card file name, NUL-padded
constexpr std::size_t kNameLength = 20;
constexpr std::size_t kChecksumOffset = 127;

constexpr std::uint32_t kStateFirst = 0x51;
constexpr std::uint32_t kStateMiddle = 0x52;
constexpr std::uint32_t kStateLast = 0x53;
constexpr std::uint32_t kStateFree = 0xA0;
constexpr std::uint16_t kLinkEnd = 0xFFFF;

constexpr std::uint32_t kBrokenSectorFrames = 32;
constexpr std::uint32_t kBlankFrames = 16;

using Frame = std::array<std::uint8_t, kFrameSize>;

std::uint32_t StateOf(const std::uint8_t* card, std::uint32_t frame) {
  return platform::GetU32LE(card + frame * kFrameSize + kStateOffset);
}

// Where the card bytes start in a file of this variant and size, or -1 when
// the file cannot hold a whole card.
long CardStart(int variant, platform::File& image) {
  std::uint64_t size = image.Size();
  if (variant == PS1Variant::Mem)
    return size >= kMemHeaderSize + kCardSize ? static_cast<long>(kMemHeaderSize) : -1;
  if (variant == PS1Variant::Gme && size >= kGmeHeaderSize + kCardSize) {
    // A file of header-plus-card size has the header even when it is zeroed;
    // a longer one only when it carries the signature.
    char signature[11] = {};
    if (!image.Seek(0) || !image.ReadExact(signature, sizeof signature)) return -1;
    if (size == kGmeHeaderSize + kCardSize ||
        std::string_view(signature, sizeof signature) == kGmeSignature)
      return kGmeHeaderSize;
  }
  return size >= kCardSize ? 0 : -1;
}

// The blocks of the save whose first directory frame is `first` (1-15), by its
// link chain. The chain ends at an end link, at a link outside the card, at a
// block already taken (a loop, or another save's block), at a block whose
// frame is not a middle or last block, or once the size's block count is
// reached. A save keeps at least its first block.
std::vector<std::uint32_t> ChainOf(const std::uint8_t* card, std::uint32_t first,
                                   std::array<bool, kCardBlocks + 1>& taken) {
  std::uint32_t size = platform::GetU32LE(card + first * kFrameSize + kSizeOffset);
  std::uint64_t want =
      std::clamp<std::uint64_t>(RoundUp(size, kBlockSize) / kBlockSize, 1, kCardBlocks);
  std::vector<std::uint32_t> blocks{first};
  taken[first] = true;
  std::uint32_t frame = first;
  while (blocks.size() < want) {
    std::uint16_t link = platform::GetU16LE(card + frame * kFrameSize + kLinkOffset);
    if (link == kLinkEnd || link >= kCardBlocks) break;
    std::uint32_t next = link + 1u;
    std::uint32_t state = StateOf(card, next);
    if (taken[next] || (state != kStateMiddle && state != kStateLast)) break;
    taken[next] = true;
    blocks.push_back(next);
    frame = next;
  }
  return blocks;
}

// Writes the blocks, in this order, into the data file from `offset`. Blocks
// that follow each other on the card go in one write: a card whose saves lie
// in order is one write, where a write per block or per save cost more than
// the copying.
bool WriteBlocks(platform::File& data, std::uint64_t offset, const std::uint8_t* card,
                 const std::vector<std::uint32_t>& blocks) {
  if (!data.Seek(offset)) return false;
  for (std::size_t i = 0; i < blocks.size();) {
    std::size_t run = 1;
    while (i + run < blocks.size() && blocks[i + run] == blocks[i] + run) ++run;
    if (!data.WriteExact(card + blocks[i] * kBlockSize, run * kBlockSize)) return false;
    i += run;
  }
  return true;
}

// Adds and lists the entry of one save; its bytes are written afterwards,
// with those of every other save.
bool AddCardSave(Workspace& ws, Slot s, const std::uint8_t* card, std::uint32_t first,
                 const std::vector<std::uint32_t>& blocks, const TimeStamp& now) {
  auto size = static_cast<std::uint32_t>(blocks.size() * kBlockSize);
  if (!ws.AddEntry(s, size)) return false;
  SaveEntry& entry = ws.At(s).entries.back();
  entry.mode = kModePS1Directory;
  entry.entryCount = 3;
  entry.time = now;
  entry.name = CardFileName(Bytes(card + first * kFrameSize + kNameOffset, kNameLength));
  entry.files = {SaveFileEntry{kModePS1File, size, now, entry.name}};
  entry.size = size;
  // The title frame is at hand: no need to read it back from the slot.
  Workspace::ApplyPS1Title(Bytes(card + first * kBlockSize, kFrameSize), entry);
  ws.ResolveIcons(s, entry);
  ws.ListLastEntry(s);
  return true;
}

void Seal(Frame& frame) {
  frame[kChecksumOffset] = FrameChecksum(frame);
}

Frame DirectoryFrame(std::uint32_t state, std::uint32_t size, std::uint16_t link,
                     const Name64* name) {
  Frame frame{};
  platform::PutU32LE(&frame[kStateOffset], state);
  platform::PutU32LE(&frame[kSizeOffset], size);
  platform::PutU16LE(&frame[kLinkOffset], link);
  if (name) {
    for (std::size_t i = 0; i < kNameLength && (*name)[i] != 0; ++i)
      frame[kNameOffset + i] = (*name)[i];
  }
  Seal(frame);
  return frame;
}

// Block 0 of a card holding `saves` in order, as its 64 frames.
std::vector<Frame> DirectoryBlock(const std::vector<const SaveEntry*>& saves) {
  std::vector<Frame> frames;
  Frame header{'M', 'C'};
  Seal(header);
  frames.push_back(header);
  std::uint32_t total = 0;
  for (const SaveEntry* e : saves) {
    const SaveFileEntry& file = e->files.front();
    std::uint32_t blocks = file.size / kBlockSize;
    for (std::uint32_t j = 0; j < blocks; ++j) {
      bool last = j + 1 == blocks;
      std::uint32_t state = j == 0 ? kStateFirst : (last ? kStateLast : kStateMiddle);
      auto link = last ? kLinkEnd : static_cast<std::uint16_t>(total + j + 1);
      frames.push_back(
          DirectoryFrame(state, j == 0 ? file.size : 0, link, j == 0 ? &file.name : nullptr));
    }
    total += blocks;
  }
  while (frames.size() < 1 + kCardBlocks)
    frames.push_back(DirectoryFrame(kStateFree, 0, kLinkEnd, nullptr));
  Frame broken{0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF};
  Seal(broken);
  frames.insert(frames.end(), kBrokenSectorFrames, broken);
  frames.insert(frames.end(), kBlankFrames, Frame{});
  return frames;
}

void WriteGmeHeader(platform::File& image, const std::vector<Frame>& directory) {
  std::vector<std::uint8_t> header(kGmeHeaderSize, 0);
  std::copy(kGmeSignature.begin(), kGmeSignature.end(), header.begin());
  header[0x12] = 0x01;
  header[0x14] = 0x01;
  header[0x15] = 'M';
  for (std::uint32_t i = 0; i < kCardBlocks; ++i) {
    const Frame& frame = directory[1 + i];
    header[kGmeStates + i] = frame[kStateOffset];
    header[kGmeLinks + i] = frame[kLinkOffset];
  }
  image.WriteExact(header.data(), header.size());
}

bool WriteCard(Workspace& ws, Slot s, const std::vector<const SaveEntry*>& saves,
               platform::File& image, int variant) {
  if (variant == PS1Variant::Mem) {
    std::array<std::uint8_t, kMemHeaderSize> header{'V', 'g', 's', 'M'};
    for (std::size_t at : {4u, 8u, 12u}) platform::PutU32LE(&header[at], 1);
    platform::PutU32LE(&header[16], 0x200);
    image.WriteExact(header.data(), header.size());
  }
  std::vector<Frame> directory = DirectoryBlock(saves);
  if (variant == PS1Variant::Gme) WriteGmeHeader(image, directory);
  for (const Frame& frame : directory) image.WriteExact(frame.data(), frame.size());
  std::uint32_t total = 0;
  for (const SaveEntry* e : saves) {
    const SaveFileEntry& file = e->files.front();
    // A save that cannot be read back must fail the card, not leave a gap
    // that every later save slides into.
    if (!ws.At(s).dataFile.Seek(e->offset) || !ws.CopyOutOfSlot(image, s, file.size, kBlockSize))
      return false;
    total += file.size / kBlockSize;
  }
  if (total < kCardBlocks)
    image.WriteZeros(static_cast<std::uint64_t>(kCardBlocks - total) * kBlockSize);
  return !image.Failed();
}

}  // namespace

std::uint32_t ReadPS1Card(Workspace& ws, Slot s, platform::File& image, int variant) {
  TimeStamp now = ws.Now();
  long start = CardStart(variant, image);
  if (start < 0)
    return RefuseShort(ws, image, (variant == PS1Variant::Mem ? kMemHeaderSize : 0) + kCardSize);
  std::vector<std::uint8_t> card(kCardSize);
  if (!image.Seek(static_cast<std::uint64_t>(start)) ||
      !ReadOrRefuse(ws, image, card.data(), card.size()))
    return 0;
  if (platform::GetU32LE(card.data()) != PackMagic("MC"))
    return RefuseField(ws, platform::Reason::BadMagic, "the header frame (\"MC\")");

  std::array<bool, kCardBlocks + 1> taken{};
  std::uint64_t offset = ws.NextOffset(s);
  std::vector<std::uint32_t> slotOrder;  // every save's blocks, as they go into the slot
  for (std::uint32_t frame = 1; frame <= kCardBlocks; ++frame) {
    if (StateOf(card.data(), frame) != kStateFirst || taken[frame]) continue;
    std::vector<std::uint32_t> blocks = ChainOf(card.data(), frame, taken);
    if (!AddCardSave(ws, s, card.data(), frame, blocks, now)) return 0;
    slotOrder.insert(slotOrder.end(), blocks.begin(), blocks.end());
  }
  return WriteBlocks(ws.At(s).dataFile, offset, card.data(), slotOrder) ? 1 : 0;
}

bool WritePS1Card(Workspace& ws, Slot s, platform::File& image, int variant) {
  std::vector<const SaveEntry*> saves;
  for (std::uint32_t row = 0; row < ws.At(s).RowCount(); ++row)
    saves.push_back(&ws.At(s).AtRow(row));
  return WriteCard(ws, s, saves, image, variant);
}

bool WritePS1CardSingle(Workspace& ws, Slot s, const SaveEntry& entry, platform::File& image,
                        int variant) {
  return WriteCard(ws, s, {&entry}, image, variant);
}

bool SaveFitsPS1Card(const SaveEntry& entry) {
  if (!entry.IsPS1() || entry.files.size() != 1) return false;
  std::uint32_t size = entry.files.front().size;
  return size >= kBlockSize && size % kBlockSize == 0 && size <= kCardCapacity;
}

bool RowsFitPS1Card(const Workspace& ws, Slot s) {
  std::uint64_t total = 0;
  for (std::uint32_t row = 0; row < ws.At(s).RowCount(); ++row) {
    const SaveEntry& entry = ws.At(s).AtRow(row);
    if (!SaveFitsPS1Card(entry)) return false;
    total += entry.files.front().size;
  }
  return total <= kCardCapacity;
}

}  // namespace slk
