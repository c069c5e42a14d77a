#include "card/image_formats.h"

#include <algorithm>

#include "card/utility.h"

namespace slk {
namespace {

// The card images come first and each enum names its rows in table order,
// so that RowOf is a lookup.
constexpr bool RowsInEnumOrder() {
  int next = 0;
  FileKind kind = FileKind::CardImage;
  for (const FormatRow& row : kFormats) {
    if (row.kind != kind) {
      if (row.kind != FileKind::SaveDataImage) return false;
      kind = row.kind;
      next = 0;
    }
    int value =
        kind == FileKind::CardImage ? static_cast<int>(row.card) : static_cast<int>(row.save);
    if (value != next++) return false;
  }
  return true;
}
static_assert(RowsInEnumOrder());

constexpr std::size_t CountOf(FileKind kind) {
  return static_cast<std::size_t>(std::count_if(
      kFormats.begin(), kFormats.end(), [kind](const FormatRow& r) { return r.kind == kind; }));
}
constexpr std::size_t kCardRows = CountOf(FileKind::CardImage);

// Lock values count from 0 without gaps, in each list.
template <LockList list>
constexpr auto LockRows() {
  constexpr auto value = [](const FormatRow& r) {
    return list == LockList::PS1 ? r.lockPS1 : r.lockPS2;
  };
  constexpr std::size_t n = static_cast<std::size_t>(std::count_if(
      kFormats.begin(), kFormats.end(), [&](const FormatRow& r) { return value(r) >= 0; }));
  std::array<const FormatRow*, n> rows{};
  for (const FormatRow& row : kFormats)
    if (value(row) >= 0) rows[static_cast<std::size_t>(value(row))] = &row;
  return rows;
}
constexpr auto kPS1Locks = LockRows<LockList::PS1>();
constexpr auto kPS2Locks = LockRows<LockList::PS2>();
static_assert(kPS1Locks.size() == 14 && kPS2Locks.size() == 3);

// The text after the last '.' of the file name; nothing when it has none.
std::optional<std::string_view> ExtensionPart(std::string_view path) {
  auto slash = path.find_last_of('/');
  if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
  auto dot = path.find_last_of('.');
  if (dot == std::string_view::npos) return std::nullopt;
  return path.substr(dot + 1);
}

bool SameText(std::string_view a, std::string_view b) {
  // Compare whole texts: NamesEqual stops at 64 bytes, a path part may not.
  return a.size() == b.size() && (a.empty() || NamesEqual(AsBytes(a), AsBytes(b)));
}

bool ListsExtension(const FormatRow& row, std::optional<std::string_view> extension) {
  for (std::string_view ext : row.extensions) {
    if (ext == kNoExtension ? !extension : !ext.empty() && extension && SameText(*extension, ext))
      return true;
  }
  return false;
}

}  // namespace

const FormatRow& RowOf(CardFormat format) {
  return kFormats[static_cast<std::size_t>(format)];
}

const FormatRow& RowOf(SaveFormat format) {
  return kFormats[kCardRows + static_cast<std::size_t>(format)];
}

const FormatRow* FormatOfPath(std::string_view path, FileKind kind) {
  std::optional<std::string_view> extension = ExtensionPart(path);
  for (const FormatRow& row : kFormats)
    if (row.kind == kind && ListsExtension(row, extension)) return &row;
  return nullptr;
}

std::optional<CardFormat> CardFormatOf(std::string_view path) {
  const FormatRow* row = FormatOfPath(path, FileKind::CardImage);
  return row ? std::optional(row->card) : std::nullopt;
}

std::optional<SaveFormat> SaveFormatOf(std::string_view path) {
  const FormatRow* row = FormatOfPath(path, FileKind::SaveDataImage);
  return row ? std::optional(row->save) : std::nullopt;
}

std::string_view ExtensionOf(const FormatRow& row) {
  return row.extensions.front();
}

bool IsPS2CardPath(std::string_view path) {
  const FormatRow* row = FormatOfPath(path, FileKind::CardImage);
  return row && row->layout == FormatLayout::PS2Card;
}

bool IsCardImagePath(std::string_view path) {
  return FormatOfPath(path, FileKind::CardImage) != nullptr;
}

const FormatRow* LockFormat(LockList list, std::int32_t value) {
  std::span<const FormatRow* const> rows = LockFormats(list);
  if (value < 0 || static_cast<std::size_t>(value) >= rows.size()) return nullptr;
  return rows[static_cast<std::size_t>(value)];
}

std::span<const FormatRow* const> LockFormats(LockList list) {
  if (list == LockList::PS1) return kPS1Locks;
  return kPS2Locks;
}

std::string StripQuotes(std::string_view path) {
  if (path.empty() || path.front() != '"') return std::string(path);
  if (path.size() < 2) return std::string();
  return std::string(path.substr(1, path.size() - 2));
}

bool FileNamePart(std::string_view path, std::string& target) {
  auto slash = path.find_last_of('/');
  if (slash == std::string_view::npos) return false;
  target = std::string(path.substr(slash + 1));
  return true;
}

}  // namespace slk
