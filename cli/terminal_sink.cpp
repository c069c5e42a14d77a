#include "cli/terminal_sink.h"

#include <istream>
#include <ostream>

#include "cli/printable.h"
#include "resources/problem_text.h"
#include "resources/strings.h"

namespace slk {
namespace {

constexpr const char* kProgram = "slotkeeper-cli: ";

bool IsYes(std::string reply) {
  while (!reply.empty() && (reply.back() == ' ' || reply.back() == '\r')) reply.pop_back();
  return reply == "y" || reply == "Y" || reply == "yes" || reply == "Yes" || reply == "YES";
}

}  // namespace

std::string MessageText(int id) {
  std::string text(res::Text(id));
  while (!text.empty() && text.back() == ' ') text.pop_back();
  if (text.empty()) text = "message " + std::to_string(id);
  return text;
}

void TerminalSink::Print(const std::string& text) {
  console_.err << kProgram;
  if (!context_.empty()) console_.err << Printable(context_) << ": ";
  console_.err << Printable(text) << '\n';
}

void TerminalSink::ShowMessage(int id) {
  std::string text = MessageText(id);
  shown_.push_back(text);
  Print(text);
}

void TerminalSink::ShowProblem(int id, const platform::Problem& why) {
  ShowMessage(id);
  std::string line = res::DescribeProblem(why);
  if (line.empty()) return;
  shown_.push_back(line);
  console_.err << "  " << line << '\n';
}

void TerminalSink::Note(const std::string& text) {
  Print(text);
}

bool TerminalSink::AskYesNo(int id) {
  std::string question = MessageText(id);
  shown_.push_back(question);
  if (answer_ != PresetAnswer::None) {
    Print(question + (answer_ == PresetAnswer::Yes ? " yes (--yes)" : " no (--no)"));
    return answer_ == PresetAnswer::Yes;
  }
  if (!console_.inIsTerminal) {
    Print(question + " no (stdin is not a terminal; answer with --yes or --no)");
    return false;
  }
  console_.err << kProgram;
  if (!context_.empty()) console_.err << Printable(context_) << ": ";
  console_.err << question << " [y/N] " << std::flush;
  std::string reply;
  if (!std::getline(console_.in, reply)) return false;
  return IsYes(reply);
}

bool TerminalSink::AskProblem(int id, const platform::Problem& why) {
  std::string question = MessageText(id);
  shown_.push_back(question);
  Print(question + (force_ ? " yes (--force)" : " no (give --force to write it anyway)"));
  console_.err << kProgram << Printable(res::DescribeProblem(why)) << '\n';
  return force_;
}

std::vector<std::string> TerminalSink::TakeShown() {
  std::vector<std::string> taken;
  taken.swap(shown_);
  return taken;
}

}  // namespace slk
