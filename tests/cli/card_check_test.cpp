// The checker on cards with one planted fault each, called directly and
// through `check`.

#include "cli/card_check.h"

#include <functional>

#include "cli_fixture.h"
#include "support/corpus.h"

namespace slk::testing {
namespace {

constexpr CardFormat kMcr = CardFormat::Mcr;
constexpr CardFormat kMem = CardFormat::Mem;
constexpr CardFormat kGme = CardFormat::Gme;
constexpr CardFormat kXmc = CardFormat::Xmc;

std::vector<CardFault> FaultsOf(const std::vector<std::uint8_t>& bytes, CardFormat format = kMcr) {
  std::vector<CardFault> faults;
  for (const CardFinding& f : CheckCardImage(bytes, format)) faults.push_back(f.fault);
  return faults;
}

class CardCheckTest : public CliTest {};

// One fault planted in the three-save card at a time: exactly these findings.
TEST_F(CardCheckTest, FindsEachPlantedPS1Fault) {
  using F = CardFault;
  struct Case {
    const char* what;
    std::function<void(PS1CardBuilder&)> plant;
    std::vector<CardFault> faults;
  };
  const Case cases[] = {
      {"nothing", [](PS1CardBuilder&) {}, {}},
      // Deleted saves, and stale names and sizes in middle blocks, are normal.
      {"deleted and stale",
       [](PS1CardBuilder& b) {
         b.Directory(2, 0xA1, 3 * kBlock, 2, "OLD").Directory(3, 0xA2, kBlock, 3, "OLD");
         b.Directory(4, 0xA3, 0, 0xFFFF, "").Directory(6, 0x53, kBlock, 0xFFFF, "STALE");
       },
       {}},
      {"checksum", [](PS1CardBuilder& b) { b.Raw()[3 * 128 + 127] ^= 0x5A; }, {F::FrameChecksum}},
      {"broken-sector list",
       [](PS1CardBuilder& b) { b.Raw()[20 * 128] = 0x12; },
       {F::FrameChecksum}},
      {"state", [](PS1CardBuilder& b) { b.Directory(9, 0x00, 0, 0xFFFF, ""); }, {F::UnknownState}},
      {"link outside",
       [](PS1CardBuilder& b) { b.Directory(3, 0x52, 0, 40, ""); },
       {F::BrokenLink, F::OrphanBlock}},
      // Block 4 back to block 3.
      {"loop", [](PS1CardBuilder& b) { b.Directory(4, 0x52, 0, 2, ""); }, {F::LoopingChain}},
      // ALPHA into BETA's block 4.
      {"shared",
       [](PS1CardBuilder& b) { b.Directory(1, 0x51, 2 * kBlock, 3, "BESLES-00001ALPHA"); },
       {F::SharedBlock}},
      {"size",
       [](PS1CardBuilder& b) { b.Directory(5, 0x51, 3 * kBlock, 5, "BISLPS-00003NEKO"); },
       {F::SizeMismatch}},
      {"ends early",
       [](PS1CardBuilder& b) { b.Directory(3, 0x52, 0, 0xFFFF, ""); },
       {F::BrokenLink, F::OrphanBlock}},
      {"orphan", [](PS1CardBuilder& b) { b.Directory(10, 0x53, 0, 0xFFFF, ""); }, {F::OrphanBlock}},
      {"duplicate",
       [](PS1CardBuilder& b) { b.Directory(1, 0x51, kBlock, 0xFFFF, "bislps-00003neko"); },
       {F::DuplicateName}},
      {"capacity",
       [](PS1CardBuilder& b) { b.Directory(1, 0x51, 11 * kBlock, 0xFFFF, "BESLES-00001ALPHA"); },
       {F::SizeMismatch, F::OverCapacity}},
      {"magic",
       [](PS1CardBuilder& b) {
         b.Raw()[2] = 1;
         b.Raw()[127] ^= 1;
       },
       {F::HeaderMagic}},
  };
  EXPECT_TRUE(FaultsOf(PS1CardBuilder().Bytes()).empty());
  for (const Case& c : cases) {
    PS1CardBuilder card = ThreeSaveBuilder();
    c.plant(card);
    EXPECT_EQ(FaultsOf(card.Bytes()), c.faults) << c.what;
  }
}

TEST_F(CardCheckTest, SizesOfEachFormat) {
  auto card = ThreeSaveBuilder().Bytes();
  EXPECT_EQ(FaultsOf(Buffer(card.begin(), card.begin() + 8192)),
            std::vector<CardFault>{CardFault::FileSize});
  Buffer longer = card;
  longer.push_back(0);
  EXPECT_EQ(FaultsOf(longer), std::vector<CardFault>{CardFault::FileSize});
  EXPECT_EQ(FaultsOf(card, kMem), std::vector<CardFault>{CardFault::FileSize});
  Buffer mem(64, 0);
  Append(mem, card);
  EXPECT_TRUE(FaultsOf(mem, kMem).empty());
  Buffer gme(3904, 0);
  PutText(gme, 0, "123-456-STD");
  Append(gme, card);
  EXPECT_TRUE(FaultsOf(gme, kGme).empty());
  // Cut after its last save (block 6) by another tool: the rest reads as free.
  EXPECT_TRUE(FaultsOf(Buffer(gme.begin(), gme.begin() + 3904 + 7 * 8192), kGme).empty());
  EXPECT_EQ(FaultsOf(Buffer(gme.begin(), gme.begin() + 3904 + 6 * 8192), kGme),
            std::vector<CardFault>{CardFault::BrokenLink});  // NEKO's block 6 is cut off
  EXPECT_TRUE(FaultsOf(card, kGme).empty());                 // a DexDrive file without its header
}

TEST_F(CardCheckTest, FindsExpandedCardFaults) {
  SaveSpec ps1 = PS1Save("BESLES-00001ALPHA", 2, "ALPHA");
  Buffer good = Xmc({ps1, PS2Save()});
  EXPECT_TRUE(FaultsOf(good, kXmc).empty());
  EXPECT_TRUE(FaultsOf(Xmc({}), kXmc).empty());

  EXPECT_EQ(FaultsOf(Buffer(good.begin(), good.end() - 700), kXmc),
            std::vector<CardFault>{CardFault::Truncated});
  Buffer trailing = good;
  trailing.resize(good.size() + 10, 0);
  EXPECT_EQ(FaultsOf(trailing, kXmc), std::vector<CardFault>{CardFault::TrailingBytes});
  Buffer more = good;
  Put32(more, 4, 3);
  EXPECT_EQ(FaultsOf(more, kXmc), std::vector<CardFault>{CardFault::Truncated});
  Buffer magic = good;
  magic[0] = 'X';
  EXPECT_EQ(FaultsOf(magic, kXmc), std::vector<CardFault>{CardFault::BadMagic});
  EXPECT_EQ(FaultsOf(Xmc({ps1}, 2), kXmc), std::vector<CardFault>{CardFault::BadVersion});

  SaveSpec noDots = PS2Save();
  noDots.files.clear();
  noDots.entryCountOverride = 1;
  EXPECT_EQ(FaultsOf(Xmc({noDots}), kXmc), std::vector<CardFault>{CardFault::BadEntryCount});
  Buffer tag = XmcHeader(1);
  Append(tag, XmcSave(ps1, "PS2D"));
  EXPECT_EQ(FaultsOf(tag, kXmc), std::vector<CardFault>{CardFault::BadSaveHeader});
  SaveSpec ragged = ps1;
  ragged.files[0].bytes.resize(5000);
  EXPECT_EQ(FaultsOf(Xmc({ragged}), kXmc), std::vector<CardFault>{CardFault::BadPS1Save});
}

TEST_F(CardCheckTest, CheckCommandReportsAndSetsTheExitCode) {
  std::string good = WriteThreeSaveCard("good.mcr");
  PS1CardBuilder bad = ThreeSaveBuilder();
  bad.Directory(4, 0x52, 0, 2, "");
  bad.Directory(9, 0x77, 0, 0xFFFF, "");
  WriteFileBytes(Path("bad.gme"), bad.Bytes());
  WriteFileBytes(Path("bad.xmc"), Xmc({PS2Save()}, 7));

  CliResult ok = cli_.Run({"check", good});
  EXPECT_EQ(ok.exit, 0);
  EXPECT_EQ(ok.out, good + ": OK\n");

  CliResult result = cli_.Run({"check", good, Path("bad.gme"), Path("bad.xmc"), Path("notes.txt")});
  EXPECT_EQ(result.exit, 1);
  EXPECT_NE(result.err.find("notes.txt: It's not MemoryCard Image."), std::string::npos);
  EXPECT_NE(result.out.find(Path("bad.gme") + ": 2 problems"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("block 9: unknown state 0x77"), std::string::npos);
  EXPECT_NE(result.out.find("loops from block 4 back to block 3"), std::string::npos);
  EXPECT_NE(result.out.find("format version 7"), std::string::npos);
  EXPECT_NE(result.out.find("The Format Version is not uncorrespondence."), std::string::npos);
  // Nothing was written.
  EXPECT_EQ(ReadFileBytes(Path("bad.gme")), bad.Bytes());
  EXPECT_EQ(dir_.EntryCount(), 3u);

  ASSERT_EQ(cli_.Run({"new", "--ps2", Path("empty.ps2")}).exit, 0);
  CliResult ps2Card = cli_.Run({"check", Path("empty.ps2")});
  EXPECT_EQ(ps2Card.exit, 0);
  EXPECT_EQ(ps2Card.out, Path("empty.ps2") + ": OK, 8134 KB free\n");
}

TEST_F(CardCheckTest, RealCardsFromTheCorpusCheckClean) {
  std::string root = testing::CorpusDir().string();
  std::vector<std::string> cards = {
      root + "/memcardpro/MemoryCard2-1.mcd", root + "/go-psx-memcard/epsxe000.mcr",
      root + "/save-file-converter/ps1-dexdrive/gran-turismo.26535.gme"};
  if (!std::filesystem::exists(cards[0])) GTEST_SKIP() << "no corpus at " << root;
  for (const std::string& card : cards) {
    CliResult result = cli_.Run({"check", card});
    EXPECT_EQ(result.exit, 0) << result.out;
  }
}

}  // namespace
}  // namespace slk::testing
