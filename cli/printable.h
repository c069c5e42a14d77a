#pragma once
// Text from card data made safe for a terminal. Save names and titles are
// the card's bytes: an escape sequence in one would clear the screen or set
// the window title when printed, a tab or line break would tear a table.

#include <string>
#include <string_view>

namespace slk {

// The UTF-8 text with every control character (U+0000-U+001F, U+007F and
// U+0080-U+009F) replaced by '?'. Everything else is kept as it is.
std::string Printable(std::string_view utf8);

}  // namespace slk
