// End to end: the commands that write (convert, import, export, copy,
// delete, rename), and every refusal's message and exit code; no refusal
// changes a file.

#include <algorithm>
#include <sstream>
#include <thread>

#include "cli/cli_app.h"
#include "cli_fixture.h"

namespace slk::testing {
namespace {

using Json = nlohmann::json;

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

// NEKO's chain runs into BETA's last block: only its first block is found.
// Written out, as a card or an expanded card, the card would pass the one
// block off as the whole save: asked, and without a terminal answered no.
TEST_F(CliTest, ASaveWhoseBlocksBreakOffIsWrittenOnlyWithForce) {
  PS1CardBuilder card = ThreeSaveBuilder();
  card.Directory(5, 0x51, 2 * kBlock, 3, "BISLPS-00003NEKO");
  WriteFileBytes(Path("broken.mcr"), card.Bytes());
  ASSERT_EQ(cli_.Run({"new", "--ps1", Path("empty.mcr")}).exit, 0);
  // A copy of the save is just as short as the save.
  const std::vector<std::vector<std::string>> commands = {
      {"convert", Path("broken.mcr"), Path("out.mcr")},
      {"convert", Path("broken.mcr"), Path("out.xmc")},
      {"delete", Path("broken.mcr"), "0", "-o", Path("out.mcr")},
      {"copy", Path("broken.mcr"), "BISLPS-00003NEKO", Path("empty.mcr"), "-o", Path("out.mcr")}};
  for (std::vector<std::string> args : commands) {
    SCOPED_TRACE(args[0] + " " + args.back());
    CliResult refused = cli_.Run(args);
    EXPECT_EQ(refused.exit, 1);
    EXPECT_TRUE(Has(refused.err,
                    "A save's blocks break off; only the blocks found will be saved. "
                    "Do you wish to save it? no (give --force"))
        << refused.err;
    EXPECT_TRUE(Has(refused.err, "\"BISLPS-00003NEKO\" break off: 1 of 2 kept")) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(args.back()));
    args.push_back("--force");
    CliResult forced = cli_.Run(args);
    ASSERT_EQ(forced.exit, 0) << forced.err;
    EXPECT_TRUE(Has(forced.err, "(--force)")) << forced.err;
    std::filesystem::remove(args[args.size() - 2]);
  }
}

// Exported in every save format, a save lists with the same bytes and
// imports into a card; other tools' raw saves (.srm, or named like a card)
// are saves to `list` and `check`.
TEST_F(CliTest, SavesTravelThroughEverySaveFormat) {
  std::string card = WriteThreeSaveCard();
  std::string psu = WritePS2Psu();
  ASSERT_EQ(cli_.Run({"new", "--ps2", Path("ps2.xmc")}).exit, 0);
  ASSERT_EQ(cli_.Run({"import", Path("ps2.xmc"), psu}).exit, 0);
  struct Case {
    std::string from, save, out, digest;
  };
  std::vector<Case> cases;
  for (const char* ext : {"psu", "psd", "ps1", "mcx", "mcb", "psm", "mc", "mcs"})
    cases.push_back({card, "BISLPS-00003NEKO", Path("neko.") + ext, ThreeSaveDigests()[2]});
  for (const char* ext : {"cbs", "max", "psv"})
    cases.push_back({Path("ps2.xmc"), "0", Path("space.") + ext, PS2SaveDigest()});
  // From a save data image, as from a card holding one save.
  cases.push_back({psu, "0", Path("space.psd"), PS2SaveDigest()});
  for (const Case& c : cases) {
    CliResult result = cli_.Run({"export", c.from, c.save, c.out});
    ASSERT_EQ(result.exit, 0) << c.out << ": " << result.err;
    Json file = ListJson(cli_, {c.out})["files"][0];
    EXPECT_EQ(Digests(file), std::vector<std::string>{c.digest}) << c.out;
  }

  ASSERT_EQ(cli_.Run({"new", "--ps1", Path("empty.mcr")}).exit, 0);
  auto before = ReadFileBytes(Path("empty.mcr"));
  CliResult toOther =
      cli_.Run({"import", Path("empty.mcr"), Path("neko.ps1"), "-o", Path("o.mcr")});
  ASSERT_EQ(toOther.exit, 0) << toOther.err;
  EXPECT_EQ(ReadFileBytes(Path("empty.mcr")), before);
  EXPECT_EQ(Digests(ListJson(cli_, {Path("o.mcr")})["files"][0]),
            std::vector<std::string>{ThreeSaveDigests()[2]});
  ASSERT_EQ(cli_.Run({"new", "--ps2", Path("two.xmc")}).exit, 0);
  ASSERT_EQ(cli_.Run({"import", Path("two.xmc"), Path("neko.psm"), psu}).exit, 0);
  EXPECT_EQ(Digests(ListJson(cli_, {Path("two.xmc")})["files"][0]),
            (std::vector<std::string>{ThreeSaveDigests()[2], PS2SaveDigest()}));

  Buffer mcs = ReadFileBytes(Path("neko.mcs"));
  for (const char* name : {"neko.srm", "neko.mcd"}) {
    WriteFileBytes(Path(name), Buffer(mcs.begin() + 128, mcs.end()));
    Json raw = ListJson(cli_, {Path(name)})["files"][0];
    EXPECT_EQ(raw["format"], "raw") << name;
    EXPECT_EQ(Digests(raw), std::vector<std::string>{ThreeSaveDigests()[2]}) << name;
  }
  CliResult check = cli_.Run({"check", Path("neko.srm"), Path("neko.mcd")});
  EXPECT_EQ(check.exit, 0) << check.out;
}

// Every refusal of the commands that write: the exit code, the message and
// its reason, and every file left as it was.
TEST_F(CliTest, RefusalsSayWhyAndChangeNoFile) {
  std::string card = WriteThreeSaveCard();
  std::string psu = WritePS2Psu();
  const std::vector<std::string> setup[] = {{"new", "--ps2", Path("ps2.xmc")},
                                            {"import", Path("ps2.xmc"), psu},
                                            {"convert", card, Path("ps1.xmc")},
                                            {"export", card, "1", Path("beta.psm")},
                                            {"export", card, "0", Path("alpha.ps1")},
                                            {"export", psu, "0", Path("space.max")},
                                            {"convert", card, Path("twice.xmc")},
                                            {"import", Path("twice.xmc"), Path("alpha.ps1")},
                                            {"new", "--ps1", Path("target.mcr")},
                                            {"copy", card, "1", Path("target.mcr")},
                                            {"new", "--ps2", Path("card.ps2")},
                                            {"import", Path("card.ps2"), psu},
                                            {"export", psu, "0", Path("space"), "--folder"},
                                            {"export", psu, "0", Path("out") + "/"}};
  std::filesystem::create_directory(Path("out"));
  for (const auto& args : setup) ASSERT_EQ(cli_.Run(args).exit, 0) << args[0];
  // Names compare without the case of A-Z.
  WriteFileBytes(Path("lower.ps1"), FramedSingle("besles-00001alpha", kBlock, PS1Blocks(1, "A")));
  WriteFileBytes(Path("big.ps1"),
                 FramedSingle("BASLUS-BIG", 10 * kBlock, PS1Blocks(10, "Big")));  // 6 + 10 blocks
  const std::string notCard = "It's not MemoryCard Image.", notSave = "It's not SaveData Image.";
  const std::string notPreserved = "The File wasn't preserved.";
  ExpectRefusals({
      {{"convert", Path("card.txt"), Path("out.mcr")}, {notCard}},
      {{"convert", card, Path("out.psu")}, {notCard}},
      // A PS2 save has no place in a PS1 card image, nor a PS1 save in a PS2 one.
      {{"convert", Path("ps2.xmc"), Path("out.mcr")}, {"is a PS2 save", notPreserved}},
      {{"convert", Path("ps1.xmc"), Path("out.ps2")}, {"is a PS1 save"}},
      {{"import", card, psu},
       {"PS2 SaveData isn't able to include into PS1 MemoryCard.",
        "  space.psu: \"BASLUS-20001SPACE\" is a PS2 save\n"},
       1,
       "The File wasn't opened."},  // the refusal is shown once
      {{"import", card, Path("space.max")}, {"PS2 SaveData isn't able to include into PS1"}},
      {{"import", card, Path("notes.txt")}, {notSave}},
      {{"import", card, Path("none.psu")},
       {Path("none.psu") + ": The File wasn't opened.\n  none.psu: no such file\n"}},
      // A PS1 card takes only what Copy would let in: never a second save of a
      // name, never more than 15 blocks.
      {{"import", card, Path("beta.psm")},
       {"There is the same DataName. It is unable to copy.\n"
        "  beta.psm: the card already holds \"BASLUS-00002BETA\"\n"}},
      {{"import", card, Path("lower.ps1")}, {"There is the same DataName. It is unable to copy."}},
      {{"import", card, Path("big.ps1")},
       {"It exceeds the capacity of 15 blocks.\n"
        "  big.ps1: the card would hold 16 blocks, at most 15\n"},
       1,
       notPreserved},
      {{"import", card, Path("space")}, {}},
      // A PS2 save has no place in a PS1-only layout; a file there stays.
      {{"export", psu, "0", Path("alpha.ps1")}, {notPreserved}},
      {{"export", psu, "0", Path("space.psm")}, {notPreserved}},
      {{"export", psu, "0", Path("space.txt")}, {notSave}},
      {{"export", card, "0", Path("alpha.mcr")}, {notSave}},
      {{"export", card, "3", Path("x.psu")}, {"no row 3 (the card lists 3 saves)"}},
      {{"export", card, "besles-00001alpha", Path("x.psu")},
       {"no save named \"besles-00001alpha\""}},
      // Two saves of one name in an expanded card: the name alone is not enough.
      {{"export", Path("twice.xmc"), "BESLES-00001ALPHA", Path("x.psu")}, {"ambiguous: rows 0, 3"}},
      {{"export", card, "1", Path("beta.max")}, {"a PS1 save cannot be written as .max"}},
      {{"export", psu, "0", Path("out") + "/"}, {"already exists"}},
      {{"export", card, "0", Path("alpha"), "--folder"}, {"is a PS1 save"}},
      {{"copy", card, "1", Path("target.mcr")},
       {"There is the same DataName. It is unable to copy."}},
      {{"copy", psu, "0", Path("target.mcr")}, {"PS2 SaveData isn't able to include into PS1"}},
      {{"copy", card, "0", Path("none.mcr")}, {Path("none.mcr") + ": The File wasn't opened."}},
      {{"copy", card, "0", Path("card.ps2")},
       {"PS1 SaveData isn't able to include into PS2 MemoryCard Image.", "is a PS1 save"}},
      {{"delete", card, "0", "NOBODY"}, {"no save named \"NOBODY\""}},
      {{"delete", Path("none.mcr"), "0"}, {"The File wasn't opened."}},
      {{"rename", card, "0", "BISLPS-00003NEKO"},
       {"The SaveData was not renamed.", "the card already holds \"BISLPS-00003NEKO\""}},
      {{"rename", card, "0", "A/B"}, {"holds '/'"}},
      {{"rename", Path("card.ps2"), "0", ".."}, {}},
      {{"new", "--ps1", Path("x.bin")}, {notCard}},
      {{"new", "--ps1", Path("missing/x.mcr")}, {notPreserved}},
      // Usage errors.
      {{}, {}, 2},
      {{"frobnicate"}, {}, 2},
      {{"list"}, {}, 2},
      {{"convert", "only-one.mcr"}, {}, 2},
      {{"new", Path("x.mcr")}, {}, 2},
      {{"new", "--ps1", "--ps2", Path("x.mcr")}, {}, 2},
      {{"new", "--ps2", Path("x.mcr")}, {".xmc only"}, 2},
      {{"new", "--ps1", Path("x.ps2")}, {"names a PS2 card image"}, 2},
      {{"new", "--ps2", "--no-ecc", Path("x.xmc")}, {}, 2},
      {{"new", "--ps2", "--ecc", "--no-ecc", Path("x.ps2")}, {}, 2},
      {{"copy", "a.mcr", "0", "b.mcr", "--yes", "--no"}, {}, 2},
  });
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

  // A PS2 card image takes the PS2 save; deleting gives the card its free
  // space back.
  ASSERT_EQ(cli_.Run({"new", "--ps2", Path("card.ps2")}).exit, 0);
  ASSERT_EQ(cli_.Run({"copy", WritePS2Psu(), "0", Path("card.ps2")}).exit, 0);
  Json card = ListJson(cli_, {Path("card.ps2")})["files"][0];
  EXPECT_EQ(Digests(card), std::vector<std::string>{PS2SaveDigest()});
  ASSERT_EQ(cli_.Run({"delete", Path("card.ps2"), "0"}).exit, 0);
  Json emptied = ListJson(cli_, {Path("card.ps2")})["files"][0];
  EXPECT_TRUE(emptied["saves"].empty());
  EXPECT_GT(emptied["freeKB"], card["freeKB"]);
}

// A second save of a name in an expanded card: asked on a terminal, refused
// without one unless --yes answers.
TEST_F(CliTest, CopyAsksBeforeAddingASecondSaveOfTheSameName) {
  std::string source = WriteThreeSaveCard();
  ASSERT_EQ(cli_.Run({"convert", source, Path("target.xmc")}).exit, 0);
  auto before = ReadFileBytes(Path("target.xmc"));
  auto saves = [&] { return ListJson(cli_, {Path("target.xmc")})["files"][0]["saves"]; };

  CliResult noTerminal = cli_.Run({"copy", source, "0", Path("target.xmc")});
  EXPECT_EQ(noTerminal.exit, 1);
  EXPECT_TRUE(Has(noTerminal.err, "Do you wish to add it?"));
  EXPECT_TRUE(Has(noTerminal.err, "not a terminal"));
  CliResult no = cli_.Run({"copy", source, "0", Path("target.xmc"), "--no"});
  EXPECT_EQ(no.exit, 1);
  EXPECT_EQ(ReadFileBytes(Path("target.xmc")), before);

  auto copyWithReply = [&](const std::string& reply, std::string& err) {
    std::ostringstream out, errors;
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
  EXPECT_EQ(saves().size(), 3u);
  EXPECT_EQ(copyWithReply("y\n", err), 0);
  EXPECT_EQ(saves().size(), 4u);

  CliResult yes = cli_.Run({"copy", source, "0", Path("target.xmc"), "--yes"});
  ASSERT_EQ(yes.exit, 0) << yes.err;
  ASSERT_EQ(saves().size(), 5u);
  EXPECT_EQ(saves()[4]["name"], "BESLES-00001ALPHA");
  EXPECT_EQ(saves()[4]["sha256"], ThreeSaveDigests()[0]);
  // --no does not matter when nothing is asked.
  ASSERT_EQ(cli_.Run({"new", "--ps2", Path("empty.xmc")}).exit, 0);
  EXPECT_EQ(cli_.Run({"copy", source, "0", Path("empty.xmc"), "--no"}).exit, 0);
}

TEST_F(CliTest, DeleteAndRenameWriteTheCardOrAnother) {
  std::string card = WriteThreeSaveCard();
  auto before = ReadFileBytes(card);
  CliResult toOther = cli_.Run({"delete", card, "2", "BESLES-00001ALPHA", "-o", Path("o.mcr")});
  ASSERT_EQ(toOther.exit, 0) << toOther.err;
  CliResult rename = cli_.Run({"rename", card, "1", "BESLES-00002NEW", "-o", Path("r.xmc")});
  ASSERT_EQ(rename.exit, 0) << rename.err;
  EXPECT_FALSE(Has(rename.err, "region code")) << rename.err;
  EXPECT_EQ(ReadFileBytes(card), before);
  EXPECT_EQ(Digests(ListJson(cli_, {Path("o.mcr")})["files"][0]),
            std::vector<std::string>{ThreeSaveDigests()[1]});
  Json renamed = ListJson(cli_, {Path("r.xmc")})["files"][0];
  EXPECT_EQ(renamed["saves"][1]["name"], "BESLES-00002NEW");
  EXPECT_EQ(renamed["saves"][1]["files"][0]["name"], "BESLES-00002NEW");
  EXPECT_EQ(Digests(renamed), ThreeSaveDigests());

  ASSERT_EQ(cli_.Run({"delete", card, "1", "1"}).exit, 0);
  EXPECT_EQ(Digests(ListJson(cli_, {card})["files"][0]),
            (std::vector<std::string>{ThreeSaveDigests()[0], ThreeSaveDigests()[2]}));
  CliResult region = cli_.Run({"rename", card, "0", "MINE"});
  ASSERT_EQ(region.exit, 0) << region.err;
  EXPECT_TRUE(Has(region.err, "region code"));
  EXPECT_EQ(ListJson(cli_, {card})["files"][0]["saves"][0]["name"], "MINE");

  ASSERT_EQ(cli_.Run({"new", "--ps2", Path("ps2.ps2")}).exit, 0);
  ASSERT_EQ(cli_.Run({"import", Path("ps2.ps2"), WritePS2Psu()}).exit, 0);
  // A PS2 save's folder needs no region code.
  CliResult ps2Rename = cli_.Run({"rename", Path("ps2.ps2"), "0", "MYSAVE"});
  ASSERT_EQ(ps2Rename.exit, 0) << ps2Rename.err;
  EXPECT_FALSE(Has(ps2Rename.err, "region code")) << ps2Rename.err;
  Json ps2 = ListJson(cli_, {Path("ps2.ps2")})["files"][0];
  EXPECT_EQ(ps2["saves"][0]["name"], "MYSAVE");
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
