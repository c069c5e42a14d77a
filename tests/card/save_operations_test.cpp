#include "card/save_operations.h"
#include "card/save_rename.h"
#include "card/slot_edit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "card/card_image.h"
#include "card/image_formats.h"
#include "card/ps2/ps2_card_format.h"
#include "card/ps2/ps2_card_image.h"
#include "card/ps2/ps2_ecc.h"
#include "card/ps2/ps2_layout.h"
#include "card/ps2/ps2_save_mapping.h"
#include "platform/bytes.h"
#include "platform/io_faults.h"
#include "save_test_fixture.h"

namespace slk {
namespace {

using testing::Buffer;
using testing::FileSpec;
using testing::ReadFileBytes;
using testing::SaveSpec;

class SaveOperationsTest : public testing::SaveTest {
 protected:
  void AddPS1(Slot s, const std::string& name, std::uint32_t blocks, std::uint8_t seed = 1) {
    Buffer file = testing::FramedSingle(name, blocks * 8192,
                                        testing::PS1Blocks(blocks, "Title " + name, seed));
    ASSERT_EQ(Import(s, "in.ps1", file), 1u) << name;
  }

  void AddPS2(Slot s, const std::string& name) {
    SaveSpec save;
    save.name = name;
    save.files = {FileSpec{0x8497, "data", Buffer(3000, 0x44)},
                  FileSpec{0x8497, "icon.sys", testing::IconSys("PS2 " + name, 0, "a.ico")},
                  FileSpec{0x8497, "a.ico", Buffer(200, 0x55)}};
    ASSERT_EQ(Import(s, "in.psu", testing::Psu(save)), 1u) << name;
  }

