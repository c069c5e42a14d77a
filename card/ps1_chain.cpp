#include "card/ps1_chain.h"

#include <algorithm>

#include "card/utility.h"
#include "platform/bytes.h"

namespace slk {
namespace {

std::uint32_t FrameWord(std::span<const std::uint8_t> card, std::uint32_t block,
                        std::size_t field) {
  return platform::ReadU32LE(card, block * kFrameSize + field).value_or(0);
}

std::uint16_t LinkOf(std::span<const std::uint8_t> card, std::uint32_t block) {
  return platform::ReadU16LE(card, block * kFrameSize + PS1Frame::kLink)
      .value_or(PS1Frame::kLinkEnd);
}

}  // namespace

std::uint32_t ChainWalk::Kept() const {
  return std::min<std::uint32_t>(static_cast<std::uint32_t>(blocks.size()), wanted);
}

ChainWalk WalkChain(std::span<const std::uint8_t> card, std::uint32_t first, BlockOwners& owner) {
  ChainWalk walk;
  std::uint32_t size = FrameWord(card, first, PS1Frame::kSize);
  // A size of 0 or beyond the card still has its first block.
  walk.wanted = static_cast<std::uint32_t>(
      std::clamp<std::uint64_t>(RoundUp(size, kBlockSize) / kBlockSize, 1, kCardBlocks));
  walk.blocks.push_back(first);
  owner[first] = first;
  auto end = [&](ChainEnd how, std::uint32_t from, std::uint32_t link) {
    walk.end = how;
    walk.from = from;
    walk.link = link;
    return walk;
  };
  for (std::uint32_t block = first;;) {
    std::uint32_t state = FrameWord(card, block, PS1Frame::kState);
    std::uint16_t link = LinkOf(card, block);
    if (link == PS1Frame::kLinkEnd)
      return end(state == PS1Frame::kStateMiddle ? ChainEnd::EndsOnMiddle : ChainEnd::Whole, block,
                 link);
    if (state == PS1Frame::kStateLast) return end(ChainEnd::LastLinksOn, block, link);
    if (link >= kCardBlocks) return end(ChainEnd::LeavesCard, block, link);
    std::uint32_t next = link + 1u;
    if (owner[next] == first) return end(ChainEnd::Loops, block, next);
    if (owner[next] != 0) return end(ChainEnd::RunsIntoOther, block, next);
    std::uint32_t nextState = FrameWord(card, next, PS1Frame::kState);
    if (nextState != PS1Frame::kStateMiddle && nextState != PS1Frame::kStateLast)
      return end(ChainEnd::NotInUse, block, next);
    owner[next] = first;
    walk.blocks.push_back(next);
    block = next;
  }
}

platform::Problem ShortenedSaveProblem(std::string path, std::string saveName, std::uint32_t kept,
                                       std::uint32_t wanted) {
  platform::Problem problem;
  problem.reason = platform::Reason::BrokenChain;
  problem.path = std::move(path);
  problem.field = std::move(saveName);
  problem.have = kept;
  problem.need = wanted;
  return problem;
}

}  // namespace slk
