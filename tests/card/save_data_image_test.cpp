#include "card/save_data_image.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "card/utility.h"
#include "platform/io_faults.h"
#include "save_test_fixture.h"

namespace slk {
namespace {

using testing::Buffer;
using testing::FileSpec;
using testing::Get16;
using testing::Get32;
using testing::SaveSpec;

SaveSpec PS2Save(const std::string& name) {
  SaveSpec save;
  save.name = name;
  save.files.push_back(FileSpec{0x8497, "icon.sys", testing::IconSys("Title", 0, "m.ico")});
  save.files.push_back(FileSpec{0x8497, "m.ico", Buffer(1500, 0x21)});
  return save;
}

class SaveDataImageTest : public testing::SaveTest {
 protected:
  void SetUp() override {
    OpenSlot(kLeft, CardKind::PS1);
    OpenSlot(kRight, CardKind::PS2);
  }

  // Exports a row and returns the file's bytes.
  Buffer Export(Slot s, std::uint32_t row, const std::string& name) {
    std::string path = dir.File(name);
    EXPECT_EQ(SaveSaveImage(ws, s, row, path), 1u) << name;
    return testing::ReadFileBytes(path);
  }

  void ExpectRefused(Slot s, const std::string& name, const Buffer& bytes,
                     std::vector<int> messages = {MessageId::FileNotOpened}) {
    std::uint32_t entries = ws.At(s).EntryCount(), rows = ws.At(s).RowCount();
    sink.shown.clear();
    EXPECT_EQ(Import(s, name, bytes), 0u) << name;
    EXPECT_EQ(sink.shown, messages) << name;
    EXPECT_EQ(ws.At(s).EntryCount(), entries) << name;
    EXPECT_EQ(ws.At(s).RowCount(), rows) << name;
  }
};

TEST_F(SaveDataImageTest, PsuOfAPS1SaveImportsIntoAPS1Card) {
  SaveSpec save = testing::PS1Save("BASLUS-00111", 2, "Psu PS1");
  ASSERT_EQ(Import(kLeft, "a.psu", testing::Psu(save)), 1u);
  const SaveEntry& e = ws.At(kLeft).AtRow(0);
  EXPECT_EQ(Text(e.name), "BASLUS-00111");
  EXPECT_EQ(e.size, 2u * 8192);
  EXPECT_EQ(Text(e.title), "Psu PS1");
  EXPECT_EQ(e.time.Day(), 1) << "the modified time is kept, not the created one";
  EXPECT_EQ(SaveBytes(kLeft, 0), save.files[0].bytes);
}

TEST_F(SaveDataImageTest, PsuOfAPS2SaveIsRefusedByAPS1CardAndTakenByAnExpandedCard) {
  Buffer psu = testing::Psu(PS2Save("BESLES-PS2"));
  ExpectRefused(kLeft, "b.psd", psu, {MessageId::PS2IntoPS1Card, MessageId::FileNotOpened});

  ASSERT_EQ(Import(kRight, "b.psd", psu), 1u);
  const SaveEntry& e = ws.At(kRight).AtRow(0);
  EXPECT_FALSE(e.IsPS1());
  EXPECT_EQ(Text(e.title), "Title");
  EXPECT_EQ(e.iconOffsets[0], e.offset + 964);
  EXPECT_EQ(e.useStandardIcon, 0u);
}

TEST_F(SaveDataImageTest, PS2SaveWithoutFilesIsThreeHeaders) {
  SaveSpec empty;
  empty.name = "EMPTY";
  ASSERT_EQ(Import(kRight, "e.psu", testing::Psu(empty)), 1u);
  EXPECT_EQ(ws.At(kRight).AtRow(0).size, 0u);
  EXPECT_EQ(ws.At(kRight).AtRow(0).useStandardIcon, 1u);

  TimeStamp before = MakeTimeStamp();
  Buffer out = Export(kRight, 0, "e2.psu");
  ASSERT_EQ(out.size(), 1536u);
  EXPECT_EQ(Get32(out, 4), 2u);
  EXPECT_EQ(out[64 + 0], 'E');
  EXPECT_EQ(out[24 + 4], 1) << "the save's own time as modified time";
  EXPECT_EQ(out[8 + 7] << 8 | out[8 + 6], before.Year()) << "created at the time of export";
  for (std::size_t at : {512u, 1024u}) {
    EXPECT_EQ(Get16(out, at), 0x8427);
    EXPECT_EQ(out[at + 64], '.');
  }
  EXPECT_EQ(out[512 + 65], 0);
  EXPECT_EQ(out[1024 + 65], '.');
}

TEST_F(SaveDataImageTest, PsuWrittenBackCarriesEveryFilePaddedTo1024) {
  SaveSpec save = PS2Save("ROUND");
  ASSERT_EQ(Import(kRight, "r.psu", testing::Psu(save)), 1u);
  Buffer out = Export(kRight, 0, "r2.psu");
  Buffer expected = testing::Psu(save);
  ASSERT_EQ(out.size(), expected.size());
  // Equal apart from the created times (8 bytes at 8) and the dot entries'
  // modified times, which are the time of export.
  for (std::size_t header : {0u, 512u, 1024u, 1536u, 1536u + 512 + 1024}) {
    for (std::size_t i = 8; i < 16; ++i) out[header + i] = expected[header + i];
  }
  for (std::size_t header : {512u, 1024u}) {
    for (std::size_t i = 24; i < 32; ++i) out[header + i] = expected[header + i];
  }
  EXPECT_EQ(out, expected);
}

TEST_F(SaveDataImageTest, FilesOfEverySizeArriveWholeAndInOrder) {
  // The files of a save are gathered and written together; those too large
  // to gather go on their own. Sizes around the gathering limit (1 MiB).
  auto file = [](const std::string& name, std::size_t size, std::uint8_t seed) {
    Buffer bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i % 251);
    return testing::FileSpec{0x8497, name, bytes};
  };
  SaveSpec save;
  save.name = "BASLUS-SIZES";
  save.files = {file("a", 100, 1),        file("b", 600 << 10, 2), file("c", 600 << 10, 3),
                file("d", 1536 << 10, 4), file("e", 3, 5),         file("f", 1 << 20, 6)};
  ASSERT_EQ(Import(kRight, "sizes.psu", testing::Psu(save)), 1u);
  Buffer expected;
  for (const testing::FileSpec& f : save.files) testing::Append(expected, f.bytes);
  EXPECT_EQ(SaveBytes(kRight, 0), expected);
  // And the next save goes after it, untouched by what was gathered before.
  ASSERT_EQ(Import(kRight, "round.psu", testing::Psu(PS2Save("ROUND"))), 1u);
  EXPECT_EQ(SaveBytes(kRight, 0), expected);
}

TEST_F(SaveDataImageTest, McxSizeComesFromTheBlocksPresent) {
  Buffer blocks = testing::PS1Blocks(3, "Three");
  Buffer mcx = testing::ShortHeaderSingle("BASLUS-01234ABCDEFGHIJ", blocks);  // 22 name bytes
  ASSERT_EQ(mcx[57], 3);
  ASSERT_EQ(Import(kLeft, "x.mcx", mcx), 1u);
  const SaveEntry& e = ws.At(kLeft).AtRow(0);
  EXPECT_EQ(e.size, 24576u);
  EXPECT_EQ(Text(e.name), "BASLUS-01234ABCDEFGH") << "a card file name has 20 characters";
  EXPECT_EQ(SaveBytes(kLeft, 0), blocks);

  Buffer lying = testing::ShortHeaderSingle("BASLUS-1", testing::PS1Blocks(2, "Two"));
  lying[57] = 7;
  lying.resize(lying.size() + 100);  // a partial block is not part of the save
  ASSERT_EQ(Import(kLeft, "y.mcb", lying), 1u);
  EXPECT_EQ(ws.At(kLeft).AtRow(1).size, 2u * 8192);
}

TEST_F(SaveDataImageTest, McxAndMcbAlsoReadTheFramedAndHeaderlessForms) {
  Buffer blocks = testing::PS1Blocks(2, "Other tool");
  ASSERT_EQ(Import(kLeft, "f.mcb", testing::FramedSingle("BESLES-55555", 16384, blocks)), 1u);
  EXPECT_EQ(Text(ws.At(kLeft).AtRow(0).name), "BESLES-55555");
  EXPECT_EQ(SaveBytes(kLeft, 0), blocks);

  ASSERT_EQ(Import(kLeft, "BESLES-04095XSMOTO.mcx", blocks), 1u);
  EXPECT_EQ(Text(ws.At(kLeft).AtRow(1).name), "BESLES-04095XSMOTO");
  EXPECT_EQ(Text(ws.At(kLeft).AtRow(1).title), "Other tool");
  EXPECT_EQ(SaveBytes(kLeft, 1), blocks);
}

TEST_F(SaveDataImageTest, Ps1SizeMustAgreeWithTheBlocksPresent) {
  Buffer blocks = testing::PS1Blocks(2, "Two");
  ASSERT_EQ(Import(kLeft, "a.ps1", testing::FramedSingle("BASLUS-2", 5 * 8192, blocks)), 1u);
  EXPECT_EQ(ws.At(kLeft).AtRow(0).size, 2u * 8192);
  ASSERT_EQ(Import(kLeft, "b.ps1", testing::FramedSingle("BASLUS-2", 100, blocks)), 1u);
  EXPECT_EQ(ws.At(kLeft).AtRow(1).size, 2u * 8192);
  EXPECT_EQ(Text(ws.At(kLeft).AtRow(1).name), "BASLUS-2") << "same name twice is allowed";
  EXPECT_EQ(ws.At(kLeft).RowCount(), 2u);
}

TEST_F(SaveDataImageTest, WrittenFramesCarryStatesAndLinks) {
  ASSERT_EQ(Import(kLeft, "3.ps1",
                   testing::FramedSingle("BASLUS-3", 3 * 8192, testing::PS1Blocks(3, "Three"))),
            1u);
  ASSERT_EQ(
      Import(kLeft, "1.ps1", testing::FramedSingle("BASLUS-1", 8192, testing::PS1Blocks(1, "One"))),
      1u);

  Buffer psm = Export(kLeft, 0, "3.psm");
  ASSERT_EQ(psm.size(), 3u * (128 + 8192));
  EXPECT_EQ(psm, testing::FramedBlocks("BASLUS-3", 3 * 8192, SaveBytes(kLeft, 0)));
  const std::uint32_t states[] = {0x51, 0x52, 0x53};
  const std::uint16_t links[] = {1, 2, 0xFFFF};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Get32(psm, i * 8320), states[i]);
    EXPECT_EQ(Get16(psm, i * 8320 + 8), links[i]);
  }
  Buffer mc = Export(kLeft, 1, "1.mc");
  EXPECT_EQ(Get32(mc, 0), 0x51u);
  EXPECT_EQ(Get16(mc, 8), 0xFFFF);

  Buffer ps1 = testing::DirFrame(0x51, 3 * 8192, 1, "BASLUS-3");
  testing::Append(ps1, SaveBytes(kLeft, 0));
  EXPECT_EQ(Export(kLeft, 0, "3.ps1"), ps1);
  EXPECT_EQ(Get16(Export(kLeft, 1, "1.ps1"), 8), 0xFFFF);
  EXPECT_EQ(Export(kLeft, 0, "3.mcx"), testing::ShortHeaderSingle("BASLUS-3", SaveBytes(kLeft, 0)));
}

