#include "cli/save_folders.h"

#include <sys/stat.h>

#include "card/save_data_image.h"
#include "card/save_folder_slot.h"

namespace slk {

bool IsFolderArgument(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::uint32_t AddSaveFileOrFolder(Workspace& ws, Slot s, const std::string& path) {
  return IsFolderArgument(path) ? AddSaveFolder(ws, s, path) : AddSaveImage(ws, s, path);
}

std::string ExportFolderPath(const Workspace& ws, Slot s, std::uint32_t row, const std::string& out,
                             bool folder) {
  if (!out.empty() && out.back() == '/') return SaveFolderPath(ws, s, row, out);
  return folder ? out : std::string();
}

}  // namespace slk
