// The committed sample files read back through the card library, and every
// PS2 save's list icon is a well-formed model.

#include <gtest/gtest.h>

#include "card/card_image.h"
#include "card/ps2/ps2_card_image.h"
#include "card/save_data_image.h"
#include "icon_model_reader.h"
#include "support/recording_sink.h"

namespace slk {
namespace {

class SampleFiles : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(ws.CreateSlotStore(kLeft, 0), 1u); }

  std::string Sample(const std::string& name) {
    return std::string(SLOTKEEPER_SOURCE_DIR) + "/samples/" + name;
  }

  // Reads icon k of the entry from the slot and checks that it is a model.
  void ExpectModel(const SaveEntry& e, int k) {
    std::vector<std::uint8_t> bytes(e.iconSizes[k]);
    ASSERT_GT(bytes.size(), 0u);
    ASSERT_TRUE(ws.ReadSlotBytes(kLeft, e.iconOffsets[k], bytes.data(), bytes.size()));
    std::string error;
    EXPECT_TRUE(testing::ReadIconModel(bytes, error).has_value())
        << reinterpret_cast<const char*>(e.name.data()) << ": " << error;
  }

  testing::RecordingSink sink;
  Settings settings;
  Workspace ws{sink, settings};
};

TEST_F(SampleFiles, MixedCardHoldsPS1AndPS2SavesWithOurIcons) {
  ASSERT_EQ(OpenCardImage(ws, kLeft, Sample("slotkeeper-mixed.xmc")), 1u);
  const SlotData& slot = ws.At(kLeft);
  ASSERT_EQ(slot.RowCount(), 9u) << "one full page of the list";
  int ps1 = 0, standard = 0;
  for (std::uint32_t row = 0; row < slot.RowCount(); ++row) {
    const SaveEntry& e = slot.AtRow(row);
    EXPECT_GT(e.titleLine1Length, 0u);
    if (e.IsPS1()) {
      ++ps1;
      continue;
    }
    EXPECT_GT(e.titleLine2Length, 0u) << "PS2 titles have two lines";
    EXPECT_EQ(e.backgroundColours[0] >> 24, 0xD0u);
    if (e.useStandardIcon) {
      ++standard;
      ExpectModel(e, 1);  // only the list icon is missing
      continue;
    }
    ExpectModel(e, 0);
  }
  EXPECT_EQ(ps1, 3);
  EXPECT_EQ(standard, 1);
}

TEST_F(SampleFiles, PS2CardHoldsThePS2SavesUndamaged) {
  ASSERT_EQ(OpenCardImage(ws, kLeft, Sample("slotkeeper-ps2.ps2")), 1u);
  const SlotData& slot = ws.At(kLeft);
  EXPECT_EQ(slot.kind, CardKind::PS2Card);
  ASSERT_TRUE(slot.ps2Card);
  EXPECT_FALSE(slot.ps2Card->Damaged());
  EXPECT_EQ(slot.ps2Card->ImageForm(), ps2::Form::WithEcc);
  ASSERT_EQ(slot.RowCount(), 7u) << "the mixed card's six PS2 saves and the jelly save";
  for (std::uint32_t row = 0; row < slot.RowCount(); ++row) {
    const SaveEntry& e = slot.AtRow(row);
    EXPECT_GT(e.titleLine2Length, 0u);
    ExpectModel(e, e.useStandardIcon ? 1 : 0);
  }
}

TEST_F(SampleFiles, SingleSavesImport) {
  ASSERT_EQ(AddSaveImage(ws, kLeft, Sample("slotkeeper-jelly.psu")), 1u);
  ASSERT_EQ(AddSaveImage(ws, kLeft, Sample("slotkeeper-dungeon.ps1")), 1u);
  const SlotData& slot = ws.At(kLeft);
  ASSERT_EQ(slot.RowCount(), 2u);
  EXPECT_FALSE(slot.AtRow(0).IsPS1());
  EXPECT_EQ(slot.AtRow(0).useStandardIcon, 0u);
  ExpectModel(slot.AtRow(0), 0);
  EXPECT_TRUE(slot.AtRow(1).IsPS1());
}

}  // namespace
}  // namespace slk
