#include "cli/save_folders.h"

#include "card/save_folder_slot.h"

namespace slk {

std::string ExportFolderPath(const Workspace& ws, Slot s, std::uint32_t row, const std::string& out,
                             bool folder) {
  if (!out.empty() && out.back() == '/') return SaveFolderPath(ws, s, row, out);
  return folder ? out : std::string();
}

}  // namespace slk
