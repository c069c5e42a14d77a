#include "cli/card_check.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

#include "card/image_formats.h"
#include "card/ps1_card.h"
#include "card/ps1_chain.h"
#include "card/ps1_layout.h"
#include "card/utility.h"
#include "platform/bytes.h"
#include "platform/sjis.h"

namespace slk {
namespace {

using ByteSpan = std::span<const std::uint8_t>;

std::string Hex(std::uint32_t value) {
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), value > 0xFF ? "0x%X" : "0x%02X", value);
  return text.data();
}

class PS1Card {
 public:
  explicit PS1Card(ByteSpan card) : card_(card) {}
  ByteSpan Frame(std::uint32_t frame) const {
    return card_.subspan(frame * kFrameSize, kFrameSize);
  }
  std::uint32_t State(std::uint32_t block) const {
    return platform::GetU32LE(&Frame(block)[PS1Frame::kState]);
  }
  std::uint32_t Size(std::uint32_t block) const {
    return platform::GetU32LE(&Frame(block)[PS1Frame::kSize]);
  }
  // The name as the reader takes it: at most 20 bytes, up to a NUL.
  Name64 Name(std::uint32_t block) const {
    return CardFileName(Frame(block).subspan(PS1Frame::kName, PS1Frame::kNameBytes));
  }
  std::string NameText(std::uint32_t block) const {
    Name64 name = Name(block);
    return platform::ShiftJisToUtf8(ByteSpan(name.data(), BoundedLength(name)));
  }
  std::string SaveText(std::uint32_t block) const {
    return "the save at block " + std::to_string(block) + " (" + NameText(block) + ")";
  }
  ByteSpan Bytes() const { return card_; }

 private:
  ByteSpan card_;
};

using Findings = std::vector<CardFinding>;

// Where the card starts in a file of this format, as the reader takes it.
std::size_t CardStart(ByteSpan file, int variant) {
  if (variant == PS1Variant::Mem) return MemHeader::kBytes;
  if (variant == PS1Variant::Vmp) return VmpHeader::kBytes;
  if (variant == PS1Variant::Gme && file.size() >= GmeHeader::kBytes + kCardSize) {
    bool signed_ =
        std::equal(GmeHeader::kSignature.begin(), GmeHeader::kSignature.end(), file.begin());
    if (file.size() == GmeHeader::kBytes + kCardSize || signed_) return GmeHeader::kBytes;
  }
  return 0;
}

void CheckFrames(const PS1Card& card, Findings& found) {
  ByteSpan header = card.Frame(0);
  if (platform::GetU32LE(header.data()) != PackMagic("MC"))
    found.push_back({CardFault::HeaderMagic, "frame 0 does not begin with \"MC\" 00 00"});
  for (std::uint32_t f = 0; f < PS1Block0::kChecksummedFrames; ++f) {
    ByteSpan frame = card.Frame(f);
    std::uint8_t sum = FrameChecksum(frame);
    if (sum == frame[kFrameSize - 1]) continue;
    std::string what = f == 0 ? "the header frame"
                       : f < PS1Block0::kBrokenSectorFrames
                           ? "directory frame " + std::to_string(f)
                           : "broken-sector list frame " + std::to_string(f);
    found.push_back({CardFault::FrameChecksum, what + ": checksum " + Hex(frame[kFrameSize - 1]) +
                                                   ", its bytes give " + Hex(sum)});
  }
  for (std::uint32_t b = 1; b <= kCardBlocks; ++b) {
    std::uint32_t state = card.State(b);
    bool known = (state >= PS1Frame::kStateFirst && state <= PS1Frame::kStateLast) ||
                 (state >= PS1Frame::kStateFree && state <= PS1Frame::kStateDeletedLast);
    if (!known)
      found.push_back({CardFault::UnknownState,
                       "block " + std::to_string(b) + ": unknown state " + Hex(state)});
  }
}

// What a chain's end says about the save, or nothing when it ended properly.
std::optional<CardFinding> ChainFinding(const PS1Card& card, std::uint32_t first,
                                        const ChainWalk& walk, const BlockOwners& owner) {
  std::string at = "block " + std::to_string(walk.from);
  std::string to = "block " + std::to_string(walk.link);
  auto finding = [&](CardFault fault, const std::string& text) {
    return CardFinding{fault, card.SaveText(first) + ": " + text};
  };
  switch (walk.end) {
    case ChainEnd::Whole:
      return std::nullopt;
    case ChainEnd::EndsOnMiddle:
      return finding(CardFault::BrokenLink, "its chain ends at " + at + ", a middle block (0x52)");
    case ChainEnd::LastLinksOn:
      return finding(CardFault::BrokenLink, at + " is a last block (0x53) but links on");
    case ChainEnd::LeavesCard:
      return finding(CardFault::BrokenLink,
                     at + " links to index " + std::to_string(walk.link) + ", outside the card");
    case ChainEnd::Loops:
      return finding(CardFault::LoopingChain, "its chain loops from " + at + " back to " + to);
    case ChainEnd::RunsIntoOther:
      return finding(CardFault::SharedBlock,
                     "its chain runs into " + to + " of " + card.SaveText(owner[walk.link]));
    case ChainEnd::NotInUse:
      return finding(CardFault::BrokenLink, at + " links to " + to + ", whose state " +
                                                Hex(card.State(walk.link)) +
                                                " is not a middle or last block");
  }
  return std::nullopt;
}

