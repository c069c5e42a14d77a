// Seeds of the targets for other tools' save formats: one synthetic PS2 save
// and one PS1 save written by this program's writers in every form.

#include "card/formats/codecs.h"
#include "card/formats/save_formats.h"
#include "seeds.h"

namespace slk::tools {
namespace {

using formats::Bytes;

formats::Ps2SaveData SeedPs2Save() {
  Bytes iconSys(964, 0);
  iconSys[0] = 'P';
  iconSys[1] = 'S';
  iconSys[2] = '2';
  iconSys[3] = 'D';
  formats::Ps2SaveData s;
  s.name = "BASLUS-SEED";
  s.created.bytes = {0, 1, 2, 3, 4, 5, 0xE8, 0x07};
  s.modified = s.created;
  s.files = {{"icon.sys", 0x8497, s.created, s.created, iconSys},
             {"data", 0x8497, s.created, s.created, Bytes(700, 0x5A)},
             {"empty", 0x8497, s.created, s.created, {}}};
  return s;
}

formats::Ps1SaveData SeedPs1Save() {
  Bytes blocks(2 * formats::kPs1BlockSize, 0x11);
  blocks[0] = 'S';
  blocks[1] = 'C';
  blocks[2] = 0x11;
  blocks[3] = 2;
  return {"BASLUS-00001SEED", blocks};
}

}  // namespace

bool WriteFormatSeeds(const SeedFolders& folders) {
  formats::Ps2SaveData ps2 = SeedPs2Save();
  formats::Ps1SaveData ps1 = SeedPs1Save();
  Bytes card(formats::kPs1CardSize, 0);
  card[0] = 'M';
  card[1] = 'C';
  Bytes text(3000);
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<std::uint8_t>("seed "[i % 5]);
  Bytes lzari = {0xB8, 0x0B};  // 3000, little-endian: the size to decode
  Bytes packed = formats::LzariEncode(text);
  lzari.insert(lzari.end(), packed.begin(), packed.end());
  return folders.For("fuzz_format_max").Add("seed.max", formats::WriteMaxSave(ps2)) &&
         folders.For("fuzz_format_cbs").Add("seed.cbs", formats::WriteCbsSave(ps2)) &&
         folders.For("fuzz_format_sps").Add("seed.sps", formats::WriteSharkPortSave(ps2)) &&
         folders.For("fuzz_format_psv").Add("seed-ps2.psv", formats::WritePsvSave(ps2)) &&
         folders.For("fuzz_format_psv").Add("seed-ps1.psv", formats::WritePsvSave(ps1)) &&
         folders.For("fuzz_format_vmp").Add("seed.vmp", formats::WriteVmpCard(card)) &&
         folders.For("fuzz_format_ps1").Add("seed.mcs", formats::WriteMcsSave(ps1)) &&
         folders.For("fuzz_format_ps1").Add("seed.raw", ps1.blocks) &&
         folders.For("fuzz_format_lzari").Add("seed.lzari", lzari);
}

}  // namespace slk::tools
