#include "card/image_formats.h"

#include "card/utility.h"

namespace slk {

int ExtensionIndex(std::string_view path, FormatList list) {
  auto dot = path.find_last_of('.');
  if (dot == std::string_view::npos) return -1;
  std::string_view extension = path.substr(dot + 1);
  const auto& names =
      list == FormatList::CardImage ? kCardImageExtensions : kSaveDataImageExtensions;
  for (std::size_t i = 0; i < names.size(); ++i) {
    // Compare whole texts: NamesEqual stops at 64 bytes, a path part may not.
    if (extension.size() == names[i].size() && NamesEqual(AsBytes(extension), AsBytes(names[i])))
      return static_cast<int>(i);
  }
  return -1;
}

bool IsPS2CardPath(std::string_view path) {
  auto dot = path.find_last_of('.');
  if (dot == std::string_view::npos) return false;
  std::string_view extension = path.substr(dot + 1);
  for (std::string_view name : kPS2CardExtensions)
    if (extension.size() == name.size() && NamesEqual(AsBytes(extension), AsBytes(name)))
      return true;
  return false;
}

bool IsCardImagePath(std::string_view path) {
  return ExtensionIndex(path, FormatList::CardImage) >= 0 || IsPS2CardPath(path);
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
