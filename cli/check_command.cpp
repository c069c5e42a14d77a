// `check`: a read-only report of what is wrong in card images, from their raw
// bytes, plus whether the program's own reader would open them.

#include <ostream>
#include <sstream>

#include "card/image_formats.h"
#include "cli/card_check.h"
#include "cli/card_session.h"
#include "cli/commands.h"
#include "cli/printable.h"
#include "platform/file.h"

namespace slk {
namespace {

// Card images are small (an expanded card of a full PS2 card is about 8 MiB);
// anything far beyond that is not read into memory.
constexpr std::uint64_t kLargestChecked = 1ull << 30;

std::optional<std::vector<std::uint8_t>> ReadWhole(const std::string& path) {
  platform::File file = platform::File::OpenForReading(path);
  if (!file.IsOpen() || file.Size() > kLargestChecked) return std::nullopt;
  std::vector<std::uint8_t> bytes(file.Size());
  if (!file.ReadExact(bytes.data(), bytes.size())) return std::nullopt;
  return bytes;
}

// The program's own reader on the file, its messages caught rather than
// printed: empty when it opens the file.
std::string ReaderRefusal(Console& console, const std::string& path) {
  std::ostringstream quiet;
  Console captured{quiet, quiet, console.in, false};
  CardSession session(captured);
  if (session.LoadCard(kLeft, path, true)) return {};
  std::string texts;
  for (const std::string& text : session.Sink().TakeShown())
    texts += (texts.empty() ? "" : " ") + text;
  return texts;
}

// Prints the report of one file; false when something is wrong.
bool CheckFile(Console& console, const std::string& path) {
  int cardIndex = ExtensionIndex(path, FormatList::CardImage);
  if (cardIndex < 0 && ExtensionIndex(path, FormatList::SaveDataImage) < 0) {
    console.err << "slotkeeper-cli: " << path << ": " << MessageText(MessageId::NotCardImage)
                << '\n';
    return false;
  }
  std::vector<std::string> problems;
  if (cardIndex >= 0) {
    std::optional<std::vector<std::uint8_t>> bytes = ReadWhole(path);
    if (!bytes) {
      console.err << "slotkeeper-cli: " << path << ": " << MessageText(MessageId::FileNotOpened)
                  << '\n';
      return false;
    }
    for (const CardFinding& finding : CheckCardImage(*bytes, cardIndex))
      problems.push_back(finding.text);
  }
  std::string refusal = ReaderRefusal(console, path);
  if (!refusal.empty()) problems.push_back("the program does not open it: " + refusal);
  if (problems.empty()) {
    console.out << Printable(path) << ": OK\n";
    return true;
  }
  console.out << Printable(path) << ": " << problems.size()
              << (problems.size() == 1 ? " problem\n" : " problems\n");
  for (const std::string& problem : problems) console.out << "  " << Printable(problem) << '\n';
  return false;
}

}  // namespace

int RunCheck(Console& console, const std::vector<std::string>& files) {
  bool allGood = true;
  for (const std::string& path : files) allGood = CheckFile(console, path) && allGood;
  return allGood ? ExitCode::Success : ExitCode::Refused;
}

}  // namespace slk
