#include "card/expanded_card.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "card/card_image.h"
#include "platform/atomic_file.h"
#include "save_test_fixture.h"

namespace slk {
namespace {

using testing::Buffer;
using testing::FileSpec;
using testing::SaveSpec;

// A PS2 save whose icon.sys names "list.ico", with a data file before it.
SaveSpec PS2Save(const std::string& name, const std::string& iconSysName = "icon.sys") {
  SaveSpec save;
  save.name = name;
  save.files.push_back(FileSpec{0x8497, "data.bin", Buffer(700, 0x5A)});
  save.files.push_back(FileSpec{0x8497, "list.ico", Buffer(300, 0x33)});
  save.files.push_back(FileSpec{0x8497, iconSysName, testing::IconSys("GameTitle", 4, "LIST.ICO"),
                                testing::Time(4)});
  return save;
}

class ExpandedCardTest : public testing::SaveTest {
 protected:
  std::uint32_t Open(const Buffer& bytes, const std::string& name = "card.xmc") {
    ws.CloseSlot(kLeft);
    EXPECT_EQ(ws.CreateSlotStore(kLeft, 0), 1u);
    ws.At(kLeft).kind = CardKind::PS1;  // the opener must set it
    return OpenCardImage(ws, kLeft, Write(name, bytes));
  }

