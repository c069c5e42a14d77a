#pragma once
// A PS2 save as a plain folder, the way a file manager copies it off a
// console: the folder's name is the save's, and its files are the save's
// files. Nothing else may be inside: a subfolder or a symbolic link is
// refused rather than followed, so that reading never leaves the folder.
//
// Times: a file's modification time becomes the file's time (created and
// modified); the folder's own becomes the save's. A folder keeps no PS2
// modes: files get the usual file mode, less the write bit when the file is
// read-only, and the save the usual folder mode.

#include <optional>
#include <string>
#include <string_view>

#include "card/formats/save_formats.h"
#include "platform/problem.h"

namespace slk::formats {

// More files than any real save holds; a folder with more is not a save.
constexpr std::size_t kMaxSaveFolderFiles = 1024;
// A save's name and its files' names are at most what a slot's 64-byte
// name field keeps.
constexpr std::size_t kMaxSaveFileNameBytes = 64;

// Whether `name` (a save's or a file's, as bytes from a card) can name one
// file inside a folder: not empty, not "." or "..", no '/' and no NUL, at
// most kMaxSaveFileNameBytes. Otherwise BadFileName or NameTooLong.
bool CheckSaveFileName(std::string_view name, platform::Problem& why);

// Reads the folder at `path` as one save. Each file is at most, and all
// together at most, kMaxSaveBytes; at most kMaxSaveFolderFiles files. Files
// come sorted by name. The reason names the path or the entry at fault.
std::optional<Ps2SaveData> ReadSaveFolder(const std::string& path, platform::Problem& why);

// Writes `save` as the folder `path`, which must not exist (AlreadyExists
// otherwise). Every name is checked first. The files go into a hidden
// folder beside `path` that is renamed to `path` only once all is written,
// so a failure leaves nothing behind. Times are set from the save.
bool WriteSaveFolder(const Ps2SaveData& save, const std::string& path, platform::Problem& why);

}  // namespace slk::formats
