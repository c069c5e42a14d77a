#include "card/ps1_card.h"

#include <algorithm>
#include <array>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "card/formats/save_formats.h"
#include "card/ps1_chain.h"
#include "card/refusal.h"
#include "card/utility.h"
#include "platform/bytes.h"

namespace slk {
namespace {

using Frame = std::array<std::uint8_t, kFrameSize>;

// Where the card lies in a file of this variant: its first byte and how many
// of its bytes the file holds (less than a card only for a DexDrive file cut
// short). Nothing when the file cannot hold a card.
struct CardPlace {
  std::uint64_t start = 0;
  std::uint32_t bytes = kCardSize;
};

std::optional<CardPlace> FindCard(int variant, platform::File& image) {
  std::uint64_t size = image.Size();
  if (variant == PS1Variant::Mem) {
    if (size < MemHeader::kBytes + kCardSize) return std::nullopt;
    return CardPlace{MemHeader::kBytes, kCardSize};
  }
  if (variant == PS1Variant::Vmp) {
    if (size < VmpHeader::kBytes + kCardSize) return std::nullopt;
    return CardPlace{VmpHeader::kBytes, kCardSize};
  }
  if (variant == PS1Variant::Gme && size > GmeHeader::kBytes) {
    std::array<std::uint8_t, GmeHeader::kSignature.size()> signature{};
    if (!image.Seek(0) || !image.ReadExact(signature.data(), signature.size())) return std::nullopt;
    bool signed_ = std::equal(signature.begin(), signature.end(), GmeHeader::kSignature.begin());
    // A file of header-plus-card size has the header even when it is zeroed;
    // a longer one only when it carries the signature, a shorter one only
    // when it is also cut at a block's end.
    if (size == GmeHeader::kBytes + kCardSize || (signed_ && size > GmeHeader::kBytes + kCardSize))
      return CardPlace{GmeHeader::kBytes, kCardSize};
    if (std::uint32_t bytes = ShortGmeCardBytes(size, signed_))
      return CardPlace{GmeHeader::kBytes, bytes};
  }
  if (size < kCardSize) return std::nullopt;
  return CardPlace{0, kCardSize};
}

std::size_t HeaderBytes(int variant) {
  if (variant == PS1Variant::Mem) return MemHeader::kBytes;
  if (variant == PS1Variant::Vmp) return VmpHeader::kBytes;
  return 0;
}

// The .vmp header, checked by the format library: its magic, and a size of
// exactly header and card. The signature need not match: other tools
// re-sign or leave it.
bool CheckVmpHeader(Workspace& ws, platform::File& image) {
  std::uint64_t size = image.Size();
  if (size < VmpHeader::kBytes + kCardSize)
    return RefuseShort(ws, image, VmpHeader::kBytes + kCardSize);
  if (size > VmpHeader::kBytes + kCardSize)
    return RefuseField(ws, platform::Reason::TooLarge, {}, size, VmpHeader::kBytes + kCardSize);
  formats::Bytes file(size);
  if (!image.Seek(0) || !ReadOrRefuse(ws, image, file.data(), file.size())) return false;
  platform::Problem why;
  if (!formats::ReadVmpCard(file, why)) {
    ws.Refuse(std::move(why));
    return false;
  }
  return true;
}

std::uint32_t StateOf(const std::vector<std::uint8_t>& card, std::uint32_t block) {
  return platform::GetU32LE(&card[block * kFrameSize + PS1Frame::kState]);
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
                 const ChainWalk& walk, const TimeStamp& now) {
  auto size = walk.Kept() * kBlockSize;
  if (!ws.AddEntry(s, size)) return false;
  SaveEntry& entry = ws.At(s).entries.back();
  entry.mode = kModePS1Directory;
  entry.entryCount = 3;
  entry.time = now;
  entry.name =
      CardFileName(Bytes(card + first * kFrameSize + PS1Frame::kName, PS1Frame::kNameBytes));
  entry.files = {SaveFileEntry{kModePS1File, size, now, entry.name}};
  entry.size = size;
  // Kept as far as it goes, but never written out again as if it were whole.
  if (walk.Shortened()) entry.declaredBlocks = walk.wanted;
  // The title frame is at hand: no need to read it back from the slot.
  Workspace::ApplyPS1Title(Bytes(card + first * kBlockSize, kFrameSize), entry);
  ws.ResolveIcons(s, entry);
  ws.ListLastEntry(s);
  return true;
}

void Seal(Frame& frame) {
  frame[PS1Frame::kChecksum] = FrameChecksum(frame);
}

Frame DirectoryFrame(std::uint32_t state, std::uint32_t size, std::uint16_t link,
                     const Name64* name) {
  Frame frame{};
  platform::PutU32LE(&frame[PS1Frame::kState], state);
  platform::PutU32LE(&frame[PS1Frame::kSize], size);
  platform::PutU16LE(&frame[PS1Frame::kLink], link);
  if (name) {
    for (std::size_t i = 0; i < PS1Frame::kNameChars && (*name)[i] != 0; ++i)
      frame[PS1Frame::kName + i] = (*name)[i];
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
      std::uint32_t state =
          j == 0 ? PS1Frame::kStateFirst : (last ? PS1Frame::kStateLast : PS1Frame::kStateMiddle);
      auto link = last ? PS1Frame::kLinkEnd : static_cast<std::uint16_t>(total + j + 1);
      frames.push_back(
          DirectoryFrame(state, j == 0 ? file.size : 0, link, j == 0 ? &file.name : nullptr));
    }
    total += blocks;
  }
  while (frames.size() < 1 + kCardBlocks)
    frames.push_back(DirectoryFrame(PS1Frame::kStateFree, 0, PS1Frame::kLinkEnd, nullptr));
  Frame broken{0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF};
  Seal(broken);
  frames.insert(frames.end(), PS1Block0::kWrittenBrokenSectorFrames, broken);
  frames.insert(frames.end(), PS1Block0::kWrittenBlankFrames, Frame{});
  return frames;
}

void WriteGmeHeader(platform::File& image, const std::vector<Frame>& directory) {
  std::vector<std::uint8_t> header(GmeHeader::kBytes, 0);
  std::copy(GmeHeader::kSignature.begin(), GmeHeader::kSignature.end(), header.begin());
  header[GmeHeader::kMarkOne] = 0x01;
  header[GmeHeader::kMarkTwo] = 0x01;
  header[GmeHeader::kMarkLetter] = 'M';
  for (std::uint32_t i = 0; i < kCardBlocks; ++i) {
    const Frame& frame = directory[PS1Block0::kFirstDirectoryFrame + i];
    header[GmeHeader::kStates + i] = frame[PS1Frame::kState];
    header[GmeHeader::kLinks + i] = frame[PS1Frame::kLink];
  }
  image.WriteExact(header.data(), header.size());
}

// The header of a .vmp is signed over the whole card: the card is made in
// memory first.
bool WriteVmpFile(Workspace& ws, Slot s, const std::vector<const SaveEntry*>& saves,
                  platform::File& image) {
  std::vector<std::uint8_t> card;
  try {
    card.reserve(kCardSize);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (const Frame& frame : DirectoryBlock(saves))
    card.insert(card.end(), frame.begin(), frame.end());
  for (const SaveEntry* e : saves) {
    std::uint32_t size = e->files.front().size;
    std::size_t at = card.size();
    card.resize(at + size);
    if (!ws.ReadSlotBytes(s, e->offset, card.data() + at, size)) return false;
  }
  card.resize(kCardSize, 0);
  formats::Bytes file = formats::WriteVmpCard(card);
  return image.WriteExact(file.data(), file.size());
}

bool WriteCard(Workspace& ws, Slot s, const std::vector<const SaveEntry*>& saves,
               platform::File& image, int variant) {
  if (variant == PS1Variant::Vmp) return WriteVmpFile(ws, s, saves, image);
  if (variant == PS1Variant::Mem) {
    std::array<std::uint8_t, MemHeader::kBytes> header{};
    std::copy(MemHeader::kSignature.begin(), MemHeader::kSignature.end(), header.begin());
    for (std::size_t at : MemHeader::kOnes) platform::PutU32LE(&header[at], 1);
    platform::PutU32LE(&header[MemHeader::kBlockField], MemHeader::kBlockValue);
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
  if (variant == PS1Variant::Vmp && !CheckVmpHeader(ws, image)) return 0;
  std::optional<CardPlace> place = FindCard(variant, image);
  if (!place) return RefuseShort(ws, image, HeaderBytes(variant) + kCardSize);
  if (!image.Seek(place->start)) return 0;
  std::vector<std::uint8_t> card(kCardSize);
  if (!ReadOrRefuse(ws, image, card.data(), place->bytes)) return 0;
  if (platform::GetU32LE(card.data()) != PackMagic("MC"))
    return RefuseField(ws, platform::Reason::BadMagic, "the header frame (\"MC\")");
  FreeMissingBlocks(card, place->bytes / kBlockSize);

  BlockOwners owner{};
  std::uint64_t offset = ws.NextOffset(s);
  std::vector<std::uint32_t> slotOrder;  // every save's blocks, as they go into the slot
  for (std::uint32_t first = 1; first <= kCardBlocks; ++first) {
    if (StateOf(card, first) != PS1Frame::kStateFirst || owner[first] != 0) continue;
    ChainWalk walk = WalkChain(card, first, owner);
    if (!AddCardSave(ws, s, card.data(), first, walk, now)) return 0;
    slotOrder.insert(slotOrder.end(), walk.blocks.begin(), walk.blocks.begin() + walk.Kept());
  }
  return WriteBlocks(ws.At(s).dataFile, offset, card.data(), slotOrder) ? 1 : 0;
}

std::uint32_t ShortGmeCardBytes(std::uint64_t fileSize, bool signed_) {
  if (!signed_ || fileSize < GmeHeader::kBytes + kBlockSize ||
      fileSize >= GmeHeader::kBytes + kCardSize)
    return 0;
  std::uint64_t bytes = fileSize - GmeHeader::kBytes;
  return bytes % kBlockSize == 0 ? static_cast<std::uint32_t>(bytes) : 0;
}

void FreeMissingBlocks(std::span<std::uint8_t> card, std::uint32_t blocksPresent) {
  for (std::uint32_t block = std::max(blocksPresent, 1u); block <= kCardBlocks; ++block) {
    Frame frame = DirectoryFrame(PS1Frame::kStateFree, 0, PS1Frame::kLinkEnd, nullptr);
    std::copy(frame.begin(), frame.end(), card.begin() + block * kFrameSize);
  }
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
