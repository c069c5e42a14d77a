#pragma once
// Plain-text tables whose columns line up on a terminal even when cells hold
// full-width (double-cell) Japanese characters.

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace slk {

// Terminal cells the UTF-8 text takes: two for East Asian wide and
// full-width characters, one for everything else. Invalid bytes count one.
std::size_t DisplayWidth(std::string_view utf8);

class TextTable {
 public:
  enum class Align { Left, Right };

  explicit TextTable(std::vector<std::string> headings, std::vector<Align> aligns);
  // Control characters in the cells are shown as '?' (Printable).
  void AddRow(std::vector<std::string> cells);
  // Columns separated by two blanks; the last column is not padded.
  void Print(std::ostream& out) const;

 private:
  std::vector<std::vector<std::string>> rows_;  // headings first
  std::vector<Align> aligns_;
};

}  // namespace slk
