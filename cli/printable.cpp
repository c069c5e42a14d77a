#include "cli/printable.h"

namespace slk {

std::string Printable(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte < 0x20 || byte == 0x7F) {
      out += '?';
    } else if (byte == 0xC2 && i + 1 < utf8.size() &&
               static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
      // C1 controls: the two-byte forms of U+0080-U+009F, among them CSI.
      out += '?';
      ++i;
    } else {
      out += utf8[i];
    }
  }
  return out;
}

}  // namespace slk
