#pragma once
// The persisted settings record. Field names are the INI keys.

#include <cstdint>
#include <string>

namespace slk {

struct Settings {
  std::int32_t DefaultImage = 0;  // CardKind of a new card
  std::int32_t UseDefaultImage = 0;
  std::int32_t LockImagePS1 = 0;  // index into the 14 PS1 lock formats
  std::int32_t LockImagePS2 = 0;  // index into the 3 PS2 lock formats
  std::int32_t LockAutoIconic = 0;
  std::int32_t HALpriority = 0;
  std::int32_t AnimationCut = 0;
  std::int32_t UseSlotPath = 0;
  std::string LockPath;
  std::string LSlotPath;
  std::string RSlotPath;
  // This program's own settings, in a section of their own.
  std::int32_t BackupGenerations = 5;  // kept per card before a save; 0 keeps none
  std::int32_t WindowScale = 0;        // 0: as the screen asks, else 1 to 3
  std::string CardImageFolder;         // where the last card image was opened or saved
  std::string SaveDataImageFolder;     // the same for save data images
};

}  // namespace slk
