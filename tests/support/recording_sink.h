#pragma once
// A MessageSink that records what the card model shows and answers questions
// from a script.

#include <deque>
#include <vector>

#include "card/messages.h"

namespace slk::testing {

// What a scripted user was shown and asked, and the answers they give in turn;
// once the script runs out every question is answered No.
struct ScriptedAnswers {
  bool NextAnswer() {
    if (answers.empty()) return false;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
  }

  std::vector<int> shown;
  // The reasons shown under messages, in order; a message without one adds
  // nothing here.
  std::vector<platform::Problem> problems;
  std::vector<int> asked;
  std::deque<bool> answers;
  std::vector<CardKind> kindPreselections;
  CardKind kindAnswer = CardKind::PS2;
};

class RecordingSink : public MessageSink, public ScriptedAnswers {
 public:
  void ShowMessage(int id) override { shown.push_back(id); }
  void ShowProblem(int id, const platform::Problem& why) override {
    shown.push_back(id);
    if (why) problems.push_back(why);
  }
  bool AskYesNo(int id) override {
    asked.push_back(id);
    return NextAnswer();
  }
  bool AskProblem(int id, const platform::Problem& why) override {
    askedAbout.push_back(why);
    return AskYesNo(id);
  }
  CardKind AskCardKind(CardKind preselected) override {
    kindPreselections.push_back(preselected);
    return kindAnswer;
  }

  std::vector<platform::Problem> askedAbout;  // second lines of questions
};

}  // namespace slk::testing
