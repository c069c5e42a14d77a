// End to end: the command line itself, `list` and `new`.

#include <sys/stat.h>

#include <regex>

#include "cli_fixture.h"

namespace slk::testing {
namespace {

using Json = nlohmann::json;

// Usage errors are among the refusals of cli_edit_test.cpp.
TEST_F(CliTest, VersionAndHelp) {
  CliResult version = cli_.Run({"--version"});
  EXPECT_EQ(version.exit, 0);
  EXPECT_EQ(version.out, "slotkeeper-cli 2.00\n");

  for (const char* command :
       {"list", "new", "convert", "import", "export", "copy", "delete", "check"}) {
    CliResult help = cli_.Run({command, "--help"});
    EXPECT_EQ(help.exit, 0) << command;
    EXPECT_NE(help.out.find(std::string("slotkeeper-cli ") + command), std::string::npos)
        << help.out;
  }
}

// A PS1 card written as .xmc is an expanded card, as Save As makes it; a PS2
// card image is a formatted 8 MB card, with its ECC spare bytes or without.
TEST_F(CliTest, NewWritesEmptyCardsByExtension) {
  const std::vector<std::string> made[] = {{"--ps1", "a.mcr"}, {"--ps1", "a.mem"},
                                           {"--ps2", "b.xmc"}, {"--ps1", "c.xmc"},
                                           {"--ps2", "d.ps2"}, {"--ps2", "--no-ecc", "e.mc2"}};
  std::vector<std::string> paths;
  for (std::vector<std::string> args : made) {
    args.back() = paths.emplace_back(Path(args.back()));
    args.insert(args.begin(), "new");
    ASSERT_EQ(cli_.Run(args).exit, 0) << paths.back();
  }
  Json files = ListJson(cli_, paths)["files"];
  std::vector<std::string> kinds;
  for (const Json& file : files) kinds.push_back(file["saves"].empty() ? file["kind"] : "saves");
  EXPECT_EQ(kinds, (std::vector<std::string>{"PS1", "PS1", "PS2", "PS2", "PS2CARD", "PS2CARD"}));
  EXPECT_EQ(files[1]["format"], "mem");
  EXPECT_EQ(files[4]["freeKB"], 8134);
  EXPECT_EQ(files[4]["damaged"], false);
  EXPECT_EQ(ReadFileBytes(paths[4]).size(), 8650752u);
  EXPECT_EQ(ReadFileBytes(paths[5]).size(), 8388608u);
}

TEST_F(CliTest, ListPrintsOneTablePerFileInUtf8OrJson) {
  std::string card = WriteThreeSaveCard();
  std::string psu = WritePS2Psu();
  CliResult text = cli_.Run({"list", card, psu});
  ASSERT_EQ(text.exit, 0) << text.err;
  EXPECT_NE(text.out.find(card + ": PS1 card (.mcr), 3 saves, 6 of 15 blocks used"),
            std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find(psu + ": save data image (.psu), 1 save"), std::string::npos);
  EXPECT_NE(text.out.find("BESLES-00001ALPHA"), std::string::npos);
  EXPECT_NE(text.out.find(kAlphaTitleUtf8), std::string::npos);
  EXPECT_NE(text.out.find(kNekoTitleUtf8), std::string::npos);
  EXPECT_NE(text.out.find("3 blocks"), std::string::npos);
  EXPECT_NE(text.out.find("SPACE　RACE"), std::string::npos);
  // 964 + 700 + 3000 bytes, in whole KB as the window's detail screen shows it.
  EXPECT_NE(text.out.find(" 4 KB"), std::string::npos) << text.out;
  EXPECT_TRUE(text.err.empty()) << text.err;

  // The same as JSON, following its schema.
  Json list = ListJson(cli_, {card, psu});
  ASSERT_EQ(list.size(), 1u);
  ASSERT_EQ(list["files"].size(), 2u);

  // Times differ from run to run for the PS1 card (the moment of reading).
  Json ps1 = list["files"][0];
  EXPECT_TRUE(std::regex_match(ps1["saves"][0]["time"].get<std::string>(),
                               std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")));
  ps1["saves"][0].erase("time");
  Json alpha = Json::parse(R"({"row": 0, "name": "BESLES-00001ALPHA", "ps1": true, "size": 8192,
      "mode": 36903, "files": [{"name": "BESLES-00001ALPHA", "size": 8192, "mode": 33815}]})");
  alpha.update({{"title", kAlphaTitleUtf8}, {"sha256", ThreeSaveDigests()[0]}});
  EXPECT_EQ(ps1["saves"][0], alpha);  // modes 0x9027 and 0x8417
  EXPECT_EQ(ps1["saves"][1]["size"], 3 * 8192);
  EXPECT_EQ(Digests(ps1), ThreeSaveDigests());
  ps1.erase("saves");
  EXPECT_EQ(ps1, (Json{{"file", card}, {"format", "mcr"}, {"kind", "PS1"}}));

  Json ps2 = list["files"][1];
  EXPECT_EQ(ps2["format"], "psu");
  EXPECT_EQ(ps2["kind"], "PS2");
  ASSERT_EQ(ps2["saves"].size(), 1u);
  Json space = ps2["saves"][0];
  EXPECT_EQ(space["files"][2], (Json{{"name", "data.bin"}, {"size", 3000}, {"mode", 0x8497}}));
  space.erase("files");
  Json want = Json::parse(R"({"row": 0, "name": "BASLUS-20001SPACE", "title": "SPACE　RACE",
      "ps1": false, "mode": 33831, "size": 4664, "time": "2003-06-01 10:20:30"})");
  want["sha256"] = PS2SaveDigest();
  EXPECT_EQ(space, want);  // mode 0x8427, 964 + 700 + 3000 bytes
}

// Names and titles are the card's bytes: printed raw, an escape sequence would
// clear the screen or retitle the window, and a text-form icon.sys would
// break the table's lines.
TEST_F(CliTest, ListShowsControlCharactersInCardTextsAsQuestionMarks) {
  PS1CardBuilder card;
  card.Directory(1, 0x51, kBlock, 0xFFFF, "BAD\x1b[2J").Block(1, 0x11, "\x1b]0;owned\x07T", 1);
  WriteFileBytes(Path("esc.mcr"), card.Bytes());
  SaveSpec textForm = PS2Save();
  // As a homebrew installer writes it (388 bytes).
  std::string text = "PS2X\ntitle0 = Space\ntitle1 = Race\nbgcola = 0\n";
  for (int k = 0; k < 4; ++k) text += "bgcol" + std::to_string(k) + " = 28,71,71\n";
  for (int k = 0; k < 3; ++k) text += "lightdir" + std::to_string(k) + " = 0.5000,0.5000,0.5000\n";
  text += "lightcolamb = 128,128,128\nuninstallmes0 = This will delete your APPS!\n";
  textForm.files[0].bytes = Buffer(text.begin(), text.end());
  WriteFileBytes(Path("text.psu"), Psu(textForm));
  CliResult list = cli_.Run({"list", Path("esc.mcr"), Path("text.psu")});
  ASSERT_EQ(list.exit, 0) << list.err;
  for (char control = 0; control < 0x20; ++control) {
    if (control == '\n') continue;
    EXPECT_EQ(list.out.find(control), std::string::npos) << int{control} << "\n" << list.out;
  }
  EXPECT_NE(list.out.find("BAD?[2J"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("?]0;owned?T"), std::string::npos) << list.out;
  EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 7) << list.out;
  EXPECT_NE(list.out.find("BASLUS-20001SPACE  Space Race  PS2"), std::string::npos) << list.out;
  // JSON escapes them itself and keeps the text as it is.
  Json json = ListJson(cli_, {Path("esc.mcr")});
  EXPECT_EQ(json["files"][0]["saves"][0]["name"], "BAD\x1b[2J");
}

TEST_F(CliTest, ListReportsUnreadableFilesAndGoesOn) {
  std::string card = WriteThreeSaveCard();
  WriteFileBytes(Path("bad.xmc"), Buffer(64, 'x'));
  CliResult result = cli_.Run({"list", "--json", Path("none.mcr"), Path("bad.xmc"), card});
  EXPECT_EQ(result.exit, 1);
  Json list = Json::parse(result.out);
  ASSERT_EQ(list["files"].size(), 3u);
  EXPECT_EQ(list["files"][0], (Json{{"file", Path("none.mcr")},
                                    {"error", "The File wasn't opened. none.mcr: no such file"}}));
  EXPECT_EQ(list["files"][1]["error"],
            "It's not ExpandedMemoryCard Image. bad.xmc: bad magic in the header (\"EXMC\")");
  EXPECT_EQ(list["files"][2]["saves"].size(), 3u);
  // The digests need libcrypto: without it the file is refused, not the program ended.
  CliResult noCrypto = cli_.Run({"list", "--json", card}, {"SLOTKEEPER_LIBCRYPTO=libslk-none.so"});
  EXPECT_EQ(noCrypto.exit, 1);
  EXPECT_NE(noCrypto.out.find("could not load libslk-none.so"), std::string::npos) << noCrypto.out;
  EXPECT_NE(
      result.err.find(Path("none.mcr") + ": The File wasn't opened.\n  none.mcr: no such file"),
      std::string::npos);

  // A FIFO has no writer: reading it would wait for ever.
  ASSERT_EQ(::mkfifo(Path("pipe.mcr").c_str(), 0600), 0);
  CliResult pipe = cli_.Run({"list", Path("pipe.mcr"), card});
  EXPECT_EQ(pipe.exit, 1);
  EXPECT_NE(pipe.err.find(Path("pipe.mcr") + ": The File wasn't opened."), std::string::npos);
  EXPECT_NE(pipe.out.find("BESLES-00001ALPHA"), std::string::npos);
}

TEST_F(CliTest, MessagesFollowTheLocaleAndNameTheFileAndTheReason) {
  auto card = ThreeSaveBuilder().Bytes();
  card.resize(100000);
  WriteFileBytes(Path("cut.mcr"), card);
  CliResult english = cli_.Run({"list", Path("cut.mcr")});
  EXPECT_EQ(english.exit, 1);
  EXPECT_NE(english.err.find("The File wasn't opened.\n"
                             "  cut.mcr: too short for the format: 100,000 bytes, needs 131,072\n"),
            std::string::npos)
      << english.err;

  CliRunner japanese("ja_JP.UTF-8");
  CliResult result = japanese.Run({"list", Path("cut.mcr")});
  EXPECT_EQ(result.exit, 1);
  EXPECT_NE(
      result.err.find("ファイルを開けませんでした。\n"
                      "  cut.mcr: 形式に対して短すぎます: 100,000 バイト (131,072 バイト必要)"),
      std::string::npos)
      << result.err;
}

}  // namespace
}  // namespace slk::testing
