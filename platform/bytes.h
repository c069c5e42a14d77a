#pragma once
// Little-endian reads and writes over byte spans. Reads are bounds-checked:
// a read that would leave the span yields std::nullopt, never a stray byte.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

namespace slk::platform {

using ByteSpan = std::span<const std::uint8_t>;
using MutableByteSpan = std::span<std::uint8_t>;

inline bool InBounds(ByteSpan data, std::size_t offset, std::size_t width) {
  return offset <= data.size() && width <= data.size() - offset;
}

inline std::optional<std::uint8_t> ReadU8(ByteSpan data, std::size_t offset) {
  if (!InBounds(data, offset, 1)) return std::nullopt;
  return data[offset];
}

inline std::optional<std::uint16_t> ReadU16LE(ByteSpan data, std::size_t offset) {
  if (!InBounds(data, offset, 2)) return std::nullopt;
  return static_cast<std::uint16_t>(data[offset] | (data[offset + 1] << 8));
}

inline std::optional<std::int16_t> ReadS16LE(ByteSpan data, std::size_t offset) {
  auto v = ReadU16LE(data, offset);
  if (!v) return std::nullopt;
  return static_cast<std::int16_t>(*v);
}

inline std::optional<std::uint32_t> ReadU32LE(ByteSpan data, std::size_t offset) {
  if (!InBounds(data, offset, 4)) return std::nullopt;
  return static_cast<std::uint32_t>(data[offset]) |
         (static_cast<std::uint32_t>(data[offset + 1]) << 8) |
         (static_cast<std::uint32_t>(data[offset + 2]) << 16) |
         (static_cast<std::uint32_t>(data[offset + 3]) << 24);
}

// Unchecked forms for fixed-size records whose size the caller has already
// established (a 128-byte frame read whole, for instance).
inline std::uint16_t GetU16LE(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t GetU32LE(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void PutU16LE(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU32LE(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

// Copies text into a fixed byte field, NUL-padding the rest.
template <std::size_t N>
void PutText(std::array<std::uint8_t, N>& field, std::string_view text) {
  field.fill(0);
  std::memcpy(field.data(), text.data(), text.size() < N ? text.size() : N);
}

}  // namespace slk::platform
