#include "cli/text_table.h"

#include <algorithm>
#include <cstdint>
#include <ostream>

#include "cli/printable.h"

namespace slk {
namespace {

struct Range {
  char32_t first;
  char32_t last;
};

// The wide and full-width blocks that occur in save titles and names: CJK,
// kana, Hangul, full-width forms. Half-width katakana (U+FF61-U+FF9F) is narrow.
constexpr Range kWide[] = {
    {0x1100, 0x115F}, {0x2E80, 0x303E}, {0x3041, 0x33FF}, {0x3400, 0x4DBF},
    {0x4E00, 0x9FFF}, {0xA000, 0xA4CF}, {0xAC00, 0xD7A3}, {0xF900, 0xFAFF},
    {0xFE30, 0xFE4F}, {0xFF00, 0xFF60}, {0xFFE0, 0xFFE6}, {0x20000, 0x3FFFD},
};

bool IsWide(char32_t c) {
  return std::any_of(std::begin(kWide), std::end(kWide),
                     [c](const Range& r) { return c >= r.first && c <= r.last; });
}

// Decodes one character at `i` and advances past it; an invalid lead or
// truncated sequence advances by one byte and yields U+FFFD.
char32_t NextCodePoint(std::string_view s, std::size_t& i) {
  auto lead = static_cast<std::uint8_t>(s[i]);
  std::size_t length = lead < 0x80           ? 1
                       : (lead >> 5) == 0x6  ? 2
                       : (lead >> 4) == 0xE  ? 3
                       : (lead >> 3) == 0x1E ? 4
                                             : 0;
  if (length == 0 || i + length > s.size()) {
    ++i;
    return 0xFFFD;
  }
  char32_t c = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    auto byte = static_cast<std::uint8_t>(s[i + k]);
    if ((byte & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    c = (c << 6) | (byte & 0x3F);
  }
  i += length;
  return c;
}

}  // namespace

std::size_t DisplayWidth(std::string_view utf8) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < utf8.size();) width += IsWide(NextCodePoint(utf8, i)) ? 2 : 1;
  return width;
}

TextTable::TextTable(std::vector<std::string> headings, std::vector<Align> aligns)
    : aligns_(std::move(aligns)) {
  aligns_.resize(headings.size(), Align::Left);
  rows_.push_back(std::move(headings));
}

void TextTable::AddRow(std::vector<std::string> cells) {
  cells.resize(aligns_.size());
  for (std::string& cell : cells) cell = Printable(cell);
  rows_.push_back(std::move(cells));
}

void TextTable::Print(std::ostream& out) const {
  std::vector<std::size_t> widths(aligns_.size(), 0);
  for (const auto& row : rows_)
    for (std::size_t c = 0; c < row.size(); ++c)
      widths[c] = std::max(widths[c], DisplayWidth(row[c]));
  for (const auto& row : rows_) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      bool last = c + 1 == row.size();
      std::string pad(widths[c] - DisplayWidth(row[c]), ' ');
      if (aligns_[c] == Align::Right)
        line += pad + row[c];
      else
        line += row[c] + (last ? "" : pad);
      if (!last) line += "  ";
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << '\n';
  }
}

}  // namespace slk
