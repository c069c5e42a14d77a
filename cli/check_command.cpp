// `check`: a read-only report of what is wrong in card images, from their raw
// bytes, plus whether the program's own reader would open them.

#include <ostream>
#include <sstream>

#include "card/card_image.h"
#include "card/image_formats.h"
#include "card/ps2/ps2_card_image.h"
#include "card/ps2_card_slot.h"
#include "card/save_data_image.h"
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

// A PS2 card image: every fault of the card's own check, and its free
// space. Faults that lose nothing (a corrected ECC error, lost clusters, a
// chain longer than needed) are reported but do not fail the check.
bool CheckPS2Card(Console& console, const std::string& path) {
  std::optional<std::vector<std::uint8_t>> bytes = ReadWhole(path);
  platform::Problem why;
  std::optional<ps2::Ps2CardImage> card;
  if (bytes) card = ps2::Ps2CardImage::Open(std::move(*bytes), why);
  if (!card) {
    console.out << Printable(path) << ": 1 problem\n  the program does not open it: "
                << MessageText(MessageId::FileNotOpened) << '\n';
    return false;
  }
  std::vector<ps2::Fault> faults = card->Check();
  bool damaged = card->Damaged();
  console.out << Printable(path) << ": "
              << (faults.empty() ? std::string("OK")
                                 : std::to_string(faults.size()) +
                                       (faults.size() == 1 ? " fault" : " faults") +
                                       (damaged ? ", damaged" : ", nothing lost"))
              << ", " << card->FreeBytes() / 1024 << " KB free\n";
  for (const ps2::Fault& fault : faults)
    console.out << "  " << (ps2::IsDamage(fault.kind) ? "" : "(harmless) ")
                << Printable(DescribeFault(fault)) << '\n';
  return !damaged;
}

// Prints the report of one file; false when something is wrong.
bool CheckFile(Console& console, const std::string& path) {
  if (IsPS2CardPath(path)) return CheckPS2Card(console, path);
  // A .srm smaller than a card is a raw save: no card checks for it.
  std::optional<CardFormat> card =
      KindOfPath(path) == PathKind::CardImage ? CardFormatOf(path) : std::nullopt;
  if (!card && !SaveImageFormat(path)) {
    console.err << "slotkeeper-cli: " << path << ": " << MessageText(MessageId::NotCardImage)
                << '\n';
    return false;
  }
  std::vector<std::string> problems;
  if (card) {
    std::optional<std::vector<std::uint8_t>> bytes = ReadWhole(path);
    if (!bytes) {
      console.err << "slotkeeper-cli: " << path << ": " << MessageText(MessageId::FileNotOpened)
                  << '\n';
      return false;
    }
    for (const CardFinding& finding : CheckCardImage(*bytes, *card))
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
