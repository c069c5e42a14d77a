#include "cli/card_check.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "card/image_formats.h"
#include "card/ps1_card.h"
#include "card/utility.h"
#include "platform/bytes.h"
#include "platform/sjis.h"

namespace slk {
namespace {

using ByteSpan = std::span<const std::uint8_t>;

// Headers in front of the card bytes.
constexpr std::size_t kMemHeaderBytes = 64;
constexpr std::size_t kGmeHeaderBytes = 3904;
constexpr std::string_view kGmeSignature = "123-456-STD";

// Block 0: frame 0 the header, 1-15 the directory, 16-35 the broken-sector
// list. These carry checksums; frames 36-63 (replacement sectors, unused and
// the write-test frame) do not.
constexpr std::uint32_t kChecksummedFrames = 36;
constexpr std::uint32_t kBrokenSectorListFirst = 16;

// Directory frame fields.
constexpr std::size_t kStateOffset = 0x00;  // 4 bytes at 0x00: block state
constexpr std::size_t kSizeOffset = 0x04;   // 4 bytes at 0x04: save size (first block)
constexpr std::size_t kLinkOffset = 0x08;   // 2 bytes at 0x08: next block index, 0xFFFF = last
constexpr std::size_t kNameOffset = 0x0A;   // 20 bytes at 0x0A: card file name
constexpr std::size_t kNameBytes = 20;

constexpr std::uint32_t kStateFirst = 0x51;
constexpr std::uint32_t kStateMiddle = 0x52;
constexpr std::uint32_t kStateLast = 0x53;
constexpr std::uint32_t kStateFree = 0xA0;
constexpr std::uint32_t kStateDeletedLast = 0xA3;
constexpr std::uint16_t kLinkEnd = 0xFFFF;

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
    return platform::GetU32LE(&Frame(block)[kStateOffset]);
  }
  std::uint32_t Size(std::uint32_t block) const {
    return platform::GetU32LE(&Frame(block)[kSizeOffset]);
  }
  std::uint16_t Link(std::uint32_t block) const {
    return platform::GetU16LE(&Frame(block)[kLinkOffset]);
  }
  ByteSpan Name(std::uint32_t block) const { return Frame(block).subspan(kNameOffset, kNameBytes); }
  std::string SaveText(std::uint32_t block) const {
    return "the save at block " + std::to_string(block) + " (" +
           platform::ShiftJisToUtf8(Name(block)) + ")";
  }

 private:
  ByteSpan card_;
};

using Findings = std::vector<CardFinding>;

// Where the card starts in a file of this format, as the reader takes it.
std::size_t CardStart(ByteSpan file, int cardIndex) {
  if (cardIndex == static_cast<int>(ImageFormat::Mem)) return kMemHeaderBytes;
  if (cardIndex == static_cast<int>(ImageFormat::Gme) &&
      file.size() >= kGmeHeaderBytes + kCardSize) {
    bool signed_ = std::equal(kGmeSignature.begin(), kGmeSignature.end(), file.begin());
    if (file.size() == kGmeHeaderBytes + kCardSize || signed_) return kGmeHeaderBytes;
  }
  return 0;
}

void CheckFrames(const PS1Card& card, Findings& found) {
  ByteSpan header = card.Frame(0);
  if (platform::GetU32LE(header.data()) != PackMagic("MC"))
    found.push_back({CardFault::HeaderMagic, "frame 0 does not begin with \"MC\" 00 00"});
  for (std::uint32_t f = 0; f < kChecksummedFrames; ++f) {
    ByteSpan frame = card.Frame(f);
    std::uint8_t sum = FrameChecksum(frame);
    if (sum == frame[kFrameSize - 1]) continue;
    std::string what = f == 0 ? "the header frame"
                       : f < kBrokenSectorListFirst
                           ? "directory frame " + std::to_string(f)
                           : "broken-sector list frame " + std::to_string(f);
    found.push_back({CardFault::FrameChecksum, what + ": checksum " + Hex(frame[kFrameSize - 1]) +
                                                   ", its bytes give " + Hex(sum)});
  }
  for (std::uint32_t b = 1; b <= kCardBlocks; ++b) {
    std::uint32_t state = card.State(b);
    bool known = (state >= kStateFirst && state <= kStateLast) ||
                 (state >= kStateFree && state <= kStateDeletedLast);
    if (!known)
      found.push_back({CardFault::UnknownState,
                       "block " + std::to_string(b) + ": unknown state " + Hex(state)});
  }
}

