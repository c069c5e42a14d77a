#include "sample_text.h"

#include <iconv.h>

namespace slk::tools {

TimeStamp At(int year, int month, int day, int hour, int minute, int second) {
  TimeStamp t;
  t.bytes = {0,
             static_cast<std::uint8_t>(second),
             static_cast<std::uint8_t>(minute),
             static_cast<std::uint8_t>(hour),
             static_cast<std::uint8_t>(day),
             static_cast<std::uint8_t>(month),
             static_cast<std::uint8_t>(year & 0xFF),
             static_cast<std::uint8_t>(year >> 8)};
  return t;
}

std::string ToShiftJis(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  std::string out(utf8.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace slk::tools
