#pragma once
// PS2 sample saves built in code: each a directory of files as a PS2 card
// keeps it, an "icon.sys" (titles in English and Japanese, background
// colours, lights, icon file names), icon models from tools/make_icons and
// data files of deterministic filler.

#include <cstdint>
#include <string>
#include <vector>

#include "card/workspace.h"

namespace slk::tools {

struct PS2SampleFile {
  std::string name;
  std::vector<std::uint8_t> bytes;
};

struct PS2SampleSave {
  std::string name;  // the directory name
  TimeStamp time;
  std::vector<PS2SampleFile> files;
};

// The PS2 saves of the mixed sample card, in card order. The last one names a
// list icon file it does not have, so the program shows the standard icon.
std::vector<PS2SampleSave> MixedCardPS2Saves();

// The save written on its own as a .psu file.
PS2SampleSave JellySave();

// Appends the save to the open slot as a new entry and row, its files back
// to back in the slot's data file, its title, colours and icons read from its
// icon.sys as a reader would.
bool AddPS2Save(Workspace& ws, Slot s, const PS2SampleSave& save);

}  // namespace slk::tools