// Follows the chain of the save whose first block is `first`, marking the
// blocks it takes in `owner`. True when it ends properly.
bool WalkChain(const PS1Card& card, std::uint32_t first, std::array<std::uint32_t, 16>& owner,
               std::uint32_t& length, Findings& found) {
  owner[first] = first;
  length = 1;
  auto broken = [&](CardFault fault, const std::string& text) {
    found.push_back({fault, card.SaveText(first) + ": " + text});
    return false;
  };
  for (std::uint32_t b = first;;) {
    std::string at = "block " + std::to_string(b);
    std::uint16_t link = card.Link(b);
    if (link == kLinkEnd) {
      if (card.State(b) != kStateMiddle) return true;
      return broken(CardFault::BrokenLink, "its chain ends at " + at + ", a middle block (0x52)");
    }
    if (card.State(b) == kStateLast)
      return broken(CardFault::BrokenLink, at + " is a last block (0x53) but links on");
    if (link >= kCardBlocks)
      return broken(CardFault::BrokenLink,
                    at + " links to index " + std::to_string(link) + ", outside the card");
    std::uint32_t next = link + 1u;
    std::string to = "block " + std::to_string(next);
    if (owner[next] == first)
      return broken(CardFault::LoopingChain, "its chain loops from " + at + " back to " + to);
    if (owner[next] != 0)
      return broken(CardFault::SharedBlock,
                    "its chain runs into " + to + " of " + card.SaveText(owner[next]));
    std::uint32_t state = card.State(next);
    if (state != kStateMiddle && state != kStateLast)
      return broken(CardFault::BrokenLink, at + " links to " + to + ", whose state " + Hex(state) +
                                               " is not a middle or last block");
    owner[next] = first;
    ++length;
    b = next;
  }
}

void CheckChains(const PS1Card& card, Findings& found) {
  std::array<std::uint32_t, 16> owner{};
  for (std::uint32_t b = 1; b <= kCardBlocks; ++b) {
    if (card.State(b) != kStateFirst) continue;
    std::uint32_t length = 0;
    if (!WalkChain(card, b, owner, length, found)) continue;
    std::uint64_t chainBytes = std::uint64_t{length} * kBlockSize;
    if (card.Size(b) != chainBytes)
      found.push_back({CardFault::SizeMismatch,
                       card.SaveText(b) + ": its size is " + std::to_string(card.Size(b)) +
                           " bytes but its chain has " + std::to_string(length) + " blocks (" +
                           std::to_string(chainBytes) + " bytes)"});
  }
  for (std::uint32_t b = 1; b <= kCardBlocks; ++b) {
    std::uint32_t state = card.State(b);
    if ((state == kStateMiddle || state == kStateLast) && owner[b] == 0)
      found.push_back({CardFault::OrphanBlock, "block " + std::to_string(b) + " is in use (" +
                                                   Hex(state) +
                                                   ") but no save's chain reaches it"});
  }
}

void CheckNamesAndCapacity(const PS1Card& card, Findings& found) {
  std::uint64_t blocks = 0;
  for (std::uint32_t b = 1; b <= kCardBlocks; ++b) {
    if (card.State(b) != kStateFirst) continue;
    blocks += RoundUp(card.Size(b), kBlockSize) / kBlockSize;
    for (std::uint32_t other = 1; other < b; ++other) {
      if (card.State(other) == kStateFirst && NamesEqual(card.Name(other), card.Name(b)))
        found.push_back(
            {CardFault::DuplicateName, "blocks " + std::to_string(other) + " and " +
                                           std::to_string(b) + " both hold a save named \"" +
                                           platform::ShiftJisToUtf8(card.Name(b)) + "\""});
    }
  }
  if (blocks > kCardBlocks)
    found.push_back({CardFault::OverCapacity, "the saves' sizes add up to " +
                                                  std::to_string(blocks) +
                                                  " blocks, more than the card's 15"});
}

}  // namespace

std::vector<CardFinding> CheckPS1CardImage(std::span<const std::uint8_t> file, int cardIndex) {
  Findings found;
  std::size_t start = CardStart(file, cardIndex);
  std::size_t expected = start + kCardSize;
  // A DexDrive file cut short still shows its header by its signature.
  if (cardIndex == static_cast<int>(ImageFormat::Gme) && start == 0 &&
      file.size() >= kGmeSignature.size() &&
      std::equal(kGmeSignature.begin(), kGmeSignature.end(), file.begin()))
    expected = kGmeHeaderBytes + kCardSize;
  if (file.size() < expected) {
    found.push_back({CardFault::FileSize, "the file holds " + std::to_string(file.size()) +
                                              " bytes; a card of this format needs " +
                                              std::to_string(expected)});
    return found;
  }
  if (file.size() > expected)
    found.push_back({CardFault::FileSize,
                     std::to_string(file.size() - expected) + " bytes follow the end of the card"});
  PS1Card card(file.subspan(start, kCardSize));
  CheckFrames(card, found);
  CheckChains(card, found);
  CheckNamesAndCapacity(card, found);
  return found;
}

std::vector<CardFinding> CheckCardImage(std::span<const std::uint8_t> file, int cardIndex) {
  if (cardIndex == static_cast<int>(ImageFormat::Xmc)) return CheckExpandedCardImage(file);
  return CheckPS1CardImage(file, cardIndex);
}

}  // namespace slk
