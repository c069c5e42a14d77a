#include "shell/file_requests.h"

#include <string_view>

#include "card/image_formats.h"
#include "resources/strings.h"

namespace slk {

namespace {

FileKind KindOf(FileGroup group) {
  return group == FileGroup::CardImage ? FileKind::CardImage : FileKind::SaveDataImage;
}

// The row's own text, followed by its extensions when the text does not list
// them itself (the PS2 card images share one name).
std::string FilterName(int textId, const std::vector<std::string>& extensions) {
  std::string name(res::Text(textId));
  if (name.find("(*.") != std::string::npos) return name;
  std::string list;
  for (const std::string& ext : extensions) list += (list.empty() ? "*." : " *.") + ext;
  return name + " (" + list + ")";
}

std::vector<std::string> FilterExtensions(const FormatRow& row) {
  std::vector<std::string> extensions;
  for (std::string_view ext : row.extensions)
    if (!ext.empty() && ext != kNoExtension) extensions.emplace_back(ext);
  return extensions;
}

// One filter per row, in table order; with `merge`, rows that share a name
// (the PS2 card images) are one filter.
std::vector<FileFilter> FormatFilters(const std::vector<const FormatRow*>& rows, bool merge) {
  std::vector<FileFilter> filters;
  std::vector<int> texts;
  for (const FormatRow* row : rows) {
    std::vector<std::string> extensions = FilterExtensions(*row);
    if (merge && !texts.empty() && texts.back() == row->filterText) {
      for (std::string& ext : extensions) filters.back().extensions.push_back(std::move(ext));
      continue;
    }
    texts.push_back(row->filterText);
    filters.push_back({{}, std::move(extensions)});
  }
  for (std::size_t i = 0; i < filters.size(); ++i)
    filters[i].name = FilterName(texts[i], filters[i].extensions);
  return filters;
}

std::vector<const FormatRow*> RowsWhere(FileGroup group, bool (*keep)(const FormatRow&, CardKind),
                                        CardKind kind) {
  std::vector<const FormatRow*> rows;
  for (const FormatRow& row : kFormats)
    if (row.kind == KindOf(group) && keep(row, kind)) rows.push_back(&row);
  return rows;
}

bool Any(const FormatRow&, CardKind) {
  return true;
}

// A card of `kind` can be written as this card image: a PS1 card as any card
// image but a PS2 card image, the expanded card as .xmc alone.
bool WritesCard(const FormatRow& row, CardKind kind) {
  if (!row.writable) return false;
  if (row.layout == FormatLayout::ExpandedCard) return true;
  return kind == CardKind::PS1 && row.layout == FormatLayout::PS1Card;
}

// A save of `kind` (PS1 or PS2) can be written as this save data image.
bool WritesSave(const FormatRow& row, CardKind kind) {
  if (!row.writable) return false;
  if (row.carries == Carries::Any) return true;
  return row.carries == (kind == CardKind::PS1 ? Carries::PS1Only : Carries::PS2Only);
}

bool IsPS2Card(const FormatRow& row, CardKind) {
  return row.layout == FormatLayout::PS2Card;
}

std::string DefaultSuffix(FileGroup group) {
  return group == FileGroup::CardImage ? "xmc" : "psu";
}

}  // namespace

FileRequest OpenFileRequest(FileGroup group) {
  FileRequest request;
  request.filters = FormatFilters(RowsWhere(group, Any, CardKind::PS1), true);
  FileFilter all;
  all.name = std::string(res::Text(res::TextId::CardImageFilterName + static_cast<int>(group)));
  for (const FileFilter& filter : request.filters)
    all.extensions.insert(all.extensions.end(), filter.extensions.begin(), filter.extensions.end());
  request.filters.push_back(std::move(all));
  request.selectedFilter = static_cast<int>(request.filters.size()) - 1;
  request.defaultSuffix = DefaultSuffix(group);
  return request;
}

FileRequest SaveFileRequest(FileGroup group, CardKind kind) {
  FileRequest request;
  request.save = true;
  request.selectedFilter = 0;
  if (group == FileGroup::CardImage && kind == CardKind::PS2Card) {
    // Its own three forms first, then the expanded card.
    std::vector<const FormatRow*> rows = RowsWhere(group, IsPS2Card, kind);
    rows.push_back(&RowOf(CardFormat::Xmc));
    request.filters = FormatFilters(rows, false);
    request.defaultSuffix = "ps2";
    return request;
  }
  request.filters = FormatFilters(
      RowsWhere(group, group == FileGroup::CardImage ? WritesCard : WritesSave, kind), false);
  request.defaultSuffix = DefaultSuffix(group);
  return request;
}

}  // namespace slk
