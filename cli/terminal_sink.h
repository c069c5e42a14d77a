#pragma once
// The card operations' messages on a terminal: each message is the program's
// own text (English or Japanese by locale) on stderr, after the file it is
// about. The one question, "Do you wish to add it?", is answered by --yes or
// --no, or asked on the terminal; without a terminal it is refused.

#include <string>
#include <vector>

#include "card/messages.h"
#include "cli/console.h"

namespace slk {

enum class PresetAnswer { None, Yes, No };

class TerminalSink : public MessageSink {
 public:
  explicit TerminalSink(Console& console) : console_(console) {}

  // The file the next messages are about; empty for none.
  void SetContext(std::string path) { context_ = std::move(path); }
  void SetAnswer(PresetAnswer answer) { answer_ = answer; }
  // Whether a card may be written with a save that lost blocks on the card
  // it came from (--force); without it such a card is refused.
  void SetForce(bool force) { force_ = force; }

  void ShowMessage(int id) override;
  // The message, then the reason on a line of its own, indented.
  void ShowProblem(int id, const platform::Problem& why) override;
  bool AskYesNo(int id) override;
  // Answered by --force alone, never asked on the terminal: a script must not
  // lose blocks by answering a question it did not expect.
  bool AskProblem(int id, const platform::Problem& why) override;
  // Only reached with askKind != 0, which the tool never passes: the kind of
  // a new card comes from the command line.
  CardKind AskCardKind(CardKind preselected) override { return preselected; }

  // Prints a note of the tool's own (not a string-table text) the same way.
  void Note(const std::string& text);

  // Texts shown since the last TakeShown(), without trailing blanks.
  std::vector<std::string> TakeShown();

 private:
  void Print(const std::string& text);

  Console& console_;
  std::string context_;
  PresetAnswer answer_ = PresetAnswer::None;
  bool force_ = false;
  std::vector<std::string> shown_;
};

// The string-table text of `id` without the trailing blanks some texts carry.
std::string MessageText(int id);

}  // namespace slk
