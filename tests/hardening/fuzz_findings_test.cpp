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

// fuzz_save_mcx: an exported .mcx begins with the save's name. A name whose
// first bytes read as a first-block frame state (0x51) made the reader take
// the file for the 128-byte framed form when the block held "SC" at byte 74,
// and a name beginning "SC" made it take the file for bare blocks (.mcb
// alike). Each export imports back with the same name and bytes.
TEST(FuzzFindingTest, McxAndMcbExportsReadBackWhateverTheNameLooksLike) {
  Buffer scAt74 = testing::PS1Blocks(2, "TITLE", 9);
  scAt74[74] = 'S';
  scAt74[75] = 'C';
  const struct {
    const char* name;
    Buffer blocks;
    const char* extension;
  } cases[] = {{"Q", scAt74, "mcx"}, {"SCORE-TABLE", testing::PS1Blocks(1, "SCORES", 4), "mcb"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extension);
    testing::TempDir dir;
    testing::RecordingSink sink;
    Settings settings;
    Workspace ws{sink, settings};
    for (Slot s : {kLeft, kRight}) {
      ASSERT_EQ(ws.CreateSlotStore(s, 0), 1u);
      ws.At(s).kind = CardKind::PS1;
    }
    testing::AddPS1Save(ws, kLeft, c.name, c.blocks);
    std::string path = dir.File(std::string("export.") + c.extension);
    ASSERT_EQ(SaveSaveImage(ws, kLeft, 0, path), 1u);
    ASSERT_EQ(AddSaveImage(ws, kRight, path), 1u) << "our own export is refused";
    EXPECT_EQ(ws.At(kRight).AtRow(0).name, ws.At(kLeft).AtRow(0).name);
    EXPECT_EQ(testing::Snapshot(ws, kRight).bytes, testing::Snapshot(ws, kLeft).bytes);
    EXPECT_TRUE(sink.shown.empty());
  }
}

}  // namespace
}  // namespace slk
