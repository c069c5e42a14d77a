#pragma once
// Card image and save data image files for the shell's tests, written into a
// scratch folder by the card tests' builders; the PS2 card image is written by
// the card library from imported saves.

#include <cstdint>
#include <string>
#include <vector>

#include "card/card_image.h"
#include "card/ps1_card_builder.h"
#include "card/ps2_card_slot.h"
#include "card/save_data_image.h"
#include "card/save_image_builders.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace slk::testing {

// A PS1 card with `saves` one-block saves named BESLES-0000n.
inline std::string WritePS1Card(const TempDir& dir, const std::string& name, int saves) {
  PS1CardBuilder card;
  for (int i = 1; i <= saves; ++i) {
    card.Directory(i, 0x51, 8192, 0xFFFF, "BESLES-0000" + std::to_string(i));
    card.Block(i, static_cast<std::uint8_t>(i), "Save " + std::to_string(i), 1);
  }
  WriteFileBytes(dir.File(name), card.Bytes());
  return dir.File(name);
}

// A PS2 save with one small file.
inline SaveSpec SmallPS2Save(const std::string& name) {
  SaveSpec save;
  save.name = name;
  save.files.push_back(FileSpec{0x8497, "data.bin", Buffer(100, 0x5A)});
  return save;
}

inline std::string WritePS2Save(const TempDir& dir, const std::string& file,
                                const std::string& saveName) {
  WriteFileBytes(dir.File(file), Psu(SmallPS2Save(saveName)));
  return dir.File(file);
}

// An expanded card holding `saves` PS2 saves named BASLUS-0nnnn, counting
// from `first`.
inline std::string WriteExpandedCard(const TempDir& dir, const std::string& name, int saves,
                                     int first = 1000) {
  std::vector<SaveSpec> specs;
  for (int i = 0; i < saves; ++i)
    specs.push_back(SmallPS2Save("BASLUS-0" + std::to_string(first + i)));
  WriteFileBytes(dir.File(name), Xmc(specs));
  return dir.File(name);
}

// A formatted PS2 card image (.ps2) holding `saves` PS2 saves named
// BASLUS-2nnnn.
inline std::string WritePS2CardImage(const TempDir& dir, const std::string& name, int saves) {
  RecordingSink sink;
  Settings settings;
  Workspace ws(sink, settings);
  ws.CreateSlotStore(kLeft, 0);
  ws.At(kLeft).kind = CardKind::PS2Card;
  ws.At(kLeft).ps2Card = NewPS2Card();
  for (int i = 0; i < saves; ++i)
    AddSaveImage(ws, kLeft, WritePS2Save(dir, "part.psu", "BASLUS-2" + std::to_string(1000 + i)));
  SaveCardImage(ws, kLeft, dir.File(name));
  return dir.File(name);
}

}  // namespace slk::testing
