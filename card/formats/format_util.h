#pragma once
// Small helpers the format readers share: fixed-width name fields, stamps,
// and refusals that carry their reason.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "card/formats/save_formats.h"
#include "platform/bytes.h"

namespace slk::formats {

// A NUL-padded name field of `width` bytes at `offset` (checked by the caller).
inline std::string FixedName(ByteView data, std::size_t offset, std::size_t width) {
  const char* p = reinterpret_cast<const char*>(data.data() + offset);
  std::size_t n = 0;
  while (n < width && p[n] != '\0') ++n;
  return std::string(p, n);
}

inline void PutName(std::uint8_t* field, std::size_t width, std::string_view name) {
  std::memset(field, 0, width);
  std::memcpy(field, name.data(), name.size() < width ? name.size() : width);
}

inline TimeStamp StampAt(ByteView data, std::size_t offset) {
  TimeStamp t;
  std::memcpy(t.bytes.data(), data.data() + offset, 8);
  return t;
}

inline void PutStamp(std::uint8_t* p, const TimeStamp& t) {
  std::memcpy(p, t.bytes.data(), 8);
}

// Appends by resizing first: GCC 12 misreads insert() at the end of a vector
// of known size as a copy out of bounds.
inline void Append(Bytes& out, ByteView more) {
  std::size_t at = out.size();
  out.resize(at + more.size());
  if (!more.empty()) std::memcpy(out.data() + at, more.data(), more.size());
}

inline bool Refuse(platform::Problem& why, platform::Reason reason, std::string field = {},
                   std::uint64_t have = 0, std::uint64_t need = 0) {
  why.reason = reason;
  why.field = std::move(field);
  why.have = have;
  why.need = need;
  return false;
}

// Refuses unless [offset, offset + width) lies in the input.
inline bool Need(ByteView data, std::uint64_t offset, std::uint64_t width, platform::Problem& why) {
  if (offset <= data.size() && width <= data.size() - offset) return true;
  return Refuse(why, platform::Reason::TooShort, {}, data.size(), offset + width);
}

inline bool IsDirectoryMode(std::uint32_t mode) {
  return (mode & 0x0030) == 0x0020;
}
inline bool IsFileMode(std::uint32_t mode) {
  return (mode & 0x0030) == 0x0010;
}

// A file name a PS2 card can hold and a folder can take: no '/', not "."
// or "..", not empty.
inline bool UsableFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

}  // namespace slk::formats
