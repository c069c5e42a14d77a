// Every write, flush and rename of saving a card, exporting a save and locking
// a save is made to fail in turn. Each time the user must be told, the file
// that was there must be untouched, nothing half-written may be left in the
// folder, the slots must be as they were, and nothing may report success.
//
// The shell will also keep its Modified flag set after such a failure; its
// own tests check that, since the flag lives there.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "card/card_image.h"
#include "card/image_formats.h"
#include "card/ps2/ps2_card_format.h"
#include "card/ps2/ps2_card_image.h"
#include "card/save_data_image.h"
#include "card/save_operations.h"
#include "platform/io_faults.h"
#include "slot_builder.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace slk {
namespace {

using platform::IoStep;
using testing::Buffer;

constexpr IoStep kSteps[] = {IoStep::Write, IoStep::Flush, IoStep::Rename};

const char* StepName(IoStep step) {
  switch (step) {
    case IoStep::Write:
      return "write";
    case IoStep::Flush:
      return "flush";
    case IoStep::Rename:
      return "rename";
    case IoStep::SyncFolder:
      return "folder sync";
  }
  return "?";
}

class FaultInjectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Left: a PS1 card of 1, 2 and 3 blocks. Right: an expanded card with a
    // PS1 save, a PS2 save whose files span several copy chunks, and a PS2
    // save without files.
    ASSERT_EQ(ws.CreateSlotStore(kLeft, 0), 1u);
    ws.At(kLeft).kind = CardKind::PS1;
    testing::AddPS1Save(ws, kLeft, "BASLUS-90001STARVOY", testing::PS1Blocks(1, "STAR", 1));
    testing::AddPS1Save(ws, kLeft, "BESLES-90002HEARTQ", testing::PS1Blocks(2, "HEART", 2));
    testing::AddPS1Save(ws, kLeft, "BISLPS-90003DUNGEON", testing::PS1Blocks(3, "KEYS", 3));
    ASSERT_EQ(ws.CreateSlotStore(kRight, 0), 1u);
    ws.At(kRight).kind = CardKind::PS2;
    testing::AddPS1Save(ws, kRight, "BASLUS-90004RALLY", testing::PS1Blocks(1, "RALLY", 4));
    testing::AddPS2Save(ws, kRight, "BASLUS-90010SPRINT",
                        {{"icon.sys", testing::Pattern(964, 5)},
                         {"list.ico", testing::Pattern(70000, 6)},
                         {"DATA", testing::Pattern(150001, 7)}});
    testing::AddPS2Save(ws, kRight, "BESLES-90011EMPTY", {});
    settings.LockPath = dir.File("locks");
    std::filesystem::create_directory(settings.LockPath);
  }

  void TearDown() override { platform::DisarmIoFaults(); }

  // Runs `op` once without a fault to count its steps, then once for each
  // step failing. Before every run `target` holds `old` (or is absent when
  // `old` is empty); after every failed run `check` is asked what it saw.
  void Walk(const std::string& what, const std::string& target, const Buffer& old,
            const std::function<std::uint32_t()>& op,
            const std::function<void(const std::string&)>& check) {
    for (IoStep step : kSteps) {
      Reset(target, old);
      platform::FailNthIo(step, 0);
      ASSERT_EQ(op(), 1u) << what << ": the operation fails even without a fault";
      std::uint64_t steps = platform::IoStepsSeen(step);
      ASSERT_GT(steps, 0u) << what << ": no " << StepName(step) << " seen";
      for (std::uint64_t n = 1; n <= steps; ++n) {
        Reset(target, old);
        SCOPED_TRACE(what + ", failing " + StepName(step) + " " + std::to_string(n) + " of " +
                     std::to_string(steps));
        platform::FailNthIo(step, n);
        std::uint32_t result = op();
        platform::DisarmIoFaults();
        EXPECT_EQ(result, 0u) << "a failed save reported success";
        check(target);
        ++runs;
      }
    }
  }

  void Reset(const std::string& target, const Buffer& old) {
    std::filesystem::remove(target);
    if (!old.empty()) testing::WriteFileBytes(target, old);
    sink.shown.clear();
  }

  // The folder holds exactly what it held before: the old file or nothing.
  void ExpectUntouched(const std::string& target, const Buffer& old,
                       const std::vector<std::string>& listing) {
    std::string folder = std::filesystem::path(target).parent_path().string();
    EXPECT_EQ(testing::Listing(folder), listing) << "a partial or temporary file was left";
    if (!old.empty()) {
      EXPECT_EQ(testing::ReadFileBytes(target), old) << "the old file changed";
    }
  }

  testing::TempDir dir;  // first, so that it outlives the workspace
  testing::RecordingSink sink;
  Settings settings;
  Workspace ws{sink, settings};
  std::uint64_t runs = 0;
};