  std::uint32_t Rows(Slot s) { return ws.At(s).RowCount(); }
  std::uint32_t Entries(Slot s) { return ws.At(s).EntryCount(); }
};

// A PS1 card refuses a PS2 save before it looks at names and capacity, and
// a save of the same name (in any case of A-Z) before it looks at capacity.
TEST_F(SaveOperationsTest, APS1CardRefusesPS2SavesThenSameNamesThenCapacity) {
  OpenSlot(kLeft, CardKind::PS2);
  OpenSlot(kRight, CardKind::PS1);
  AddPS2(kLeft, "SAME");
  AddPS1(kLeft, "bescES-00001game", 3);
  AddPS1(kRight, "SAME", 1);
  AddPS1(kRight, "BESCES-00001GAME", 13);
  EXPECT_EQ(CopySave(ws, kLeft, 0), 0u);
  EXPECT_EQ(sink.shown, std::vector<int>{MessageId::PS2IntoPS1Card});
  EXPECT_EQ(CopySave(ws, kLeft, 1), 0u);
  EXPECT_EQ(sink.shown, (std::vector<int>{MessageId::PS2IntoPS1Card, MessageId::SameDataName}));
  EXPECT_TRUE(sink.asked.empty());
  EXPECT_EQ(Entries(kRight), 2u);
  EXPECT_EQ(Rows(kRight), 2u);
}

TEST_F(SaveOperationsTest, APS1CardTakesExactlyFifteenListedBlocks) {
  OpenSlot(kLeft, CardKind::PS1);
  OpenSlot(kRight, CardKind::PS1);
  AddPS1(kLeft, "THREE", 3);
  AddPS1(kRight, "SEVEN", 7);
  AddPS1(kRight, "DELETED", 5);
  DeleteSave(ws, kRight, 1);
  AddPS1(kRight, "FIVE", 5);  // 12 listed blocks, 5 more deleted
  EXPECT_EQ(CopySave(ws, kLeft, 0), 1u);
  EXPECT_EQ(Rows(kRight), 3u);

  ws.CloseSlot(kRight);
  OpenSlot(kRight, CardKind::PS1);
  AddPS1(kRight, "SEVEN", 7);
  AddPS1(kRight, "SIX", 6);  // 13 listed blocks
  EXPECT_EQ(CopySave(ws, kLeft, 0), 0u);
  EXPECT_EQ(sink.shown, std::vector<int>{MessageId::Exceeds15Blocks});
  EXPECT_EQ(Entries(kRight), 2u);

  ws.At(kRight).kind = CardKind::PS2;  // an expanded card has no limit
  AddPS1(kRight, "EIGHT", 8);
  EXPECT_EQ(CopySave(ws, kLeft, 0), 1u);
}

TEST_F(SaveOperationsTest, ACopyKeepsBytesTimeNamesAndIconPlaces) {
  OpenSlot(kLeft, CardKind::PS2);
  OpenSlot(kRight, CardKind::PS2);
  AddPS1(kRight, "FILLER", 2);
  AddPS2(kLeft, "FIRST");
  AddPS2(kLeft, "SOURCE");
  ASSERT_EQ(CopySave(ws, kLeft, 1), 1u);

  const SaveEntry& from = ws.At(kLeft).AtRow(1);
  const SaveEntry& copy = ws.At(kRight).AtRow(1);
  EXPECT_EQ(copy.offset, 2u * 8192);
  EXPECT_EQ(SaveBytes(kRight, 1), SaveBytes(kLeft, 1));
  EXPECT_EQ(copy.time, from.time);
  EXPECT_EQ(Text(copy.name), "SOURCE");
  EXPECT_EQ(Text(copy.title), "PS2 SOURCE");
  ASSERT_EQ(copy.files.size(), 3u);
  EXPECT_EQ(Text(copy.files[2].name), "a.ico");
  EXPECT_EQ(copy.iconOffsets[0] - copy.offset, from.iconOffsets[0] - from.offset);
  EXPECT_EQ(copy.iconSizes[0], 200u);
  EXPECT_EQ(copy.useStandardIcon, 0u);
}

TEST_F(SaveOperationsTest, DeletingKeepsTheEntryAndOffsetsOnlyGrow) {
  OpenSlot(kLeft, CardKind::PS1);
  AddPS1(kLeft, "A", 2);
  AddPS1(kLeft, "B", 1);
  DeleteSave(ws, kLeft, 0);
  EXPECT_EQ(Rows(kLeft), 1u);
  EXPECT_EQ(Entries(kLeft), 2u);
  EXPECT_TRUE(ws.At(kLeft).entries[0].files.empty());
  EXPECT_EQ(Text(ws.At(kLeft).AtRow(0).name), "B");

  AddPS1(kLeft, "C", 1);
  EXPECT_EQ(ws.At(kLeft).AtRow(1).offset, 3u * 8192);
  DeleteSave(ws, kLeft, 1);
  DeleteSave(ws, kLeft, 0);
  EXPECT_TRUE(ws.At(kLeft).open);
  EXPECT_EQ(Rows(kLeft), 0u);
  EXPECT_EQ(Entries(kLeft), 3u);
  EXPECT_FALSE(ws.AddEntry(kLeft, 0x1'0000'0000ull)) << "beyond the 4 GiB offset range";
  EXPECT_EQ(Entries(kLeft), 3u);
  ws.CloseSlot(kLeft);
  EXPECT_FALSE(ws.At(kLeft).open);
  EXPECT_EQ(Entries(kLeft), 0u);
}

class LockTest : public SaveOperationsTest {
 protected:
  void SetUp() override {
    lockDir = dir.File("lock");
    std::filesystem::create_directory(lockDir);
    settings.LockPath = lockDir + "/";  // a trailing slash is not doubled
    OpenSlot(kLeft, CardKind::PS2);
    OpenSlot(kRight, CardKind::PS2);
    AddPS1(kLeft, "BASLUS-00042LOCK", 2, 9);
    AddPS2(kLeft, "BESLES-PS2LOCK");
  }

  std::size_t LockFiles() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& item : std::filesystem::directory_iterator(lockDir)) ++n;
    return n;
  }

