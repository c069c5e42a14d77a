#include "shell/file_requests.h"

#include <span>
#include <string_view>

#include "card/image_formats.h"
#include "resources/strings.h"

namespace slk {

namespace {

std::span<const std::string_view> Extensions(FileGroup group) {
  return group == FileGroup::CardImage
             ? std::span<const std::string_view>(kCardImageExtensions)
             : std::span<const std::string_view>(kSaveDataImageExtensions);
}

int FirstNameId(FileGroup group) {
  return group == FileGroup::CardImage ? res::TextId::FormatXmc : res::TextId::FormatPsu;
}

std::vector<FileFilter> FormatFilters(FileGroup group, std::size_t count) {
  std::span<const std::string_view> extensions = Extensions(group);
  std::vector<FileFilter> filters;
  for (std::size_t i = 0; i < count && i < extensions.size(); ++i) {
    int id = FirstNameId(group) + static_cast<int>(i);
    filters.push_back({std::string(res::Text(id)), {std::string(extensions[i])}});
  }
  return filters;
}

// The PS2 card images, one entry for the three extensions.
FileFilter PS2CardFilter() {
  FileFilter filter{std::string(res::Text(res::TextId::PS2CardImage)) + " (*.ps2 *.mc2 *.vmc)", {}};
  for (std::string_view ext : kPS2CardExtensions) filter.extensions.emplace_back(ext);
  return filter;
}

std::string DefaultSuffix(FileGroup group) {
  return group == FileGroup::CardImage ? "xmc" : "psu";
}

}  // namespace

FileRequest OpenFileRequest(FileGroup group) {
  FileRequest request;
  request.filters = FormatFilters(group, 7);
  if (group == FileGroup::CardImage) request.filters.push_back(PS2CardFilter());
  FileFilter all;
  all.name = std::string(res::Text(res::TextId::CardImageFilterName + static_cast<int>(group)));
  for (std::string_view ext : Extensions(group)) all.extensions.emplace_back(ext);
  if (group == FileGroup::CardImage)
    for (std::string_view ext : kPS2CardExtensions) all.extensions.emplace_back(ext);
  request.filters.push_back(std::move(all));
  request.selectedFilter = static_cast<int>(request.filters.size()) - 1;
  request.defaultSuffix = DefaultSuffix(group);
  return request;
}

FileRequest SaveFileRequest(FileGroup group, CardKind kind) {
  if (group == FileGroup::CardImage && kind == CardKind::PS2Card) {
    // Its own three forms first, then the expanded card.
    FileRequest request;
    request.save = true;
    for (std::string_view ext : kPS2CardExtensions)
      request.filters.push_back(
          {std::string(res::Text(res::TextId::PS2CardImage)) + " (*." + std::string(ext) + ")",
           {std::string(ext)}});
    request.filters.push_back(FormatFilters(group, 1).front());
    request.defaultSuffix = "ps2";
    return request;
  }
  std::size_t count = 7;
  if (kind == CardKind::PS2) count = group == FileGroup::CardImage ? 1 : 2;
  FileRequest request;
  request.save = true;
  request.filters = FormatFilters(group, count);
  request.selectedFilter = 0;
  request.defaultSuffix = DefaultSuffix(group);
  return request;
}

}  // namespace slk
