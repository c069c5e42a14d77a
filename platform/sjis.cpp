#include "platform/sjis.h"

#include <array>
#include <cerrno>
#include <cstddef>

#include "platform/bytes.h"

namespace slk::platform {
namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(::iconv_open(to, from)) {}
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  ~Converter() {
    if (handle_ != kNoConverter) ::iconv_close(handle_);
  }
  iconv_t Handle() const { return handle_; }

 private:
  iconv_t handle_;
};

using SkipFunction = std::size_t (*)(std::string_view rest);

// How many bytes an undecodable Shift-JIS sequence takes: a lead byte with a
// byte after it that could be a trail byte counts as one character, so that
// an unassigned pair gives one replacement, not two.
std::size_t ShiftJisSkip(std::string_view rest) {
  auto b = static_cast<std::uint8_t>(rest[0]);
  bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
  if (lead && rest.size() >= 2) {
    auto t = static_cast<std::uint8_t>(rest[1]);
    if (t >= 0x40 && t <= 0xFC && t != 0x7F) return 2;
  }
  return 1;
}

// A well-formed UTF-8 sequence that has no Shift-JIS form is skipped whole;
// a malformed one byte by byte.
std::size_t Utf8Skip(std::string_view rest) {
  auto b = static_cast<std::uint8_t>(rest[0]);
  std::size_t n = b >= 0xC2 && b <= 0xDF   ? 2
                  : b >= 0xE0 && b <= 0xEF ? 3
                  : b >= 0xF0 && b <= 0xF4 ? 4
                                           : 1;
  if (n > rest.size()) return 1;
  for (std::size_t i = 1; i < n; ++i) {
    if ((static_cast<std::uint8_t>(rest[i]) & 0xC0) != 0x80) return 1;
  }
  return n;
}

// Without a converter only ASCII survives.
std::string AsciiOnly(std::string_view in, std::string_view replacement) {
  std::string out;
  for (char c : in) {
    if (static_cast<std::uint8_t>(c) < 0x80) {
      out += c;
    } else {
      out += replacement;
    }
  }
  return out;
}

std::string Convert(iconv_t handle, std::string_view text, std::string_view replacement,
                    SkipFunction skip) {
  std::string in(text.substr(0, text.find('\0')));
  if (handle == kNoConverter) return AsciiOnly(in, replacement);
  ::iconv(handle, nullptr, nullptr, nullptr, nullptr);
  std::string out;
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  char buffer[512];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    std::size_t result = ::iconv(handle, &inPtr, &inLeft, &outPtr, &outLeft);
    int error = errno;
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (result != static_cast<std::size_t>(-1) || error == E2BIG) continue;
    // EILSEQ (cannot convert) or EINVAL (cut off at the end): replace and go on.
    out += replacement;
    std::size_t n = error == EINVAL ? inLeft : skip(std::string_view(inPtr, inLeft));
    inPtr += n;
    inLeft -= n;
    ::iconv(handle, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

std::string AsChars(std::span<const std::uint8_t> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

// One converter per thread for all conversions: opening one cost more than
// converting a name, and listing a card converts two texts of every save.
// Convert sets its state back before every text.
std::string ShiftJisToUtf8(std::span<const std::uint8_t> sjis) {
  thread_local Converter converter("UTF-8", "CP932");
  return Convert(converter.Handle(), AsChars(sjis), "\xEF\xBF\xBD", ShiftJisSkip);
}

std::string Utf8ToShiftJis(std::string_view utf8) {
  thread_local Converter converter("CP932", "UTF-8");
  return Convert(converter.Handle(), utf8, "?", Utf8Skip);
}

ShiftJisDecoder::ShiftJisDecoder() : handle_(::iconv_open("UTF-32LE", "CP932")) {}

ShiftJisDecoder::~ShiftJisDecoder() {
  if (handle_ != kNoConverter) ::iconv_close(handle_);
}

std::u32string ShiftJisDecoder::Decode(std::span<const std::uint8_t> sjis) {
  std::u32string codePoints;
  if (handle_ == kNoConverter) {
    for (std::uint8_t b : sjis) {
      if (b == 0) break;
      codePoints += b < 0x80 ? static_cast<char32_t>(b) : U'?';
    }
    return codePoints;
  }
  std::string utf32 = Convert(handle_, AsChars(sjis), std::string_view("?\0\0\0", 4), ShiftJisSkip);
  std::array<std::uint8_t, 4> unit{};
  for (std::size_t offset = 0; offset + 4 <= utf32.size(); offset += 4) {
    for (std::size_t i = 0; i < 4; ++i) unit[i] = static_cast<std::uint8_t>(utf32[offset + i]);
    codePoints += static_cast<char32_t>(GetU32LE(unit.data()));
  }
  return codePoints;
}

}  // namespace slk::platform