TEST_F(SaveDataImageTest, FramedBlocksReadTheFirstFrameOnly) {
  Buffer blocks = testing::PS1Blocks(2, "Framed");
  Buffer psm = testing::FramedBlocks("BESLES-77777", 16384, blocks);
  psm[8320 + 10] = 'Z';  // later frames are passed over
  ASSERT_EQ(Import(kLeft, "f.psm", psm), 1u);
  EXPECT_EQ(Text(ws.At(kLeft).AtRow(0).name), "BESLES-77777");
  EXPECT_EQ(SaveBytes(kLeft, 0), blocks);
}

TEST_F(SaveDataImageTest, FramedBlocksOfAnyLengthReadWholeOrNotAtAll) {
  // Blocks are copied several at a time: runs of every length, and a file
  // whose last block is cut short.
  for (std::uint32_t n : {1u, 15u, 16u, 17u, 35u}) {
    Buffer blocks = testing::PS1Blocks(n, "Long", static_cast<std::uint8_t>(n));
    ASSERT_EQ(Import(kLeft, "long.psm", testing::FramedBlocks("BASLUS-L", n * 8192, blocks)), 1u);
    EXPECT_EQ(SaveBytes(kLeft, ws.At(kLeft).RowCount() - 1), blocks) << n << " blocks";
  }
  Buffer cut = testing::FramedBlocks("BASLUS-C", 20 * 8192, testing::PS1Blocks(20, "Cut"));
  cut.resize(cut.size() - 100);
  ExpectRefused(kLeft, "cut.mc", cut);
}

