#pragma once
// How card operations talk to the user. The window answers with message boxes
// and dialogs, the command-line tool with text on a terminal, tests with a
// recording double. Ids are those of the program's string table.

#include "card/save_entry.h"
#include "platform/problem.h"

namespace slk {

namespace MessageId {
constexpr int PS2IntoPS1Card = 48;  // "PS2 SaveData isn't able to include into PS1 MemoryCard. "
constexpr int SameDataName = 49;    // "There is the same DataName. It is unable to copy."
constexpr int AskAddIt = 50;        // "Do you wish to add it?"
constexpr int Exceeds15Blocks = 51;
constexpr int FileNotOpened = 52;
constexpr int FileNotPreserved = 53;
constexpr int NotCardImage = 54;
constexpr int NotSaveDataImage = 55;
constexpr int NotLocked = 56;
constexpr int NotExpandedCard = 57;
constexpr int UnsupportedVersion = 58;
constexpr int AskSaveShortened = 60;  // a save whose chain broke off: save the blocks found?
constexpr int PS1IntoPS2Card = 61;
constexpr int PS2CardFull = 62;
constexpr int PS2CardDamaged = 63;  // shown when a damaged card opens
constexpr int AskSaveDamaged = 68;  // Save of a damaged card: write it anyway?
constexpr int NotRenamed = 90;      // with the reason as the second line
constexpr int NoRegionCode = 93;    // a warning: the PS1 save's new name lacks BA/BI/BE
constexpr int BackupNotMade = 100;  // the old file could not be kept: nothing was saved
}  // namespace MessageId

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // A plain message with an OK button.
  virtual void ShowMessage(int id) = 0;
  // The message with a second line that names the file and what was wrong
  // (res::DescribeProblem). A sink that cannot show the line shows the
  // message alone.
  virtual void ShowProblem(int id, const platform::Problem& why) {
    (void)why;
    ShowMessage(id);
  }
  // A Yes/No question; true only for Yes.
  virtual bool AskYesNo(int id) = 0;
  // The question with the second line of ShowProblem under it.
  virtual bool AskProblem(int id, const platform::Problem& why) {
    (void)why;
    return AskYesNo(id);
  }
  // The Image Select dialog: the kind of a new card, `preselected` checked first.
  virtual CardKind AskCardKind(CardKind preselected) = 0;
};

}  // namespace slk
