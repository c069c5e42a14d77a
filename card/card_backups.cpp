#include "card/card_backups.h"

#include "card/card_image.h"

namespace slk {
namespace {

// Counting the saves of a backup asks nothing and shows nothing: a backup
// that does not read is listed without a count.
class QuietSink : public MessageSink {
 public:
  void ShowMessage(int) override {}
  bool AskYesNo(int) override { return false; }
  CardKind AskCardKind(CardKind preselected) override { return preselected; }
};

std::optional<std::uint32_t> SaveCount(const std::string& path) {
  QuietSink sink;
  Settings settings;
  Workspace scratch(sink, settings);
  if (!scratch.CreateSlotStore(kLeft, 0) || !OpenCardImage(scratch, kLeft, path))
    return std::nullopt;
  return scratch.At(kLeft).RowCount();
}

}  // namespace

platform::BackupStore UserBackups() {
  return platform::BackupStore(platform::DefaultBackupRoot());
}

platform::BackupTime BackupTimeNow(const Workspace& ws) {
  TimeStamp now = ws.Now();
  return {now.Year(), now.Month(), now.Day(), now.Hour(), now.Minute(), now.Second()};
}

bool KeepCardBackup(Workspace& ws, const std::string& path) {
  platform::Problem why =
      UserBackups().Keep(path, BackupTimeNow(ws), ws.CurrentSettings().BackupGenerations);
  if (!why) return true;
  ws.Ui().ShowProblem(MessageId::BackupNotMade, why);
  return false;
}

std::vector<CardBackup> ListCardBackups(const std::string& cardPath) {
  std::vector<CardBackup> list;
  for (platform::Backup& file : UserBackups().List(cardPath)) {
    std::optional<std::uint32_t> saves = SaveCount(file.path);
    list.push_back({std::move(file), saves});
  }
  return list;
}

bool RestoreCardBackup(Workspace& ws, const std::string& cardPath,
                       const platform::Backup& generation) {
  platform::Problem why = UserBackups().Restore(cardPath, generation, BackupTimeNow(ws),
                                                ws.CurrentSettings().BackupGenerations);
  if (!why) return true;
  ws.Ui().ShowProblem(MessageId::FileNotPreserved, why);
  return false;
}

}  // namespace slk
