#include "card/workspace.h"

#include <gtest/gtest.h>

#include <cstring>

#include "card/utility.h"
#include "support/card_inputs.h"
#include "support/recording_sink.h"

namespace slk {
namespace {

using testing::RecordingSink;

class WorkspaceTest : public ::testing::Test {
 protected:
  // Appends bytes to the slot's data file as a new listed save.
  SaveEntry& AddSave(Slot s, const std::vector<std::uint8_t>& bytes) {
    EXPECT_TRUE(ws.AddEntry(s, bytes.size()));
    SaveEntry& e = ws.At(s).entries.back();
    e.size = static_cast<std::uint32_t>(bytes.size());
    ws.At(s).dataFile.Seek(e.offset);
    ws.At(s).dataFile.WriteExact(bytes.data(), bytes.size());
    ws.ListLastEntry(s);
    return e;
  }

  RecordingSink sink;
  Settings settings;
  Workspace ws{sink, settings};
};

TEST_F(WorkspaceTest, SlotOpensOnceAndAsksTheKindOnlyWhenTold) {
  ASSERT_EQ(ws.CreateSlotStore(kLeft, 0), 1u);
  EXPECT_EQ(ws.CreateSlotStore(kLeft, 0), 0u) << "an open slot is never reopened";
  EXPECT_TRUE(sink.kindPreselections.empty());

  sink.kindAnswer = CardKind::PS1;
  ASSERT_EQ(ws.CreateSlotStore(kRight, 1), 1u);
  EXPECT_EQ(ws.At(kRight).kind, CardKind::PS1);
  ASSERT_EQ(sink.kindPreselections.size(), 1u);
  EXPECT_EQ(sink.kindPreselections[0], CardKind::PS2);

  ws.CloseSlot(kRight);
  settings.UseDefaultImage = 1;
  settings.DefaultImage = 1;
  ASSERT_EQ(ws.CreateSlotStore(kRight, 1), 1u);
  EXPECT_EQ(ws.At(kRight).kind, CardKind::PS1);
  EXPECT_EQ(sink.kindPreselections.size(), 1u) << "the default image is taken without asking";

  // A PS2 card image as the default: a formatted card, or the preselection.
  ws.CloseSlot(kRight);
  settings.DefaultImage = 2;
  ASSERT_EQ(ws.CreateSlotStore(kRight, 1), 1u);
  EXPECT_EQ(ws.At(kRight).kind, CardKind::PS2Card);
  EXPECT_TRUE(ws.At(kRight).ps2Card);
  ws.CloseSlot(kRight);
  settings.UseDefaultImage = 0;
  ASSERT_EQ(ws.CreateSlotStore(kRight, 1), 1u);
  EXPECT_EQ(sink.kindPreselections.back(), CardKind::PS2Card);
}

TEST_F(WorkspaceTest, PS1TitleOf64BytesSplitsIntoTwoLinesOf32) {
  ws.CreateSlotStore(kLeft, 0);
  std::vector<std::uint8_t> block(8192, 0);
  std::memset(block.data() + 4, 'T', 64);
  block[68] = 'X';  // the byte after the field is not part of the title
  SaveEntry& e = AddSave(kLeft, block);
  ws.ReadPS1Title(kLeft, e.offset, e);
  EXPECT_EQ(e.titleLine1Length, 32);
  EXPECT_EQ(e.titleLine2Length, 32);
  EXPECT_EQ(e.backgroundColours[0], 0xC0000080u);
  EXPECT_EQ(e.backgroundColours[3], 0xC0000020u);
}

// A line break of 0 or beyond the title keeps one line; a short icon.sys
// reads its missing fields as zero.
TEST_F(WorkspaceTest, IconSysTitleSplitsAtItsLineBreak) {
  ws.CreateSlotStore(kLeft, 0);
  for (std::uint16_t lineBreak : {0, 200, 4}) {
    SaveEntry& e = AddSave(kLeft, testing::IconSys("ABCDEF", lineBreak, "list.ico"));
    ASSERT_TRUE(ws.ReadIconSys(kLeft, e.offset, e.size, e));
    EXPECT_EQ(e.titleLine1Length, lineBreak == 4 ? 4 : 6);
    EXPECT_EQ(e.titleLine2Length, lineBreak == 4 ? 2 : 0);
    EXPECT_EQ(e.backgroundColours[0], 0xD0402010u);
  }
  auto bytes = testing::IconSys("TITLE", 0, "");
  bytes.resize(0xC0 + 3);  // cut inside the title
  SaveEntry& e = AddSave(kLeft, bytes);
  ASSERT_TRUE(ws.ReadIconSys(kLeft, e.offset, e.size, e));
  EXPECT_EQ(e.titleLine1Length, 3);
  EXPECT_EQ(ws.IconNames()[0][0], 0);
}

TEST_F(WorkspaceTest, IconsAreFoundByNameWhateverTheCase) {
  ws.CreateSlotStore(kLeft, 0);
  SaveEntry& e = AddSave(kLeft, std::vector<std::uint8_t>(300, 0));
  e.mode = 0x8427;
  auto file = [](const char* name, std::uint32_t size) {
    SaveFileEntry f;
    f.size = size;
    std::memcpy(f.name.data(), name, std::strlen(name));
    return f;
  };
  e.files = {file("icon.sys", 100), file("LIST.ICO", 150), file("del.ico", 50)};
  std::memcpy(ws.IconNames()[0].data(), "list.ico", 8);
  std::memcpy(ws.IconNames()[1].data(), "list.ico", 8);
  std::memcpy(ws.IconNames()[2].data(), "DEL.ICO", 7);
  ws.ResolveIcons(kLeft, e);
  EXPECT_EQ(e.useStandardIcon, 0u);
  EXPECT_EQ(e.iconOffsets[0], e.offset + 100);
  EXPECT_EQ(e.iconSizes[0], 150u);
  EXPECT_EQ(e.iconOffsets[2], e.offset + 250);

  // Only a copy or delete icon: the list would have nothing to draw.
  ws.IconNames()[0].fill(0);
  std::memcpy(ws.IconNames()[0].data(), "missing.ico", 11);
  ws.ResolveIcons(kLeft, e);
  EXPECT_EQ(e.useStandardIcon, 1u);
}

}  // namespace
}  // namespace slk
