#pragma once
// The compression and cipher the PS2 save devices use and no Debian library
// provides: Okumura's LZARI (Action Replay Max) and RC4 keyed directly by a
// permutation (CodeBreaker).

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace slk::formats {

// Decodes exactly `outSize` bytes. Refuses (nullopt) a stream that runs out:
// one needing more than the few padding bits past its end that the encoder
// leaves to the decoder's look-ahead.
std::optional<std::vector<std::uint8_t>> LzariDecode(std::span<const std::uint8_t> in,
                                                     std::size_t outSize);
std::vector<std::uint8_t> LzariEncode(std::span<const std::uint8_t> in);

// RC4 whose state starts as `permutation` (no key schedule); encrypting and
// decrypting are the same.
void Rc4Crypt(const std::uint8_t (&permutation)[256], std::span<std::uint8_t> data);

}  // namespace slk::formats
