// End to end: the commands that write (convert, import, export, copy,
// delete, rename), each refusal's message and exit code, and that a refusal leaves
// every file as it was.

#include <algorithm>
#include <sstream>
#include <thread>

#include "cli/cli_app.h"
#include "cli_fixture.h"

namespace slk::testing {
namespace {

using Json = nlohmann::json;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(CliTest, ConversionThroughEveryCardFormatKeepsEverySave) {
  std::string from = WriteThreeSaveCard();
  const std::vector<std::string> chain = {"mem", "mcr", "gme", "mcd", "ps", "mci", "xmc", "mcr"};
  for (std::size_t i = 0; i < chain.size(); ++i) {
    std::string to = Path("step" + std::to_string(i) + "." + chain[i]);
    CliResult result = cli_.Run({"convert", from, to});
    ASSERT_EQ(result.exit, 0) << chain[i] << ": " << result.err;
    Json file = ListJson(cli_, {to})["files"][0];
    EXPECT_EQ(file["format"], chain[i]);
    EXPECT_EQ(file["kind"], chain[i] == "xmc" ? "PS2" : "PS1");
    EXPECT_EQ(Digests(file), ThreeSaveDigests()) << chain[i];
    EXPECT_EQ(file["saves"][2]["name"], "BISLPS-00003NEKO");
    from = to;
  }
  // An expanded card carrying a PS2 save keeps it through .xmc as well.
  ASSERT_EQ(cli_.Run({"new", "--ps2", Path("ps2.xmc")}).exit, 0);
  ASSERT_EQ(cli_.Run({"import", Path("ps2.xmc"), WritePS2Psu()}).exit, 0);
  ASSERT_EQ(cli_.Run({"convert", Path("ps2.xmc"), Path("again.xmc")}).exit, 0);
  EXPECT_EQ(Digests(ListJson(cli_, {Path("again.xmc")})["files"][0]),
            std::vector<std::string>{PS2SaveDigest()});
  // Into a PS2 card image and back; a card image written under another name
  // is the same bytes.
  ASSERT_EQ(cli_.Run({"convert", Path("ps2.xmc"), Path("card.ps2")}).exit, 0);
  ASSERT_EQ(cli_.Run({"convert", Path("card.ps2"), Path("card.vmc")}).exit, 0);
  EXPECT_EQ(ReadFileBytes(Path("card.vmc")), ReadFileBytes(Path("card.ps2")));
  ASSERT_EQ(cli_.Run({"convert", Path("card.vmc"), Path("bare.mc2"), "--no-ecc"}).exit, 0);
  EXPECT_EQ(ReadFileBytes(Path("bare.mc2")).size(), 8388608u);
  ASSERT_EQ(cli_.Run({"convert", Path("bare.mc2"), Path("back.xmc")}).exit, 0);
  Json card = ListJson(cli_, {Path("card.ps2"), Path("back.xmc")});
  EXPECT_EQ(card["files"][0]["kind"], "PS2CARD");
  EXPECT_EQ(card["files"][0]["saves"][0]["files"].size(), 3u);
  for (const auto& file : card["files"])
    EXPECT_EQ(Digests(file), std::vector<std::string>{PS2SaveDigest()});
}

TEST_F(CliTest, ConvertRefusals) {
  std::string card = WriteThreeSaveCard();
  CliResult badIn = cli_.Run({"convert", Path("card.txt"), Path("out.mcr")});
  EXPECT_EQ(badIn.exit, 1);
  EXPECT_TRUE(Has(badIn.err, "It's not MemoryCard Image."));
  CliResult badOut = cli_.Run({"convert", card, Path("out.psu")});
  EXPECT_EQ(badOut.exit, 1);
  EXPECT_TRUE(Has(badOut.err, "It's not MemoryCard Image."));

  // A PS2 save has no place in a PS1 card image.
  ASSERT_EQ(cli_.Run({"new", "--ps2", Path("ps2.xmc")}).exit, 0);
  ASSERT_EQ(cli_.Run({"import", Path("ps2.xmc"), WritePS2Psu()}).exit, 0);
  CliResult ps2 = cli_.Run({"convert", Path("ps2.xmc"), Path("out.mcr")});
  EXPECT_EQ(ps2.exit, 1);
  EXPECT_TRUE(Has(ps2.err, "is a PS2 save")) << ps2.err;
  EXPECT_TRUE(Has(ps2.err, "The File wasn't preserved."));
  EXPECT_FALSE(std::filesystem::exists(Path("out.mcr")));

  // A PS1 save has no place in a PS2 card image.
  ASSERT_EQ(cli_.Run({"convert", card, Path("ps1.xmc")}).exit, 0);
  CliResult ps1 = cli_.Run({"convert", Path("ps1.xmc"), Path("out.ps2")});
  EXPECT_EQ(ps1.exit, 1);
  EXPECT_TRUE(Has(ps1.err, "is a PS1 save")) << ps1.err;
  EXPECT_FALSE(std::filesystem::exists(Path("out.ps2")));
}

// NEKO's chain runs into BETA's last block: only its first block is found.
// Written out, the card would pass the one block off as the whole save.
TEST_F(CliTest, ASaveWhoseBlocksBreakOffIsWrittenOnlyWithForce) {
  PS1CardBuilder card = ThreeSaveBuilder();
  card.Directory(5, 0x51, 2 * kBlock, 3, "BISLPS-00003NEKO");
  WriteFileBytes(Path("broken.mcr"), card.Bytes());
  ASSERT_EQ(cli_.Run({"new", "--ps1", Path("empty.mcr")}).exit, 0);
  // A copy of the save is just as short as the save.
  const std::vector<std::vector<std::string>> commands = {
      {"convert", Path("broken.mcr")},
      {"delete", Path("broken.mcr"), "0", "-o"},
      {"copy", Path("broken.mcr"), "BISLPS-00003NEKO", Path("empty.mcr"), "-o"}};
  for (std::vector<std::string> args : commands) {
    SCOPED_TRACE(args[0]);
    args.push_back(Path("out.mcr"));
    CliResult refused = cli_.Run(args);
    EXPECT_EQ(refused.exit, 1);
    EXPECT_TRUE(Has(refused.err, "give --force")) << refused.err;
    EXPECT_TRUE(Has(refused.err, "\"BISLPS-00003NEKO\" break off: 1 of 2 kept")) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(Path("out.mcr")));
    args.push_back("--force");
    CliResult forced = cli_.Run(args);
    ASSERT_EQ(forced.exit, 0) << forced.err;
    EXPECT_TRUE(Has(forced.err, "(--force)")) << forced.err;
    std::filesystem::remove(Path("out.mcr"));
  }
}

TEST_F(CliTest, ImportAddsSaveImagesAndWritesBack) {
  std::string card = WriteThreeSaveCard();
  ASSERT_EQ(cli_.Run({"export", card, "1", Path("beta.ps1")}).exit, 0);
  ASSERT_EQ(cli_.Run({"new", "--ps1", Path("empty.mcr")}).exit, 0);
  auto before = ReadFileBytes(Path("empty.mcr"));

  CliResult toOther =
      cli_.Run({"import", Path("empty.mcr"), Path("beta.ps1"), "-o", Path("o.mcr")});
  ASSERT_EQ(toOther.exit, 0) << toOther.err;
  EXPECT_EQ(ReadFileBytes(Path("empty.mcr")), before);
  Json file = ListJson(cli_, {Path("o.mcr")})["files"][0];
  EXPECT_EQ(Digests(file), std::vector<std::string>{ThreeSaveDigests()[1]});

  ASSERT_EQ(cli_.Run({"new", "--ps2", Path("ps2.xmc")}).exit, 0);
  ASSERT_EQ(cli_.Run({"import", Path("ps2.xmc"), Path("beta.ps1"), WritePS2Psu()}).exit, 0);
  Json ps2 = ListJson(cli_, {Path("ps2.xmc")})["files"][0];
  EXPECT_EQ(Digests(ps2), (std::vector<std::string>{ThreeSaveDigests()[1], PS2SaveDigest()}));
}

// The formats of other tools through the commands: a PS2 save exported as
// .cbs, .max and .psv lists with the same bytes; a raw .srm of one save is a
// save to `list` and `check`; a PS1 save is not written as .max, and the
// note says why.
TEST_F(CliTest, OtherToolsFormatsThroughExportListAndCheck) {
  ASSERT_EQ(cli_.Run({"new", "--ps2", Path("ps2.xmc")}).exit, 0);
  ASSERT_EQ(cli_.Run({"import", Path("ps2.xmc"), WritePS2Psu()}).exit, 0);
  for (const char* ext : {"cbs", "max", "psv"}) {
    std::string out = Path(std::string("space.") + ext);
    ASSERT_EQ(cli_.Run({"export", Path("ps2.xmc"), "0", out}).exit, 0) << ext;
    Json file = ListJson(cli_, {out})["files"][0];
    EXPECT_EQ(Digests(file), std::vector<std::string>{PS2SaveDigest()}) << ext;
  }
  std::string card = WriteThreeSaveCard();
  ASSERT_EQ(cli_.Run({"export", card, "1", Path("beta.mcs")}).exit, 0);
  Buffer mcs = ReadFileBytes(Path("beta.mcs"));
  WriteFileBytes(Path("beta.srm"), Buffer(mcs.begin() + 128, mcs.end()));
  // Other tools name single saves like cards, too.
  WriteFileBytes(Path("beta.mcd"), Buffer(mcs.begin() + 128, mcs.end()));
  for (const char* name : {"beta.srm", "beta.mcd"}) {
    Json raw = ListJson(cli_, {Path(name)})["files"][0];
    EXPECT_EQ(raw["format"], "raw") << name;
    EXPECT_EQ(Digests(raw), std::vector<std::string>{ThreeSaveDigests()[1]}) << name;
  }
  CliResult check = cli_.Run({"check", Path("beta.srm"), Path("beta.mcd")});
  EXPECT_EQ(check.exit, 0) << check.out;
  CliResult max = cli_.Run({"export", card, "1", Path("beta.max")});
  EXPECT_EQ(max.exit, 1);
  EXPECT_TRUE(Has(max.err, "a PS1 save cannot be written as .max")) << max.err;
}

TEST_F(CliTest, ImportRefusalsLeaveTheCardAlone) {
  std::string card = WriteThreeSaveCard();
  auto before = ReadFileBytes(card);
  CliResult ps2 = cli_.Run({"import", card, WritePS2Psu()});
  EXPECT_EQ(ps2.exit, 1);
  EXPECT_TRUE(Has(ps2.err, "PS2 SaveData isn't able to include into PS1 MemoryCard."));
  EXPECT_TRUE(Has(ps2.err, "  space.psu: \"BASLUS-20001SPACE\" is a PS2 save\n"));
  EXPECT_FALSE(Has(ps2.err, "The File wasn't opened.")) << "the refusal is shown once";

  CliResult notSave = cli_.Run({"import", card, Path("notes.txt")});
  EXPECT_EQ(notSave.exit, 1);
  EXPECT_TRUE(Has(notSave.err, "It's not SaveData Image."));

  CliResult missing = cli_.Run({"import", card, Path("none.psu")});
  EXPECT_EQ(missing.exit, 1);
  EXPECT_TRUE(
      Has(missing.err, Path("none.psu") + ": The File wasn't opened.\n  none.psu: no such file\n"));

  // A PS1 card takes only what Copy would let in: never a second save of a
  // name, never more than 15 blocks.
  ASSERT_EQ(cli_.Run({"export", card, "1", Path("beta.psm")}).exit, 0);
  CliResult same = cli_.Run({"import", card, Path("beta.psm")});
  EXPECT_EQ(same.exit, 1);
  EXPECT_TRUE(Has(same.err,
                  "There is the same DataName. It is unable to copy.\n"
                  "  beta.psm: the card already holds \"BASLUS-00002BETA\"\n"))
      << same.err;
  WriteFileBytes(Path("big.ps1"),
                 FramedSingle("BASLUS-BIG", 10 * kBlock, PS1Blocks(10, "Big")));  // 6 + 10 blocks
  CliResult full = cli_.Run({"import", card, Path("big.ps1")});
  EXPECT_EQ(full.exit, 1);
  EXPECT_TRUE(Has(full.err,
                  "It exceeds the capacity of 15 blocks.\n"
                  "  big.ps1: the card would hold 16 blocks, at most 15\n"))
      << full.err;
  EXPECT_FALSE(Has(full.err, "The File wasn't preserved."));
  EXPECT_EQ(ReadFileBytes(card), before);
}

// Writers that start together each wait for the one before: every import
// that reports success is in the card at the end.
TEST_F(CliTest, ConcurrentImportsIntoOneCardLoseNoSave) {
  constexpr int kWriters = 6;
  ASSERT_EQ(cli_.Run({"new", "--ps2", Path("shared.xmc")}).exit, 0);
  std::vector<std::string> saves;
  for (int i = 0; i < kWriters; ++i) {
    saves.push_back(Path("save" + std::to_string(i) + ".psu"));
    WriteFileBytes(saves.back(), Psu(PS2Save("BASLUS-2000" + std::to_string(i) + "RACE")));
  }
  std::vector<CliRunner> runners(kWriters);
  std::vector<CliResult> results(kWriters);
  std::vector<std::thread> writers;
  for (int i = 0; i < kWriters; ++i)
    writers.emplace_back([&, i] {
      results[i] = runners[i].Run({"import", Path("shared.xmc"), saves[i]});
    });
  for (std::thread& writer : writers) writer.join();
  std::size_t succeeded = 0;
  for (const CliResult& result : results) {
    if (result.exit == 0) {
      ++succeeded;
    } else {
      EXPECT_TRUE(Has(result.err, Path("shared.xmc"))) << "a refusal names the card";
    }
  }
  Json card = ListJson(cli_, {Path("shared.xmc")})["files"][0];
  EXPECT_EQ(card["saves"].size(), succeeded) << "a writer reported success but its save is gone";
  EXPECT_GT(succeeded, 0u);
}

TEST_F(CliTest, ExportWritesEverySaveDataFormat) {
  std::string card = WriteThreeSaveCard();
  for (const char* ext : {"psu", "psd", "ps1", "mcx", "mcb", "psm", "mc"}) {
    std::string out = Path(std::string("neko.") + ext);
    CliResult result = cli_.Run({"export", card, "BISLPS-00003NEKO", out});
    ASSERT_EQ(result.exit, 0) << ext << ": " << result.err;
    Json file = ListJson(cli_, {out})["files"][0];
    EXPECT_EQ(file["kind"], "PS1");
    EXPECT_EQ(Digests(file), std::vector<std::string>{ThreeSaveDigests()[2]}) << ext;
    EXPECT_EQ(file["saves"][0]["title"], kNekoTitleUtf8);
  }
  // From a save data image, as from a card holding one save.
  ASSERT_EQ(cli_.Run({"export", WritePS2Psu(), "0", Path("space.psd")}).exit, 0);
  EXPECT_EQ(Digests(ListJson(cli_, {Path("space.psd")})["files"][0]),
            std::vector<std::string>{PS2SaveDigest()});
}

TEST_F(CliTest, ExportRefusals) {
  std::string card = WriteThreeSaveCard();
  CliResult ps2 = cli_.Run({"export", WritePS2Psu(), "0", Path("space.ps1")});
  EXPECT_EQ(ps2.exit, 1);
  EXPECT_TRUE(Has(ps2.err, "The File wasn't preserved."));
  EXPECT_FALSE(std::filesystem::exists(Path("space.ps1")));

  CliResult badOut = cli_.Run({"export", card, "0", Path("alpha.mcr")});
  EXPECT_EQ(badOut.exit, 1);
  EXPECT_TRUE(Has(badOut.err, "It's not SaveData Image."));

  CliResult noRow = cli_.Run({"export", card, "3", Path("x.psu")});
  EXPECT_EQ(noRow.exit, 1);
  EXPECT_TRUE(Has(noRow.err, "no row 3 (the card lists 3 saves)"));
  CliResult noName = cli_.Run({"export", card, "besles-00001alpha", Path("x.psu")});
  EXPECT_EQ(noName.exit, 1);
  EXPECT_TRUE(Has(noName.err, "no save named \"besles-00001alpha\""));

  // Two saves of one name in an expanded card: the name alone is not enough.
  ASSERT_EQ(cli_.Run({"export", card, "0", Path("alpha.ps1")}).exit, 0);
  ASSERT_EQ(cli_.Run({"convert", card, Path("twice.xmc")}).exit, 0);
  ASSERT_EQ(cli_.Run({"import", Path("twice.xmc"), Path("alpha.ps1")}).exit, 0);
  CliResult ambiguous = cli_.Run({"export", Path("twice.xmc"), "BESLES-00001ALPHA", Path("x.psu")});
  EXPECT_EQ(ambiguous.exit, 1);
  EXPECT_TRUE(Has(ambiguous.err, "ambiguous: rows 0, 3")) << ambiguous.err;
  EXPECT_FALSE(std::filesystem::exists(Path("x.psu")));
}

// A PS2 save folder is a save file for import and list, and export writes one.
TEST_F(CliTest, SaveFoldersImportListAndExport) {
  std::string psu = WritePS2Psu();
  CliResult out = cli_.Run({"export", psu, "0", Path("space"), "--folder"});
  ASSERT_EQ(out.exit, 0) << out.err;
  Json folder = ListJson(cli_, {Path("space")})["files"][0];
  EXPECT_EQ(folder["format"], "folder");
  EXPECT_EQ(folder["kind"], "PS2");
  EXPECT_EQ(folder["saves"][0]["name"], "space");
  EXPECT_EQ(folder["saves"][0]["files"].size(), 3u);
  EXPECT_EQ(folder["saves"][0]["title"], "SPACE　RACE");

  // Into a card and out again, into a folder named after the save.
  ASSERT_EQ(cli_.Run({"new", "--ps2", Path("card.ps2")}).exit, 0);
  ASSERT_EQ(cli_.Run({"import", Path("card.ps2"), Path("space")}).exit, 0);
  std::filesystem::create_directory(Path("out"));
  ASSERT_EQ(cli_.Run({"export", Path("card.ps2"), "space", Path("out") + "/"}).exit, 0);
  for (const char* name : {"icon.sys", "list.ico", "data.bin"})
    EXPECT_EQ(ReadFileBytes(Path("out/space/") + name), ReadFileBytes(Path("space/") + name));

  // Taken names, a PS1 save and a PS2 save into a PS1 card are refused.
  CliResult taken = cli_.Run({"export", psu, "0", Path("out") + "/"});
  EXPECT_EQ(taken.exit, 0);  // out/BASLUS-20001SPACE
  taken = cli_.Run({"export", psu, "0", Path("out") + "/"});
  EXPECT_EQ(taken.exit, 1);
  EXPECT_TRUE(Has(taken.err, "already exists")) << taken.err;
  CliResult ps1 = cli_.Run({"export", WriteThreeSaveCard(), "0", Path("alpha"), "--folder"});
  EXPECT_EQ(ps1.exit, 1);
  EXPECT_TRUE(Has(ps1.err, "is a PS1 save")) << ps1.err;
  EXPECT_FALSE(std::filesystem::exists(Path("alpha")));
  CliResult intoPs1 = cli_.Run({"import", Path("three.mcr"), Path("space")});
  EXPECT_EQ(intoPs1.exit, 1);

  // Without icon.sys the save still lists, with no title (the standard icon).
  std::filesystem::remove(Path("space/icon.sys"));
  Json bare = ListJson(cli_, {Path("space")})["files"][0];
  EXPECT_EQ(bare["saves"][0]["files"].size(), 2u);
  EXPECT_EQ(bare["saves"][0]["title"], "");
}

TEST_F(CliTest, CopyFollowsTheRulesOfCopy) {
  std::string source = WriteThreeSaveCard();
  ASSERT_EQ(cli_.Run({"new", "--ps1", Path("target.mcr")}).exit, 0);
  CliResult copy = cli_.Run({"copy", source, "BASLUS-00002BETA", Path("target.mcr")});
  ASSERT_EQ(copy.exit, 0) << copy.err;
  CliResult again = cli_.Run({"copy", source, "2", Path("target.mcr"), "-o", Path("out.mcr")});
  ASSERT_EQ(again.exit, 0) << again.err;
  EXPECT_EQ(Digests(ListJson(cli_, {Path("target.mcr")})["files"][0]),
            std::vector<std::string>{ThreeSaveDigests()[1]});
  EXPECT_EQ(Digests(ListJson(cli_, {Path("out.mcr")})["files"][0]),
            (std::vector<std::string>{ThreeSaveDigests()[1], ThreeSaveDigests()[2]}));

  auto before = ReadFileBytes(Path("target.mcr"));
  CliResult same = cli_.Run({"copy", source, "1", Path("target.mcr")});
  EXPECT_EQ(same.exit, 1);
  EXPECT_TRUE(Has(same.err, "There is the same DataName. It is unable to copy."));

  CliResult ps2 = cli_.Run({"copy", WritePS2Psu(), "0", Path("target.mcr")});
  EXPECT_EQ(ps2.exit, 1);
  EXPECT_TRUE(Has(ps2.err, "PS2 SaveData isn't able to include into PS1 MemoryCard."));

  CliResult noTarget = cli_.Run({"copy", source, "0", Path("none.mcr")});
  EXPECT_EQ(noTarget.exit, 1);
  EXPECT_TRUE(Has(noTarget.err, Path("none.mcr") + ": The File wasn't opened."));
  EXPECT_FALSE(std::filesystem::exists(Path("none.mcr")));
  EXPECT_EQ(ReadFileBytes(Path("target.mcr")), before);

  // A PS2 card image takes the PS2 save and refuses the PS1 one; deleting
  // gives the card its free space back.
  ASSERT_EQ(cli_.Run({"new", "--ps2", Path("card.ps2")}).exit, 0);
  auto empty = ReadFileBytes(Path("card.ps2"));
  CliResult ps1 = cli_.Run({"copy", source, "0", Path("card.ps2")});
  EXPECT_EQ(ps1.exit, 1);
  EXPECT_TRUE(Has(ps1.err, "PS1 SaveData isn't able to include into PS2 MemoryCard Image."));
  EXPECT_TRUE(Has(ps1.err, "is a PS1 save")) << ps1.err;
  EXPECT_EQ(ReadFileBytes(Path("card.ps2")), empty);
  ASSERT_EQ(cli_.Run({"copy", WritePS2Psu(), "0", Path("card.ps2")}).exit, 0);
  Json card = ListJson(cli_, {Path("card.ps2")})["files"][0];
  EXPECT_EQ(Digests(card), std::vector<std::string>{PS2SaveDigest()});
  ASSERT_EQ(cli_.Run({"delete", Path("card.ps2"), "0"}).exit, 0);
  Json emptied = ListJson(cli_, {Path("card.ps2")})["files"][0];
  EXPECT_TRUE(emptied["saves"].empty());
  EXPECT_GT(emptied["freeKB"], card["freeKB"]);
}

TEST_F(CliTest, CopyRefusesAPS1CardOverFifteenBlocks) {
  // Target: 14 blocks used (one save of 14 blocks); source save: 2 blocks.
  PS1CardBuilder big;
  big.Directory(1, 0x51, 14 * kBlock, 1, "BIG");
  for (int b = 2; b <= 14; ++b)
    big.Directory(b, b == 14 ? 0x53 : 0x52, 0, b == 14 ? 0xFFFF : static_cast<std::uint16_t>(b),
                  "");
  big.Block(1, 0x40, "BIG", 14);
  WriteFileBytes(Path("big.mcr"), big.Bytes());
  std::string source = WriteThreeSaveCard();
  CliResult one = cli_.Run({"copy", source, "0", Path("big.mcr")});
  EXPECT_EQ(one.exit, 0) << one.err;
  auto before = ReadFileBytes(Path("big.mcr"));
  CliResult over = cli_.Run({"copy", source, "2", Path("big.mcr")});
  EXPECT_EQ(over.exit, 1);
  EXPECT_TRUE(Has(over.err, "It exceeds the capacity of 15 blocks."));
  EXPECT_EQ(ReadFileBytes(Path("big.mcr")), before);
}

TEST_F(CliTest, CopyAsksBeforeAddingASecondSaveOfTheSameName) {
  std::string source = WriteThreeSaveCard();
  ASSERT_EQ(cli_.Run({"convert", source, Path("target.xmc")}).exit, 0);
  auto before = ReadFileBytes(Path("target.xmc"));

  CliResult noTerminal = cli_.Run({"copy", source, "0", Path("target.xmc")});
  EXPECT_EQ(noTerminal.exit, 1);
  EXPECT_TRUE(Has(noTerminal.err, "Do you wish to add it?"));
  EXPECT_TRUE(Has(noTerminal.err, "not a terminal"));
  CliResult no = cli_.Run({"copy", source, "0", Path("target.xmc"), "--no"});
  EXPECT_EQ(no.exit, 1);
  EXPECT_EQ(ReadFileBytes(Path("target.xmc")), before);

  CliResult yes = cli_.Run({"copy", source, "0", Path("target.xmc"), "--yes"});
  ASSERT_EQ(yes.exit, 0) << yes.err;
  Json file = ListJson(cli_, {Path("target.xmc")})["files"][0];
  ASSERT_EQ(file["saves"].size(), 4u);
  EXPECT_EQ(file["saves"][3]["name"], "BESLES-00001ALPHA");
  EXPECT_EQ(file["saves"][3]["sha256"], ThreeSaveDigests()[0]);
  // --no does not matter when nothing is asked.
  ASSERT_EQ(cli_.Run({"new", "--ps2", Path("empty.xmc")}).exit, 0);
  EXPECT_EQ(cli_.Run({"copy", source, "0", Path("empty.xmc"), "--no"}).exit, 0);
}

TEST_F(CliTest, CopyAsksOnATerminal) {
  std::string source = WriteThreeSaveCard();
  ASSERT_EQ(cli_.Run({"convert", source, Path("target.xmc")}).exit, 0);
  auto copyWithReply = [&](const std::string& reply, std::string& err) {
    std::ostringstream out;
    std::ostringstream errors;
    std::istringstream terminal(reply);
    Console console{out, errors, terminal, true};
    std::vector<std::string> args = {"slotkeeper-cli", "copy", source, "0", Path("target.xmc")};
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    int exit = RunCli(static_cast<int>(argv.size()), argv.data(), console);
    err = errors.str();
    return exit;
  };
  std::string err;
  EXPECT_EQ(copyWithReply("n\n", err), 1);
  EXPECT_TRUE(Has(err, "Do you wish to add it? [y/N] ")) << err;
  EXPECT_EQ(copyWithReply("", err), 1);
  EXPECT_EQ(ListJson(cli_, {Path("target.xmc")})["files"][0]["saves"].size(), 3u);
  EXPECT_EQ(copyWithReply("y\n", err), 0);
  EXPECT_EQ(ListJson(cli_, {Path("target.xmc")})["files"][0]["saves"].size(), 4u);
}

TEST_F(CliTest, DeleteRemovesSavesByRowAndName) {
  std::string card = WriteThreeSaveCard();
  auto before = ReadFileBytes(card);
  CliResult toOther = cli_.Run({"delete", card, "2", "BESLES-00001ALPHA", "-o", Path("o.mcr")});
  ASSERT_EQ(toOther.exit, 0) << toOther.err;
  EXPECT_EQ(ReadFileBytes(card), before);
  EXPECT_EQ(Digests(ListJson(cli_, {Path("o.mcr")})["files"][0]),
            std::vector<std::string>{ThreeSaveDigests()[1]});

  ASSERT_EQ(cli_.Run({"delete", card, "1", "1"}).exit, 0);
  EXPECT_EQ(Digests(ListJson(cli_, {card})["files"][0]),
            (std::vector<std::string>{ThreeSaveDigests()[0], ThreeSaveDigests()[2]}));

  auto now = ReadFileBytes(card);
  CliResult missing = cli_.Run({"delete", card, "0", "NOBODY"});
  EXPECT_EQ(missing.exit, 1);
  EXPECT_TRUE(Has(missing.err, "no save named \"NOBODY\""));
  EXPECT_EQ(ReadFileBytes(card), now);
  CliResult noCard = cli_.Run({"delete", Path("none.mcr"), "0"});
  EXPECT_EQ(noCard.exit, 1);
  EXPECT_TRUE(Has(noCard.err, "The File wasn't opened."));
}

TEST_F(CliTest, RenameWritesTheNewNameOrRefusesWithTheReason) {
  std::string card = WriteThreeSaveCard();
  ASSERT_EQ(cli_.Run({"rename", card, "1", "BESLES-00002NEW", "-o", Path("o.mcr")}).exit, 0);
  Json renamed = ListJson(cli_, {Path("o.mcr")})["files"][0];
  EXPECT_EQ(renamed["saves"][1]["name"], "BESLES-00002NEW");
  EXPECT_EQ(Digests(renamed), ThreeSaveDigests());

  auto before = ReadFileBytes(card);
  CliResult same = cli_.Run({"rename", card, "0", "BISLPS-00003NEKO"});
  EXPECT_EQ(same.exit, 1);
  EXPECT_TRUE(Has(same.err, "The SaveData was not renamed."));
  EXPECT_TRUE(Has(same.err, "the card already holds \"BISLPS-00003NEKO\""));
  CliResult slash = cli_.Run({"rename", card, "0", "A/B"});
  EXPECT_EQ(slash.exit, 1);
  EXPECT_TRUE(Has(slash.err, "holds '/'"));
  EXPECT_EQ(ReadFileBytes(card), before);

  CliResult region = cli_.Run({"rename", card, "0", "MINE"});
  ASSERT_EQ(region.exit, 0) << region.err;
  EXPECT_TRUE(Has(region.err, "region code"));
  EXPECT_EQ(ListJson(cli_, {card})["files"][0]["saves"][0]["name"], "MINE");

  ASSERT_EQ(cli_.Run({"new", "--ps2", Path("ps2.ps2")}).exit, 0);
  ASSERT_EQ(cli_.Run({"import", Path("ps2.ps2"), WritePS2Psu()}).exit, 0);
  EXPECT_EQ(cli_.Run({"rename", Path("ps2.ps2"), "0", ".."}).exit, 1);
  ASSERT_EQ(cli_.Run({"rename", Path("ps2.ps2"), "0", "BASLUS-20001B"}).exit, 0);
  Json ps2 = ListJson(cli_, {Path("ps2.ps2")})["files"][0];
  EXPECT_EQ(ps2["saves"][0]["name"], "BASLUS-20001B");
  EXPECT_EQ(Digests(ps2), std::vector<std::string>{PS2SaveDigest()});
}

TEST_F(CliTest, WritesKeepBackupsThatListAndRestore) {
  std::filesystem::create_directory(cli_.ConfigFolder());
  WriteFileText(cli_.ConfigFolder() + "/qovan2.ini", "[Slotkeeper2]\nBackupGenerations=2\n");
  std::string card = WriteThreeSaveCard();
  for (int i = 0; i < 3; ++i) ASSERT_EQ(cli_.Run({"delete", card, "0"}).exit, 0);

  CliResult list = cli_.Run({"backups", card});
  ASSERT_EQ(list.exit, 0) << list.err;
  // Two generations kept, newest first: the card with one save, then two.
  EXPECT_TRUE(Has(list.out, "GEN")) << list.out;
  EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 3) << list.out;
  ASSERT_EQ(cli_.Run({"restore", card, "2"}).exit, 0);
  EXPECT_EQ(Digests(ListJson(cli_, {card})["files"][0]),
            (std::vector<std::string>{ThreeSaveDigests()[1], ThreeSaveDigests()[2]}));

  CliResult none = cli_.Run({"restore", card, "9"});
  EXPECT_EQ(none.exit, 1);
  EXPECT_TRUE(Has(none.err, "no generation 9")) << none.err;
}

}  // namespace
}  // namespace slk::testing
