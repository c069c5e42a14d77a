// Inputs the fuzz targets found, each reduced to what made it fail, and the
// behaviour that is right instead.

#include <gtest/gtest.h>

#include <string>

#include "card/save_data_image.h"
#include "slot_builder.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace slk {
namespace {

using testing::Buffer;

class FuzzFindingTest : public ::testing::Test {
 protected:
  void OpenSlot(Slot s, CardKind kind) {
    ASSERT_EQ(ws.CreateSlotStore(s, 0), 1u);
    ws.At(s).kind = kind;
  }

  Buffer SaveBytes(Slot s, std::uint32_t row) {
    const SaveEntry& e = ws.At(s).AtRow(row);
    Buffer bytes(e.size);
    EXPECT_TRUE(ws.ReadSlotBytes(s, e.offset, bytes.data(), bytes.size()));
    return bytes;
  }

  // Exports row 0 of Left, imports the file into Right, and expects the same
  // name and bytes back.
  void ExpectExportReadsBack(const std::string& extension) {
    std::string path = dir.File("export." + extension);
    ASSERT_EQ(SaveSaveImage(ws, kLeft, 0, path), 1u);
    OpenSlot(kRight, CardKind::PS1);
    ASSERT_EQ(AddSaveImage(ws, kRight, path), 1u) << "our own export is refused";
    EXPECT_EQ(ws.At(kRight).AtRow(0).name, ws.At(kLeft).AtRow(0).name);
    EXPECT_EQ(SaveBytes(kRight, 0), SaveBytes(kLeft, 0));
    EXPECT_TRUE(sink.shown.empty());
  }

  testing::TempDir dir;
  testing::RecordingSink sink;
  Settings settings;
  Workspace ws{sink, settings};
};

// fuzz_save_mcx: an exported .mcx begins with the save's name. A name whose
// first bytes read as a first-block frame state (0x51) made the reader take
// the file for the 128-byte framed form when the block held "SC" at byte 74,
// and a name beginning "SC" made it take the file for bare blocks.
TEST_F(FuzzFindingTest, McxExportReadsBackWhateverTheNameLooksLike) {
  OpenSlot(kLeft, CardKind::PS1);
  Buffer blocks = testing::PS1Blocks(2, "TITLE", 9);
  blocks[74] = 'S';
  blocks[75] = 'C';
  testing::AddPS1Save(ws, kLeft, "Q", blocks);
  ExpectExportReadsBack("mcx");
}

TEST_F(FuzzFindingTest, McbExportOfASaveNamedLikeATitleFrameReadsBack) {
  OpenSlot(kLeft, CardKind::PS1);
  testing::AddPS1Save(ws, kLeft, "SCORE-TABLE", testing::PS1Blocks(1, "SCORES", 4));
  ExpectExportReadsBack("mcb");
}

}  // namespace
}  // namespace slk