// The formats written whole through AtomicFile: every card image but the PS2
// card images (written in place, tested with them), every written save format.
std::vector<const FormatRow*> WrittenFormats(FileKind kind) {
  std::vector<const FormatRow*> rows;
  for (const FormatRow& row : kFormats)
    if (row.kind == kind && row.writable && row.layout != FormatLayout::PS2Card)
      rows.push_back(&row);
  return rows;
}

// Something that is not any card: the test only needs to see it unchanged.
Buffer OldFile() {
  Buffer old(5000);
  for (std::size_t i = 0; i < old.size(); ++i) old[i] = static_cast<std::uint8_t>(i % 13 + 'a');
  return old;
}

// A PS2 card image in `form` with a save whose files span several clusters,
// made by the card library and opened into the left slot.
void OpenPS2Card(Workspace& ws, const std::string& path, ps2::Form form) {
  platform::Problem why;
  std::optional<ps2::Ps2CardImage> card =
      ps2::Ps2CardImage::Open(ps2::FormatCard({.form = form, .pages = 16384, .time = {}}), why);
  ASSERT_TRUE(card.has_value());
  Buffer iconSys = testing::Pattern(964, 8), data = testing::Pattern(40000, 9);
  ps2::NewSave save;
  save.name = "BASLUS-90012CIRCUIT";
  save.files = {{"icon.sys", 0x8497, {}, {}, iconSys}, {"DATA", 0x8497, {}, {}, data}};
  ASSERT_EQ(card->AddSave(save).result, ps2::AddResult::Added);
  testing::WriteFileBytes(path, card->Serialize());
  ws.CloseSlot(kLeft);
  ASSERT_EQ(ws.CreateSlotStore(kLeft, 0), 1u);
  ASSERT_EQ(OpenCardImage(ws, kLeft, path), 1u);
  ASSERT_EQ(ws.At(kLeft).ps2Card->ImageForm(), form);
}

TEST_F(FaultInjectionTest, SavingEveryCardFormat) {
  struct Case {
    Slot slot;
    std::string extension;
    std::optional<ps2::Form> ps2Card;  // the left slot holds such a card first
  };
  std::vector<Case> cases;
  for (const FormatRow* row : WrittenFormats(FileKind::CardImage))
    cases.push_back({kLeft, std::string(ExtensionOf(*row)), {}});
  cases.push_back({kRight, "xmc", {}});
  for (ps2::Form form : {ps2::Form::WithEcc, ps2::Form::WithoutEcc})
    cases.push_back({kLeft, "ps2", form});
  for (const Case& c : cases) {
    if (c.ps2Card) {
      ASSERT_NO_FATAL_FAILURE(OpenPS2Card(ws, dir.File("source.ps2"), *c.ps2Card));
    }
    for (const Buffer& old : {OldFile(), Buffer{}}) {
      std::string target = dir.File("card." + c.extension);
      Reset(target, old);
      std::vector<std::string> listing = testing::Listing(dir.Path());
      testing::SlotSnapshot before = testing::Snapshot(ws, c.slot);
      Walk(
          "saving slot " + std::to_string(c.slot) + " as ." + c.extension, target, old,
          [&] {
            std::uint32_t ok = SaveCardImage(ws, c.slot, target);
            if (ok) ws.At(c.slot).kind = before.kind;  // the counting run may change it
            return ok;
          },
          [&](const std::string& path) {
            // The steps of the old file's backup come first, and stop the
            // save with a message of their own.
            ASSERT_EQ(sink.shown.size(), 1u);
            EXPECT_TRUE(sink.shown[0] == MessageId::FileNotPreserved ||
                        sink.shown[0] == MessageId::BackupNotMade)
                << sink.shown[0];
            ExpectUntouched(path, old, listing);
            EXPECT_TRUE(testing::Snapshot(ws, c.slot) == before) << "the slot changed";
          });
      std::filesystem::remove(target);
    }
  }
  RecordProperty("failed_runs", std::to_string(runs));
}

TEST_F(FaultInjectionTest, ExportingEverySaveDataFormat) {
  for (const FormatRow* format : WrittenFormats(FileKind::SaveDataImage)) {
    std::string extension(ExtensionOf(*format));
    // The formats of PS2 saves carry the PS2 save; the PS1 layouts the
    // 3-block PS1 save.
    bool psu = format->carries != Carries::PS1Only;
    Slot slot = psu ? kRight : kLeft;
    std::uint32_t row = psu ? 1 : 2;
    for (const Buffer& old : {OldFile(), Buffer{}}) {
      std::string target = dir.File("save." + extension);
      Reset(target, old);
      std::vector<std::string> listing = testing::Listing(dir.Path());
      testing::SlotSnapshot before = testing::Snapshot(ws, slot);
      Walk(
          "exporting as ." + extension, target, old,
          [&] { return SaveSaveImage(ws, slot, row, target); },
          [&](const std::string& path) {
            EXPECT_EQ(sink.shown, std::vector<int>{MessageId::FileNotPreserved});
            ExpectUntouched(path, old, listing);
            EXPECT_TRUE(testing::Snapshot(ws, slot) == before) << "the slot changed";
          });
      std::filesystem::remove(target);
    }
  }
  RecordProperty("failed_runs", std::to_string(runs));
}

