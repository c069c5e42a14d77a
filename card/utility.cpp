#include "card/utility.h"

#include <algorithm>
#include <ctime>

#include "card/ps1_layout.h"

namespace slk {
namespace {

constexpr std::size_t kNameLimit = 64;

bool IsShiftJisLeadByte(std::uint8_t b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

std::uint8_t LowerAscii(std::uint8_t b) {
  return (b >= 'A' && b <= 'Z') ? static_cast<std::uint8_t>(b + ('a' - 'A')) : b;
}

}  // namespace

std::size_t BoundedLength(Bytes s) {
  std::size_t limit = std::min(s.size(), kNameLimit);
  std::size_t n = 0;
  while (n < limit && s[n] != 0) ++n;
  return n;
}

bool NamesEqual(Bytes a, Bytes b) {
  std::size_t n = BoundedLength(a);
  if (n != BoundedLength(b)) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (IsShiftJisLeadByte(a[i]) && i + 1 < n) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::uint8_t FrameChecksum(Bytes frame) {
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < 127 && i < frame.size(); ++i) sum ^= frame[i];
  return sum;
}

std::uint32_t PackMagic(std::string_view text) {
  if (text.size() > 4) return 0;
  std::uint32_t magic = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
    magic |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[i])) << (8 * i);
  return magic;
}

std::uint64_t RoundUp(std::uint64_t n, std::uint64_t a) {
  return a == 0 ? n : (n + a - 1) / a * a;
}

std::tm LocalTimeNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

TimeStamp MakeTimeStamp(const std::tm& local) {
  TimeStamp t;
  t.bytes[0] = 0;
  t.bytes[1] = static_cast<std::uint8_t>(local.tm_sec > 59 ? 59 : local.tm_sec);
  t.bytes[2] = static_cast<std::uint8_t>(local.tm_min);
  t.bytes[3] = static_cast<std::uint8_t>(local.tm_hour);
  t.bytes[4] = static_cast<std::uint8_t>(local.tm_mday);
  t.bytes[5] = static_cast<std::uint8_t>(local.tm_mon + 1);
  auto year = static_cast<std::uint16_t>(local.tm_year + 1900);
  t.bytes[6] = static_cast<std::uint8_t>(year);
  t.bytes[7] = static_cast<std::uint8_t>(year >> 8);
  return t;
}

Name64 CardFileName(Bytes source) {
  Name64 name{};
  std::size_t limit = std::min(source.size(), PS1Frame::kNameChars);
  for (std::size_t i = 0; i < limit && source[i] != 0; ++i) name[i] = source[i];
  return name;
}

}  // namespace slk
