// Seeds for the card image and save data image targets, written by the
// program's own writers from synthetic saves, plus the variants that other
// tools produce and a few damaged cards.

#include <filesystem>
#include <fstream>
#include <iterator>

#include "card/card_image.h"
#include "card/save_data_image.h"
#include "seed_saves.h"
#include "seeds.h"

namespace slk::tools {
namespace {

namespace fs = std::filesystem;

Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A workspace whose Left slot holds the saves `fill` puts there.
template <typename Fill>
bool WithSlot(CardKind kind, Fill fill) {
  SeedSink sink;
  Settings settings;
  Workspace ws(sink, settings);
  if (ws.CreateSlotStore(kLeft, 0) != 1) return false;
  ws.At(kLeft).kind = kind;
  return fill(ws);
}

bool ThreePS1Saves(Workspace& ws) {
  return AddPS1Save(ws, kLeft, "BASLUS-90001STARVOY", 1, "STAR VOYAGER  SECTOR 3", 1) &&
         AddPS1Save(ws, kLeft, "BESLES-90002HEARTQ", 2, "HEART QUEST  CHAPTER 2", 2) &&
         AddPS1Save(ws, kLeft, "BISLPS-90003DUNGEON", 3, "DUNGEON KEYS  B5F", 3);
}

bool MixedSaves(Workspace& ws) {
  return AddPS1Save(ws, kLeft, "BASLUS-90001STARVOY", 1, "STAR VOYAGER", 1) &&
         AddPS2Save(ws, kLeft, "BASLUS-90010RALLY", SmallPS2Files("RALLY SPRINT")) &&
         AddPS2Save(ws, kLeft, "BESLES-90011NOICON", {{"DATA", Bytes(700, 0x33)}}) &&
         AddPS2Save(ws, kLeft, "BISLPS-90012EMPTY", {});
}

// Writes the slot as a card image, then copies the file into the corpus.
bool SaveCard(Workspace& ws, const Corpus& corpus, const std::string& name) {
  fs::path path = corpus.Scratch(name);
  return SaveCardImage(ws, kLeft, path.string()) == 1 && corpus.Add(name, ReadBytes(path));
}

bool SaveImage(Workspace& ws, std::uint32_t row, const Corpus& corpus, const std::string& name) {
  fs::path path = corpus.Scratch(name);
  return SaveSaveImage(ws, kLeft, row, path.string()) == 1 && corpus.Add(name, ReadBytes(path));
}

// A card whose first save's chain loops back on itself, and one whose second
// save is deleted (state 0xA1): shapes a real card takes after a crash.
bool DamagedCards(const Corpus& corpus, const Bytes& card) {
  Bytes looped = card;
  std::size_t second = 2 * 128;  // directory frame of block 2
  looped[second + 8] = 1;        // link back to block 2 itself
  Bytes deleted = card;
  deleted[second] = 0xA1;
  return corpus.Add("looped.mcr", looped) && corpus.Add("deleted.mcr", deleted);
}

}  // namespace

bool WriteCardSeeds(const SeedFolders& folders) {
  return WithSlot(CardKind::PS1,
                  [&](Workspace& ws) {
                    if (!SaveCard(ws, folders.For("fuzz_card_mem"), "empty.mem") ||
                        !SaveCard(ws, folders.For("fuzz_card_bare"), "empty.mcr"))
                      return false;
                    if (!ThreePS1Saves(ws)) return false;
                    const Corpus& bare = folders.For("fuzz_card_bare");
                    if (!SaveCard(ws, folders.For("fuzz_card_mem"), "three.mem") ||
                        !SaveCard(ws, bare, "three.mcr") ||
                        !SaveCard(ws, folders.For("fuzz_card_gme"), "three.gme"))
                      return false;
                    fs::path mcr = bare.Scratch("three.mcr");
                    return folders.For("fuzz_card_gme").Add("headerless.gme", ReadBytes(mcr)) &&
                           DamagedCards(bare, ReadBytes(mcr));
                  }) &&
         WithSlot(CardKind::PS2, [&](Workspace& ws) {
           const Corpus& xmc = folders.For("fuzz_card_xmc");
           return SaveCard(ws, xmc, "empty.xmc") && MixedSaves(ws) &&
                  SaveCard(ws, xmc, "mixed.xmc");
         });
}

bool WriteSaveImageSeeds(const SeedFolders& folders) {
  return WithSlot(CardKind::PS2, [&](Workspace& ws) {
    if (!MixedSaves(ws) || !ThreePS1Saves(ws)) return false;
    // Rows: 0 PS1 1 block, 1 PS2 with icon.sys, 2 PS2 without, 3 PS2 empty,
    // 4-6 PS1 of 1, 2 and 3 blocks.
    const Corpus& psu = folders.For("fuzz_save_psu");
    const Corpus& ps1 = folders.For("fuzz_save_ps1");
    const Corpus& mcx = folders.For("fuzz_save_mcx");
    const Corpus& psm = folders.For("fuzz_save_psm");
    if (!SaveImage(ws, 1, psu, "ps2.psu") || !SaveImage(ws, 2, psu, "noiconsys.psd") ||
        !SaveImage(ws, 3, psu, "empty.psu") || !SaveImage(ws, 5, psu, "ps1.psu") ||
        !SaveImage(ws, 4, ps1, "one.ps1") || !SaveImage(ws, 5, ps1, "two.ps1") ||
        !SaveImage(ws, 4, mcx, "one.mcx") || !SaveImage(ws, 6, mcx, "three.mcb") ||
        !SaveImage(ws, 4, psm, "one.psm") || !SaveImage(ws, 6, psm, "three.mc"))
      return false;
    // The other two forms of .mcx that other tools write: a .ps1 frame
    // before the blocks, and the bare blocks.
    Bytes framed = ReadBytes(ps1.Scratch("two.ps1"));
    Bytes bare(framed.begin() + 128, framed.end());
    return mcx.Add("framed.mcx", framed) && mcx.Add("bare.mcb", bare);
  });
}

}  // namespace slk::tools
