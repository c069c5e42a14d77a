#pragma once
// Inputs for the end-to-end tests: PS1 cards laid out block by block, PS2
// saves as .psu files, all written into a fresh folder per test.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "card/ps1_card_builder.h"
#include "card/save_image_builders.h"
#include "cli/sha256.h"
#include "cli_runner.h"
#include "support/temp_dir.h"

namespace slk::testing {

// Shift-JIS titles: full-width "ＡＬＰＨＡ" and hiragana "ねこ".
inline const std::string kAlphaTitleSjis = "\x82\x60\x82\x6b\x82\x6f\x82\x67\x82\x60";
inline const std::string kAlphaTitleUtf8 = "ＡＬＰＨＡ";
inline const std::string kNekoTitleSjis = "\x82\xcb\x82\xb1";
inline const std::string kNekoTitleUtf8 = "ねこ";

inline constexpr std::size_t kBlock = 8192;

class CliTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.File(name); }

  // Three PS1 saves packed from block 1: ALPHA (1 block), BETA (3), NEKO (2).
  static PS1CardBuilder ThreeSaveBuilder() {
    PS1CardBuilder b;
    b.Directory(1, 0x51, kBlock, 0xFFFF, "BESLES-00001ALPHA").Block(1, 0x11, kAlphaTitleSjis, 1);
    b.Directory(2, 0x51, 3 * kBlock, 2, "BASLUS-00002BETA")
        .Directory(3, 0x52, 0, 3, "")
        .Directory(4, 0x53, 0, 0xFFFF, "")
        .Block(2, 0x22, "BETA", 3)
        .Block(3, 0x23)
        .Block(4, 0x24);
    b.Directory(5, 0x51, 2 * kBlock, 5, "BISLPS-00003NEKO")
        .Directory(6, 0x53, 0, 0xFFFF, "")
        .Block(5, 0x33, kNekoTitleSjis, 2)
        .Block(6, 0x34);
    return b;
  }

  // The digests `list --json` must report for ThreeSaveBuilder's saves.
  static std::vector<std::string> ThreeSaveDigests() {
    PS1CardBuilder b = ThreeSaveBuilder();
    auto blocks = [&](int first, int count) {
      std::vector<std::uint8_t> bytes;
      for (int i = 0; i < count; ++i) {
        auto block = b.BlockBytes(first + i);
        bytes.insert(bytes.end(), block.begin(), block.end());
      }
      return Sha256Hex(bytes);
    };
    return {blocks(1, 1), blocks(2, 3), blocks(5, 2)};
  }

  std::string WriteThreeSaveCard(const std::string& name = "three.mcr") const {
    WriteFileBytes(Path(name), ThreeSaveBuilder().Bytes());
    return Path(name);
  }

  // A PS2 save with icon.sys, an icon and a data file.
  static SaveSpec PS2Save(const std::string& name = "BASLUS-20001SPACE") {
    SaveSpec save;
    save.name = name;
    save.files.push_back(FileSpec{0x8497, "icon.sys", IconSys("SPACE\x81\x40RACE", 5, "list.ico")});
    save.files.push_back(FileSpec{0x8497, "list.ico", Buffer(700, 0x5A)});
    save.files.push_back(FileSpec{0x8497, "data.bin", Buffer(3000, 0xC3)});
    return save;
  }

  std::string WritePS2Psu(const std::string& name = "space.psu") const {
    WriteFileBytes(Path(name), Psu(PS2Save()));
    return Path(name);
  }

  static std::string PS2SaveDigest() {
    Buffer bytes;
    for (const FileSpec& f : PS2Save().files) Append(bytes, f.bytes);
    return Sha256Hex(bytes);
  }

  TempDir dir_;
  CliRunner cli_;
};

}  // namespace slk::testing