void CheckChains(const PS1Card& card, Findings& found) {
  BlockOwners owner{};
  for (std::uint32_t b = 1; b <= kCardBlocks; ++b) {
    if (card.State(b) != PS1Frame::kStateFirst) continue;
    ChainWalk walk = WalkChain(card.Bytes(), b, owner);
    if (std::optional<CardFinding> broken = ChainFinding(card, b, walk, owner)) {
      found.push_back(std::move(*broken));
      continue;
    }
    auto length = static_cast<std::uint32_t>(walk.blocks.size());
    std::uint64_t chainBytes = std::uint64_t{length} * kBlockSize;
    if (card.Size(b) != chainBytes)
      found.push_back({CardFault::SizeMismatch,
                       card.SaveText(b) + ": its size is " + std::to_string(card.Size(b)) +
                           " bytes but its chain has " + std::to_string(length) + " blocks (" +
                           std::to_string(chainBytes) + " bytes)"});
  }
  for (std::uint32_t b = 1; b <= kCardBlocks; ++b) {
    std::uint32_t state = card.State(b);
    if ((state == PS1Frame::kStateMiddle || state == PS1Frame::kStateLast) && owner[b] == 0)
      found.push_back({CardFault::OrphanBlock, "block " + std::to_string(b) + " is in use (" +
                                                   Hex(state) +
                                                   ") but no save's chain reaches it"});
  }
}

void CheckNamesAndCapacity(const PS1Card& card, Findings& found) {
  std::uint64_t blocks = 0;
  for (std::uint32_t b = 1; b <= kCardBlocks; ++b) {
    if (card.State(b) != PS1Frame::kStateFirst) continue;
    blocks += RoundUp(card.Size(b), kBlockSize) / kBlockSize;
    for (std::uint32_t other = 1; other < b; ++other) {
      if (card.State(other) == PS1Frame::kStateFirst && NamesEqual(card.Name(other), card.Name(b)))
        found.push_back({CardFault::DuplicateName,
                         "blocks " + std::to_string(other) + " and " + std::to_string(b) +
                             " both hold a save named \"" + card.NameText(b) + "\""});
    }
  }
  if (blocks > kCardBlocks)
    found.push_back({CardFault::OverCapacity, "the saves' sizes add up to " +
                                                  std::to_string(blocks) +
                                                  " blocks, more than the card's 15"});
}

void CheckCard(const PS1Card& card, Findings& found) {
  CheckFrames(card, found);
  CheckChains(card, found);
  CheckNamesAndCapacity(card, found);
}

}  // namespace

std::vector<CardFinding> CheckPS1CardImage(std::span<const std::uint8_t> file, int variant) {
  Findings found;
  bool gme = variant == PS1Variant::Gme;
  bool signed_ =
      file.size() >= GmeHeader::kSignature.size() &&
      std::equal(GmeHeader::kSignature.begin(), GmeHeader::kSignature.end(), file.begin());
  if (std::uint32_t present = gme ? ShortGmeCardBytes(file.size(), signed_) : 0) {
    // Cut after its last save, as the reader takes it: the rest reads as free.
    std::vector<std::uint8_t> card(kCardSize, 0);
    std::copy_n(file.begin() + GmeHeader::kBytes, present, card.begin());
    FreeMissingBlocks(card, present / kBlockSize);
    CheckCard(PS1Card(card), found);
    return found;
  }
  std::size_t start = CardStart(file, variant);
  std::size_t expected = start + kCardSize;
  // A DexDrive file cut short still shows its header by its signature.
  if (gme && start == 0 && signed_) expected = GmeHeader::kBytes + kCardSize;
  if (file.size() < expected) {
    found.push_back({CardFault::FileSize, "the file holds " + std::to_string(file.size()) +
                                              " bytes; a card of this format needs " +
                                              std::to_string(expected)});
    return found;
  }
  if (file.size() > expected)
    found.push_back({CardFault::FileSize,
                     std::to_string(file.size() - expected) + " bytes follow the end of the card"});
  CheckCard(PS1Card(file.subspan(start, kCardSize)), found);
  return found;
}

std::vector<CardFinding> CheckCardImage(std::span<const std::uint8_t> file, CardFormat format) {
  const FormatRow& row = RowOf(format);
  if (row.layout == FormatLayout::ExpandedCard) return CheckExpandedCardImage(file);
  if (row.layout == FormatLayout::PS1Card) return CheckPS1CardImage(file, row.variant);
  return {};
}

}  // namespace slk
