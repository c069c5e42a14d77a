// Every write, flush and rename of saving a card, exporting a save and locking
// a save is made to fail in turn. Each time the user must be told, the file
// that was there must be untouched, nothing half-written may be left in the
// folder, the slots must be as they were, and nothing may report success.
//
// The shell will also keep its Modified flag set after such a failure; its
// own tests check that, since the flag lives there.

#include <gtest/gtest.h>

#include <algorithm>
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
const char* const kStepNames[] = {"write", "flush", "rename", "folder sync"};

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

  // Runs `op` writing `target` once without a fault to count its steps,
  // then once for each step failing, with `target` first holding an old
  // file and then absent. After every failed run the user was shown one of
  // `messages` alone, the folder and the old file are as they were, the
  // slot is unchanged and no lock is held.
  void Walk(const std::string& what, Slot slot, const std::string& target,
            const std::function<std::uint32_t()>& op, const std::vector<int>& messages) {
    for (const Buffer& old : {OldFile(), Buffer{}}) {
      Reset(target, old);
      std::string folder = std::filesystem::path(target).parent_path().string();
      std::vector<std::string> listing = testing::Listing(folder);
      testing::SlotSnapshot before = testing::Snapshot(ws, slot);
      for (IoStep step : kSteps) {
        const char* stepName = kStepNames[static_cast<int>(step)];
        Reset(target, old);
        platform::FailNthIo(step, 0);
        ASSERT_EQ(op(), 1u) << what << ": the operation fails even without a fault";
        ws.At(slot).kind = before.kind;  // the counting run may change it
        std::uint64_t steps = platform::IoStepsSeen(step);
        ASSERT_GT(steps, 0u) << what << ": no " << stepName << " seen";
        for (std::uint64_t n = 1; n <= steps; ++n) {
          Reset(target, old);
          SCOPED_TRACE(what + ", failing " + stepName + " " + std::to_string(n) + " of " +
                       std::to_string(steps));
          platform::FailNthIo(step, n);
          std::uint32_t result = op();
          platform::DisarmIoFaults();
          EXPECT_EQ(result, 0u) << "a failed save reported success";
          ASSERT_EQ(sink.shown.size(), 1u);
          EXPECT_NE(std::find(messages.begin(), messages.end(), sink.shown[0]), messages.end())
              << sink.shown[0];
          EXPECT_FALSE(ws.Lock().locked) << "a failed lock counts as locked";
          ExpectUntouched(target, old, listing);
          EXPECT_TRUE(testing::Snapshot(ws, slot) == before) << "the slot changed";
        }
      }
      std::filesystem::remove(target);
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

  // Something that is not any card: the test only needs to see it unchanged.
  static Buffer OldFile() { return Buffer(5000, 'q'); }

  testing::TempDir dir;  // first, so that it outlives the workspace
  testing::RecordingSink sink;
  Settings settings;
  Workspace ws{sink, settings};
};

// The formats written whole through AtomicFile: every card image but the PS2
// card images (written in place, tested with them), every written save format.
std::vector<std::string> WrittenExtensions(FileKind kind) {
  std::vector<std::string> extensions;
  for (const FormatRow& row : kFormats)
    if (row.kind == kind && row.writable && row.layout != FormatLayout::PS2Card)
      extensions.emplace_back(ExtensionOf(row));
  return extensions;
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

// The steps of the old file's backup come first, and stop the save with a
// message of their own.
TEST_F(FaultInjectionTest, SavingEveryCardFormat) {
  const std::vector<int> messages = {MessageId::FileNotPreserved, MessageId::BackupNotMade};
  for (const std::string& extension : WrittenExtensions(FileKind::CardImage))
    Walk(
        "saving as ." + extension, kLeft, dir.File("card." + extension),
        [&] { return SaveCardImage(ws, kLeft, dir.File("card." + extension)); }, messages);
  Walk(
      "saving an expanded card", kRight, dir.File("card.xmc"),
      [&] { return SaveCardImage(ws, kRight, dir.File("card.xmc")); }, messages);
  for (ps2::Form form : {ps2::Form::WithEcc, ps2::Form::WithoutEcc}) {
    ASSERT_NO_FATAL_FAILURE(OpenPS2Card(ws, dir.File("source.ps2"), form));
    Walk(
        "saving a PS2 card image", kLeft, dir.File("card.ps2"),
        [&] { return SaveCardImage(ws, kLeft, dir.File("card.ps2")); }, messages);
  }
}

// The formats of PS2 saves carry the PS2 save; the PS1 layouts the 3-block
// PS1 save.
TEST_F(FaultInjectionTest, ExportingEverySaveDataFormat) {
  for (const FormatRow& format : kFormats) {
    if (format.kind != FileKind::SaveDataImage || !format.writable) continue;
    std::string target = dir.File("save." + std::string(ExtensionOf(format)));
    bool ps2 = format.carries != Carries::PS1Only;
    Slot slot = ps2 ? kRight : kLeft;
    Walk("exporting " + target, slot, target,
         [&] { return SaveSaveImage(ws, slot, ps2 ? 1 : 2, target); },
         {MessageId::FileNotPreserved});
  }
}

// After each failed lock the program is not locked, so that a second Lock
// tries again rather than deleting a file that is not there.
TEST_F(FaultInjectionTest, LockingInEveryLockFormat) {
  for (int value = 0; value < 17; ++value) {
    bool ps1 = value < 14;
    settings.LockImagePS1 = ps1 ? value : 0;
    settings.LockImagePS2 = ps1 ? 0 : value - 14;
    Slot slot = ps1 ? kLeft : kRight;  // row 1: the 2-block PS1 save, or the PS2 save
    std::optional<std::string> path = LockFilePath(settings, ws.At(slot).AtRow(1));
    ASSERT_TRUE(path);
    Walk("locking into " + *path, slot, *path,
         [&] {
           std::uint32_t ok = LockSave(ws, slot, 1);
           if (ok) ws.Lock().locked = false;  // keep the counted file for Reset
           return ok;
         },
         {MessageId::NotLocked});
    // Nothing is stuck: the next Lock works and a second one removes it.
    ASSERT_EQ(LockSave(ws, slot, 1), 1u);
    EXPECT_TRUE(std::filesystem::exists(*path));
    ws.DeleteLockFile();
    EXPECT_TRUE(testing::Listing(settings.LockPath).empty());
  }
}

// The saves' bytes come from the slot's temporary file. When it cannot be
// read (a disk error; here it is closed), no writer may report a file that
// lacks them as saved, nor replace the old file with it.
TEST_F(FaultInjectionTest, UnreadableSlotStoreFailsEveryWriter) {
  ws.At(kLeft).dataFile.Close();
  ws.At(kRight).dataFile.Close();
  Buffer old = OldFile();
  auto expectRefused = [&](const std::string& target, const std::function<std::uint32_t()>& op,
                           int message) {
    SCOPED_TRACE(target);
    Reset(target, old);
    std::string folder = std::filesystem::path(target).parent_path().string();
    std::vector<std::string> listing = testing::Listing(folder);
    EXPECT_EQ(op(), 0u) << "reported as saved";
    EXPECT_EQ(sink.shown, std::vector<int>{message});
    ExpectUntouched(target, old, listing);
    EXPECT_FALSE(ws.Lock().locked);
    std::filesystem::remove(target);
  };
  for (const std::string& extension : WrittenExtensions(FileKind::CardImage)) {
    std::string target = dir.File("card." + extension);
    expectRefused(
        target, [&] { return SaveCardImage(ws, kLeft, target); }, MessageId::FileNotPreserved);
  }
  for (const std::string& extension : WrittenExtensions(FileKind::SaveDataImage)) {
    std::string target = dir.File("save." + extension);
    expectRefused(
        target, [&] { return SaveSaveImage(ws, kLeft, 2, target); }, MessageId::FileNotPreserved);
  }
  for (int value = 0; value < 14; ++value) {
    settings.LockImagePS1 = value;
    expectRefused(
        *LockFilePath(settings, ws.At(kLeft).AtRow(1)), [&] { return LockSave(ws, kLeft, 1); },
        MessageId::NotLocked);
  }
}

}  // namespace
}  // namespace slk
