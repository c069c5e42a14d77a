// Backups kept before a save writes over a card: rotation, restoring, and a
// save that stops when its backup cannot be made.

#include "card/card_backups.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include "card/card_image.h"
#include "platform/io_faults.h"
#include "save_test_fixture.h"

namespace slk::testing {
namespace {

class CardBackupTest : public SaveTest {
 protected:
  void SetUp() override {
    ::setenv("XDG_STATE_HOME", dir.File("state").c_str(), 1);
    // One fixed moment: generations made within a second must keep their
    // order too.
    ws.SetClock([] {
      std::tm local{};
      local.tm_year = 126;
      local.tm_mon = 11;
      local.tm_mday = 6;
      local.tm_hour = 23;
      return local;
    });
    OpenSlot(kLeft, CardKind::PS1);
    card = dir.File("card.mcr");
  }
  void TearDown() override { platform::DisarmIoFaults(); }

  // A file that stands in for what an earlier save wrote; only its bytes
  // matter to the backup.
  static Buffer Version(std::uint8_t n) { return Buffer(1000 + n, n); }

  std::string card;
};

TEST_F(CardBackupTest, KeepsTheNewestGenerationsAndRestoresAnyOfThem) {
  settings.BackupGenerations = 3;
  ASSERT_EQ(SaveCardImage(ws, kLeft, card), 1u);
  EXPECT_TRUE(ListCardBackups(card).empty()) << "a new file replaces nothing";
  for (std::uint8_t n = 0; n < 5; ++n) {
    WriteFileBytes(card, Version(n));
    ASSERT_EQ(SaveCardImage(ws, kLeft, card), 1u);
  }
  std::vector<CardBackup> list = ListCardBackups(card);
  ASSERT_EQ(list.size(), 3u);
  for (std::uint8_t i = 0; i < 3; ++i)
    EXPECT_EQ(ReadFileBytes(list[i].file.path), Version(static_cast<std::uint8_t>(4 - i))) << i;
  EXPECT_EQ(list[0].file.time.year, 2026);
  EXPECT_EQ(list[0].file.size, Version(4).size());
  EXPECT_FALSE(list[0].saves) << "not a card image: listed without a count";

  Buffer saved = ReadFileBytes(card);
  ASSERT_TRUE(RestoreCardBackup(ws, card, list[2].file));
  EXPECT_EQ(ReadFileBytes(card), Version(2));
  list = ListCardBackups(card);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(ReadFileBytes(list[0].file.path), saved) << "the restored-over card is kept";
  EXPECT_EQ(list[0].saves, 0u) << "an empty PS1 card";

  settings.BackupGenerations = 0;
  ASSERT_EQ(SaveCardImage(ws, kLeft, card), 1u);
  EXPECT_EQ(ListCardBackups(card).size(), 3u) << "0 keeps no backups";
}

TEST_F(CardBackupTest, ASaveStopsWhenItsBackupCannotBeWritten) {
  for (platform::IoStep step : {platform::IoStep::Write, platform::IoStep::Flush,
                                platform::IoStep::Rename, platform::IoStep::SyncFolder}) {
    WriteFileBytes(card, Version(7));
    sink.shown.clear();
    platform::FailNthIo(step, 1, ENOSPC);
    EXPECT_EQ(SaveCardImage(ws, kLeft, card), 0u) << static_cast<int>(step);
    platform::DisarmIoFaults();
    EXPECT_EQ(ReadFileBytes(card), Version(7)) << static_cast<int>(step);
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0], MessageId::BackupNotMade);
    EXPECT_EQ(sink.problems.back().reason, platform::Reason::DiskFull);
  }
}

TEST_F(CardBackupTest, CardsOfOneNameInTwoFoldersKeepApartAndLinksShare) {
  platform::BackupStore store = UserBackups();
  std::filesystem::create_directory(dir.File("other"));
  std::string other = dir.File("other/card.mcr");
  WriteFileBytes(card, Version(1));
  ASSERT_EQ(::symlink(card.c_str(), dir.File("link.mcr").c_str()), 0);
  EXPECT_NE(store.FolderFor(card), store.FolderFor(other));
  EXPECT_EQ(store.FolderFor(card), store.FolderFor(dir.File("link.mcr")));
  EXPECT_EQ(store.FolderFor(card), store.FolderFor(dir.File("other/../card.mcr")));
}

}  // namespace
}  // namespace slk::testing
