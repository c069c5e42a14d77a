// backups and restore: the generations kept of a card before it was written
// over, and putting one of them back.

#include <cstdio>
#include <ostream>

#include "card/card_backups.h"
#include "cli/card_session.h"
#include "cli/commands.h"
#include "cli/text_table.h"

namespace slk {
namespace {

std::string TimeText(const platform::BackupTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

}  // namespace

int RunBackups(Console& console, const std::string& card) {
  std::vector<CardBackup> list = ListCardBackups(card);
  if (list.empty()) {
    console.out << "no backups of " << card << " (kept in " << UserBackups().FolderFor(card)
                << ")\n";
    return ExitCode::Success;
  }
  using Align = TextTable::Align;
  TextTable table({"GEN", "TIME", "SIZE", "SAVES", "FILE"},
                  {Align::Right, Align::Left, Align::Right, Align::Right, Align::Left});
  for (std::size_t i = 0; i < list.size(); ++i) {
    const CardBackup& b = list[i];
    table.AddRow({std::to_string(i + 1), TimeText(b.file.time), std::to_string(b.file.size),
                  b.saves ? std::to_string(*b.saves) : "?", b.file.path});
  }
  table.Print(console.out);
  return ExitCode::Success;
}

int RunRestore(Console& console, const RestoreOptions& options) {
  CardSession session(console);
  session.Sink().SetContext(options.card);
  std::vector<platform::Backup> list = UserBackups().List(options.card);
  if (options.generation < 1 || options.generation > list.size()) {
    session.Sink().Note(list.empty() ? "the card has no backups"
                                     : "no generation " + std::to_string(options.generation) +
                                           " (the card has " + std::to_string(list.size()) +
                                           "; see `slotkeeper-cli backups`)");
    session.Sink().ShowMessage(MessageId::FileNotPreserved);
    return ExitCode::Refused;
  }
  if (!session.LockCard(options.card)) return ExitCode::Refused;
  if (!RestoreCardBackup(session.Ws(), options.card, list[options.generation - 1]))
    return ExitCode::Refused;
  console.out << "restored " << options.card << " from " << list[options.generation - 1].path
              << "\n";
  return ExitCode::Success;
}

}  // namespace slk
