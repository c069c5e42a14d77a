#pragma once
// Inputs for the end-to-end tests: PS1 cards laid out block by block, PS2
// saves as .psu files, all written into a fresh folder per test.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cli/sha256.h"
#include "cli_runner.h"
#include "support/card_inputs.h"
#include "support/temp_dir.h"

namespace slk::testing {

// Shift-JIS titles: full-width "ＡＬＰＨＡ" and hiragana "ねこ".
inline const std::string kAlphaTitleSjis = "\x82\x60\x82\x6b\x82\x6f\x82\x67\x82\x60";
inline const std::string kAlphaTitleUtf8 = "ＡＬＰＨＡ";
inline const std::string kNekoTitleSjis = "\x82\xcb\x82\xb1";
inline const std::string kNekoTitleUtf8 = "ねこ";

inline constexpr std::size_t kBlock = 8192;

inline bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A command that must be refused: its arguments, what its stderr must say,
// its exit code and what it must not say.
struct Refusal {
  Refusal(std::vector<std::string> a, std::vector<std::string> s, int e = 1, std::string n = "")
      : args(std::move(a)), says(std::move(s)), exit(e), notSaid(std::move(n)) {}
  std::vector<std::string> args;
  std::vector<std::string> says;
  int exit;
  std::string notSaid;
};

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

  // Every file under the test's folder, by path, as a digest of its bytes.
  std::map<std::string, std::size_t> Files() const {
    std::map<std::string, std::size_t> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir_.Path()))
      if (e.is_regular_file())
        files[e.path().string()] = std::hash<std::string>{}(ReadFileText(e.path().string()));
    return files;
  }

  // Runs each refusal; none may write or change a file.
  void ExpectRefusals(const std::vector<Refusal>& refusals) const {
    auto before = Files();
    for (const Refusal& r : refusals) {
      std::string command;
      for (const std::string& a : r.args) command += a + " ";
      SCOPED_TRACE(command);
      CliResult result = cli_.Run(r.args);
      EXPECT_EQ(result.exit, r.exit) << result.err;
      for (const std::string& part : r.says) EXPECT_TRUE(Has(result.err, part)) << result.err;
      if (!r.notSaid.empty()) {
        EXPECT_FALSE(Has(result.err, r.notSaid)) << result.err;
      }
    }
    EXPECT_EQ(Files(), before) << "a refusal wrote or changed a file";
  }

  TempDir dir_;
  CliRunner cli_;
};

}  // namespace slk::testing