TEST_F(SaveDataImageTest, CardImagesNamedLikeSaveImagesAreRefused) {
  Buffer card(131072, 0);
  card[0] = 'M';
  card[1] = 'C';
  for (const char* name : {"card.psm", "card.mc"})
    ExpectRefused(kLeft, name, card, {MessageId::NotSaveDataImage, MessageId::FileNotOpened});
}

TEST_F(SaveDataImageTest, EveryRefusedFileLeavesTheSlotAsItWas) {
  ASSERT_EQ(Import(kLeft, "first.ps1",
                   testing::FramedSingle("BASLUS-1", 8192, testing::PS1Blocks(1, "One"))),
            1u);
  SaveSpec fewEntries = testing::PS1Save("BASLUS-2", 1, "T");
  fewEntries.entryCountOverride = 1;
  SaveSpec twoFiles = testing::PS1Save("BASLUS-3", 1, "T");
  twoFiles.files.push_back(twoFiles.files[0]);
  SaveSpec oddSize = testing::PS1Save("BASLUS-4", 1, "T");
  oddSize.files[0].bytes.resize(8000);
  Buffer bigFile = testing::Psu(testing::PS1Save("BASLUS-5", 1, "T"));
  testing::Put32(bigFile, 1536 + 4, 0x7FFFFFFF);
  Buffer blocks = testing::PS1Blocks(2, "T");

  ExpectRefused(kLeft, "few.psu", testing::Psu(fewEntries));
  ExpectRefused(kLeft, "two.psu", testing::Psu(twoFiles));
  ExpectRefused(kLeft, "odd.psu", testing::Psu(oddSize));
  ExpectRefused(kLeft, "big.psu", bigFile);
  ExpectRefused(kLeft, "short.ps1", Buffer(8000, 0x51));
  ExpectRefused(kLeft, "empty.mcx", Buffer());
  ExpectRefused(kLeft, "short.mcb", testing::ShortHeaderSingle("BASLUS-6", Buffer(8100, 1)));
  ExpectRefused(kLeft, "odd.psm", testing::FramedBlocks("BASLUS-7", 9000, blocks));
  ExpectRefused(kLeft, "zero.psm", testing::FramedBlocks("BASLUS-7", 0, blocks));
  ExpectRefused(kLeft, "long.mc", testing::FramedBlocks("BASLUS-8", 3 * 8192, blocks));
  ExpectRefused(kLeft, "unknown.bin", blocks, {MessageId::NotSaveDataImage});
  ExpectRefused(kLeft, "missing.psu", Buffer());  // an empty .psu has no header

  ASSERT_EQ(Import(kLeft, "next.ps1",
                   testing::FramedSingle("BASLUS-9", 8192, testing::PS1Blocks(1, "Nine"))),
            1u);
  EXPECT_EQ(ws.At(kLeft).AtRow(1).offset, 8192u) << "refused files left no entries behind";
  EXPECT_EQ(Text(ws.At(kLeft).AtRow(1).title), "Nine");
}