  // Reads the lock file into a workspace of its own and returns its one save.
  void ExpectLockHolds(const std::string& extension, std::uint32_t row) {
    std::string path = lockDir + "/qovan." + extension;
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
    EXPECT_EQ(ws.Lock().path, path);
    testing::RecordingSink otherSink;
    Workspace other(otherSink, settings);
    ASSERT_EQ(other.CreateSlotStore(kLeft, 0), 1u);
    bool card = IsCardImagePath(path);
    ASSERT_EQ(card ? OpenCardImage(other, kLeft, path) : AddSaveImage(other, kLeft, path), 1u);
    ASSERT_EQ(other.At(kLeft).RowCount(), 1u);
    const SaveEntry& read = other.At(kLeft).AtRow(0);
    const SaveEntry& locked = ws.At(kLeft).AtRow(row);
    EXPECT_EQ(Text(read.name), Text(locked.name));
    Buffer bytes(read.size);
    other.ReadSlotBytes(kLeft, read.offset, bytes.data(), bytes.size());
    EXPECT_EQ(bytes, SaveBytes(kLeft, row));
  }

  std::string lockDir;
};

TEST_F(LockTest, EachFormatWritesItsFileAndDeletingRemovesIt) {
  const char* ps1[] = {"xmc", "mem", "mcr", "gme", "mcd", "ps",  "mci",
                       "psu", "psd", "ps1", "mcx", "mcb", "psm", "mc"};
  for (int value = 0; value < 14; ++value) {
    SCOPED_TRACE(ps1[value]);
    settings.LockImagePS1 = value;
    ASSERT_EQ(LockSave(ws, kLeft, 0), 1u);
    EXPECT_TRUE(ws.Lock().locked);
    ExpectLockHolds(ps1[value], 0);
    ws.DeleteLockFile();
    EXPECT_EQ(LockFiles(), 0u);
  }
  const char* ps2[] = {"xmc", "psu", "psd"};
  for (int value = 0; value < 3; ++value) {
    SCOPED_TRACE(ps2[value]);
    settings.LockImagePS2 = value;
    ASSERT_EQ(LockSave(ws, kLeft, 1), 1u);
    ExpectLockHolds(ps2[value], 1);
    ws.DeleteLockFile();
    EXPECT_EQ(LockFiles(), 0u);
  }
  EXPECT_TRUE(sink.shown.empty());
}

TEST_F(LockTest, ASecondLockIsRefusedAndClosingEitherSlotRemovesTheFile) {
  for (Slot closing : {kRight, kLeft}) {
    if (!ws.At(kLeft).open) {
      OpenSlot(kLeft, CardKind::PS2);
      AddPS1(kLeft, "AGAIN", 1);
    }
    ASSERT_EQ(LockSave(ws, kLeft, 0), 1u);
    EXPECT_EQ(LockSave(ws, kLeft, 0), 0u);
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_EQ(LockFiles(), 1u);
    ws.CloseSlot(closing);
    EXPECT_EQ(LockFiles(), 0u);
    EXPECT_FALSE(ws.Lock().locked);
  }
}

TEST_F(LockTest, UnknownFormatsAndSavesAFormatCannotCarryAreNotLocked) {
  // Fine in an expanded card, too big for a PS1 card: only an expanded card
  // brings such a save in.
  ws.CloseSlot(kRight);
  ASSERT_EQ(ws.CreateSlotStore(kRight, 0), 1u);
  ASSERT_EQ(
      OpenCardImage(ws, kRight,
                    Write("sixteen.xmc", testing::Xmc({testing::PS1Save("SIXTEEN", 16, "T")}))),
      1u);
  ASSERT_EQ(CopySave(ws, kRight, 0), 1u);
  struct Case {
    int ps1, ps2;
    std::uint32_t row;
  } cases[] = {{14, 0, 0}, {-1, 0, 0}, {0, 3, 1}, {0, -2, 1}, {2, 0, 2}, {1, 0, 2}};
  for (const Case& c : cases) {
    settings.LockImagePS1 = c.ps1;
    settings.LockImagePS2 = c.ps2;
    sink.shown.clear();
    EXPECT_EQ(LockSave(ws, kLeft, c.row), 0u);
    EXPECT_EQ(sink.shown, std::vector<int>{MessageId::NotLocked});
    EXPECT_FALSE(ws.Lock().locked);
    EXPECT_EQ(LockFiles(), 0u);
  }
  settings.LockImagePS1 = 0;
  EXPECT_EQ(LockSave(ws, kLeft, 2), 1u);
}