// After each failed lock the program is not locked, so that a second Lock
// tries again rather than deleting a file that is not there.
TEST_F(FaultInjectionTest, LockingInEveryLockFormat) {
  struct Case {
    bool ps1;
    int value;
  };
  std::vector<Case> cases;
  for (int v = 0; v < 14; ++v) cases.push_back({true, v});
  for (int v = 0; v < 3; ++v) cases.push_back({false, v});
  for (const Case& c : cases) {
    settings.LockImagePS1 = c.ps1 ? c.value : 0;
    settings.LockImagePS2 = c.ps1 ? 0 : c.value;
    Slot slot = c.ps1 ? kLeft : kRight;
    std::uint32_t row = 1;  // the 2-block PS1 save, or the PS2 save
    auto path = LockFilePath(settings, ws.At(slot).AtRow(row));
    ASSERT_TRUE(path);
    for (const Buffer& old : {Buffer{}, OldFile()}) {
      Reset(*path, old);
      std::vector<std::string> listing = testing::Listing(settings.LockPath);
      testing::SlotSnapshot before = testing::Snapshot(ws, slot);
      Walk(
          "locking into " + *path, *path, old,
          [&] {
            std::uint32_t ok = LockSave(ws, slot, row);
            if (ok) ws.Lock().locked = false;  // keep the counted file for Reset
            return ok;
          },
          [&](const std::string& lockFile) {
            EXPECT_EQ(sink.shown, std::vector<int>{MessageId::NotLocked});
            EXPECT_FALSE(ws.Lock().locked) << "a failed lock counts as locked";
            ExpectUntouched(lockFile, old, listing);
            EXPECT_TRUE(testing::Snapshot(ws, slot) == before) << "the slot changed";
          });
      // Nothing is stuck: the next Lock works and a second one removes it.
      Reset(*path, {});
      ASSERT_EQ(LockSave(ws, slot, row), 1u);
      EXPECT_TRUE(std::filesystem::exists(*path));
      ws.DeleteLockFile();
      EXPECT_FALSE(std::filesystem::exists(*path));
      EXPECT_TRUE(testing::Listing(settings.LockPath).empty());
    }
  }
  RecordProperty("failed_runs", std::to_string(runs));
}

// The saves' bytes come from the slot's temporary file. When it cannot be
// read (a disk error; here it is closed), no writer may report a file that
// lacks them as saved, nor replace the old file with it.
TEST_F(FaultInjectionTest, UnreadableSlotStoreFailsEveryWriter) {
  ws.At(kLeft).dataFile.Close();
  ws.At(kRight).dataFile.Close();
  Buffer old = OldFile();
  std::vector<std::string> listing;
  auto expectRefused = [&](const std::string& what, std::uint32_t result, const std::string& path,
                           int message) {
    SCOPED_TRACE(what);
    EXPECT_EQ(result, 0u) << "reported as saved";
    EXPECT_EQ(sink.shown, std::vector<int>{message});
    ExpectUntouched(path, old, listing);
  };
  for (const FormatRow* format : WrittenFormats(FileKind::CardImage)) {
    std::string_view extension = ExtensionOf(*format);
    std::string target = dir.File("card." + std::string(extension));
    Reset(target, old);
    listing = testing::Listing(dir.Path());
    expectRefused("saving as ." + std::string(extension), SaveCardImage(ws, kLeft, target), target,
                  MessageId::FileNotPreserved);
    std::filesystem::remove(target);
  }
  for (const FormatRow* format : WrittenFormats(FileKind::SaveDataImage)) {
    std::string target = dir.File("save." + std::string(ExtensionOf(*format)));
    Reset(target, old);
    listing = testing::Listing(dir.Path());
    expectRefused("exporting as " + target, SaveSaveImage(ws, kLeft, 2, target), target,
                  MessageId::FileNotPreserved);
    std::filesystem::remove(target);
  }
  for (int value = 0; value < 14; ++value) {
    settings.LockImagePS1 = value;
    std::string target = *LockFilePath(settings, ws.At(kLeft).AtRow(1));
    Reset(target, old);
    listing = testing::Listing(settings.LockPath);
    expectRefused("locking into " + target, LockSave(ws, kLeft, 1), target, MessageId::NotLocked);
    EXPECT_FALSE(ws.Lock().locked);
    std::filesystem::remove(target);
  }
}

}  // namespace
}  // namespace slk