TEST_F(SaveDataImageTest, PS2SavesAreNotExportedInPS1OnlyLayouts) {
  ASSERT_EQ(Import(kRight, "p.psu", testing::Psu(PS2Save("P2"))), 1u);
  std::string existing = Write("old.ps1", Buffer(10, 9));
  for (const char* name : {"p.ps1", "p.mcx", "p.mcb", "p.psm", "p.mc", "old.ps1"}) {
    sink.shown.clear();
    EXPECT_EQ(SaveSaveImage(ws, kRight, 0, dir.File(name)), 0u);
    EXPECT_EQ(sink.shown, std::vector<int>{MessageId::FileNotPreserved});
  }
  EXPECT_EQ(dir.EntryCount(), 2u) << "only the two input files";
  EXPECT_EQ(testing::ReadFileBytes(existing), Buffer(10, 9));
  sink.shown.clear();
  EXPECT_EQ(SaveSaveImage(ws, kRight, 0, dir.File("p.txt")), 0u);
  EXPECT_EQ(sink.shown, std::vector<int>{MessageId::NotSaveDataImage});
}

TEST_F(SaveDataImageTest, AFailedWriteKeepsTheOldFileAndLeavesNoPartialOne) {
  ASSERT_EQ(Import(kRight, "p.psu", testing::Psu(PS2Save("P2"))), 1u);
  std::string target = Write("target.psu", Buffer(5, 5));
  for (std::uint64_t n = 1; n <= 3; ++n) {
    sink.shown.clear();
    platform::FailNthIo(platform::IoStep::Write, n);
    EXPECT_EQ(SaveSaveImage(ws, kRight, 0, target), 0u);
    platform::DisarmIoFaults();
    EXPECT_EQ(sink.shown, std::vector<int>{MessageId::FileNotPreserved});
    EXPECT_EQ(testing::ReadFileBytes(target), Buffer(5, 5));
    EXPECT_EQ(dir.EntryCount(), 2u);
  }
}

