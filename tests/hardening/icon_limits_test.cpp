// An icon is read only as far as an icon can use it. A PS1 save's icon file
// is the whole save, and a PS2 save's icon.sys may name a file of any size:
// decoding one icon must not cost that file's size in memory.

#include <gtest/gtest.h>

#include <cstdint>

#include "allocation_counter.h"
#include "icons/icon_fixture.h"

namespace slk::testing {
namespace {

constexpr std::uint64_t kClaimed = 256u << 20;  // a hole, not real bytes
constexpr std::size_t kFewMiB = 4u << 20;

class IconLimitsTest : public IconTest {
 protected:
  // A save whose icon is `icon` followed by a hole: its icon file claims
  // kClaimed bytes, all of them present in the slot.
  std::uint32_t AddHugeIconSave(Slot s, const Bytes& icon, bool ps1) {
    std::uint32_t i = AddSave(s, icon, ps1);
    SaveEntry& e = ws.At(s).entries[i];
    platform::File& data = ws.At(s).dataFile;
    const std::uint8_t last = 0;
    EXPECT_TRUE(data.Seek(e.offset + kClaimed - 1));
    EXPECT_TRUE(data.WriteExact(&last, 1));
    e.size = static_cast<std::uint32_t>(kClaimed);
    e.iconSizes.fill(static_cast<std::uint32_t>(kClaimed));
    return i;
  }
};

TEST_F(IconLimitsTest, HugeIconFilesAreDecodedFromTheirFirstBytes) {
  PS1Icon ps1;
  ps1.flag = 0x13;
  ps1.palette = {0x001F, 0x03E0, 0x7C00};
  for (int f = 0; f < 3; ++f) ps1.FillFrame(f, static_cast<std::uint8_t>(f));
  ModelFile model;
  model.shapes = 1;
  model.animationFrames = 1;
  model.vertices = Triangle(1);
  model.texture = ModelFile::PlainTexture(0x7FFF);

  std::uint32_t a = AddHugeIconSave(kLeft, ps1.Build(), true);
  std::uint32_t b = AddHugeIconSave(kRight, model.Build(), false);
  StartCountingAllocations();
  EXPECT_EQ(pipeline->DecodeIcon(kLeft, a), 1u);
  EXPECT_EQ(ws.Icon().frameCount, 3u);
  EXPECT_EQ(pipeline->DecodeIcon(kRight, b), 1u);
  AllocationStats stats = AllocationsSinceStart();
  EXPECT_LE(stats.largestRequest, kFewMiB);
  EXPECT_LE(stats.peakBytes, kFewMiB);
}

}  // namespace
}  // namespace slk::testing