TEST_F(SaveOperationsTest, RenameRefusesWithItsReasonAndChangesNothing) {
  using platform::Reason;
  OpenSlot(kLeft, CardKind::PS1);
  OpenSlot(kRight, CardKind::PS2);
  AddPS1(kLeft, "BESLES-00001AAA", 1);
  AddPS1(kLeft, "BESLES-00002BBB", 1);
  AddPS2(kRight, "BASLUS-00001AAA");
  AddPS2(kRight, "BASLUS-00002BBB");
  struct Case {
    Slot slot;
    std::string name;
    Reason reason;
  };
  const Case cases[] = {
      {kLeft, "", Reason::EmptyName},
      {kLeft, "BESLES/1", Reason::NameWithSlash},
      {kLeft, "BESLES\x01", Reason::NameCharacters},
      {kLeft, "BESLES-\xE3\x81\x82", Reason::NameCharacters},
      {kLeft, std::string(21, 'B'), Reason::LongName},
      {kLeft, "besles-00002bbb", Reason::SameName},  // the case of A-Z does not count
      {kRight, ".", Reason::ReservedName},
      {kRight, "..", Reason::ReservedName},
      {kRight, std::string(33, 'B'), Reason::LongName},
      {kRight, "BASLUS-00002BBB", Reason::SameName},
  };
  for (const Case& c : cases) {
    sink.shown.clear();
    sink.problems.clear();
    EXPECT_FALSE(RenameSave(ws, c.slot, 0, c.name)) << c.name;
    EXPECT_EQ(sink.shown, std::vector<int>{MessageId::NotRenamed}) << c.name;
    ASSERT_EQ(sink.problems.size(), 1u) << c.name;
    EXPECT_EQ(sink.problems[0].reason, c.reason) << c.name;
    EXPECT_EQ(Text(ws.At(c.slot).AtRow(0).name),
              c.slot == kLeft ? "BESLES-00001AAA" : "BASLUS-00001AAA");
  }
  // 20 and 32 characters fit; a save may take its own name in other case.
  EXPECT_TRUE(RenameSave(ws, kLeft, 0, std::string(20, 'B')));
  EXPECT_TRUE(RenameSave(ws, kRight, 0, std::string(32, 'B')));
  EXPECT_TRUE(RenameSave(ws, kRight, 1, "baslus-00002bbb"));
}

// A PS2 card image in the right slot, built by the card library: formatted,
// then two saves added, so that Save can be checked against the file.
class PS2CardSlotTest : public SaveOperationsTest {
 protected:
  void SetUp() override {
    ps2::Ps2CardImage card = Built(ps2::FormatCard({}));
    std::vector<std::uint8_t> bytes = card.Serialize();
    cardPath = Write("card.ps2", bytes);
    OpenCard(cardPath);
  }

  static ps2::Ps2CardImage Built(std::vector<std::uint8_t> image) {
    platform::Problem why;
    std::optional<ps2::Ps2CardImage> card = ps2::Ps2CardImage::Open(std::move(image), why);
    EXPECT_TRUE(card.has_value());
    for (const char* name : {"BESLES-00001AAA", "BESLES-00002BBB"}) {
      ps2::NewSave save;
      save.name = name;
      save.files = {{"icon.sys", 0x8497, {}, {}, iconSys}, {"data", 0x8497, {}, {}, data}};
      EXPECT_EQ(card->AddSave(save).result, ps2::AddResult::Added);
    }
    return std::move(*card);
  }

