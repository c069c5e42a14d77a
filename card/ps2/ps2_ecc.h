#pragma once
// The Hamming code a PS2 memory card keeps in the spare bytes after each
// 512-byte page: 3 bytes for each 128-byte quarter (12 of the 16 spare
// bytes). It corrects one flipped bit in a quarter and detects most others.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace slk::ps2 {

constexpr std::size_t kEccChunk = 128;   // bytes one code covers
constexpr std::size_t kEccCodeSize = 3;  // column parity, line parity 0, line parity 1
constexpr std::size_t kEccChunksPerPage = 4;

using EccCode = std::array<std::uint8_t, kEccCodeSize>;

enum class EccResult {
  Ok,             // data and code agree
  Corrected,      // one bit of the data, or of the code itself, was wrong and is fixed
  Uncorrectable,  // more than one bit differs; the data is left as it was
};

// The code of one 128-byte chunk.
EccCode ComputeEcc(std::span<const std::uint8_t, kEccChunk> chunk);

// Checks `chunk` against `code` and repairs a single-bit error in either.
EccResult CheckEcc(std::span<std::uint8_t, kEccChunk> chunk, EccCode& code);

// The 12 code bytes of a 512-byte page, quarter by quarter.
void ComputePageEcc(std::span<const std::uint8_t, 512> page, std::span<std::uint8_t, 12> codes);

// The ways ComputePageEcc can work, slowest first; it takes the best the
// processor has. ComputePageEccWith uses the one named, false when the
// processor lacks it (for the tests, which hold each to ComputeEcc).
enum class PageEccCode { Chunks, Avx2, Gfni };
bool ComputePageEccWith(PageEccCode code, std::span<const std::uint8_t, 512> page,
                        std::span<std::uint8_t, 12> codes);

// Whether each whole page with spare bytes in `raw` (512 data bytes, then 16
// spare bytes whose first 12 are the codes) holds the codes of its data:
// matches[i] for page i, as far as `matches` goes. Opening a card compares
// its 16,384 pages so; one call for many pages keeps the vector code inlined.
void MatchPageCodes(std::span<const std::uint8_t> raw, std::span<bool> matches);

// Checks and repairs a page in place; the worst result of its four quarters.
EccResult CheckPageEcc(std::span<std::uint8_t, 512> page, std::span<std::uint8_t, 12> codes);

}  // namespace slk::ps2
