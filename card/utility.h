#pragma once
// Small helpers every reader and writer of card images uses.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>
#include <string_view>

#include "card/save_entry.h"

namespace slk {

using Bytes = std::span<const std::uint8_t>;

inline Bytes AsBytes(std::string_view text) {
  return Bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// Bytes before the first NUL, stopping at 64.
std::size_t BoundedLength(Bytes s);

// Equal lengths and equal bytes ignoring the case of A-Z. The second byte of a
// Shift-JIS double-byte character is compared as it stands, so two different
// Japanese names never compare equal.
bool NamesEqual(Bytes a, Bytes b);

// XOR of bytes 0-126 of a 128-byte frame.
std::uint8_t FrameChecksum(Bytes frame);

// Up to four characters packed little-endian, so that "MC" equals the first
// word of a file beginning 4D 43 00 00. Longer texts give 0.
std::uint32_t PackMagic(std::string_view text);

// ceil(n / a) * a, in 64 bits so that it cannot wrap.
std::uint64_t RoundUp(std::uint64_t n, std::uint64_t a);

// The clock's reading in local calendar time.
std::tm LocalTimeNow();
// A time stamp of a local calendar time (a leap second counts as 59).
TimeStamp MakeTimeStamp(const std::tm& local);

// A name copied from a PS1 directory frame's name field: at most its first 20
// bytes, up to a NUL (other tools put title bytes right after the name).
Name64 CardFileName(Bytes source);

}  // namespace slk
