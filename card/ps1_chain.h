#pragma once
// Following a save's blocks through the link chain of a PS1 card's
// directory. The card reader keeps what the walk finds; `check` reports how
// it ended. One walk, so that `check` and the reader agree on where every
// chain ends.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "card/ps1_layout.h"
#include "platform/problem.h"

namespace slk {

// How a chain ended.
enum class ChainEnd {
  Whole,          // an end link on a first or last block
  EndsOnMiddle,   // an end link on a middle block
  LastLinksOn,    // a last block whose link is not the end link
  LeavesCard,     // a link to an index outside the card's 15 blocks
  Loops,          // a link back to one of the save's own blocks
  RunsIntoOther,  // a link into a block another save's chain took
  NotInUse,       // a link to a block that is neither a middle nor a last block
};

// owner[b]: the first block of the save whose chain took block b (1-15), or
// 0 while no chain has.
using BlockOwners = std::array<std::uint32_t, kCardBlocks + 1>;

struct ChainWalk {
  std::vector<std::uint32_t> blocks;  // 1-15, the first block first, in chain order
  ChainEnd end = ChainEnd::Whole;
  std::uint32_t from = 0;    // the block whose link ended the chain
  std::uint32_t link = 0;    // its link: an index for LeavesCard, else the block reached
  std::uint32_t wanted = 0;  // blocks the size field asks for, 1-15

  // The blocks a reader keeps: the chain, cut at the size's block count.
  std::uint32_t Kept() const;
  // True when the reader keeps fewer blocks than the size asks for.
  bool Shortened() const { return Kept() < wanted; }
};

// Walks the chain of the save whose first block is `first` (1-15) over the
// 131,072 card bytes, marking the blocks it takes in `owner`. Saves are
// walked in block order, so an earlier save keeps a block two chains share.
ChainWalk WalkChain(std::span<const std::uint8_t> card, std::uint32_t first, BlockOwners& owner);

// What the second line of a message says about a shortened save: its name
// and the blocks kept of those its size asks for. `path` names the file.
platform::Problem ShortenedSaveProblem(std::string path, std::string saveName, std::uint32_t kept,
                                       std::uint32_t wanted);

}  // namespace slk
