// Edit > Undo and Redo across both slots: the card bytes and the Modified
// flag after every step, forwards and back, and the bound on the history.

#include "shell_fixture.h"

namespace slk::testing {
namespace {

// What a slot shows after a step: its card as a file of its own kind would
// hold it (nothing for an empty slot), and the Modified flag.
struct SlotPicture {
  std::vector<std::uint8_t> bytes;
  int modified = 0;
  bool operator==(const SlotPicture&) const = default;
};
using Picture = std::array<SlotPicture, 2>;

void PrintTo(const SlotPicture& p, std::ostream* out) {
  std::uint64_t hash = 0xCBF29CE484222325ull;
  for (std::uint8_t b : p.bytes) hash = (hash ^ b) * 0x100000001B3ull;
  *out << p.bytes.size() << " bytes #" << std::hex << hash << std::dec << " modified "
       << p.modified;
}

struct CardPair {
  const char* name;
  std::string (*left)(const TempDir&);
  std::string (*right)(const TempDir&);
};

class UndoTest : public ShellTest, public ::testing::WithParamInterface<CardPair> {
 protected:
  Picture Take() {
    Picture picture;
    for (Slot s : {kLeft, kRight}) {
      picture[s].modified = shell.State().modified[s];
      if (!shell.SlotHoldsCard(s)) continue;
      CardKind kind = shell.Ws()->At(s).kind;
      std::string probe = dir.File(kind == CardKind::PS1       ? "probe.mcr"
                                   : kind == CardKind::PS2Card ? "probe.ps2"
                                                               : "probe.xmc");
      EXPECT_EQ(SaveCardImage(*shell.Ws(), s, probe), 1u);
      picture[s].bytes = ReadFileBytes(probe);
    }
    return picture;
  }
  void OpenDetail(Slot s, std::uint32_t position) {
    shell.MouseMoved(CellX(s, position), CellY(s, position));
    ClickSave(s, position);
  }
};

TEST_P(UndoTest, EveryStepUndoesAndRedoesToTheSameBytesInBothSlots) {
  WriteSettings("[Setting]\nAnimationCut=1\n");
  Start();
  std::string left = GetParam().left(dir);
  shell.OpenPathIntoSlot(kLeft, left);
  shell.OpenPathIntoSlot(kRight, GetParam().right(dir));
  std::string psu = WritePS2Save(dir, "extra.psu", "BASLUS-30000");
  dialogs.answers = {true, true};  // both discard questions
  dialogs.kindAnswer = CardKind::PS2;

  std::vector<Picture> pictures{Take()};
  const std::vector<std::function<void()>> steps = {
      [&] { OpenDetail(kLeft, 0), shell.Command(MenuId::Copy); },
      [&] { OpenDetail(kRight, 0), shell.Command(MenuId::Delete); },
      [&] {
        // A refused name is no step; the accepted one is.
        dialogs.texts = {"BAD/NAME", "BESLES-77777"};
        OpenDetail(kLeft, 1);
        shell.Command(MenuId::Rename);
        shell.Command(MenuId::Rename);
        shell.RightButtonDown(0, 0);
      },
      [&] { shell.ImportSaveDataImage(kRight, psu); },
      [&] { shell.Command(MenuId::Eject); },
      [&] { shell.Command(MenuId::NewFile + 1); },
      [&] { shell.ImportSaveDataImage(kLeft, psu); },  // into the empty slot
  };
  std::size_t savedAt = 3;  // the left card is saved after the rename
  for (std::size_t i = 0; i < steps.size(); ++i) {
    steps[i]();
    if (i + 1 == savedAt) shell.Command(MenuId::Save);
    pictures.push_back(Take());
  }
  // Once saved, the file holds the renamed card: the left card before it
  // is a changed one.
  for (std::size_t i = 0; i < savedAt; ++i) pictures[i][kLeft].modified = 1;
  std::vector<std::uint8_t> saved = ReadFileBytes(left);
  EXPECT_EQ(pictures[savedAt][kLeft].bytes, saved);
  EXPECT_EQ(pictures[savedAt][kLeft].modified, 0);
  EXPECT_EQ(pictures[1][kRight].modified, 1);

  for (std::size_t i = steps.size(); i > 0; --i) {
    ASSERT_TRUE(window.menu.Enabled(MenuId::Undo)) << i;
    shell.Command(MenuId::Undo);
    EXPECT_EQ(Take(), pictures[i - 1]) << "undo of step " << i;
  }
  EXPECT_EQ(shell.State().modified[kLeft], 1);  // the file holds the renamed card
  // Before the steps, the two cards were inserted.
  shell.Command(MenuId::Undo);
  shell.Command(MenuId::Undo);
  EXPECT_EQ(Take(), Picture{});
  EXPECT_FALSE(window.menu.Enabled(MenuId::Undo));
  shell.Command(MenuId::Redo);
  shell.Command(MenuId::Redo);
  EXPECT_EQ(Take(), pictures[0]);
  for (std::size_t i = 1; i <= steps.size(); ++i) {
    ASSERT_TRUE(window.menu.Enabled(MenuId::Redo)) << i;
    shell.Command(MenuId::Redo);
    EXPECT_EQ(Take(), pictures[i]) << "redo of step " << i;
  }
  EXPECT_FALSE(window.menu.Enabled(MenuId::Redo));

  // Back to the saved state, Save writes the very bytes it wrote then.
  while (shell.State().slotPath[kLeft] != left || shell.State().modified[kLeft] != 0)
    shell.Command(MenuId::Undo);
  EXPECT_EQ(Take()[kLeft], pictures[savedAt][kLeft]);
  WriteFileBytes(left, {});
  shell.Command(MenuId::Save);
  EXPECT_EQ(ReadFileBytes(left), saved);
  // A new step after an undo leaves nothing to redo.
  EXPECT_TRUE(window.menu.Enabled(MenuId::Redo));
  OpenDetail(kLeft, 0);
  shell.Command(MenuId::Delete);
  EXPECT_FALSE(window.menu.Enabled(MenuId::Redo));
}

INSTANTIATE_TEST_SUITE_P(
    Cards, UndoTest,
    ::testing::Values(
        CardPair{"ExpandedIntoPS2CardImage",
                 [](const TempDir& d) { return WriteExpandedCard(d, "left.xmc", 3); },
                 [](const TempDir& d) { return WritePS2CardImage(d, "right.ps2", 2); }},
        CardPair{"PS1IntoExpanded", [](const TempDir& d) { return WritePS1Card(d, "left.mcr", 3); },
                 [](const TempDir& d) { return WriteExpandedCard(d, "right.xmc", 2); }}),
    [](const ::testing::TestParamInfo<CardPair>& info) { return info.param.name; });

// A PS2 card image made for an imported save is one step, undone whole; it
// keeps no log of the pages the import wrote.
TEST_F(ShellTest, ACardImageMadeForAnImportedSaveLogsNoPages) {
  Start();
  dialogs.kindAnswer = CardKind::PS2Card;
  ASSERT_EQ(shell.ImportSaveDataImage(kLeft, WritePS2Save(dir, "a.psu", "BASLUS-1")), 1u);
  EXPECT_TRUE(shell.Ws()->At(kLeft).ps2Card->TakeChangeLog().empty());
  shell.Command(MenuId::Undo);
  EXPECT_FALSE(shell.SlotHoldsCard(kLeft));
  EXPECT_EQ(shell.State().modified[kLeft], 0);
}

TEST_F(ShellTest, TheHistoryKeepsAHundredSteps) {
  WriteSettings("[Setting]\nAnimationCut=1\n");
  Start(WriteExpandedCard(dir, "card.xmc", 1));
  ClickSave(kLeft, 0);
  for (std::size_t i = 0; i <= UndoHistory::kLimit; ++i) {
    dialogs.texts = {i % 2 ? "ODD" : "EVEN"};
    shell.Command(MenuId::Rename);
  }
  std::size_t undone = 0;
  while (window.menu.Enabled(MenuId::Undo)) {
    shell.Command(MenuId::Undo);
    ++undone;
  }
  EXPECT_EQ(undone, UndoHistory::kLimit);
  EXPECT_EQ(shell.State().modified[kLeft], 1);  // the first rename stays
}

}  // namespace
}  // namespace slk::testing
