// Seeds for the icon targets: PS1 icons of one to four frames, our own PS2
// icon models in every texture form, a tiny hand-laid model, and icon.sys
// files with plain and Shift-JIS titles naming the icons in several ways.

#include <string>

#include "seed_saves.h"
#include "seeds.h"
#include "tools/make_icons/icon_models.h"

namespace slk::tools {
namespace {

void Append32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void Append16(Bytes& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}

// One untextured triangle in two shapes, with the smallest animation
// section: the shortest model the decoder takes.
Bytes TinyModel() {
  Bytes b;
  for (std::uint32_t word : {0x00010000u, 2u, 0x03u, 0x3F800000u, 3u}) Append32(b, word);
  const std::int16_t corners[3][2] = {{-4000, 0}, {4000, 0}, {0, -8000}};
  for (const auto& corner : corners) {
    for (int shape = 0; shape < 2; ++shape) {
      Append16(b, static_cast<std::uint16_t>(corner[0] + 500 * shape));
      Append16(b, static_cast<std::uint16_t>(corner[1]));
      Append32(b, 0);
    }
    for (std::uint16_t word : {0, 0, 0xF000, 0, 0, 0}) Append16(b, word);
    Append32(b, 0x00204080);
  }
  for (std::uint32_t word : {1u, 60u, 0x3F800000u, 0u, 1u, 0u, 1u, 0u, 0x3F800000u})
    Append32(b, word);
  return b;
}

bool WritePS1IconSeeds(const Corpus& corpus) {
  bool ok = true;
  for (std::uint8_t flag : {0x11, 0x12, 0x13, 0x14, 0x00, 0x1F}) {
    Bytes block = PS1SaveBytes(1, "ICON", flag);
    block[2] = flag;
    // Only the title frame and the frames matter; the rest of the block is
    // the decoder's to ignore.
    block.resize(0x80 + 4 * 128 + 16);
    ok = ok && corpus.Add("flag-" + std::to_string(flag) + ".bin", block);
  }
  Bytes cut = PS1SaveBytes(1, "CUT", 0x13);
  cut.resize(0x80 + 2 * 128 + 40);
  return ok && corpus.Add("cut.bin", cut);
}

bool WriteModelSeeds(const Corpus& corpus) {
  bool ok = corpus.Add("tiny.ico", TinyModel());
  for (const IconModel& model : AllIconModels()) {
    Bytes file = WriteIconModel(model);
    ok = ok && corpus.Add(model.name, file);
    // Cut inside the texture: the decoder must refuse it cleanly.
    if (model.Textured() && file.size() > 200) {
      file.resize(file.size() - 100);
      ok = ok && corpus.Add("cut-" + model.name, file);
    }
  }
  return ok;
}

bool WriteIconSysSeeds(const Corpus& corpus) {
  // "セーブ" and "データ" in Shift-JIS, split after the first word.
  const std::string japanese = "\x83\x5A\x81\x5B\x83\x75\x83\x66\x81\x5B\x83\x5E";
  Bytes shortFile = IconSysBytes("SHORT", 0, "DEL.ICO");
  shortFile.resize(0x150);
  return corpus.Add("plain.sys", IconSysBytes("SLOTKEEPER SAVE", 11, "list.ico")) &&
         corpus.Add("japanese.sys", IconSysBytes(japanese, 6, "copy.ico")) &&
         corpus.Add("upper.sys", IconSysBytes("ONE LINE TITLE", 0, "LIST.ICO")) &&
         corpus.Add("missing.sys", IconSysBytes("NO ICON", 3, "none.ico")) &&
         corpus.Add("short.sys", shortFile) && corpus.Add("empty.sys", {});
}

}  // namespace

bool WriteIconSeeds(const SeedFolders& folders) {
  return WritePS1IconSeeds(folders.For("fuzz_icon_ps1")) &&
         WriteModelSeeds(folders.For("fuzz_icon_model")) &&
         WriteIconSysSeeds(folders.For("fuzz_icon_sys"));
}

}  // namespace slk::tools
