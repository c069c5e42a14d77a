#pragma once
// The signatures of the PS3 (.psv) and PSP/Vita (.vmp) exports: HMAC-SHA1
// over the whole file with the signature field zeroed, keyed by 20 bytes
// derived with AES-128 from a seed the file carries.

#include <array>
#include <cstdint>

#include "card/formats/save_formats.h"

namespace slk::formats {

enum class SignKind { Ps1, Ps2 };
using Signature = std::array<std::uint8_t, 20>;

// The signature `file` should carry, with the seed at `seedOffset` and the
// signature at `signatureOffset` (both 20 bytes, checked by the caller).
Signature ComputeSignature(ByteView file, std::size_t seedOffset, std::size_t signatureOffset,
                           SignKind kind);

// The seed this program writes into the files it signs.
inline constexpr std::array<std::uint8_t, 20> kSigningSeed = {'s', 'l', 'o', 't', 'k', 'e', 'e',
                                                              'p', 'e', 'r', '2', '.', 'p', 's',
                                                              'v', '.', 's', 'e', 'e', 'd'};

}  // namespace slk::formats
