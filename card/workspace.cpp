#include "card/workspace.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <new>
#include <utility>

#include "card/ps2_card_slot.h"
#include "card/utility.h"
#include "platform/bytes.h"

namespace slk {
namespace {

// Copies between files go through one buffer of this size. With 64 KiB a
// save of a few hundred KiB took several reads and writes, each dearer than
// the copying it did; 1 MiB holds most saves whole and stays the same however
// large the card is.
constexpr std::uint64_t kChunk = 1 << 20;
constexpr std::uint64_t kSlotLimit = std::numeric_limits<std::uint32_t>::max();

constexpr std::uint32_t kPS1TopColour = 0xC0000080;
constexpr std::uint32_t kPS1BottomColour = 0xC0000020;
// A PS2 save without icon.sys: a quiet grey that darkens downwards.
constexpr std::uint32_t kNeutralTopColour = 0xD0505050;
constexpr std::uint32_t kNeutralBottomColour = 0xD0202020;

// icon.sys fields.
constexpr std::size_t kIconSysLineBreak = 0x06;
constexpr std::size_t kIconSysColours = 0x10;
constexpr std::size_t kIconSysTitle = 0xC0;
constexpr std::size_t kIconSysIconNames[3] = {0x104, 0x144, 0x184};
constexpr std::size_t kIconSysNameUsed = 60;
constexpr std::size_t kIconSysSpan = 0x184 + 64;

constexpr std::size_t kPS1TitleOffset = 4;
constexpr std::uint16_t kPS1LineLength = 32;

void SplitTitle(SaveEntry& entry, std::size_t firstLine) {
  auto total = static_cast<std::uint16_t>(BoundedLength(entry.title));
  auto first = static_cast<std::uint16_t>(firstLine);
  if (first == 0 || first > total) first = total;
  entry.titleLine1Length = first;
  entry.titleLine2Length = static_cast<std::uint16_t>(total - first);
}

}  // namespace

Workspace::Workspace(MessageSink& ui, const Settings& settings) : ui_(&ui), settings_(&settings) {}

Workspace::~Workspace() {
  CloseSlot(kLeft);
  CloseSlot(kRight);
}

std::uint32_t Workspace::CreateSlotStore(Slot s, std::uint32_t askKind) {
  SlotData& slot = slots_[s];
  if (slot.open) return 0;
  platform::File data = platform::CreateSlotTempFile();
  if (!data.IsOpen()) return 0;
  if (askKind != 0) {
    // The settings dialog offers the first two kinds; a PS2 card image written
    // into the file by hand is taken too, anything else means a PS1 card.
    CardKind preferred = settings_->DefaultImage == 0   ? CardKind::PS2
                         : settings_->DefaultImage == 2 ? CardKind::PS2Card
                                                        : CardKind::PS1;
    slot.kind = settings_->UseDefaultImage != 0 ? preferred : ui_->AskCardKind(preferred);
  }
  // A new PS2 card image is a freshly formatted one, kept as if opened.
  std::unique_ptr<ps2::Ps2CardImage> card;
  if (askKind != 0 && slot.kind == CardKind::PS2Card) {
    card = NewPS2Card();
    if (!card) return 0;
  }
  slot.dataFile = std::move(data);
  slot.entries.clear();
  slot.rows.clear();
  slot.ps2Card = std::move(card);
  slot.open = true;
  return 1;
}

void Workspace::Refuse(platform::Problem why, int message) {
  if (refusal_.why || refusal_.message != 0) return;
  refusal_ = Refusal{message, std::move(why)};
}

Refusal Workspace::TakeRefusal() {
  return std::exchange(refusal_, Refusal{});
}

TimeStamp Workspace::Now() const {
  return MakeTimeStamp(clock_ ? clock_() : LocalTimeNow());
}

void Workspace::CloseSlot(Slot s) {
  SlotData& slot = slots_[s];
  if (!slot.open) return;
  slot.open = false;
  slot.dataFile.Close();
  slot.rows.clear();
  slot.rows.shrink_to_fit();
  slot.entries.clear();
  slot.entries.shrink_to_fit();
  slot.ps2Card.reset();
  slot.readsInPlace = false;
  DeleteLockFile();
}

void Workspace::TakeSlot(Slot s, Workspace& from) {
  CloseSlot(s);
  slots_[s] = std::exchange(from.slots_[s], SlotData{});
}

SlotData Workspace::ExchangeSlot(Slot s, SlotData other) {
  if (slots_[s].open) DeleteLockFile();
  return std::exchange(slots_[s], std::move(other));
}

void Workspace::DeleteLockFile() {
  if (!lock_.locked) return;
  ::unlink(lock_.path.c_str());
  lock_.locked = false;
}

namespace {

template <typename List>
void ReserveOneMore(List& list) {
  if (list.capacity() > list.size()) return;
  list.reserve(std::max<std::size_t>(16, list.size() * 2));
}

}  // namespace

std::uint64_t Workspace::NextOffset(Slot s) const {
  const SlotData& slot = slots_[s];
  if (slot.entries.empty()) return 0;
  const SaveEntry& last = slot.entries.back();
  return static_cast<std::uint64_t>(last.offset) + last.size;
}

bool Workspace::AddEntry(Slot s, std::uint64_t expectedSize) {
  SlotData& slot = slots_[s];
  std::uint64_t offset = NextOffset(s);
  if (offset > kSlotLimit || expectedSize > kSlotLimit - offset) return false;
  try {
    // Growing by one would move the whole list on every save: an import of
    // thousands of saves would cost the square of their count.
    ReserveOneMore(slot.entries);
    ReserveOneMore(slot.rows);
    slot.entries.emplace_back();
  } catch (const std::bad_alloc&) {
    return false;
  }
  slot.entries.back().offset = static_cast<std::uint32_t>(offset);
  return true;
}

void Workspace::ListLastEntry(Slot s) {
  SlotData& slot = slots_[s];
  slot.rows.push_back(slot.EntryCount() - 1);  // capacity reserved by AddEntry
}

void Workspace::DropLastEntry(Slot s) {
  SlotData& slot = slots_[s];
  if (slot.entries.empty()) return;
  std::uint32_t last = slot.EntryCount() - 1;
  if (!slot.rows.empty() && slot.rows.back() == last) slot.rows.pop_back();
  slot.entries.pop_back();
}

bool Workspace::ReadSlotBytes(Slot s, std::uint64_t offset, void* buffer, std::uint64_t n) {
  platform::File& data = slots_[s].dataFile;
  return data.Seek(offset) && data.ReadExact(buffer, n);
}

bool Workspace::ReadPS1Title(Slot s, std::uint32_t offset, SaveEntry& entry) {
  entry.title.fill(0);
  bool ok = ReadSlotBytes(s, static_cast<std::uint64_t>(offset) + kPS1TitleOffset,
                          entry.title.data(), entry.title.size());
  if (!ok) entry.title.fill(0);
  SplitPS1Title(entry);
  return ok;
}

void Workspace::ApplyPS1Title(Bytes titleFrame, SaveEntry& entry) {
  entry.title.fill(0);
  if (titleFrame.size() >= kPS1TitleOffset + entry.title.size())
    std::copy_n(titleFrame.begin() + kPS1TitleOffset, entry.title.size(), entry.title.begin());
  SplitPS1Title(entry);
}

void Workspace::SplitPS1Title(SaveEntry& entry) {
  auto total = static_cast<std::uint16_t>(BoundedLength(entry.title));
  entry.titleLine1Length = std::min(total, kPS1LineLength);
  entry.titleLine2Length = static_cast<std::uint16_t>(total - entry.titleLine1Length);
  entry.backgroundColours = {kPS1TopColour, kPS1TopColour, kPS1BottomColour, kPS1BottomColour};
}

bool Workspace::ReadIconSys(Slot s, std::uint32_t offset, std::uint32_t size, SaveEntry& entry) {
  // Fields past the end of a short icon.sys read as zero.
  std::array<std::uint8_t, kIconSysSpan> bytes{};
  std::uint32_t want = std::min<std::uint32_t>(size, kIconSysSpan);
  if (!ReadSlotBytes(s, offset, bytes.data(), want)) return false;
  platform::ByteSpan view(bytes);
  entry.iconSysForm = std::equal(kTextIconSysMagic.begin(), kTextIconSysMagic.end(), bytes.begin())
                          ? IconSysForm::Text
                          : IconSysForm::Binary;

  for (int k = 0; k < 4; ++k) {
    std::size_t at = kIconSysColours + 16 * k;
    std::uint32_t r = *platform::ReadU32LE(view, at) & 0xFF;
    std::uint32_t g = *platform::ReadU32LE(view, at + 4) & 0xFF;
    std::uint32_t b = *platform::ReadU32LE(view, at + 8) & 0xFF;
    entry.backgroundColours[k] = 0xD0000000u | r << 16 | g << 8 | b;
  }
  std::copy_n(bytes.begin() + kIconSysTitle, entry.title.size(), entry.title.begin());
  SplitTitle(entry, *platform::ReadU16LE(view, kIconSysLineBreak));
  for (int k = 0; k < 3; ++k) {
    Name64& name = iconNames_[k];
    name.fill(0);
    std::copy_n(bytes.begin() + kIconSysIconNames[k], kIconSysNameUsed, name.begin());
  }
  return true;
}

void Workspace::ApplyMissingIconSys(SaveEntry& entry) {
  entry.title.fill(0);
  entry.titleLine1Length = 0;
  entry.titleLine2Length = 0;
  entry.backgroundColours = {kNeutralTopColour, kNeutralTopColour, kNeutralBottomColour,
                             kNeutralBottomColour};
}

void Workspace::ResolveIcons(Slot, SaveEntry& entry) {
  entry.iconOffsets = {};
  entry.iconSizes = {};
  if (entry.IsPS1()) {
    std::uint32_t size = entry.files.empty() ? entry.size : entry.files[0].size;
    entry.iconOffsets.fill(entry.offset);
    entry.iconSizes.fill(size);
    entry.useStandardIcon = 0;
    return;
  }
  std::array<bool, 3> found{};
  for (int k = 0; k < 3; ++k) {
    std::uint64_t position = entry.offset;
    for (const SaveFileEntry& file : entry.files) {
      if (NamesEqual(file.name, iconNames_[k])) {
        entry.iconOffsets[k] = static_cast<std::uint32_t>(position);
        entry.iconSizes[k] = file.size;
        found[k] = true;
        break;
      }
      position += file.size;
    }
  }
  // Only the list icon is ever drawn: without it the standard icon shows, even
  // when the copy or delete icon exists.
  entry.useStandardIcon = found[0] ? 0 : 1;
}

std::uint8_t* Workspace::CopyBuffer() {
  // One buffer for every copy: a fresh one per file cost a zero fill and,
  // once the allocator had given it back, page faults for every save.
  if (!copyBuffer_) copyBuffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(kChunk);
  return copyBuffer_.get();
}

bool Workspace::CopyIntoSlot(platform::File& image, Slot s, std::uint64_t n,
                             std::uint64_t alignment) {
  platform::File& data = slots_[s].dataFile;
  std::uint8_t* buffer = CopyBuffer();
  for (std::uint64_t left = n; left > 0;) {
    std::uint64_t chunk = std::min(left, kChunk);
    if (!image.ReadExact(buffer, chunk) || !data.WriteExact(buffer, chunk)) return false;
    left -= chunk;
  }
  // Padding may be missing at the very end of an image; later reads check.
  std::uint64_t pad = RoundUp(n, alignment) - n;
  return image.Skip(std::min(pad, image.Remaining()));
}

bool Workspace::CopyIntoSlotHeld(platform::File& image, Slot s, std::uint64_t n,
                                 std::uint64_t alignment) {
  if (platform::File& data = slots_[s].dataFile; data.IsPieceView()) {
    // The bytes stay in the image; what follows them is read from there.
    return n <= image.Remaining() && data.AppendPiece(image.Position(), n) &&
           image.Skip(std::min(RoundUp(n, alignment), image.Remaining()));
  }
  if (heldBytes_ + n > kChunk && !FlushHeldBytes(s)) return false;
  if (n > kChunk) return CopyIntoSlot(image, s, n, alignment);
  if (!image.ReadExact(CopyBuffer() + heldBytes_, n)) return false;
  heldBytes_ += n;
  std::uint64_t pad = RoundUp(n, alignment) - n;
  return image.Skip(std::min(pad, image.Remaining()));
}

bool Workspace::FlushHeldBytes(Slot s) {
  std::uint64_t n = std::exchange(heldBytes_, 0);
  return slots_[s].dataFile.WriteExact(CopyBuffer(), n);
}

bool Workspace::CopyOutOfSlot(platform::File& image, Slot s, std::uint64_t n,
                              std::uint64_t alignment) {
  platform::File& data = slots_[s].dataFile;
  std::uint8_t* buffer = CopyBuffer();
  for (std::uint64_t left = n; left > 0;) {
    std::uint64_t chunk = std::min(left, kChunk);
    if (!data.ReadExact(buffer, chunk) || !image.WriteExact(buffer, chunk)) return false;
    left -= chunk;
  }
  return image.WriteZeros(RoundUp(n, alignment) - n);
}

bool Workspace::CopyBetweenSlots(Slot from, std::uint64_t n) {
  platform::File& source = slots_[from].dataFile;
  platform::File& target = slots_[OtherSlot(from)].dataFile;
  std::uint8_t* buffer = CopyBuffer();
  for (std::uint64_t left = n; left > 0;) {
    std::uint64_t chunk = std::min(left, kChunk);
    if (!source.ReadExact(buffer, chunk) || !target.WriteExact(buffer, chunk)) return false;
    left -= chunk;
  }
  return true;
}

}  // namespace slk