  void OpenCard(const std::string& path) {
    ws.CloseSlot(kRight);
    ASSERT_EQ(ws.CreateSlotStore(kRight, 0), 1u);
    ASSERT_EQ(OpenCardImage(ws, kRight, path), 1u);
  }

  std::string Name(std::uint32_t row) { return Text(ws.At(kRight).AtRow(row).name); }

  // Gives the first directory entry named `name` another mode and length,
  // with the page's ECC rewritten so that only the entry is wrong.
  static void PatchEntry(Buffer& image, std::string_view name, SaveMode mode,
                         std::uint32_t length) {
    constexpr std::size_t kRaw = ps2::kPageSize + ps2::kSpareSize;
    for (std::size_t page = 0; page * kRaw < image.size(); ++page) {
      std::uint8_t* raw = image.data() + page * kRaw;
      if (std::string_view(reinterpret_cast<char*>(raw) + ps2::kEntryNameOffset) != name) continue;
      platform::PutU16LE(raw + ps2::kEntryModeOffset, mode);
      platform::PutU32LE(raw + ps2::kEntryLengthOffset, length);
      ps2::ComputePageEcc(
          std::span<const std::uint8_t, ps2::kPageSize>(raw, ps2::kPageSize),
          std::span<std::uint8_t, ps2::kEccBytes>(raw + ps2::kPageSize, ps2::kEccBytes));
      return;
    }
    ADD_FAILURE() << "no entry named " << name;
  }
  std::uint64_t Free() { return ws.At(kRight).ps2Card->FreeBytes(); }

  static inline const Buffer iconSys = testing::IconSys("Card save", 0, "data");
  static inline const Buffer data = Buffer(5000, 0x3C);
  std::string cardPath;
};

TEST_F(PS2CardSlotTest, OpensAsItsOwnKindListingEverySaveAndSavesByteForByte) {
  EXPECT_EQ(ws.At(kRight).kind, CardKind::PS2Card);
  ASSERT_EQ(Rows(kRight), 2u);
  EXPECT_EQ(Name(0), "BESLES-00001AAA");
  EXPECT_EQ(Name(1), "BESLES-00002BBB");
  EXPECT_EQ(Text(ws.At(kRight).AtRow(0).title), "Card save");
  Buffer expected = iconSys;
  expected.insert(expected.end(), data.begin(), data.end());
  EXPECT_EQ(SaveBytes(kRight, 1), expected);
  EXPECT_TRUE(sink.shown.empty());

  std::string copy = dir.File("same.vmc");
  ASSERT_EQ(SaveCardImage(ws, kRight, copy), 1u);
  EXPECT_EQ(ReadFileBytes(copy), ReadFileBytes(cardPath));
  // As an expanded card and back, the saves are kept.
  ASSERT_EQ(SaveCardImage(ws, kRight, dir.File("as.xmc")), 1u);
  EXPECT_EQ(ws.At(kRight).kind, CardKind::PS2);
  ASSERT_EQ(SaveCardImage(ws, kRight, dir.File("again.ps2")), 1u);
  EXPECT_EQ(ws.At(kRight).kind, CardKind::PS2Card);

  // Delete frees the save's clusters; Save writes the card back without it.
  std::uint64_t free = Free();
  DeleteSave(ws, kRight, 0);
  EXPECT_GT(Free(), free);
  ASSERT_EQ(SaveCardImage(ws, kRight, cardPath), 1u);
  OpenCard(cardPath);
  ASSERT_EQ(Rows(kRight), 1u);
  EXPECT_EQ(Name(0), "BESLES-00002BBB");
  EXPECT_EQ(ws.At(kRight).ps2Card->ListSaves().size(), 1u);
}

