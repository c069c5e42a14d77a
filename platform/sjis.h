#pragma once
// Shift-JIS (Windows code page 932) text, as save titles and names are stored
// on the cards and as the program's own texts are kept in its resources.
// Every conversion here is lenient: a byte sequence that cannot be converted
// becomes a replacement character and the conversion goes on; it never fails
// and never reads past its input. A NUL byte (or U+0000) ends the text.

#include <iconv.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace slk::platform {

// Replacement for undecodable Shift-JIS sequences: U+FFFD in UTF-8 output,
// '?' in code points meant for drawing (fonts rarely carry U+FFFD).
std::string ShiftJisToUtf8(std::span<const std::uint8_t> sjis);
// Characters without a Shift-JIS form, and invalid UTF-8, become '?'.
std::string Utf8ToShiftJis(std::string_view utf8);

// Decodes Shift-JIS into code points for drawing; invalid sequences become
// '?'. Keeps its converter open between calls, so it is cheap to call per
// frame; not safe for use by two threads at once.
class ShiftJisDecoder {
 public:
  ShiftJisDecoder();
  ShiftJisDecoder(const ShiftJisDecoder&) = delete;
  ShiftJisDecoder& operator=(const ShiftJisDecoder&) = delete;
  ~ShiftJisDecoder();

  std::u32string Decode(std::span<const std::uint8_t> sjis);

 private:
  iconv_t handle_;  // (iconv_t)-1 when the system has no CP932 converter
};

}  // namespace slk::platform