TEST_F(SaveDataImageTest, TruncatedPsuIsRefusedOrReadWhole) {
  SaveSpec save = PS2Save("TRUNC");
  save.files[1].bytes.resize(100);  // 924 bytes of padding end the file
  Buffer psu = testing::Psu(save);
  ASSERT_EQ(Import(kRight, "whole.psu", psu), 1u);
  Buffer whole = SaveBytes(kRight, 0);
  std::string path = Write("cut.psu", psu);
  for (std::size_t length = psu.size(); length-- > 0;) {
    std::filesystem::resize_file(path, length);
    std::uint32_t rows = ws.At(kRight).RowCount(), entries = ws.At(kRight).EntryCount();
    sink.shown.clear();
    std::uint32_t ok = AddSaveImage(ws, kRight, path);
    if (!ok) {
      ASSERT_EQ(ws.At(kRight).RowCount(), rows) << length;
      ASSERT_EQ(ws.At(kRight).EntryCount(), entries) << length;
      ASSERT_EQ(sink.shown, std::vector<int>{MessageId::FileNotOpened}) << length;
      continue;
    }
    ASSERT_GE(length, psu.size() - 924) << length;
    EXPECT_EQ(SaveBytes(kRight, ws.At(kRight).RowCount() - 1), whole);
  }
}

// Real single saves from other tools: .mcs files (a directory frame and the
// blocks, the .ps1 layout) and PS2 .psu exports.
TEST_F(SaveDataImageTest, RealSavesFromOtherToolsImport) {
  std::filesystem::path corpus = SLOTKEEPER_CORPUS_DIR;
  if (!std::filesystem::exists(corpus / "MANIFEST.md")) GTEST_SKIP() << "no corpus";
  int imported = 0;
  for (const auto& item : std::filesystem::recursive_directory_iterator(corpus)) {
    if (!item.is_regular_file()) continue;
    std::string ext = item.path().extension().string();
    if (ext != ".mcs" && ext != ".psu" && ext != ".PSU") continue;
    Buffer bytes = testing::ReadFileBytes(item.path().string());
    if (ext == ".mcs" && bytes.size() > 128 && (bytes.size() - 128) % 8192 == 0 &&
        bytes[128] == 'S' && bytes[129] == 'C') {
      ASSERT_EQ(Import(kLeft, "real.ps1", bytes), 1u) << item.path();
      const SaveEntry& e = ws.At(kLeft).AtRow(ws.At(kLeft).RowCount() - 1);
      EXPECT_EQ(e.size, bytes.size() - 128) << item.path();
      Name64 name{};
      std::copy_n(bytes.begin() + 10, 20, name.begin());
      EXPECT_EQ(Text(e.name), Text(name)) << item.path();
      ++imported;
    } else if (ext == ".PSU" || ext == ".psu") {
      ASSERT_EQ(Import(kRight, "real.psu", bytes), 1u) << item.path();
      const SaveEntry& e = ws.At(kRight).AtRow(ws.At(kRight).RowCount() - 1);
      EXPECT_EQ(e.useStandardIcon, 0u) << item.path();
      EXPECT_GT(e.titleLine1Length, 0) << item.path();
      ++imported;
    }
  }
  EXPECT_GT(imported, 0);
}

}  // namespace
}  // namespace slk