// Copy and Add SaveDataImage put only PS2 saves on the card, and a save of a
// name the card holds only on Yes, in place of the old one.
TEST_F(PS2CardSlotTest, TakesPS2SavesOnlyAndReplacesASaveOfTheSameNameOnYes) {
  OpenSlot(kLeft, CardKind::PS2);
  AddPS1(kLeft, "BESLES-00001AAA", 1);
  AddPS2(kLeft, "BESLES-00001AAA");
  std::vector<std::uint8_t> before = ws.At(kRight).ps2Card->Serialize();

  EXPECT_EQ(CopySave(ws, kLeft, 0), 0u);
  EXPECT_EQ(sink.shown, std::vector<int>{MessageId::PS1IntoPS2Card});
  ClearSink();
  Buffer ps1 = testing::FramedSingle("BESLES-00005PS1", 8192, testing::PS1Blocks(1, "One", 1));
  EXPECT_EQ(Import(kRight, "in.ps1", ps1), 0u);
  EXPECT_EQ(sink.shown, std::vector<int>{MessageId::PS1IntoPS2Card});
  sink.answers = {false, true};
  EXPECT_EQ(CopySave(ws, kLeft, 1), 0u);
  EXPECT_EQ(Entries(kRight), 2u);
  EXPECT_EQ(ws.At(kRight).ps2Card->Serialize(), before);

  EXPECT_EQ(CopySave(ws, kLeft, 1), 1u);
  EXPECT_EQ(sink.asked, (std::vector<int>{MessageId::AskAddIt, MessageId::AskAddIt}));
  ASSERT_EQ(Rows(kRight), 2u);
  EXPECT_EQ(Name(0), "BESLES-00002BBB");
  EXPECT_EQ(Name(1), "BESLES-00001AAA");
  AddPS2(kRight, "BESLES-00006NEW");
  sink.answers = {true};
  AddPS2(kRight, "BESLES-00002BBB");
  ASSERT_EQ(Rows(kRight), 3u);
  EXPECT_EQ(Name(2), "BESLES-00002BBB");
  const ps2::Ps2CardImage& card = *ws.At(kRight).ps2Card;
  EXPECT_EQ(card.ListSaves().size(), 3u);
  EXPECT_EQ(card.FindSave("BESLES-00001AAA")->files.size(), 3u);
  EXPECT_EQ(card.FindSave("BESLES-00002BBB")->files.size(), 3u);
  EXPECT_NE(card.FindSave("BESLES-00006NEW"), nullptr);
}

TEST_F(PS2CardSlotTest, ASaveLargerThanTheFreeClustersIsRefusedWithBothSizes) {
  OpenSlot(kLeft, CardKind::PS2);
  SaveSpec big;
  big.name = "BESLES-00003BIG";
  big.files = {FileSpec{0x8497, "data", Buffer(8200 * 1024, 0x11)}};
  ASSERT_EQ(Import(kLeft, "big.psu", testing::Psu(big)), 1u);
  std::uint64_t free = Free();
  EXPECT_EQ(CopySave(ws, kLeft, 0), 0u);
  EXPECT_EQ(sink.shown, std::vector<int>{MessageId::PS2CardFull});
  ASSERT_EQ(sink.problems.size(), 1u);
  EXPECT_EQ(sink.problems[0].reason, platform::Reason::NoCardSpace);
  EXPECT_EQ(sink.problems[0].have, free / 1024);
  // The file, the save's directory and one cluster more for the root.
  EXPECT_EQ(sink.problems[0].need, 8200u + 3);
  EXPECT_EQ(Entries(kRight), 2u);
  EXPECT_EQ(Free(), free);
}

