#include "card/ps2/ps2_ecc.h"

#include <algorithm>
#include <bit>

namespace slk::ps2 {
namespace {

// Column parity bits of one byte: bits 0-2 the parities of the bits at even,
// at 0x33 and at low-nibble positions, bits 4-6 of their complements; bit 3
// is unused. The parity of a masked XOR is the XOR of the parities, so the
// chunk's column parity is that of the XOR of all its bytes.
constexpr std::uint8_t ColumnBits(std::uint8_t b) {
  constexpr std::uint8_t kMasks[7] = {0x55, 0x33, 0x0F, 0x00, 0xAA, 0xCC, 0xF0};
  std::uint8_t bits = 0;
  for (int i = 0; i < 7; ++i)
    bits |=
        static_cast<std::uint8_t>((std::popcount(static_cast<unsigned>(b & kMasks[i])) & 1) << i);
  return bits;
}

constexpr std::array<std::uint8_t, 256> MakeColumnTable() {
  std::array<std::uint8_t, 256> t{};
  for (int b = 0; b < 256; ++b) t[b] = ColumnBits(static_cast<std::uint8_t>(b));
  return t;
}

constexpr std::array<std::uint8_t, 256> MakeParityTable() {
  std::array<std::uint8_t, 256> t{};
  for (int b = 0; b < 256; ++b)
    t[b] = static_cast<std::uint8_t>(std::popcount(static_cast<unsigned>(b)) & 1);
  return t;
}

constexpr std::array<std::uint8_t, 256> kColumnBits = MakeColumnTable();
constexpr std::array<std::uint8_t, 256> kParity = MakeParityTable();

// The codes start from these values, so a chunk of zeros has 77 7F 7F.
constexpr std::uint8_t kColumnStart = 0x77;
constexpr std::uint8_t kLineStart = 0x7F;
constexpr std::uint8_t kColumnUsed = 0x77;
constexpr std::uint8_t kLineUsed = 0x7F;

}  // namespace

EccCode ComputeEcc(std::span<const std::uint8_t, kEccChunk> chunk) {
  // Most of a card is zeros (formatted) or 0xFF (erased); both have even
  // parity in every byte and share one code.
  if (std::all_of(chunk.begin(), chunk.end(), [](std::uint8_t b) { return b == 0; }) ||
      std::all_of(chunk.begin(), chunk.end(), [](std::uint8_t b) { return b == 0xFF; }))
    return {kColumnStart, kLineStart, kLineStart};
  std::uint8_t all = 0;
  std::uint8_t lineOdd = 0;  // XOR of the indices of bytes with odd parity
  std::uint8_t oddCount = 0;
  for (std::size_t i = 0; i < kEccChunk; ++i) {
    std::uint8_t b = chunk[i];
    std::uint8_t odd = kParity[b];
    all ^= b;
    lineOdd ^= static_cast<std::uint8_t>(i & (0u - odd));
    oddCount ^= odd;
  }
  // Line parity 0 XORs the complement of each index, line parity 1 the index.
  std::uint8_t line0 = kLineStart ^ lineOdd ^ (oddCount ? kLineUsed : 0);
  std::uint8_t line1 = kLineStart ^ lineOdd;
  return {static_cast<std::uint8_t>(kColumnStart ^ kColumnBits[all]),
          static_cast<std::uint8_t>(line0 & kLineUsed), line1};
}

EccResult CheckEcc(std::span<std::uint8_t, kEccChunk> chunk, EccCode& code) {
  EccCode computed = ComputeEcc(chunk);
  if (computed == code) return EccResult::Ok;
  std::uint8_t columnDiff = (computed[0] ^ code[0]) & kColumnUsed;
  std::uint8_t line0Diff = (computed[1] ^ code[1]) & kLineUsed;
  std::uint8_t line1Diff = (computed[2] ^ code[2]) & kLineUsed;
  std::uint8_t lineCheck = line0Diff ^ line1Diff;
  std::uint8_t columnCheck = (columnDiff >> 4) ^ (columnDiff & 0x07);
  // A flipped data bit flips every parity pair exactly once: line parity 1
  // then names its byte and the high column bits its bit.
  if (lineCheck == kLineUsed && columnCheck == 0x07) {
    chunk[line1Diff] ^= static_cast<std::uint8_t>(1u << (columnDiff >> 4));
    return EccResult::Corrected;
  }
  // One flipped bit in the code itself, or only unused bits differ.
  int codeBits = std::popcount(static_cast<unsigned>(lineCheck)) +
                 std::popcount(static_cast<unsigned>(columnCheck));
  if ((columnDiff == 0 && line0Diff == 0 && line1Diff == 0) || codeBits == 1) {
    code = computed;
    return EccResult::Corrected;
  }
  return EccResult::Uncorrectable;
}

void ComputePageEcc(std::span<const std::uint8_t, 512> page, std::span<std::uint8_t, 12> codes) {
  for (std::size_t q = 0; q < kEccChunksPerPage; ++q) {
    EccCode c = ComputeEcc(page.subspan(q * kEccChunk).first<kEccChunk>());
    for (std::size_t k = 0; k < kEccCodeSize; ++k) codes[q * kEccCodeSize + k] = c[k];
  }
}

EccResult CheckPageEcc(std::span<std::uint8_t, 512> page, std::span<std::uint8_t, 12> codes) {
  EccResult worst = EccResult::Ok;
  for (std::size_t q = 0; q < kEccChunksPerPage; ++q) {
    EccCode c{codes[q * 3], codes[q * 3 + 1], codes[q * 3 + 2]};
    EccResult r = CheckEcc(page.subspan(q * kEccChunk).first<kEccChunk>(), c);
    for (std::size_t k = 0; k < kEccCodeSize; ++k) codes[q * kEccCodeSize + k] = c[k];
    if (r == EccResult::Uncorrectable || (r == EccResult::Corrected && worst == EccResult::Ok))
      worst = r;
  }
  return worst;
}

}  // namespace slk::ps2
