// The slot and edit commands, the menu states they leave, scrolling, drops,
// the detail view and surface recovery.

#include <filesystem>

#include "platform/file_lock.h"
#include "resources/strings.h"
#include "shell_fixture.h"

namespace slk::testing {
namespace {

constexpr int kScrollLeft = 4;  // button ids: Left column 4-9, Right 10-15
constexpr int kScrollRight = 10;
int ScrollButton(int firstId, ScrollAction action) {
  return firstId + static_cast<int>(action);
}

TEST_F(ShellTest, MenuStatesFollowLoadEjectFailedLoadAndTheDetailView) {
  Start();
  std::string card = WritePS1Card(dir, "card.mcr", 3);
  shell.OpenPathIntoSlot(kLeft, card);
  EXPECT_EQ(Enabled({MenuId::Eject, MenuId::Save, MenuId::SaveAs}), std::vector<bool>(3, true));
  shell.Command(MenuId::Eject);
  EXPECT_FALSE(window.menu.Enabled(MenuId::Eject));
  EXPECT_EQ(Shown(kLeft), SlotShown{});

  shell.OpenPathIntoSlot(kLeft, card);
  shell.OpenPathIntoSlot(kRight, Broken("broken.mcr"));
  EXPECT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(Shown(kRight), SlotShown{});
  EXPECT_EQ(Enabled({MenuId::Save + 1, MenuId::NewFile + 1}), (std::vector<bool>{false, true}));

  ClickSave(kLeft, 1);
  EXPECT_EQ(shell.State().viewState, ViewState::Detail);
  for (int id = MenuId::NewFile; id <= MenuId::SaveAs + 1; ++id) {
    EXPECT_FALSE(window.menu.Enabled(id)) << id;
  }
  EXPECT_EQ(Enabled({MenuId::Copy, MenuId::Delete, MenuId::SaveSdi, MenuId::Lock, MenuId::Exit}),
            std::vector<bool>(5, true));
  shell.RightButtonDown(10, 10);
  EXPECT_EQ(shell.State().viewState, ViewState::List);
  EXPECT_EQ(Enabled({MenuId::Save, MenuId::Save + 1, MenuId::Copy}),
            (std::vector<bool>{true, false, false}));
  // Grey commands do nothing.
  log.clear();
  shell.Command(MenuId::Save + 1);
  shell.Command(MenuId::Copy);
  EXPECT_TRUE(log.empty());
}

TEST_F(ShellTest, DetailViewSwitchesButtonsAndPlaysTheTransition) {
  Start(WritePS1Card(dir, "card.mcr", 4));
  shell.State().scrollButtonState[3] = 1;
  ClickSave(kLeft, 3);
  CallLog open = {"DestroyScrollButtons", "PlayTransition 0", "BuildDetailScreen L 3",
                  "CreateActionButtons"};
  EXPECT_EQ(log, open);
  EXPECT_EQ(window.framesShown, 51);  // frames keep coming during the animation
  EXPECT_EQ(shell.State().displayMode, DisplayMode::Detail);
  EXPECT_FALSE(backend.paused);

  log.clear();
  shell.State().actionButtonState[2] = 1;
  shell.RightButtonDown(300, 300);
  CallLog close = {"DestroyActionButtons", "PlayTransition 1", "CreateScrollButtons"};
  EXPECT_EQ(log, close);
  EXPECT_EQ(shell.State().displayMode, DisplayMode::List);
  EXPECT_FALSE(backend.paused);
  // The buttons made anew start released.
  EXPECT_EQ(shell.State().scrollButtonState[3], 0);
  ClickSave(kLeft, 0);
  EXPECT_EQ(shell.State().actionButtonState[2], 0);
}

TEST_F(ShellTest, HoverSelectsSavesAndARightClickPopsUpThatSlotsMenu) {
  Start(WritePS1Card(dir, "card.mcr", 2));
  shell.MouseMoved(CellX(kLeft, 1), CellY(kLeft, 1));
  EXPECT_EQ(shell.State().selectionSlot, kLeft);
  EXPECT_EQ(shell.State().selectionPosition, 1u);
  EXPECT_TRUE(Logged("DrawTitleBox L 1"));
  // An empty cell and an empty slot leave the selection where it was.
  shell.MouseMoved(CellX(kLeft, 5), CellY(kLeft, 5));
  shell.MouseMoved(CellX(kRight, 0), CellY(kRight, 0));
  EXPECT_EQ(shell.State().selectionSlot, kLeft);
  EXPECT_EQ(shell.State().selectionPosition, 1u);

  log.clear();
  shell.RightButtonDown(CellX(kRight, 4), CellY(kRight, 4));
  shell.RightButtonDown(240, 100);  // between the panels
  shell.RightButtonDown(CellX(kLeft, 0), CellY(kLeft, 0));
  EXPECT_EQ(log, (CallLog{"Popup R", "Popup L"}));
}

TEST_F(ShellTest, ScrollButtonsMoveByRowsAndPagesWithinTheList) {
  Start();
  log.clear();
  for (int action = 0; action < 6; ++action) shell.ButtonClicked(kScrollLeft + action);
  EXPECT_TRUE(log.empty()) << "an empty slot does not scroll";
  struct Case {
    int saves;
    std::vector<std::pair<ScrollAction, std::uint32_t>> steps;  // and ScrollTop after it
  };
  using A = ScrollAction;
  const Case cases[] = {
      {10, {{A::Bottom, 3}, {A::RowDown, 3}, {A::RowUp, 0}}},
      {20,
       {{A::PageDown, 9},
        {A::PageDown, 12},
        {A::PageUp, 3},
        {A::PageUp, 0},
        {A::RowDown, 3},
        {A::Top, 0}}},
      {9, {{A::Bottom, 0}, {A::PageDown, 0}, {A::RowDown, 0}}},
  };
  for (const Case& c : cases) {
    shell.OpenPathIntoSlot(kRight,
                           WriteExpandedCard(dir, std::to_string(c.saves) + ".xmc", c.saves));
    log.clear();
    for (auto [action, top] : c.steps) {
      shell.ButtonClicked(ScrollButton(kScrollRight, action));
      EXPECT_EQ(shell.State().scrollTop[kRight], top) << c.saves << " saves";
    }
    EXPECT_EQ(Logged("Prerender R 3"), c.saves > 9);
    EXPECT_EQ(log.empty(), c.saves == 9);
  }
  EXPECT_FALSE(backend.paused);
}

TEST_F(ShellTest, DroppedFilesOpenOrImportInOrder) {
  Start();
  // Card images replace each other; only the first load finds Left modified.
  shell.ImportSaveDataImage(kLeft, WritePS2Save(dir, "x.psu", "BASLUS-9"));
  std::string second = WriteExpandedCard(dir, "second.xmc", 2);
  dialogs.answers = {true};
  shell.FilesDropped(CellX(kLeft, 0), CellY(kLeft, 0), {WritePS1Card(dir, "first.mcr", 1), second});
  EXPECT_EQ(dialogs.asked, std::vector<int>{res::TextId::LeftSlotNotSaved});
  EXPECT_EQ(Shown(kLeft), FromFile(second, 2));

  // Save images are all imported into one new card, asked for once; a folder
  // is a PS2 save of its files.
  const std::size_t kindsAsked = dialogs.kindPreselections.size();
  std::vector<std::string> saves;
  for (int i = 0; i < 3; ++i) {
    saves.push_back(
        WritePS2Save(dir, "s" + std::to_string(i) + ".PSU", "BASLUS-" + std::to_string(i)));
  }
  std::filesystem::create_directory(dir.File("BASLUS-F.mcr"));
  WriteFileBytes(dir.File("BASLUS-F.mcr/data"), std::vector<std::uint8_t>(10, 1));
  saves.push_back(dir.File("BASLUS-F.mcr") + "/");
  shell.FilesDropped(300, 200, saves);
  EXPECT_EQ(dialogs.kindPreselections.size(), kindsAsked + 1);
  EXPECT_EQ(Shown(kRight), (SlotShown{4, "<New File>", "", 1}));
  EXPECT_TRUE(window.menu.Enabled(MenuId::Save + 1));
}

TEST_F(ShellTest, RefusedFilesAreShownOnceWithTheFileAndTheReason) {
  Start();
  shell.FilesDropped(300, 100, {Broken("broken.psu")});  // into an empty slot, which stays empty
  EXPECT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(Shown(kRight), SlotShown{});

  shell.OpenPathIntoSlot(kLeft, WritePS1Card(dir, "card.mcr", 1));
  dialogs.shown.clear();
  dialogs.secondLines.clear();
  shell.FilesDropped(50, 50, {WritePS2Save(dir, "space.psu", "BASLUS-20001")});
  EXPECT_EQ(dialogs.shown, std::vector<int>{res::TextId::PS2SaveNotForPS1Card});
  shell.FilesDropped(300, 50, {Broken("broken.mcr")});
  EXPECT_EQ(dialogs.secondLines,
            (std::vector<std::string>{"space.psu: \"BASLUS-20001\" is a PS2 save",
                                      "broken.mcr: too short for the format: 100 bytes, needs "
                                      "131,072"}));
  EXPECT_FALSE(backend.paused);
}

TEST_F(ShellTest, DropsOutsideThePanelsInTheDetailViewOrOfOtherFilesDoNothing) {
  Start();
  std::string card = WritePS1Card(dir, "card.mcr", 1);
  std::string notes = dir.File("notes.txt");
  WriteFileBytes(notes, {1});
  // Between the panels, on a scroll button, below the panels, left of Left.
  for (auto [x, y] : {std::pair{240, 100}, {235, 50}, {100, 250}, {4, 100}})
    shell.FilesDropped(x, y, {card});
  shell.FilesDropped(50, 50, {notes});
  for (Slot s : {kLeft, kRight}) EXPECT_EQ(Shown(s), SlotShown{});
  EXPECT_TRUE(log.empty());

  shell.OpenPathIntoSlot(kLeft, card);
  ClickSave(kLeft, 0);
  shell.FilesDropped(300, 100, {WritePS1Card(dir, "other.mcr", 2)});
  EXPECT_FALSE(shell.SlotHoldsCard(kRight));
}

TEST_F(ShellTest, ImportingTheTenthSaveScrollsToThree) {
  Start(WriteExpandedCard(dir, "nine.xmc", 9));
  shell.ImportSaveDataImage(kLeft, WritePS2Save(dir, "ten.psu", "BASLUS-T"));
  EXPECT_EQ(shell.State().scrollTop[kLeft], 3u);
  EXPECT_TRUE(Logged("Prerender L 3"));

  // Ejected, the slot keeps its ScrollTop; a save imported into it then
  // starts a new card shown from the top.
  dialogs.answers = {true};
  shell.Command(MenuId::Eject);
  log.clear();
  shell.ImportSaveDataImage(kLeft, WritePS2Save(dir, "one.psu", "BASLUS-O"));
  EXPECT_EQ(shell.State().scrollTop[kLeft], 0u);
  EXPECT_TRUE(Logged("Prerender L 0"));
}

TEST_F(ShellTest, CopyGoesOnlyIntoACardThatTakesTheSave) {
  Start(WriteExpandedCard(dir, "left.xmc", 1, 2000));
  ClickSave(kLeft, 0);
  shell.Command(MenuId::Copy);  // into an empty slot: nothing
  EXPECT_FALSE(shell.SlotHoldsCard(kRight));
  EXPECT_EQ(shell.State().viewState, ViewState::Detail);
  EXPECT_TRUE(dialogs.shown.empty());

  shell.RightButtonDown(0, 0);
  shell.OpenPathIntoSlot(kRight, WritePS1Card(dir, "right.mcr", 1));
  ClickSave(kLeft, 0);
  shell.Command(MenuId::Copy);
  EXPECT_EQ(dialogs.shown, std::vector<int>{res::TextId::PS2SaveNotForPS1Card});
  EXPECT_EQ(shell.State().viewState, ViewState::Detail);
  EXPECT_EQ(shell.State().modified[kRight], 0);

  shell.RightButtonDown(0, 0);
  std::string right = WriteExpandedCard(dir, "right.xmc", 9);
  shell.OpenPathIntoSlot(kRight, right);
  ClickSave(kLeft, 0);
  log.clear();
  shell.ButtonClicked(0);  // Copy
  EXPECT_EQ(Shown(kRight), FromFile(right, 10, 1));
  EXPECT_EQ(shell.State().scrollTop[kRight], 3u);
  EXPECT_EQ(shell.State().modified[kLeft], 0);
  EXPECT_EQ(shell.State().viewState, ViewState::List);
  EXPECT_TRUE(Logged("DrawTitleBox L 0"));  // the title of the save still selected
  EXPECT_FALSE(backend.paused);
}

TEST_F(ShellTest, DeleteSelectsTheNextSaveAndScrollsItIntoView) {
  Start(WriteExpandedCard(dir, "ten.xmc", 10));
  shell.ButtonClicked(ScrollButton(kScrollLeft, ScrollAction::Bottom));
  ClickSave(kLeft, 9);
  shell.ButtonClicked(1);  // Delete
  EXPECT_EQ(Count(kLeft), 9u);
  EXPECT_EQ(shell.State().scrollTop[kLeft], 0u);
  EXPECT_EQ(shell.State().selectionPosition, 8u);
  EXPECT_EQ(shell.State().modified[kLeft], 1);
  EXPECT_EQ(shell.State().viewState, ViewState::List);
  EXPECT_FALSE(backend.paused);

  ClickSave(kLeft, 1);
  log.clear();
  shell.Command(MenuId::Delete);
  const SlotData& slot = shell.Ws()->At(kLeft);
  EXPECT_TRUE(
      Logged("DrawTitleBox L " + std::to_string(slot.rows[shell.State().selectionPosition])));

  shell.OpenPathIntoSlot(kRight, WritePS1Card(dir, "one.mcr", 1));
  ClickSave(kRight, 0);
  shell.Command(MenuId::Delete);
  EXPECT_EQ(Count(kRight), 0u);
  EXPECT_EQ(shell.State().selectionSlot, -1);
}

TEST_F(ShellTest, LockBlocksTheOtherEditCommandsUntilUnlockedWithoutAnimation) {
  WriteSettings(
      "[Setting]\nAnimationCut=1\nLockAutoIconic=1\nLockImagePS1=9\n[Directory]\nLockPath=" +
      dir.Path() + "\n");
  Start(WritePS1Card(dir, "card.mcr", 2));
  shell.OpenPathIntoSlot(kRight, WriteExpandedCard(dir, "right.xmc", 1));
  ClickSave(kLeft, 0);
  shell.ButtonClicked(3);  // Lock
  EXPECT_TRUE(shell.SaveLocked());
  EXPECT_TRUE(std::filesystem::exists(dir.File("qovan.ps1")));
  EXPECT_EQ(std::count(log.begin(), log.end(), "Minimise"), 1);

  shell.ButtonClicked(0);  // Copy
  shell.Command(MenuId::Copy);
  shell.ButtonClicked(1);  // Delete
  shell.Command(MenuId::SaveSdi);
  shell.RightButtonDown(10, 10);
  EXPECT_EQ(Count(kRight), 1u);
  EXPECT_EQ(Count(kLeft), 2u);
  EXPECT_TRUE(dialogs.requests.empty());
  EXPECT_EQ(shell.State().viewState, ViewState::Detail);

  shell.Command(MenuId::Lock);
  EXPECT_FALSE(shell.SaveLocked());
  EXPECT_FALSE(std::filesystem::exists(dir.File("qovan.ps1")));
  EXPECT_EQ(std::count(log.begin(), log.end(), "Minimise"), 1);
  shell.RightButtonDown(10, 10);
  EXPECT_EQ(shell.State().viewState, ViewState::List);
  EXPECT_FALSE(Logged("PlayTransition 0")) << "AnimationCut switches without the transition";
  EXPECT_FALSE(Logged("PlayTransition 1"));

  // A lock that cannot be written still minimises.
  dialogs.editSettings = [&](Settings& s) {
    s.LockPath = dir.File("missing");
    return true;
  };
  shell.Command(MenuId::Setting);
  ClickSave(kLeft, 0);
  shell.Command(MenuId::Lock);
  EXPECT_FALSE(shell.SaveLocked());
  EXPECT_EQ(dialogs.shown, std::vector<int>{res::TextId::LockFailed});
  EXPECT_EQ(std::count(log.begin(), log.end(), "Minimise"), 2);
}

TEST_F(ShellTest, NewFileAsksTheKindAndANewPS2CardImageIsSavedAs) {
  Start();
  dialogs.kindAnswer = CardKind::PS1;
  shell.Command(MenuId::NewFile);
  EXPECT_EQ(shell.Ws()->At(kLeft).kind, CardKind::PS1);
  EXPECT_EQ(Shown(kLeft), (SlotShown{0, "<New File>", "", 0}));
  // The first start has no settings file: the expanded card comes first.
  EXPECT_EQ(dialogs.kindPreselections, std::vector<CardKind>{CardKind::PS2});
  shell.Command(MenuId::Eject);
  EXPECT_TRUE(dialogs.asked.empty());
  EXPECT_EQ(Shown(kLeft), SlotShown{});

  dialogs.kindAnswer = CardKind::PS2Card;
  shell.Command(MenuId::NewFile + 1);
  std::string path = dir.File("new.vmc");
  dialogs.files = {ChosenFile{path, "new.vmc"}};
  shell.Command(MenuId::SaveAs + 1);
  EXPECT_EQ(dialogs.requests.at(0).defaultSuffix, "ps2");
  EXPECT_EQ(shell.Ws()->At(kRight).kind, CardKind::PS2Card);
  EXPECT_EQ(Shown(kRight), FromFile(path, 0));
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(ShellTest, InsertChangeLoadsTheChosenFileButNeverDiscardsForABrokenOne) {
  Start();
  std::string path = WritePS1Card(dir, "chosen.mcr", 3);
  dialogs.files = {ChosenFile{path, "chosen.mcr"}};
  shell.Command(MenuId::InsertChange + 1);
  EXPECT_EQ(Shown(kRight), FromFile(path, 3));
  shell.Command(MenuId::InsertChange + 1);  // cancelled
  EXPECT_EQ(Shown(kRight), FromFile(path, 3));
  // The dialog opens where the last card image came from; save data images
  // keep a folder of their own.
  ASSERT_EQ(dialogs.requests.size(), 2u);
  EXPECT_FALSE(dialogs.requests[0].save);
  EXPECT_EQ(dialogs.requests[0].folder, "");
  EXPECT_EQ(dialogs.requests[1].folder, dir.Path());
  shell.Command(MenuId::AddSaveDataImage);
  EXPECT_EQ(dialogs.requests.back().folder, "");

  // A modified slot: No keeps it; a broken file is refused before the question.
  shell.ImportSaveDataImage(kLeft, WritePS2Save(dir, "a.psu", "BASLUS-A"));
  dialogs.files = {ChosenFile{path, "chosen.mcr"}};
  dialogs.answers = {false};
  shell.Command(MenuId::InsertChange);
  EXPECT_EQ(dialogs.asked, std::vector<int>{res::TextId::LeftSlotNotSaved});
  std::string broken = Broken("broken.mcr");
  dialogs.answers = {true, true};
  dialogs.files = {ChosenFile{broken, "broken.mcr"}};
  shell.Command(MenuId::InsertChange);
  shell.FilesDropped(CellX(kLeft, 0), CellY(kLeft, 0), {broken});
  EXPECT_EQ(dialogs.asked.size(), 1u);
  EXPECT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(Shown(kLeft), (SlotShown{1, "<New File>", "", 1}));
  shell.ShutDown();
  EXPECT_NE(SettingsText().find("CardImageFolder=" + dir.Path()), std::string::npos);
}

TEST_F(ShellTest, RestoreBackupOpensAGenerationAsAChangeToTheCard) {
  std::string path = WritePS1Card(dir, "card.mcr", 2);
  Start(path);
  shell.Command(MenuId::RestoreBackup);
  EXPECT_EQ(dialogs.shown, std::vector<int>{res::TextId::NoBackups});
  ClickSave(kLeft, 0);
  shell.Command(MenuId::Delete);
  shell.Command(MenuId::Save);

  dialogs.backupAnswer = 0;
  shell.Command(MenuId::RestoreBackup);
  ASSERT_EQ(dialogs.backupLists.size(), 1u);
  ASSERT_FALSE(dialogs.backupLists[0].empty());
  EXPECT_EQ(dialogs.backupLists[0][0].saves, 2u);
  EXPECT_EQ(Shown(kLeft), FromFile(path, 2, 1));
  shell.Command(MenuId::Undo);
  EXPECT_EQ(Shown(kLeft), FromFile(path, 1)) << "undo gives the saved card back";
  shell.Command(MenuId::Redo);
  EXPECT_EQ(shell.State().modified[kLeft], 1) << "the restored card is a change to the card";
  shell.Command(MenuId::Save);
  EXPECT_TRUE(dialogs.asked.empty()) << "the card's own stamp is kept";
  EXPECT_EQ(Shown(kLeft), FromFile(path, 2));
}

TEST_F(ShellTest, SaveAsksBeforeWritingOverAFileChangedOnDiskAndWaitsForAWriter) {
  std::string path = WritePS1Card(dir, "card.mcr", 2);
  Start(path);
  ClickSave(kLeft, 0);
  shell.Command(MenuId::Delete);
  EXPECT_EQ(shell.State().modified[kLeft], 1);
  // Another program writes the card after we read it.
  std::filesystem::rename(WritePS1Card(dir, "other.mcr", 3), path);
  auto theirs = ReadFileBytes(path);
  dialogs.answers = {false};
  shell.Command(MenuId::Save);
  EXPECT_EQ(dialogs.asked, std::vector<int>{res::TextId::CardChangedOnDisk});
  EXPECT_EQ(ReadFileBytes(path), theirs);
  EXPECT_EQ(shell.State().modified[kLeft], 1);

  {
    platform::FileLock writer;
    ASSERT_TRUE(writer.Acquire(path, std::chrono::milliseconds(0)));
    shell.Command(MenuId::Save);
    EXPECT_EQ(dialogs.shown, std::vector<int>{MessageId::FileNotPreserved});
    EXPECT_EQ(ReadFileBytes(path), theirs);
  }

  dialogs.asked.clear();
  dialogs.answers = {true};
  shell.Command(MenuId::Save);
  EXPECT_EQ(dialogs.asked.size(), 1u);
  EXPECT_EQ(shell.State().modified[kLeft], 0);
  EXPECT_NE(ReadFileBytes(path), theirs);
  shell.Command(MenuId::Save);  // our own save is no change by another program
  EXPECT_EQ(dialogs.asked.size(), 1u);
  EXPECT_FALSE(backend.paused);
}

// SECOND's chain runs into FIRST's block: the save read is one block short.
TEST_F(ShellTest, SaveAsksBeforeWritingASaveWhoseBlocksBrokeOff) {
  PS1CardBuilder card;
  card.Directory(1, 0x51, 2 * 8192, 1, "FIRST")
      .Directory(2, 0x53, 0, 0xFFFF, "")
      .Directory(3, 0x51, 2 * 8192, 1, "SECOND");
  std::string path = dir.File("broken.mcr");
  WriteFileBytes(path, card.Bytes());
  Start(path);
  shell.Command(MenuId::Save);
  EXPECT_EQ(dialogs.asked, std::vector<int>{res::TextId::SaveShortened});
  ASSERT_EQ(dialogs.details.size(), 1u);
  EXPECT_NE(dialogs.details[0].find("\"SECOND\" break off: 1 of 2 kept"), std::string::npos)
      << dialogs.details[0];
  EXPECT_EQ(ReadFileBytes(path), card.Bytes()) << "No leaves the file as it was";
  dialogs.answers = {true};
  shell.Command(MenuId::Save);
  EXPECT_NE(ReadFileBytes(path), card.Bytes());
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(ShellTest, SaveOfANewCardAsksForANameWithOnlyItsFormats) {
  Start();
  shell.OpenPathIntoSlot(kLeft, WritePS2Save(dir, "a.psu", "BASLUS-A"));
  // A failed Save As keeps the path and the Modified flag.
  dialogs.files = {ChosenFile{dir.File("missing/saved.xmc"), "saved.xmc"}};
  shell.Command(MenuId::SaveAs);
  EXPECT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(Shown(kLeft), (SlotShown{1, "<New File>", "", 1}));

  std::string target = dir.File("saved.xmc");
  dialogs.files = {ChosenFile{target, "saved.xmc"}};
  shell.Command(MenuId::Save);
  const FileRequest& request = dialogs.requests.at(1);
  EXPECT_TRUE(request.save);
  EXPECT_EQ(request.filters.size(), 1u);
  EXPECT_EQ(Shown(kLeft), FromFile(target, 1));
  EXPECT_TRUE(std::filesystem::exists(target));
}

TEST_F(ShellTest, SaveSdiExportsAPS2SaveToAFileOrIntoAFolder) {
  Start(WriteExpandedCard(dir, "card.xmc", 1));
  ClickSave(kLeft, 0);
  std::string target = dir.File("export.psu");
  dialogs.files = {ChosenFile{target, "export.psu"}};
  shell.ButtonClicked(2);  // SaveSDI
  EXPECT_EQ(dialogs.requests.at(0).defaultSuffix, "psu");
  EXPECT_TRUE(dialogs.requests.at(0).folderChoice.has_value());
  EXPECT_TRUE(std::filesystem::exists(target));
  EXPECT_EQ(shell.State().modified[kLeft], 0);

  // The folder entry: a folder named after the save, inside the one chosen.
  std::filesystem::create_directory(dir.File("into"));
  dialogs.files = {ChosenFile{dir.File("into"), "into", true}};
  shell.ButtonClicked(2);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("into")), {}), 1);
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(ShellTest, LostSurfacesAreRestoredOnPaint) {
  Start(WritePS1Card(dir, "card.mcr", 2));
  shell.MouseMoved(CellX(kLeft, 1), CellY(kLeft, 1));
  log.clear();
  shell.Paint();
  EXPECT_TRUE(log.empty());
  backend.lost = true;
  shell.Paint();
  CallLog expected = {"RestoreSurfaces", "Prerender L 0", "DrawTitleBox L 1", "ComposePanels"};
  EXPECT_EQ(log, expected);
  EXPECT_FALSE(backend.paused);

  ClickSave(kLeft, 0);
  log.clear();
  backend.lost = true;
  shell.Paint();
  EXPECT_TRUE(Logged("BuildDetailScreen L 0"));
}

}  // namespace
}  // namespace slk::testing