TEST_F(PS2CardSlotTest, ADamagedCardOpensWithAMessageAndIsSavedOnlyOnYes) {
  Buffer image = ReadFileBytes(cardPath);
  // Two bits of one quarter of the root directory's first page: beyond what
  // the page's ECC can correct.
  std::uint32_t root = platform::GetU32LE(&image[0x34]) + platform::GetU32LE(&image[0x3C]);
  image[std::size_t{root} * 2 * (ps2::kPageSize + ps2::kSpareSize) + 0x20] ^= 0x81;
  std::string damaged = Write("damaged.ps2", image);
  OpenCard(damaged);
  EXPECT_EQ(sink.shown, std::vector<int>{MessageId::PS2CardDamaged});
  EXPECT_TRUE(ws.At(kRight).ps2Card->Damaged());
  DeleteSave(ws, kRight, 0);
  sink.answers = {false};
  EXPECT_EQ(SaveCardImage(ws, kRight, damaged), 0u);
  EXPECT_EQ(sink.asked, std::vector<int>{MessageId::AskSaveDamaged});
  EXPECT_EQ(ReadFileBytes(damaged), image);
  sink.answers = {true};
  EXPECT_EQ(SaveCardImage(ws, kRight, damaged), 1u);
  EXPECT_NE(ReadFileBytes(damaged), image);

  // A file whose length claims far more than its chain holds is listed with
  // the bytes the chain holds.
  Buffer lying = ReadFileBytes(cardPath);
  PatchEntry(lying, "data", 0x8497, 0x70000000);
  OpenCard(Write("lying.ps2", lying));
  EXPECT_TRUE(ws.At(kRight).ps2Card->Damaged());
  EXPECT_EQ(ws.At(kRight).AtRow(0).files.at(1).size, 5u * 1024);
  EXPECT_EQ(ws.At(kRight).AtRow(0).size, iconSys.size() + 5u * 1024);
}

TEST_F(PS2CardSlotTest, RenameChangesTheRootEntryAndNothingElse) {
  Buffer before = ws.At(kRight).ps2Card->Serialize();
  ASSERT_TRUE(RenameSave(ws, kRight, 1, "BESLES-00002CCC"));
  ASSERT_EQ(SaveCardImage(ws, kRight, cardPath), 1u);
  OpenCard(cardPath);
  EXPECT_EQ(Name(1), "BESLES-00002CCC");
  const ps2::Ps2CardImage& card = *ws.At(kRight).ps2Card;
  EXPECT_TRUE(card.Check().empty());
  EXPECT_EQ(card.ReadFile(card.FindSave("BESLES-00002CCC")->files.at(1)), data);
  // One page changed: the root entry (with its ECC).
  Buffer after = card.Serialize();
  ASSERT_EQ(after.size(), before.size());
  std::size_t raw = card.RawPageSize(), pages = 0;
  for (std::size_t at = 0; at < after.size(); at += raw)
    pages += !std::equal(after.begin() + at, after.begin() + at + raw, before.begin() + at);
  EXPECT_EQ(pages, 1u);
}

// Undo puts the card's own pages back, so the card is byte for byte the one
// before; a card that Save As replaced meanwhile is made again from the rows.
TEST_F(PS2CardSlotTest, AnEditSwapsTheCardPagesBackOrRebuildsAnotherCard) {
  OpenSlot(kLeft, CardKind::PS2);
  AddPS2(kLeft, "BESLES-00003CCC");
  Buffer before = ws.At(kRight).ps2Card->Serialize();
  SlotEdit edit(ws, kRight);
  ASSERT_EQ(CopySave(ws, kLeft, 0), 1u);
  ASSERT_TRUE(edit.Finish(ws));
  Buffer after = ws.At(kRight).ps2Card->Serialize();
  edit.Swap(ws);
  EXPECT_EQ(ws.At(kRight).ps2Card->Serialize(), before);
  EXPECT_EQ(Rows(kRight), 2u);
  edit.Swap(ws);
  EXPECT_EQ(ws.At(kRight).ps2Card->Serialize(), after);
  EXPECT_EQ(Rows(kRight), 3u);

  // Saved as an expanded card the slot keeps no card; saved as a card image
  // again it keeps a new one, which the undone rows rebuild.
  ASSERT_EQ(SaveCardImage(ws, kRight, dir.File("as.xmc")), 1u);
  edit.Swap(ws);
  EXPECT_EQ(Rows(kRight), 2u);
  EXPECT_EQ(ws.At(kRight).ps2Card, nullptr);
  edit.Swap(ws);
  ASSERT_EQ(SaveCardImage(ws, kRight, dir.File("again.ps2")), 1u);
  edit.Swap(ws);
  ASSERT_NE(ws.At(kRight).ps2Card, nullptr);
  EXPECT_EQ(ws.At(kRight).ps2Card->ListSaves().size(), 2u);
  EXPECT_EQ(ws.At(kRight).ps2Card->FindSave("BESLES-00003CCC"), nullptr);
  EXPECT_TRUE(ws.At(kRight).ps2Card->Check().empty());
}

