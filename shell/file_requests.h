#pragma once
// What the open and save file dialogs offer: filter entries named from the
// string table, the entry selected at first, and the extension a bare name
// gets. Built here, shown by the window (or answered by a test script).

#include <optional>
#include <string>
#include <vector>

#include "card/save_entry.h"

namespace slk {

// Group 0: card images; group 1: save data images.
enum class FileGroup { CardImage = 0, SaveDataImage = 1 };

struct FileFilter {
  std::string name;                     // as the string table gives it (UTF-8)
  std::vector<std::string> extensions;  // without the dot, lower case
};

struct FileRequest {
  bool save = false;  // save dialog: ask before overwriting
  std::vector<FileFilter> filters;
  int selectedFilter = 0;
  std::string defaultSuffix;
  // The folder the dialog opens in (the one last used for the group); empty
  // for the dialog's own choice.
  std::string folder;
  // When set, a last entry of this name: choosing it closes the file dialog
  // and asks for a folder instead (ChosenFile::folder).
  std::optional<std::string> folderChoice;
};

struct ChosenFile {
  std::string path;     // full path, as the file system spells it
  std::string name;     // the name part of the path
  bool folder = false;  // `path` is a folder, chosen through folderChoice
};

// Every format of the group in the order of the format table (the PS2 card
// images as one entry), then the combined entry, which is selected.
FileRequest OpenFileRequest(FileGroup group);
// Only the formats that are written and can carry a card (or a save) of
// `kind`: the expanded card alone for an expanded card, a PS2 card image's
// own three forms and .xmc for a PS2 card image, the save data images that
// carry PS2 saves for a PS2 save, every card or save format of PS1 saves for
// PS1.
FileRequest SaveFileRequest(FileGroup group, CardKind kind);

}  // namespace slk
