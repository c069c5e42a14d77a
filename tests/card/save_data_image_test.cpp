#include "card/save_data_image.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "card/card_image.h"
#include "card/image_formats.h"
#include "card/utility.h"
#include "platform/io_faults.h"
#include "save_test_fixture.h"
#include "support/card_inputs.h"

namespace slk {
namespace {

using testing::Buffer;
using testing::FileSpec;
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

  // Refused with one message and, unless `reason` is None, that reason
  // naming the file on its second line; the slot is left as it was.
  void ExpectRefused(Slot s, const std::string& name, const Buffer& bytes,
                     platform::Reason reason = platform::Reason::None,
                     int message = MessageId::FileNotOpened) {
    SCOPED_TRACE(name);
    std::uint32_t entries = ws.At(s).EntryCount(), rows = ws.At(s).RowCount();
    ClearSink();
    ExpectRefusal(Import(s, name, bytes), message, reason, dir.File(name));
    EXPECT_EQ(ws.At(s).EntryCount(), entries);
    EXPECT_EQ(ws.At(s).RowCount(), rows);
  }
};

// A .ps1 file of a save of `blocks` blocks titled `title`.
Buffer Ps1File(const std::string& name, std::uint32_t blocks, const std::string& title = "T") {
  return testing::FramedSingle(name, blocks * 8192, testing::PS1Blocks(blocks, title));
}

// A .psu of a PS1 save goes into a PS1 card; of a PS2 save, only into an
// expanded card. Written back, a .psu carries every file padded to 1024, and
// a save without files is three headers.
TEST_F(SaveDataImageTest, PsuCarriesPS1AndPS2SavesThereAndBack) {
  SaveSpec ps1 = testing::PS1Save("BASLUS-00111", 2, "Psu PS1");
  ASSERT_EQ(Import(kLeft, "a.psu", testing::Psu(ps1)), 1u);
  const SaveEntry& e = ws.At(kLeft).AtRow(0);
  EXPECT_EQ(Text(e.name), "BASLUS-00111");
  EXPECT_EQ(e.size, 2u * 8192);
  EXPECT_EQ(Text(e.title), "Psu PS1");
  EXPECT_EQ(e.time.Day(), 1) << "the modified time is kept, not the created one";
  EXPECT_EQ(SaveBytes(kLeft, 0), ps1.files[0].bytes);

  SaveSpec save = PS2Save("BESLES-PS2");
  Buffer psu = testing::Psu(save);
  ExpectRefused(kLeft, "b.psd", psu, platform::Reason::PS2Save, MessageId::PS2IntoPS1Card);
  EXPECT_EQ(sink.problems.at(0).field, "BESLES-PS2");
  ASSERT_EQ(Import(kRight, "b.psd", psu), 1u);
  const SaveEntry& p2 = ws.At(kRight).AtRow(0);
  EXPECT_FALSE(p2.IsPS1());
  EXPECT_EQ(Text(p2.title), "Title");
  EXPECT_EQ(p2.iconOffsets[0], p2.offset + 964);
  EXPECT_EQ(p2.useStandardIcon, 0u);
  // Written back: the builder's bytes but for the created times (8 bytes at
  // 8 of every header) and the dot entries' modified times, which are the
  // time of export.
  auto expectWritten = [&](std::uint32_t row, const Buffer& psu, std::vector<std::size_t> headers) {
    Buffer out = Export(kRight, row, "out.psu");
    ASSERT_EQ(out.size(), psu.size());
    headers.insert(headers.end(), {0, 512, 1024});
    for (std::size_t at : headers) std::copy_n(psu.begin() + at + 8, 8, out.begin() + at + 8);
    for (std::size_t at : {512, 1024}) std::copy_n(psu.begin() + at + 24, 8, out.begin() + at + 24);
    EXPECT_EQ(out, psu);
  };
  expectWritten(0, psu, {1536, 1536 + 512 + 1024});

  SaveSpec empty;
  empty.name = "EMPTY";
  ASSERT_EQ(Import(kRight, "e.psu", testing::Psu(empty)), 1u);
  EXPECT_EQ(ws.At(kRight).AtRow(1).size, 0u);
  EXPECT_EQ(ws.At(kRight).AtRow(1).useStandardIcon, 1u);
  expectWritten(1, testing::Psu(empty), {});
}

TEST_F(SaveDataImageTest, DatesComeFromTheFileOrTheClockAndAreWrittenWhereTheyBelong) {
  // 2026-12-31 12:34:60 on the workspace's clock: a leap second, stored as
  // 59; months are stored from 1.
  ws.SetClock([] {
    std::tm local{};
    local.tm_sec = 60;
    local.tm_min = 34;
    local.tm_hour = 12;
    local.tm_mday = 31;
    local.tm_mon = 11;
    local.tm_year = 126;
    return local;
  });
  const Buffer now{0, 59, 34, 12, 31, 12, 0xEA, 0x07};
  auto bytesOf = [](const TimeStamp& t) { return Buffer(t.bytes.begin(), t.bytes.end()); };

  // Layouts without dates take the moment of reading, for the save and its file.
  ASSERT_EQ(Import(kLeft, "one.ps1", Ps1File("BASLUS-1", 1)), 1u);
  EXPECT_EQ(bytesOf(ws.At(kLeft).AtRow(0).time), now);
  EXPECT_EQ(bytesOf(ws.At(kLeft).AtRow(0).files[0].time), now);
  testing::PS1CardBuilder card;
  card.Directory(1, 0x51, 8192, 0xFFFF, "BASLUS-CARD").Block(1, 0x11, "Card", 1);
  ws.CloseSlot(kLeft);
  OpenSlot(kLeft, CardKind::PS1);
  ASSERT_EQ(OpenCardImage(ws, kLeft, Write("c.mcr", card.Bytes())), 1u);
  EXPECT_EQ(bytesOf(ws.At(kLeft).AtRow(0).time), now);

  // A .psu keeps its own: the directory's modified time (not the created
  // one) and each file's.
  SaveSpec save = PS2Save("DATED");
  save.time = testing::Time(17, 2004);
  save.files[1].time = testing::Time(23, 2005);
  Buffer psu = testing::Psu(save);
  ASSERT_EQ(Import(kRight, "d.psu", psu), 1u);
  const SaveEntry& e = ws.At(kRight).AtRow(0);
  EXPECT_EQ(bytesOf(e.time), testing::Time(17, 2004));
  EXPECT_EQ(bytesOf(e.files[1].time), testing::Time(23, 2005));

  // Written: created = the clock in every header; modified = the save's and
  // each file's own, the clock for "." and "..".
  Buffer out = Export(kRight, 0, "d2.psu");
  auto at = [&](std::size_t offset) {
    return Buffer(out.begin() + static_cast<std::ptrdiff_t>(offset),
                  out.begin() + static_cast<std::ptrdiff_t>(offset) + 8);
  };
  EXPECT_EQ(at(8), now);
  EXPECT_EQ(at(24), testing::Time(17, 2004));
  for (std::size_t dots : {512u, 1024u}) {
    EXPECT_EQ(at(dots + 8), now);
    EXPECT_EQ(at(dots + 24), now);
  }
  std::size_t secondFile = 1536 + 512 + 1024;  // icon.sys is 964 bytes, padded
  EXPECT_EQ(at(secondFile + 8), now);
  EXPECT_EQ(at(secondFile + 24), testing::Time(23, 2005));
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

// .mcx and .mcb as written (a short header), framed like .ps1 or headerless;
// a game's own block count can be wrong: a file of whole blocks is the save
// we exported, whatever its title frame claims.
TEST_F(SaveDataImageTest, McxAndMcbReadEveryFormAndTrustTheBlocksPresent) {
  Buffer blocks = testing::PS1Blocks(3, "Three");
  Buffer mcx = testing::ShortHeaderSingle("BASLUS-01234ABCDEFGHIJ", blocks);  // 22 name bytes
  ASSERT_EQ(mcx[57], 3);
  ASSERT_EQ(Import(kLeft, "x.mcx", mcx), 1u);
  const SaveEntry& e = ws.At(kLeft).AtRow(0);
  EXPECT_EQ(e.size, 24576u);
  EXPECT_EQ(Text(e.name), "BASLUS-01234ABCDEFGH") << "a card file name has 20 characters";
  EXPECT_EQ(SaveBytes(kLeft, 0), blocks);

  Buffer claimsSeven = testing::ShortHeaderSingle("BASLUS-7", testing::PS1Blocks(2, "Two"));
  claimsSeven[57] = 7;
  ASSERT_EQ(Import(kLeft, "w.mcb", claimsSeven), 1u);
  EXPECT_EQ(ws.At(kLeft).AtRow(1).size, 2u * 8192);
  Buffer lying = testing::ShortHeaderSingle("BASLUS-1", testing::PS1Blocks(2, "Two"));
  lying[57] = 3;
  lying.resize(lying.size() + 100);  // 2 blocks and 100 bytes of a third: cut short
  ExpectRefused(kLeft, "z.mcx", lying, platform::Reason::SizeMismatch);
  EXPECT_EQ(sink.problems.at(0).need, 3u * 8192);
  EXPECT_EQ(sink.problems.at(0).have, 2u * 8192);
  lying[57] = 2;  // a partial block after the blocks is not part of the save
  ASSERT_EQ(Import(kLeft, "y.mcb", lying), 1u);
  EXPECT_EQ(ws.At(kLeft).AtRow(2).size, 2u * 8192);

  ws.CloseSlot(kLeft);
  OpenSlot(kLeft, CardKind::PS1);
  Buffer other = testing::PS1Blocks(2, "Other tool");
  ASSERT_EQ(Import(kLeft, "f.mcb", testing::FramedSingle("BESLES-55555", 16384, other)), 1u);
  EXPECT_EQ(Text(ws.At(kLeft).AtRow(0).name), "BESLES-55555");
  EXPECT_EQ(SaveBytes(kLeft, 0), other);
  ASSERT_EQ(Import(kLeft, "BESLES-04095XSMOTO.mcx", other), 1u);
  EXPECT_EQ(Text(ws.At(kLeft).AtRow(1).name), "BESLES-04095XSMOTO");
  EXPECT_EQ(Text(ws.At(kLeft).AtRow(1).title), "Other tool");
  EXPECT_EQ(SaveBytes(kLeft, 1), other);
}

TEST_F(SaveDataImageTest, WrittenFramesCarryStatesAndLinks) {
  ASSERT_EQ(Import(kLeft, "3.ps1", Ps1File("BASLUS-3", 3)), 1u);
  ASSERT_EQ(Import(kLeft, "1.ps1", Ps1File("BASLUS-1", 1)), 1u);

  // A frame before every block: first (0x51), middle (0x52) and last (0x53)
  // states, each linking to the next block, the last to none.
  EXPECT_EQ(Export(kLeft, 0, "3.psm"),
            testing::FramedBlocks("BASLUS-3", 3 * 8192, SaveBytes(kLeft, 0)));
  EXPECT_EQ(Export(kLeft, 1, "1.mc"), testing::FramedBlocks("BASLUS-1", 8192, SaveBytes(kLeft, 1)));

  Buffer ps1 = testing::DirFrame(0x51, 3 * 8192, 1, "BASLUS-3");
  testing::Append(ps1, SaveBytes(kLeft, 0));
  EXPECT_EQ(Export(kLeft, 0, "3.ps1"), ps1);
  EXPECT_EQ(Export(kLeft, 1, "1.ps1"),
            testing::FramedSingle("BASLUS-1", 8192, SaveBytes(kLeft, 1)));
  EXPECT_EQ(Export(kLeft, 0, "3.mcx"), testing::ShortHeaderSingle("BASLUS-3", SaveBytes(kLeft, 0)));
}

// Blocks are copied several at a time: runs of every length. Only the first
// frame is read; later frames are passed over.
TEST_F(SaveDataImageTest, FramedBlocksOfAnyLengthReadWhole) {
  for (std::uint32_t n : {1u, 2u, 15u}) {
    Buffer blocks = testing::PS1Blocks(n, "Long", static_cast<std::uint8_t>(n));
    Buffer psm = testing::FramedBlocks("BASLUS-L" + std::to_string(n), n * 8192, blocks);
    if (n == 2) psm[8320 + 10] = 'Z';
    ws.CloseSlot(kLeft);
    OpenSlot(kLeft, CardKind::PS1);
    ASSERT_EQ(Import(kLeft, "long.psm", psm), 1u);
    EXPECT_EQ(Text(ws.At(kLeft).AtRow(0).name), "BASLUS-L" + std::to_string(n));
    EXPECT_EQ(SaveBytes(kLeft, 0), blocks) << n << " blocks";
  }
}

TEST_F(SaveDataImageTest, EveryRefusedFileLeavesTheSlotAsItWas) {
  ASSERT_EQ(Import(kLeft, "first.ps1", Ps1File("BASLUS-1", 1)), 1u);
  SaveSpec fewEntries = testing::PS1Save("BASLUS-2", 1, "T");
  fewEntries.entryCountOverride = 1;
  SaveSpec twoFiles = testing::PS1Save("BASLUS-3", 1, "T");
  twoFiles.files.push_back(twoFiles.files[0]);
  SaveSpec oddSize = testing::PS1Save("BASLUS-4", 1, "T");
  oddSize.files[0].bytes.resize(8000);
  Buffer bigFile = testing::Psu(testing::PS1Save("BASLUS-5", 1, "T"));
  testing::Put32(bigFile, 1536 + 4, 0x7FFFFFFF);
  Buffer blocks = testing::PS1Blocks(2, "T");
  Buffer cutPs1 = testing::FramedSingle("BASLUS-2", 3 * 8192, blocks);
  cutPs1.resize(cutPs1.size() + 100);  // 2 blocks and 100 bytes of the third
  Buffer cutPsm = testing::FramedBlocks("BASLUS-C", 12 * 8192, testing::PS1Blocks(12, "Cut"));
  cutPsm.resize(cutPsm.size() - 100);
  Buffer card(131072, 0);
  card[0] = 'M';
  card[1] = 'C';

  using platform::Reason;
  // A .ps1 whose size disagrees with its blocks.
  for (const Buffer& bad : {testing::FramedSingle("BASLUS-2", 5 * 8192, blocks),
                            testing::FramedSingle("BASLUS-2", 100, blocks), cutPs1})
    ExpectRefused(kLeft, "a.ps1", bad, Reason::SizeMismatch);
  ExpectRefused(kLeft, "cut.mc", cutPsm, Reason::SizeMismatch);
  // Card images named like save images.
  for (const char* name : {"card.psm", "card.mc", "card.ps1", "card.mcx", "card.mcb"})
    ExpectRefused(kLeft, name, card, Reason::NotASave, MessageId::NotSaveDataImage);
  ExpectRefused(kLeft, "few.psu", testing::Psu(fewEntries), Reason::BadField);
  ExpectRefused(kLeft, "two.psu", testing::Psu(twoFiles), Reason::BadField);
  ExpectRefused(kLeft, "odd.psu", testing::Psu(oddSize), Reason::BadField);
  ExpectRefused(kLeft, "big.psu", bigFile, Reason::TooShort);
  ExpectRefused(kLeft, "short.ps1", Buffer(8000, 0x51), Reason::TooShort);
  ExpectRefused(kLeft, "empty.mcx", Buffer(), Reason::TooShort);
  ExpectRefused(kLeft, "short.mcb", testing::ShortHeaderSingle("BASLUS-6", Buffer(8100, 1)),
                Reason::TooShort);
  ExpectRefused(kLeft, "odd.psm", testing::FramedBlocks("BASLUS-7", 9000, blocks),
                Reason::BadField);
  ExpectRefused(kLeft, "zero.psm", testing::FramedBlocks("BASLUS-7", 0, blocks), Reason::BadField);
  ExpectRefused(kLeft, "long.mc", testing::FramedBlocks("BASLUS-8", 3 * 8192, blocks),
                Reason::SizeMismatch);
  ExpectRefused(kLeft, "unknown.bin", blocks, Reason::None, MessageId::NotSaveDataImage);
  ExpectRefused(kLeft, "missing.psu", Buffer(), Reason::TooShort);  // an empty .psu has no header
  // No PS1 card holds more than 15 blocks: a file of one such save is a
  // wrong file (and reading it whole would cost its size in memory).
  ExpectRefused(kLeft, "huge.ps1", Ps1File("BASLUS-9", 16), Reason::TooLarge);
  ExpectRefused(kLeft, "huge.psm",
                testing::FramedBlocks("BASLUS-9", 16 * 8192, testing::PS1Blocks(16, "T")),
                Reason::TooLarge);
  ExpectRefused(kLeft, "huge.psu", testing::Psu(testing::PS1Save("BASLUS-9", 16, "T")),
                Reason::TooLarge);

  ASSERT_EQ(Import(kLeft, "next.ps1", Ps1File("BASLUS-9", 1, "Nine")), 1u);
  EXPECT_EQ(ws.At(kLeft).AtRow(1).offset, 8192u) << "refused files left no entries behind";
  EXPECT_EQ(Text(ws.At(kLeft).AtRow(1).title), "Nine");
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

// The formats other tools write carry a save there and back through the
// slot: every file with its name, mode and bytes, and the title read again.
TEST_F(SaveDataImageTest, OtherToolsFormatsCarryASaveThereAndBack) {
  ASSERT_EQ(Import(kRight, "p.psu", testing::Psu(PS2Save("BESCES-50501P2"))), 1u);
  ASSERT_EQ(Import(kLeft, "one.ps1", Ps1File("BASLUS-1", 2, "One")), 1u);
  int carried = 0;
  for (const FormatRow& row : kFormats) {
    if (row.kind != FileKind::SaveDataImage || !row.writable ||
        row.layout <= FormatLayout::FramedBlocks)
      continue;
    for (Slot s : {kLeft, kRight}) {
      SaveEntry save = ws.At(s).AtRow(0);
      if (!SaveImageCarries(row.save, save)) continue;
      std::string name = "x." + std::string(ExtensionOf(row));
      SCOPED_TRACE(name);
      Buffer bytes = SaveBytes(s, 0);
      ASSERT_EQ(Import(kRight, name, Export(s, 0, name)), 1u);
      std::uint32_t last = ws.At(kRight).RowCount() - 1;
      const SaveEntry& back = ws.At(kRight).AtRow(last);
      EXPECT_EQ(Text(back.name), Text(save.name));
      EXPECT_EQ(back.mode, save.mode);
      EXPECT_EQ(Text(back.title), Text(save.title));
      ASSERT_EQ(back.files.size(), save.files.size());
      for (std::size_t k = 0; k < save.files.size(); ++k) {
        EXPECT_EQ(Text(back.files[k].name), Text(save.files[k].name));
        EXPECT_EQ(back.files[k].size, save.files[k].size);
      }
      EXPECT_EQ(SaveBytes(kRight, last), bytes);
      ++carried;
    }
  }
  EXPECT_EQ(carried, 5) << ".mcs, .psv twice, .max, .cbs";
  // A cut file is refused with its reason and leaves the card as it was.
  Buffer whole = Export(kRight, 0, "p2.max");
  for (std::size_t length : {std::size_t{0}, std::size_t{11}, whole.size() / 2, whole.size() - 1})
    ExpectRefused(kRight, "cut.max", Buffer(whole.begin(), whole.begin() + length),
                  platform::Reason::TooShort);
}

// A raw PS1 save is its blocks alone: it is known by its content, whatever
// its extension, and named after its file. Refusals name their reason.
TEST_F(SaveDataImageTest, RawPS1SavesImportByContentNamedByTheirFile) {
  Buffer blocks = testing::PS1Blocks(2, "Raw");
  for (const char* name : {"BASLUS-00067DRAX00", "BASLUS-00067DRAX01.srm", "game.sav"}) {
    ASSERT_EQ(Import(kRight, name, blocks), 1u) << name;
    const SaveEntry& e = ws.At(kRight).AtRow(ws.At(kRight).RowCount() - 1);
    EXPECT_EQ(Text(e.name), std::string(name).substr(0, std::string(name).find('.'))) << name;
    EXPECT_EQ(Text(e.title), "Raw");
    EXPECT_EQ(e.size, blocks.size());
  }
  ExpectRefused(kRight, "notes", Buffer(8192, 'x'), platform::Reason::BadMagic);
  ExpectRefused(kRight, "half.sav", Buffer(blocks.begin(), blocks.begin() + 12000),
                platform::Reason::SizeMismatch);
}

}  // namespace
}  // namespace slk