// A save holding a subfolder cannot be a row: it stays on the card through
// every change and every Save, and its name is not given to another save.
TEST_F(PS2CardSlotTest, ASaveWithASubfolderIsKeptUnlistedThroughEveryRewrite) {
  ps2::Ps2CardImage card = Built(ps2::FormatCard({}));
  // A file whose bytes are a directory's "." and "..", whose entry then
  // becomes a directory's.
  Buffer folder(ps2::kClusterSize, 0);
  ps2::StoreEntry({ps2::kModeDotDir, 0, {}, 0, 0, {}, 0, "."},
                  std::span<std::uint8_t, ps2::kEntrySize>(folder.data(), ps2::kEntrySize));
  ps2::StoreEntry(
      {ps2::kModeDotDir, 0, {}, 0, 0, {}, 0, ".."},
      std::span<std::uint8_t, ps2::kEntrySize>(folder.data() + ps2::kEntrySize, ps2::kEntrySize));
  ps2::NewSave nested;
  nested.name = "BESLES-00009SUB";
  nested.files = {{"sub", 0x8497, {}, {}, folder}, {"data", 0x8497, {}, {}, data}};
  ASSERT_EQ(card.AddSave(nested).result, ps2::AddResult::Added);
  std::uint64_t free = card.FreeBytes();
  Buffer image = card.Serialize();
  PatchEntry(image, "sub", 0x8427, 2);
  std::string path = Write("nested.ps2", image);
  OpenCard(path);
  ASSERT_EQ(Rows(kRight), 2u);
  const ps2::Ps2Save& listed = *ws.At(kRight).ps2Card->FindSave("BESLES-00009SUB");
  EXPECT_TRUE(listed.hasSubfolders);
  EXPECT_TRUE(listed.files.at(0).isDirectory);
  EXPECT_FALSE(ps2::CarriedBySaveModel(listed));
  EXPECT_TRUE(ws.At(kRight).ps2Card->Check().empty());
  EXPECT_EQ(Free(), free) << "the folder's cluster is in use";

  OpenSlot(kLeft, CardKind::PS2);
  AddPS2(kLeft, "BESLES-00009SUB");
  EXPECT_EQ(CopySave(ws, kLeft, 0), 0u);
  EXPECT_EQ(sink.shown, std::vector<int>{MessageId::SameDataName});
  EXPECT_FALSE(RenameSave(ws, kRight, 0, "BESLES-00009SUB"));
  EXPECT_EQ(sink.problems.back().reason, platform::Reason::SameName);
  DeleteSave(ws, kRight, 0);
  DeleteSave(ws, kRight, 0);
  ASSERT_EQ(SaveCardImage(ws, kRight, path), 1u);
  platform::Problem why;
  std::optional<ps2::Ps2CardImage> saved = ps2::Ps2CardImage::Open(ReadFileBytes(path), why);
  ASSERT_TRUE(saved.has_value());
  ASSERT_EQ(saved->ListSaves().size(), 1u);
  const ps2::Ps2Save& kept = saved->ListSaves()[0];
  EXPECT_TRUE(kept.hasSubfolders);
  EXPECT_EQ(saved->ReadFile(kept.files.at(1)), data);
  EXPECT_TRUE(saved->Check().empty());
  // Deleted, it frees everything but the two clusters the root grew by for
  // its five entries.
  ASSERT_TRUE(saved->DeleteSave("BESLES-00009SUB"));
  EXPECT_EQ(saved->FreeBytes(),
            ps2::Ps2CardImage::Open(ps2::FormatCard({}), why)->FreeBytes() - 2 * ps2::kClusterSize);
}

}  // namespace
}  // namespace slk