  void ExpectEmptySlot() {
    EXPECT_EQ(ws.At(kLeft).EntryCount(), 0u);
    EXPECT_EQ(ws.At(kLeft).RowCount(), 0u);
  }
};

// Version 0 opens as version 1 (every other test's) does; a card of no saves
// is an empty expanded card.
TEST_F(ExpandedCardTest, VersionsZeroAndOneOpenAsAnExpandedCard) {
  EXPECT_EQ(Open(testing::Xmc({PS2Save("A")}, 0)), 1u);
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_EQ(ws.At(kLeft).RowCount(), 1u);
  EXPECT_EQ(Open(testing::XmcHeader(0)), 1u);
  EXPECT_EQ(ws.At(kLeft).kind, CardKind::PS2);
  ExpectEmptySlot();
}

// Each refusal is shown once, with its reason under it: the magic is checked
// before the version, versions above one are refused, and counts and sizes
// the file cannot hold are refused.
TEST_F(ExpandedCardTest, WhatTheFileCannotBeIsRefusedWithItsReason) {
  SaveSpec fewEntries = PS2Save("FEW");
  fewEntries.entryCountOverride = 1;
  SaveSpec manyFiles = PS2Save("MANY");
  manyFiles.entryCountOverride = 0x7FFFFFFF;
  Buffer hugeFile = testing::Xmc({PS2Save("HUGE")});
  testing::Put32(hugeFile, 16 + 96 + 4, 0xFFFFFF00u);  // first file's size
  Buffer manySaves = testing::Xmc({PS2Save("A")});
  testing::Put32(manySaves, 4, 0xFFFFFFFFu);
  SaveSpec oddPS1 = testing::PS1Save("BASLUS-00002", 1, "Odd");
  oddPS1.files[0].bytes.resize(8000);

  using platform::Reason;
  struct Case {
    Buffer bytes;
    int message;
    Reason reason;
  } cases[] = {{testing::Xmc({PS2Save("A")}, 2), MessageId::UnsupportedVersion, Reason::BadField},
               {testing::XmcHeader(0, 2, "EXMD"), MessageId::NotExpandedCard, Reason::BadMagic},
               {Buffer{'E', 'X'}, MessageId::NotExpandedCard, Reason::TooShort},
               {testing::Xmc({fewEntries}), MessageId::FileNotOpened, Reason::BadField},
               {testing::Xmc({manyFiles}), MessageId::FileNotOpened, Reason::TooShort},
               {hugeFile, MessageId::FileNotOpened, Reason::TooShort},
               {manySaves, MessageId::FileNotOpened, Reason::TooShort},
               {testing::Xmc({PS2Save("OK"), oddPS1}), MessageId::FileNotOpened, Reason::BadField}};
  for (const Case& c : cases) {
    ClearSink();
    ExpectRefusal(Open(c.bytes), c.message, c.reason, dir.File("card.xmc"));
    ExpectEmptySlot();
  }
}

// Files are padded to 512 in the image but not in the slot, empty files take
// only their entry, and writing back gives the same bytes.
TEST_F(ExpandedCardTest, ReadingAndWritingBackGivesTheSameBytes) {
  SaveSpec save;
  save.name = "PADDING";
  save.files = {FileSpec{0x8497, "a", Buffer(1000, 1)}, FileSpec{0x8497, "b", Buffer(512, 2)},
                FileSpec{0x8497, "c", Buffer()}, FileSpec{0x8497, "d", Buffer(3, 4)}};
  ASSERT_EQ(testing::Xmc({save}).size(), 16u + 96 + (80 + 1024) + (80 + 512) + 80 + (80 + 512));
  Buffer image = testing::Xmc({testing::PS1Save("BESLES-12345", 2, "Two blocks"), save,
                               testing::PS1Save("BASLUS-99999", 1, "One block")});
  ASSERT_EQ(Open(image), 1u);
  ASSERT_EQ(ws.At(kLeft).RowCount(), 3u);
  const SaveEntry& e = ws.At(kLeft).AtRow(1);
  EXPECT_EQ(Text(e.name), "PADDING");
  EXPECT_EQ(e.time.bytes, (std::array<std::uint8_t, 8>{0, 30, 20, 10, 1, 6, 0xD3, 0x07}));
  ASSERT_EQ(e.files.size(), 4u);
  EXPECT_EQ(e.size, 1000u + 512 + 0 + 3);
  Buffer bytes = SaveBytes(kLeft, 1);
  EXPECT_EQ(bytes[999], 1);
  EXPECT_EQ(bytes[1000], 2) << "no padding between files in the slot";
  EXPECT_EQ(bytes[1512], 4);

  std::string out = dir.File("out.xmc");
  ASSERT_EQ(SaveCardImage(ws, kLeft, out), 1u);
  EXPECT_EQ(testing::ReadFileBytes(out), image);
}

// icon.sys in capitals is found and icon names match without case; a save
// without icon.sys shows the standard icon; a save's kind comes from its
// mode, not from the tag of its save header.
TEST_F(ExpandedCardTest, TitlesIconsAndKindsComeFromTheSavesFiles) {
  SaveSpec noIcon;
  noIcon.name = "NOICON";
  noIcon.files = {FileSpec{0x8497, "", Buffer(10, 1)}, FileSpec{0x8497, "x.ico", Buffer(10, 2)}};
  Buffer image = testing::XmcHeader(3);
  testing::Append(image, testing::XmcSave(PS2Save("CAPS", "ICON.SYS")));
  testing::Append(image, testing::XmcSave(noIcon));
  testing::Append(image, testing::XmcSave(testing::PS1Save("BASLUS-00001", 1, "One"), "PS2D"));
  ASSERT_EQ(Open(image), 1u);
  const SaveEntry& caps = ws.At(kLeft).AtRow(0);
  EXPECT_EQ(Text(caps.title), "GameTitle");
  EXPECT_EQ(caps.titleLine1Length, 4);
  EXPECT_EQ(caps.titleLine2Length, 5);
  EXPECT_EQ(caps.backgroundColours[0], 0xD0402010u);
  EXPECT_EQ(caps.useStandardIcon, 0u);
  EXPECT_EQ(caps.iconOffsets[0], caps.offset + 700) << "list.ico follows the 700-byte data file";
  EXPECT_EQ(caps.iconSizes[0], 300u);

  const SaveEntry& bare = ws.At(kLeft).AtRow(1);
  EXPECT_EQ(Text(bare.title), "");
  EXPECT_EQ(bare.titleLine1Length, 0);
  EXPECT_EQ(bare.titleLine2Length, 0);
  EXPECT_EQ(bare.useStandardIcon, 1u) << "not even a file with an empty name is an icon";
  EXPECT_EQ(bare.iconSizes[0], 0u);
  EXPECT_NE(bare.backgroundColours[0], 0u);

  const SaveEntry& ps1 = ws.At(kLeft).AtRow(2);
  EXPECT_TRUE(ps1.IsPS1());
  EXPECT_EQ(Text(ps1.title), "One");
  EXPECT_EQ(ps1.iconOffsets[0], ps1.offset);
}

TEST_F(ExpandedCardTest, TruncationAtAnyLengthIsRefusedOrReadWhole) {
  SaveSpec small;
  small.name = "SMALL";
  small.files = {FileSpec{0x8497, "icon.sys", testing::IconSys("T", 0, "i"), testing::Time(4)},
                 FileSpec{0x8497, "i", Buffer(40, 7)}};
  SaveSpec first = small;
  first.name = "FIRST";
  // The 40-byte file comes last, so that its 472 bytes of padding end the image.
  Buffer image = testing::Xmc({first, small});
  ASSERT_EQ(Open(image), 1u);
  Buffer whole0 = SaveBytes(kLeft, 0), whole1 = SaveBytes(kLeft, 1);

  // One file cut shorter and shorter; a refused read leaves the slot empty,
  // so it is reopened only after a read that succeeded.
  std::string path = Write("cut.xmc", image);
  ws.CloseSlot(kLeft);
  ws.CreateSlotStore(kLeft, 0);
  for (std::size_t length = image.size(); length-- > 0;) {
    std::filesystem::resize_file(path, length);
    if (OpenCardImage(ws, kLeft, path) == 0) {
      ASSERT_EQ(ws.At(kLeft).EntryCount(), 0u) << length;
      ASSERT_EQ(ws.At(kLeft).RowCount(), 0u) << length;
      continue;
    }
    // Only the zero padding after the last file may be missing.
    ASSERT_GE(length, image.size() - 472) << length;
    ASSERT_EQ(ws.At(kLeft).RowCount(), 2u);
    EXPECT_EQ(SaveBytes(kLeft, 0), whole0);
    EXPECT_EQ(SaveBytes(kLeft, 1), whole1);
    ws.CloseSlot(kLeft);
    ws.CreateSlotStore(kLeft, 0);
  }
}

TEST_F(ExpandedCardTest, ASingleSaveIsACompleteImageOfOneSave) {
  ASSERT_EQ(Open(testing::Xmc({PS2Save("A"), testing::PS1Save("BASLUS-1", 1, "T")})), 1u);
  std::string out = dir.File("single.xmc");
  {
    platform::AtomicFile file(out);
    ASSERT_EQ(WriteExpandedCard(ws, kLeft, file.Stream(), true, &ws.At(kLeft).AtRow(1)), 1u);
    ASSERT_TRUE(file.Commit());
  }
  EXPECT_EQ(testing::ReadFileBytes(out), testing::Xmc({testing::PS1Save("BASLUS-1", 1, "T")}));
}

}  // namespace
}  // namespace slk
