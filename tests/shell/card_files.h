#pragma once
// Card image and save data image files for the shell's tests, written into a
// scratch folder: PS1 cards laid out frame by frame, PS2 saves as .psu files,
// and expanded cards written by the card library from imported saves.

#include <cstdint>
#include <string>
#include <vector>

#include "card/card_image.h"
#include "card/ps1_card_builder.h"
#include "card/ps2_card_slot.h"
#include "card/save_data_image.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace slk::testing {

// A PS1 card with `saves` one-block saves named BESLES-0000n.
inline std::string WritePS1Card(const TempDir& dir, const std::string& name, int saves) {
  PS1CardBuilder card;
  for (int i = 1; i <= saves; ++i) {
    std::string save = "BESLES-0000" + std::to_string(i);
    card.Directory(i, 0x51, 8192, 0xFFFF, save);
    card.Block(i, static_cast<std::uint8_t>(i), "Save " + std::to_string(i), 1);
  }
  std::string path = dir.File(name);
  WriteFileBytes(path, card.Bytes());
  return path;
}

inline void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// 512-byte .psu header: mode, count or size, created and modified times, name.
inline std::vector<std::uint8_t> PsuHeader(std::uint16_t mode, std::uint32_t countOrSize,
                                           const std::string& name) {
  std::vector<std::uint8_t> h(512, 0);
  h[0] = static_cast<std::uint8_t>(mode);
  h[1] = static_cast<std::uint8_t>(mode >> 8);
  Put32(h, 4, countOrSize);
  for (std::size_t at : {8u, 24u}) {
    h[at + 4] = 1;     // day
    h[at + 5] = 6;     // month
    h[at + 6] = 0xD3;  // 2003
    h[at + 7] = 0x07;
  }
  std::copy(name.begin(), name.end(), h.begin() + 64);
  return h;
}

// A PS2 save with one small file, as a .psu file.
inline std::string WritePS2Save(const TempDir& dir, const std::string& file,
                                const std::string& saveName) {
  std::vector<std::uint8_t> bytes = PsuHeader(0x8427, 3, saveName);
  for (const char* dots : {".", ".."}) {
    std::vector<std::uint8_t> h = PsuHeader(0x8427, 0, dots);
    bytes.insert(bytes.end(), h.begin(), h.end());
  }
  std::vector<std::uint8_t> h = PsuHeader(0x8497, 100, "data.bin");
  bytes.insert(bytes.end(), h.begin(), h.end());
  bytes.resize(bytes.size() + 1024, 0x5A);
  std::string path = dir.File(file);
  WriteFileBytes(path, bytes);
  return path;
}

// An expanded card holding `saves` PS2 saves named BASLUS-0nnnn, counting
// from `first`.
inline std::string WriteExpandedCard(const TempDir& dir, const std::string& name, int saves,
                                     int first = 1000) {
  RecordingSink sink;
  Settings settings;
  Workspace ws(sink, settings);
  ws.CreateSlotStore(kLeft, 0);
  ws.At(kLeft).kind = CardKind::PS2;
  for (int i = 0; i < saves; ++i) {
    std::string save = "BASLUS-0" + std::to_string(first + i);
    AddSaveImage(ws, kLeft, WritePS2Save(dir, "part.psu", save));
  }
  std::string path = dir.File(name);
  SaveCardImage(ws, kLeft, path);
  return path;
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
  std::string path = dir.File(name);
  SaveCardImage(ws, kLeft, path);
  return path;
}

}  // namespace slk::testing
