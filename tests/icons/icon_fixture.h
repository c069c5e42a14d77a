#pragma once
// A display engine on a test desktop, a workspace whose slots take saves
// with hand-made icons, and the icon pipeline over both.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "card/workspace.h"
#include "display/display_engine.h"
#include "gfx/desktop.h"
#include "icon_builders.h"
#include "icons/icon_pipeline.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"
#include "support/test_desktop.h"

namespace slk::testing {

class IconTest : public ::testing::Test {
 protected:
  explicit IconTest(int bits = 16) : desktop(TestDesktop(bits)), window(desktop, {20, 10}) {}

  void SetUp() override {
    ASSERT_TRUE(engine.InitDisplay(window, false));
    pipeline = std::make_unique<IconPipeline>(engine, ws, dir.File("standard.ico"));
    for (Slot s : {kLeft, kRight}) {
      ASSERT_EQ(ws.CreateSlotStore(s, 0), 1u);
      ws.At(s).kind = CardKind::PS2;
    }
  }
  void TearDown() override {
    pipeline.reset();
    engine.ReleaseDisplay();
  }

  // Appends a listed save whose list icon is `icon`, returns its entry index.
  std::uint32_t AddSave(Slot s, const Bytes& icon, bool ps1, std::uint32_t size = 0) {
    EXPECT_TRUE(ws.AddEntry(s, icon.size()));
    SaveEntry& e = ws.At(s).entries.back();
    platform::File& data = ws.At(s).dataFile;
    EXPECT_TRUE(data.Seek(e.offset));
    EXPECT_TRUE(data.WriteExact(icon.data(), icon.size()));
    e.size = size != 0 ? size : static_cast<std::uint32_t>(icon.size());
    e.mode = ps1 ? kModePS1 : 0x8427;
    e.iconOffsets.fill(e.offset);
    e.iconSizes.fill(static_cast<std::uint32_t>(icon.size()));
    e.useStandardIcon = 0;
    ws.ListLastEntry(s);
    return ws.At(s).EntryCount() - 1;
  }

  std::uint32_t AddStandardIconSave(Slot s) {
    std::uint32_t i = AddSave(s, Bytes(16, 0), false);
    SaveEntry& e = ws.At(s).entries[i];
    e.iconOffsets = {};
    e.iconSizes = {};
    e.useStandardIcon = 1;
    return i;
  }

  void WriteStandardIcon(const Bytes& bytes) { WriteFileBytes(dir.File("standard.ico"), bytes); }

  std::size_t BuiltMeshes() const {
    std::size_t n = 0;
    for (const auto& m : engine.ModelFrames()) n += m ? 1 : 0;
    return n;
  }

  TempDir dir;
  RecordingSink sink;
  Settings settings;
  gfx::Desktop desktop;
  gfx::Window window;
  DisplayEngine engine;
  Workspace ws{sink, settings};
  std::unique_ptr<IconPipeline> pipeline;
};

}  // namespace slk::testing
