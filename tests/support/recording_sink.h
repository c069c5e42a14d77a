#pragma once
// A MessageSink that records what the card model shows and answers questions
// from a script.

#include <deque>
#include <vector>

#include "card/messages.h"

namespace slk::testing {

class RecordingSink : public MessageSink {
 public:
  void ShowMessage(int id) override { shown.push_back(id); }
  bool AskYesNo(int id) override {
    asked.push_back(id);
    if (answers.empty()) return false;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  CardKind AskCardKind(CardKind preselected) override {
    kindPreselections.push_back(preselected);
    return kindAnswer;
  }

  std::vector<int> shown;
  std::vector<int> asked;
  std::deque<bool> answers;
  std::vector<CardKind> kindPreselections;
  CardKind kindAnswer = CardKind::PS2;
};

}  // namespace slk::testing
